#!/usr/bin/env bash
# Round trips of a call: two network namespaces joined by a link that holds
# every packet from the client 10 ms, nginx serving TLS 1.3 in one and
# zcvctl --repeat calling from the other, with KeepAlive=30 (a kept call:
# one round trip expected, at most 1.2) and without it (a call on a new
# connection: TCP, TLS 1.3 and the request, at most 3.2). Prints the median
# wall time of each as round trips. The link is a veth pair with netem on
# the client's end; where the kernel has no netem, a pair of TUN devices
# joined by zcv_delay_link, which holds the packets in user space. Needs
# root, ip netns and nginx; skips with one line saying what is missing.
# Removes everything it made, whatever happens.
#
#   bench/rtt.sh ZCVCTL [DELAY_LINK]
set -euo pipefail

zcvctl=${1:?usage: bench/rtt.sh ZCVCTL [DELAY_LINK]}
zcvctl=$(realpath "$zcvctl")
delay_link=${2:-}
delay_ms=10
calls=21
client=zcvrtt-client-$$
server=zcvrtt-server-$$
client_address=10.213.77.1
server_address=10.213.77.2

skip() {
  echo "SKIPPED: bench-rtt: $*"
  exit 0
}

[ "$(id -u)" -eq 0 ] || skip "needs root"
for tool in ip nginx openssl timeout; do
  command -v "$tool" >/dev/null || skip "$tool not installed"
done

dir=$(mktemp -d /tmp/zcv-rtt-XXXXXX)
nginx_pid=
link_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; fi
  if [ -n "$link_pid" ]; then kill "$link_pid" 2>/dev/null || true; fi
  ip netns del "$client" 2>/dev/null || true
  ip netns del "$server" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

ip netns add "$client" 2>/dev/null || skip "cannot make a network namespace (ip netns add)"
ip netns add "$server" || skip "cannot make a second network namespace"
in_client() { ip netns exec "$client" "$@"; }
in_server() { ip netns exec "$server" "$@"; }
in_client ip link set lo up
in_server ip link set lo up

# netem on the client's end of a veth pair: true if the kernel has it.
netem_link() {
  command -v tc >/dev/null || return 1
  ip link add zcvrtt0 netns "$client" type veth peer name zcvrtt1 netns "$server" || return 1
  in_client ip addr add "$client_address/30" dev zcvrtt0
  in_server ip addr add "$server_address/30" dev zcvrtt1
  in_client ip link set zcvrtt0 up
  in_server ip link set zcvrtt1 up
  if ! in_client tc qdisc add dev zcvrtt0 root netem delay "${delay_ms}ms" 2>/dev/null; then
    in_client ip link del zcvrtt0
    return 1
  fi
}

# A TUN device in each namespace, joined by zcv_delay_link.
tun_link() {
  [ -n "$delay_link" ] && [ -x "$delay_link" ] || skip "no netem qdisc and no zcv_delay_link"
  [ -c /dev/net/tun ] || skip "no netem qdisc (module sch_netem missing) and no /dev/net/tun"
  in_client ip tuntap add dev zcvrtt0 mode tun 2>/dev/null ||
    skip "no netem qdisc (module sch_netem missing) and no TUN devices"
  in_server ip tuntap add dev zcvrtt1 mode tun
  in_client ip addr add "$client_address" peer "$server_address" dev zcvrtt0
  in_server ip addr add "$server_address" peer "$client_address" dev zcvrtt1
  in_client ip link set zcvrtt0 up
  in_server ip link set zcvrtt1 up
  "$delay_link" "$client" zcvrtt0 "$server" zcvrtt1 "$delay_ms" 120 >"$dir/link.log" 2>&1 &
  link_pid=$!
  for _ in $(seq 50); do
    grep -q 'delay link up' "$dir/link.log" 2>/dev/null && return 0
    kill -0 "$link_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "bench-rtt: zcv_delay_link did not start:" >&2
  cat "$dir/link.log" >&2
  exit 1
}

if netem_link; then
  link="netem on the client's veth"
else
  tun_link
  link="zcv_delay_link between TUN devices: no netem qdisc (module sch_netem missing)"
fi

