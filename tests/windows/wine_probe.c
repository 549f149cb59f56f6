/* The smallest Windows program: prints a word that proves Wine ran it. */
#include <stdio.h>

int main(void) {
  puts("zcv-wine-probe-ok");
  return 0;
}
