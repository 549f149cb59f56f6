#!/usr/bin/env bash
# Where one client's TLS calls spend the calling thread's CPU: perf samples
# (with call graphs) of `zcv_tls_bench profile`, summed by shared object and
# then by symbol, for the OpenSSL and GnuTLS references and the library.
# Usage: profile_tls.sh BENCH [KIND] (KIND default tls13-resumed). Needs
# perf (linux-perf); symbols inside the TLS libraries need their debug
# packages, without which their own functions show as addresses.
set -euo pipefail
bench=$1
kind=${2:-tls13-resumed}
calls=${CALLS:-1000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for client in openssl gnutls library; do
  echo "== $client, $kind"
  perf record -q -g -e cpu-clock -F 2000 -o "$out/$client.data" -- \
    "$bench" profile "$client" "$kind" "$calls"
  # Shares of the client thread's samples, by shared object, then the top symbols.
  perf report -i "$out/$client.data" --no-children --sort comm,dso --stdio -g none 2>/dev/null |
    awk '$2 == "client" && n++ < 8'
  perf report -i "$out/$client.data" --no-children --sort comm,sym --stdio -g none 2>/dev/null |
    awk '$2 == "client" && n++ < 12'
done
