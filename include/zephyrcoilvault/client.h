/* zephyrcoilvault's C interface: one client object per configuration file,
 * and the 28 token-service operations on it. Valid C99 and C++.
 *
 * Every operation is one synchronous HTTP GET to the client's current
 * server, with failover to the next server when it gives no readable reply.
 * Any number of threads may call on one client at once; clients are
 * independent of each other and of the library's default client (the one
 * the C++ functions of <zephyrcoilvault.h> use).
 *
 * Results are ZCV_ACCEPTED, ZCV_ARGUMENT_REFUSED (nothing was sent),
 * ZCV_NO_ANSWER, or any other value exactly as the service sent it. Output
 * buffers belong to the caller, come with their size, and are written only
 * when the result is ZCV_ACCEPTED. A size too small for what an operation may
 * write, or a null client, is refused with ZCV_ARGUMENT_REFUSED before
 * anything is sent. Input texts are NUL-terminated byte strings sent as they
 * are; optional ones may be null and are then sent as "(null)". */
#ifndef ZEPHYRCOILVAULT_CLIENT_H_
#define ZEPHYRCOILVAULT_CLIENT_H_

#include <stddef.h>

#if defined(ZCV_BUILDING_LIBRARY) && !defined(_WIN32)
#define ZCV_C_EXPORT __attribute__((visibility("default")))
#else
/* The Windows build exports its functions through a module-definition file. */
#define ZCV_C_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zcv_client zcv_client;

#define ZCV_ACCEPTED 9999u         /* the service accepted the request */
#define ZCV_ARGUMENT_REFUSED 1011u /* an argument was refused; nothing was sent */
#define ZCV_NO_ANSWER 1012u        /* no usable answer from any server */

#define ZCV_EXPIRE_TEXT_BYTES 20  /* "YYYY-MM-DD hh:mm:ss" and its NUL */
#define ZCV_RESV_PASSWORD_BYTES 7 /* six characters and a NUL */
#define ZCV_MAX_BIND_ROWS 10      /* rows ever written by a query */
#define ZCV_ERROR_BYTES 256       /* room for the first reason an open gives, and more */

/* Flags of zcv_client_open and zcv_options. */
#define ZCV_WRITE_BACK 1u /* at close, write the rotated server order back to the file */
/* zcv_options only: log entries reach the log function and the log file as
 * UTF-8. Without it both get the entries' bytes as logged: the messages
 * about the configuration are GBK (code page 936), all others ASCII. */
#define ZCV_UTF8_MESSAGES 2u

/* One binding row; the same 52 bytes as the C++ header's pTokenBindInfo. */
typedef struct zcv_bind_info {
  int reserved; /* never read or written */
  int app_no;
  int app_no2;
  char account[20];   /* zero-padded; no NUL when the account has 20 bytes */
  char bind_time[20]; /* followed by one NUL when shorter than 20 bytes */
} zcv_bind_info;

/* The library's version, "MAJOR.MINOR.PATCH". */
ZCV_C_EXPORT const char* zcv_version(void);
/* A short English text for ZCV_ACCEPTED, ZCV_ARGUMENT_REFUSED and
 * ZCV_NO_ANSWER; for any other code, a text saying it is the service's
 * own verdict. Never null. */
ZCV_C_EXPORT const char* zcv_result_text(unsigned code);

/* How zcv_client_open_options opens a client. Fill it from ZCV_OPTIONS_INIT
 * and set the fields wanted: size tells the library which version of the
 * struct the host was built with, so that later versions can add fields at
 * its end. */
typedef struct zcv_options {
  size_t size; /* sizeof(zcv_options), as ZCV_OPTIONS_INIT sets it */
  /* Exactly one of the two: the configuration file's path (a regular file of
   * at most 1 MiB), or its bytes in memory (config_size of them, at most
   * 1 MiB; no NUL needed). The library keeps no pointer to either. */
  const char* config_path;
  const void* config_data;
  size_t config_size;
  /* PEM text of the trusted certificates (ca_size bytes, at most 1 MiB),
   * used in place of the file's CAFile; NULL: the file decides. */
  const void* ca_data;
  size_t ca_size;
  const char* log_path; /* NULL: no log file */
  /* The receiver of every log entry from the open on (the configuration's
   * findings included), as zcv_client_set_log sets it; NULL: none. */
  void (*log_fn)(void* ctx, const char* message);
  void* log_ctx;
  /* Seconds, in place of the file's ConnectTimeout, SendTimeout,
   * ReceiveTimeout and CallTimeout: 0 keeps the file's, else 1 to 600. */
  unsigned connect_timeout_s;
  unsigned send_timeout_s;
  unsigned receive_timeout_s;
  unsigned call_timeout_s;
  unsigned flags; /* ZCV_WRITE_BACK (with config_path only), ZCV_UTF8_MESSAGES */
} zcv_options;