# The processors are kept out of deep idle states while the calls are timed,
# as latency benchmarks do: a power-management request of 0 us, held while
# descriptor 9 is open. Waking a halted virtual processor took a few hundred
# microseconds on the machine this was written on, several times a call.
idle="processors may idle deeply: no /dev/cpu_dma_latency"
if [ -w /dev/cpu_dma_latency ]; then
  exec 9>/dev/cpu_dma_latency
  printf '\0\0\0\0' >&9
  idle="processors kept out of deep idle states (cpu_dma_latency 0)"
fi

# A CA and a certificate for the server's address.
(
  cd "$dir"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
    -subj /CN=zcv-rtt-ca -keyout ca.key -out ca.pem 2>/dev/null
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=zcv-rtt \
    -keyout key.pem -out server.csr 2>/dev/null
  printf 'subjectAltName=IP:%s\n' "$server_address" >san.ext
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile san.ext -out cert.pem 2>/dev/null
)

body='<?xml version="1.0"?><Reply><Result>9999</Result><CardStatus>1</CardStatus><ExpireTime>1704067200</ExpireTime></Reply>'
mkdir -p "$dir/nginx"
cat >"$dir/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $dir/nginx/body;
  proxy_temp_path $dir/nginx/proxy;
  fastcgi_temp_path $dir/nginx/fastcgi;
  uwsgi_temp_path $dir/nginx/uwsgi;
  scgi_temp_path $dir/nginx/scgi;
  server {
    listen $server_address:443 ssl;
    ssl_certificate $dir/cert.pem;
    ssl_certificate_key $dir/key.pem;
    ssl_protocols TLSv1.3;
    ssl_session_cache shared:zcvrtt:1m;
    location / { default_type text/xml; return 200 '$body'; }
  }
}
EOF
in_server timeout 120 nginx -p "$dir/nginx" -c "$dir/nginx.conf" -e "$dir/error.log" &
nginx_pid=$!
for _ in $(seq 50); do
  in_client timeout 1 bash -c "exec 3<>/dev/tcp/$server_address/443" 2>/dev/null && break
  sleep 0.1
done

measure() { # namespace runner, name, extra [ServerSet] line
  local ini="$dir/$2.ini"
  printf '[ServerSet]\nServerNumber=1\nServerIP0=%s\nServerPort0=443\n%s[TLS]\nEnabled=1\nCAFile=%s\n' \
    "$server_address" "$3" "$dir/ca.pem" >"$ini"
  "$1" timeout 60 "$zcvctl" --config "$ini" --log "$dir/log.txt" --json --repeat "$calls" \
    status --card 1001 || true
}

median_of() { # json line -> median wall in ms
  sed -n 's/.*"wallMedianMicros":\([0-9.e+-]*\).*/\1/p' <<<"$1"
}

kept=$(measure in_client kept $'KeepAlive=30\n')
fresh=$(measure in_client fresh '')
# The same new-connection call from inside the server's namespace, where no
# link delays it: what the handshake's CPU at both ends adds to the figure.
local_fresh=$(measure in_server local '')
[ -n "$kept" ] && [ -n "$fresh" ] && [ -n "$local_fresh" ] || {
  echo "bench-rtt: zcvctl gave nothing; nginx error log:" >&2
  tail -5 "$dir/error.log" >&2 || true
  exit 1
}
status=0
report() { # name, json, bound
  local micros round_trips
  micros=$(median_of "$2")
  round_trips=$(awk -v m="$micros" -v d="$delay_ms" 'BEGIN { printf "%.2f", m / 1000 / d }')
  local verdict=ok
  awk -v r="$round_trips" -v b="$3" 'BEGIN { exit !(r <= b) }' || {
    verdict="ABOVE THE BOUND"
    status=1
  }
  printf '%-32s median %8.1f ms = %s round trips (bound %s): %s\n' "$1" \
    "$(awk -v m="$micros" 'BEGIN { printf "%.1f", m / 1000 }')" "$round_trips" "$3" "$verdict"
  echo "  $2"
}
echo "bench-rtt: round trip ${delay_ms} ms ($link), $calls calls each; $idle"
report "TLS 1.3, KeepAlive=30 (kept)" "$kept" 1.2
report "TLS 1.3, new connection" "$fresh" 3.2
printf '%-32s median %8.1f ms: the CPU of both ends, in the figures above\n' \
  "the same, without the link" "$(awk -v m="$(median_of "$local_fresh")" 'BEGIN { printf "%.1f", m / 1000 }')"
exit "$status"
