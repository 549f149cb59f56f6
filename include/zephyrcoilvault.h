// zephyrcoilvault: client library of the one-time-password token service.
// A host includes this header and links the shared library; every function
// below is one synchronous HTTP GET to the current configured server, with
// failover to the next server when the current one gives no readable reply.
//
// All functions are safe to call from many threads at once. Output buffers
// belong to the caller and are written only when the result is
// zcv::kAccepted (the binding-information row count excepted, see below).
#ifndef ZEPHYRCOILVAULT_H_
#define ZEPHYRCOILVAULT_H_

#include <cstddef>

#include "zephyrcoilvault_version.h"  // ZCV_VERSION_MAJOR, _MINOR, _PATCH

#if defined(ZCV_BUILDING_LIBRARY) && !defined(_WIN32)
#define ZCV_EXPORT __attribute__((visibility("default")))
#else
// The Windows build exports its functions through a module-definition file.
#define ZCV_EXPORT
#endif

// Result of every operation: kAccepted, kArgumentRefused, kNoAnswer, or any
// other value exactly as the service sent it (the service's own verdict).
typedef unsigned int ResultCode;

namespace zcv {
constexpr ResultCode kAccepted = 9999;         // the service accepted the request
constexpr ResultCode kArgumentRefused = 1011;  // an argument was refused; nothing was sent
constexpr ResultCode kNoAnswer = 1012;         // no usable answer from any server

constexpr std::size_t kExpireTextBytes = 20;   // "YYYY-MM-DD hh:mm:ss" and its NUL
constexpr std::size_t kResvPassWordBytes = 7;  // six characters and a NUL
constexpr int kMaxBindRows = 10;               // rows ever written by a query
}  // namespace zcv

// One binding row of a binding-information query. Pass an array of
// zcv::kMaxBindRows records. Reserved is never read or written.
struct pTokenBindInfo {
  int Reserved;
  int AppNo;
  int AppNo2;
  char Account[20];   // zero-padded; no NUL when the account has 20 bytes
  char Bindtime[20];  // followed by one NUL when shorter than 20 bytes
};
static_assert(sizeof(pTokenBindInfo) == 52, "pTokenBindInfo is 52 bytes");
static_assert(offsetof(pTokenBindInfo, Reserved) == 0, "Reserved at 0");
static_assert(offsetof(pTokenBindInfo, AppNo) == 4, "AppNo at 4");
static_assert(offsetof(pTokenBindInfo, AppNo2) == 8, "AppNo2 at 8");
static_assert(offsetof(pTokenBindInfo, Account) == 12, "Account at 12");
static_assert(offsetof(pTokenBindInfo, Bindtime) == 32, "Bindtime at 32");

// ---- Authentication -------------------------------------------------------
// Sends the card number and one (or two consecutive) one-time passwords.
// On kAccepted, expireText (20 bytes) receives the card's expiry as local
// "YYYY-MM-DD hh:mm:ss". After three calls in a row that reach no server,
// further calls are refused with kNoAnswer for 150 seconds, then admitted
// one at a time until one obtains a reply.
ZCV_EXPORT ResultCode TokenAuth(int iCardNo, int iDynpasswd, char* expireText);
ZCV_EXPORT ResultCode TokenAuth2(int iCardNo, int iDynpasswd, char* expireText);
ZCV_EXPORT ResultCode TokenAuth2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2,
                                     char* expireText);

// ---- Binding --------------------------------------------------------------
// Binds the card to the account (iAppNo, iAppNo2, sAccount of at most 20
// bytes), proven by one or two one-time passwords. On kAccepted,
// resvPassWord (7 bytes) receives the binding's reserved password.
ZCV_EXPORT ResultCode TokenBinding(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2,
                                   char* sAccount, char* resvPassWord);
ZCV_EXPORT ResultCode TokenBinding2(int iCardNo, int iDynpasswd, int iAppNo, int iAppNo2,
                                    char* sAccount, char* resvPassWord);
ZCV_EXPORT ResultCode TokenBinding2Next(int iCardNo, int iDynpasswd1, int iDynpasswd2, int iAppNo,
                                        int iAppNo2, char* sAccount, char* resvPassWord);

// Removes a binding, proven by one or two one-time passwords and the card's
// service number (sent last; null is sent as "(null)"). No outputs.
ZCV_EXPORT ResultCode TokenUnBinding(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo,
                                     int iAppNo2, char* sAccount);
ZCV_EXPORT ResultCode TokenUnBinding2(int iCardNo, char* sServiceNo, int iDynpasswd, int iAppNo,
                                      int iAppNo2, char* sAccount);
ZCV_EXPORT ResultCode TokenUnBinding2Next(int iCardNo, char* sServiceNo, int iDynpasswd1,
                                          int iDynpasswd2, int iAppNo, int iAppNo2, char* sAccount);