#define ZCV_OPTIONS_INIT \
  { sizeof(zcv_options), NULL, NULL, 0, NULL, 0, NULL, NULL, NULL, 0, 0, 0, 0, 0 }

/* Reads the configuration now and returns a client on it, or NULL with the
 * reason written into error (cut to error_size bytes with its NUL; error
 * may be NULL): options that are not as described above (a size smaller
 * than this struct's first version, both or neither of config_path and
 * config_data, a time-out out of range, an unknown flag, ZCV_WRITE_BACK
 * with config_data), a file that cannot be opened without waiting, is not
 * a regular file or is larger than 1 MiB, or any configuration error: then
 * every fatal finding (the line the log gets), one about a line before one
 * about the file or a section as a whole, joined by "; " as room allows
 * (UTF-8 with ZCV_UTF8_MESSAGES, as the log gets them).
 * Safe to call from many threads. */
ZCV_C_EXPORT zcv_client* zcv_client_open_options(const zcv_options* options, char* error,
                                                 size_t error_size);
/* zcv_client_open_options with config_path, log_path and flags (0 or
 * ZCV_WRITE_BACK) and everything else as ZCV_OPTIONS_INIT leaves it. */
ZCV_C_EXPORT zcv_client* zcv_client_open(const char* config_path, const char* log_path,
                                         unsigned flags, char* error, size_t error_size);
/* Refuses every call that starts from now on (ZCV_NO_ANSWER), stops the log
 * function, waits (bounded) for the calls in flight, writes the server
 * order back if asked, and frees the client. NULL is ignored. Called from
 * within a call on the same client (its log function), or should calls
 * still be inside when the wait ends, it returns at once and the last of
 * those calls to end frees the client; a log function already running on
 * another thread then may still be running. No call may start after close
 * has returned. */
ZCV_C_EXPORT void zcv_client_close(zcv_client* client);
/* Every log entry of the client also goes to fn(ctx, message), on the
 * calling thread, with no lock of the library held; message is the entry
 * without its time stamp, GBK or ASCII as logged (UTF-8 for a client opened
 * with ZCV_UTF8_MESSAGES). fn NULL stops it. fn may call into the library,
 * zcv_client_close on this client included. Ignored once close began. */
ZCV_C_EXPORT void zcv_client_set_log(zcv_client* client, void (*fn)(void* ctx, const char* message),
                                     void* ctx);

/* ---- Authentication: on ZCV_ACCEPTED, expire_text receives the card's
 * expiry as local "YYYY-MM-DD hh:mm:ss". Three calls in a row that reach no
 * server close the client's failure gate for 150 seconds. */
ZCV_C_EXPORT unsigned zcv_auth(zcv_client* client, int card_no, int dynpasswd, char* expire_text,
                               size_t expire_text_size);
ZCV_C_EXPORT unsigned zcv_auth2(zcv_client* client, int card_no, int dynpasswd, char* expire_text,
                                size_t expire_text_size);
ZCV_C_EXPORT unsigned zcv_auth2_next(zcv_client* client, int card_no, int dynpasswd1,
                                     int dynpasswd2, char* expire_text, size_t expire_text_size);

/* ---- Binding: account at most 20 bytes; on ZCV_ACCEPTED resv_password
 * receives the binding's reserved password. */
ZCV_C_EXPORT unsigned zcv_binding(zcv_client* client, int card_no, int dynpasswd, int app_no,
                                  int app_no2, const char* account, char* resv_password,
                                  size_t resv_password_size);
ZCV_C_EXPORT unsigned zcv_binding2(zcv_client* client, int card_no, int dynpasswd, int app_no,
                                   int app_no2, const char* account, char* resv_password,
                                   size_t resv_password_size);
ZCV_C_EXPORT unsigned zcv_binding2_next(zcv_client* client, int card_no, int dynpasswd1,
                                        int dynpasswd2, int app_no, int app_no2,
                                        const char* account, char* resv_password,
                                        size_t resv_password_size);

/* Removes a binding; service_no is optional. No outputs. */
ZCV_C_EXPORT unsigned zcv_unbinding(zcv_client* client, int card_no, const char* service_no,
                                    int dynpasswd, int app_no, int app_no2, const char* account);
ZCV_C_EXPORT unsigned zcv_unbinding2(zcv_client* client, int card_no, const char* service_no,
                                     int dynpasswd, int app_no, int app_no2, const char* account);
ZCV_C_EXPORT unsigned zcv_unbinding2_next(zcv_client* client, int card_no, const char* service_no,
                                          int dynpasswd1, int dynpasswd2, int app_no, int app_no2,
                                          const char* account);
