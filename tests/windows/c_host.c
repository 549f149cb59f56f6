/* A host of the C interface, in C, that links an import library instead of
 * resolving names: it builds only if the library covers the C functions by
 * their linker names, and runs only if the DLL exports them by their plain
 * names. Without arguments it prints the version and a result text; with
 * <config file> <log file> <card> <password> it opens a client on them and
 * prints zcv_auth's result and expiry text. */
#include <stdio.h>
#include <stdlib.h>

#include "zephyrcoilvault/client.h"

int main(int argc, char** argv) {
  char error[ZCV_ERROR_BYTES] = "";
  char expire[ZCV_EXPIRE_TEXT_BYTES] = "";
  zcv_client* client;
  unsigned code;
  if (argc != 5) {
    printf("%s|%s\n", zcv_version(), zcv_result_text(ZCV_ACCEPTED));
    return 0;
  }
  client = zcv_client_open(argv[1], argv[2], 0, error, sizeof error);
  if (client == NULL) {
    printf("cannot open: %s\n", error);
    return 1;
  }
  code = zcv_auth(client, atoi(argv[3]), atoi(argv[4]), expire, sizeof expire);
  printf("%u %s\n", code, expire);
  zcv_client_close(client);
  return 0;
}