// Removes a binding without a password. No outputs.
ZCV_EXPORT ResultCode TokenUnBindingEx(int iCardNo, int iAppNo, int iAppNo2, char* sAccount);
// Removes a binding with the reserved password it returned (at most 6 bytes).
ZCV_EXPORT ResultCode TokenUnBindingEx2(int iCardNo, int iAppNo, int iAppNo2, char* sAccount,
                                        char* sResvPassWord);

// ---- Card lifecycle -------------------------------------------------------
// Puts a card into service and registers its holder's profile. Profile
// texts may be null (sent as "(null)"); limits: 20 bytes, strPost 10,
// strEmail 40, strAddress 100. On kAccepted, expireText (20 bytes) receives
// the card's expiry as local time.
ZCV_EXPORT ResultCode TokenEnable(char* sServiceNo, int iDynPasswd, char* strUserName, int iIDType,
                                  char* strID, char* strMobile, char* strTel, char* strPost,
                                  char* strEmail, char* strAddress, char* expireText);
ZCV_EXPORT ResultCode TokenEnableNext(char* sServiceNo, int iDynPasswd1, int iDynPasswd2,
                                      char* strUserName, int iIDType, char* strID, char* strMobile,
                                      char* strTel, char* strPost, char* strEmail, char* strAddress,
                                      char* expireText);
// Takes a card out of service. sServiceNo and sIdCode are required.
ZCV_EXPORT ResultCode TokenDisable(int iCardNo, char* sServiceNo, char* sIdCode, int iAppNo,
                                   int iAppNo2, char* sAccount, char* sOperator);
// Reports a card lost.
ZCV_EXPORT ResultCode TokenLoss(int iCardNo, char* sServiceNo, int iType, int iAppNo, int iAppNo2,
                                char* sAccount, char* sOperator);
// Withdraws a loss report, proven by one or two one-time passwords.
ZCV_EXPORT ResultCode TokenUnLoss(int iCardNo, char* sServiceNo, int iDynPasswd, char* sOperator);
ZCV_EXPORT ResultCode TokenUnLossNext(int iCardNo, char* sServiceNo, int iDynPasswd1,
                                      int iDynPasswd2, char* sOperator);

// ---- Binding information --------------------------------------------------
// Lists the accounts the card is bound to. rows must hold zcv::kMaxBindRows
// records. On kAccepted, *rowCount is the service's row count and the first
// min(*rowCount, 10) records are filled; on another verdict *rowCount is 0.
ZCV_EXPORT ResultCode TokenBindInfoQuery(int iCardNo, int iDynpasswd, int* rowCount,
                                         pTokenBindInfo* rows);
ZCV_EXPORT ResultCode TokenBindInfoQueryNext(int iCardNo, int iDynpasswd1, int iDynpasswd2,
                                             int* rowCount, pTokenBindInfo* rows);

// ---- Card status ----------------------------------------------------------
// Asks for a card's status number and expiry. On kAccepted, cardStatus
// receives the number and expireText (20 bytes) the expiry as local time.
ZCV_EXPORT ResultCode TokenStatus(int iCardNo, int& cardStatus, char* expireText);

// ---- Card replacement, holder profile, account links ----------------------
// Replaces the old card (number and service number) by the card with the
// new service number. No outputs.
ZCV_EXPORT ResultCode TokenChange(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew,
                                  int iDynPasswd);
ZCV_EXPORT ResultCode TokenChangeNext(int iCardNoOld, char* sServiceNoOld, char* sServiceNoNew,
                                      int iDynPasswd1, int iDynPasswd2);
// Changes the holder's profile; the texts follow the limits of TokenEnable.
ZCV_EXPORT ResultCode TokenModifyInfo(int iCardNo, int iDynPasswd, char* strUserName, int iIDType,
                                      char* strID, char* strMobile, char* strTel, char* strPost,
                                      char* strEmail, char* strAddress);
ZCV_EXPORT ResultCode TokenModifyInfoNext(int iCardNo, int iDynPasswd1, int iDynPasswd2,
                                          char* strUserName, int iIDType, char* strID,
                                          char* strMobile, char* strTel, char* strPost,
                                          char* strEmail, char* strAddress);
// Links the card to a further account kind. On kAccepted, resvPassWord
// (7 bytes) receives the link's reserved password.
ZCV_EXPORT ResultCode TokenBindEsale(int iCardNo, int iDynpasswd, char* resvPassWord);
ZCV_EXPORT ResultCode TokenBindEsaleNext(int iCardNo, int iDynpasswd1, int iDynpasswd2,
                                         char* resvPassWord);
ZCV_EXPORT ResultCode TokenBindOther(int iCardNo, int iDynpasswd, char* resvPassWord);
ZCV_EXPORT ResultCode TokenBindOtherNext(int iCardNo, int iDynpasswd1, int iDynpasswd2,
                                         char* resvPassWord);

#endif  // ZEPHYRCOILVAULT_H_