ZCV_C_EXPORT unsigned zcv_unbinding_ex(zcv_client* client, int card_no, int app_no, int app_no2,
                                       const char* account);
ZCV_C_EXPORT unsigned zcv_unbinding_ex2(zcv_client* client, int card_no, int app_no, int app_no2,
                                        const char* account, const char* resv_password);

/* ---- Card lifecycle. Profile texts may be null; limits: 20 bytes, post 10,
 * email 40, address 100. */
ZCV_C_EXPORT unsigned zcv_enable(zcv_client* client, const char* service_no, int dynpasswd,
                                 const char* user_name, int id_type, const char* id,
                                 const char* mobile, const char* tel, const char* post,
                                 const char* email, const char* address, char* expire_text,
                                 size_t expire_text_size);
ZCV_C_EXPORT unsigned zcv_enable_next(zcv_client* client, const char* service_no, int dynpasswd1,
                                      int dynpasswd2, const char* user_name, int id_type,
                                      const char* id, const char* mobile, const char* tel,
                                      const char* post, const char* email, const char* address,
                                      char* expire_text, size_t expire_text_size);
ZCV_C_EXPORT unsigned zcv_disable(zcv_client* client, int card_no, const char* service_no,
                                  const char* id_code, int app_no, int app_no2, const char* account,
                                  const char* operator_name);
ZCV_C_EXPORT unsigned zcv_loss(zcv_client* client, int card_no, const char* service_no, int type,
                               int app_no, int app_no2, const char* account,
                               const char* operator_name);
ZCV_C_EXPORT unsigned zcv_unloss(zcv_client* client, int card_no, const char* service_no,
                                 int dynpasswd, const char* operator_name);
ZCV_C_EXPORT unsigned zcv_unloss_next(zcv_client* client, int card_no, const char* service_no,
                                      int dynpasswd1, int dynpasswd2, const char* operator_name);

/* ---- Binding information: rows must hold at least ZCV_MAX_BIND_ROWS
 * records (row_capacity). On ZCV_ACCEPTED *row_count is the service's row
 * count and the first min(*row_count, 10) rows are filled; on another
 * verdict neither is written. */
ZCV_C_EXPORT unsigned zcv_bind_info_query(zcv_client* client, int card_no, int dynpasswd,
                                          int* row_count, zcv_bind_info* rows, size_t row_capacity);
ZCV_C_EXPORT unsigned zcv_bind_info_query_next(zcv_client* client, int card_no, int dynpasswd1,
                                               int dynpasswd2, int* row_count, zcv_bind_info* rows,
                                               size_t row_capacity);

/* ---- Card status: on ZCV_ACCEPTED, *card_status and expire_text. */
ZCV_C_EXPORT unsigned zcv_status(zcv_client* client, int card_no, int* card_status,
                                 char* expire_text, size_t expire_text_size);

/* ---- Card replacement, holder profile, account links. */
ZCV_C_EXPORT unsigned zcv_change(zcv_client* client, int card_no_old, const char* service_no_old,
                                 const char* service_no_new, int dynpasswd);
ZCV_C_EXPORT unsigned zcv_change_next(zcv_client* client, int card_no_old,
                                      const char* service_no_old, const char* service_no_new,
                                      int dynpasswd1, int dynpasswd2);
ZCV_C_EXPORT unsigned zcv_modify_info(zcv_client* client, int card_no, int dynpasswd,
                                      const char* user_name, int id_type, const char* id,
                                      const char* mobile, const char* tel, const char* post,
                                      const char* email, const char* address);
ZCV_C_EXPORT unsigned zcv_modify_info_next(zcv_client* client, int card_no, int dynpasswd1,
                                           int dynpasswd2, const char* user_name, int id_type,
                                           const char* id, const char* mobile, const char* tel,
                                           const char* post, const char* email,
                                           const char* address);
ZCV_C_EXPORT unsigned zcv_bind_esale(zcv_client* client, int card_no, int dynpasswd,
                                     char* resv_password, size_t resv_password_size);
ZCV_C_EXPORT unsigned zcv_bind_esale_next(zcv_client* client, int card_no, int dynpasswd1,
                                          int dynpasswd2, char* resv_password,
                                          size_t resv_password_size);
ZCV_C_EXPORT unsigned zcv_bind_other(zcv_client* client, int card_no, int dynpasswd,
                                     char* resv_password, size_t resv_password_size);
ZCV_C_EXPORT unsigned zcv_bind_other_next(zcv_client* client, int card_no, int dynpasswd1,
                                          int dynpasswd2, char* resv_password,
                                          size_t resv_password_size);

#ifdef __cplusplus
}
#endif

#endif /* ZEPHYRCOILVAULT_CLIENT_H_ */
