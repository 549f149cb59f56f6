/* A C host of the installed library: two clients on two configuration
 * files, each answered by its own server; a faulty file refused with its
 * reason; a short output buffer refused before anything is sent.
 *   host A.ini B.ini CARD_A CARD_B
 * CARD_A is known only to A's server, CARD_B only to B's. Prints what it
 * sees and exits 0 when all of it holds. */
#include <zephyrcoilvault/client.h>

#include <stdio.h>
#include <stdlib.h>

static int failures = 0;

static void expect(int holds, const char *what) {
  printf("%s: %s\n", holds ? "ok  " : "FAIL", what);
  if (!holds) ++failures;
}

static unsigned status_of(zcv_client *client, int card) {
  int card_status = 0;
  char expire_text[ZCV_EXPIRE_TEXT_BYTES];
  return zcv_status(client, card, &card_status, expire_text, sizeof expire_text);
}

static int is_verdict(unsigned code) {
  return code != ZCV_ACCEPTED && code != ZCV_ARGUMENT_REFUSED && code != ZCV_NO_ANSWER;
}

int main(int argc, char **argv) {
  char error[ZCV_ERROR_BYTES];
  zcv_client *a;
  zcv_client *b;
  zcv_client *bad;
  int card_a;
  int card_b;
  char short_text[ZCV_EXPIRE_TEXT_BYTES - 1];

  if (argc != 5) {
    fprintf(stderr, "usage: %s A.ini B.ini CARD_A CARD_B\n", argv[0]);
    return 2;
  }
  card_a = atoi(argv[3]);
  card_b = atoi(argv[4]);
  printf("zephyrcoilvault %s\n", zcv_version());

  a = zcv_client_open(argv[1], NULL, 0, error, sizeof error);
  if (a == NULL) {
    fprintf(stderr, "%s: %s\n", argv[1], error);
    return 1;
  }
  b = zcv_client_open(argv[2], NULL, 0, error, sizeof error);
  if (b == NULL) {
    fprintf(stderr, "%s: %s\n", argv[2], error);
    zcv_client_close(a);
    return 1;
  }

  /* Each card is known to one server only: each client reaches its own. */
  expect(status_of(a, card_a) == ZCV_ACCEPTED, "client A knows card A");
  expect(is_verdict(status_of(a, card_b)), "client A's server does not know card B");
  expect(status_of(b, card_b) == ZCV_ACCEPTED, "client B knows card B");
  expect(is_verdict(status_of(b, card_a)), "client B's server does not know card A");

  /* A buffer one byte short of the expiry text: refused, nothing sent. */
  expect(zcv_auth(a, card_a, 123456, short_text, sizeof short_text) == ZCV_ARGUMENT_REFUSED,
         "a short buffer gives 1011");

  bad = zcv_client_open("/nonexistent/cfgfile.ini", NULL, 0, error, sizeof error);
  expect(bad == NULL && error[0] != '\0', "a missing file gives NULL and a reason");

  printf("%u: %s\n", ZCV_NO_ANSWER, zcv_result_text(ZCV_NO_ANSWER));
  zcv_client_close(b);
  zcv_client_close(a);
  return failures == 0 ? 0 : 1;
}
