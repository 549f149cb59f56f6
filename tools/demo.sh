#!/usr/bin/env bash
# The demonstration behind `make demo`: three token-service simulators on
# loopback, one of them stopped to show failover, and a card's story told
# through zcvctl (on the configuration and log files in <build>/demo, given
# with --config and --log); then a short leg over
# TLS with a throw-away CA. Everything started here is stopped on exit,
# also when interrupted.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
sim="$build/tools/zcvsim/zcvsim"
ctl="$build/tools/zcvctl/zcvctl"
demo_dir="$build/demo"
config="$demo_dir/cfgfile.ini"
logfile="$demo_dir/logfile.txt"
card=1001
service_no=SN-1001
readonly servers=3
readonly start_wait_steps=100 # of 0.05 s: 5 s for a simulator to listen
readonly stop_wait_steps=50   # of 0.1 s: 5 s for a simulator to stop
readonly sim_lifetime=600     # simulators stop by themselves after this

command -v openssl >/dev/null || { echo "demo: openssl is missing; run tools/install-deps.sh" >&2; exit 1; }
for tool in "$sim" "$ctl"; do
  [ -x "$tool" ] || { echo "demo: $tool is missing; run 'make build' first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-demo.XXXXXX")
pids=()

stop_pid() {
  local pid=$1 i
  kill "$pid" 2>/dev/null || return 0
  for ((i = 0; i < stop_wait_steps; i++)); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local pid
  for pid in "${pids[@]}"; do stop_pid "$pid"; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo; echo "demo: interrupted"; exit 130' INT TERM

if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; else bold='' plain=''; fi
say() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }

# Runs zcvctl, shows the command and its answer, and names the simulator's
# verdict when the service refused.
ctl() {
  local out status=0 code
  printf '$ zcvctl'
  printf ' %q' "$@"
  printf '\n'
  out=$("$ctl" --config "$config" --log "$logfile" "$@") || status=$?
  printf '%s\n' "$out" | sed 's/^/  /'
  code=$(printf '%s\n' "$out" | sed -n 's/^Token[A-Za-z0-9]*: \([0-9]*\) (service verdict)$/\1/p')
  if [ -n "$code" ]; then
    printf '  (simulator verdict: %s)\n' "$("$sim" verdicts | awk -v c="$code" '$1 == c { name = $2; $1 = $2 = ""; print name ":" substr($0, 2) }')"
  fi
  return 0
}

otp() { "$sim" otp --db "$work/cards.db" --card "$card"; }

say "Starting $servers token-service simulators on 127.0.0.1"
ports=()
for ((i = 0; i < servers; i++)); do
  "$sim" serve --db "$work/cards.db" --port 0 --port-file "$work/port$i" \
    --max-seconds "$sim_lifetime" -v >"$work/sim$i.out" 2>&1 &
  pids+=($!)
done
for ((i = 0; i < servers; i++)); do
  for ((n = 0; n < start_wait_steps; n++)); do
    [ -s "$work/port$i" ] && break
    sleep 0.05
  done
  [ -s "$work/port$i" ] || { echo "demo: simulator $i did not start" >&2; cat "$work/sim$i.out" >&2; exit 1; }
  ports+=("$(cat "$work/port$i")")
  echo "simulator $i: port ${ports[$i]} (pid ${pids[$i]})"
done

say "Writing the library's configuration: $config"
mkdir -p "$demo_dir"
rm -f "$logfile"
{
  echo "[ServerSet]"
  echo "ServerNumber=$servers"
  for ((i = 0; i < servers; i++)); do
    echo "ServerIP$i=127.0.0.1"
    echo "ServerPort$i=${ports[$i]}"
  done
} >"$config"
cat "$config"

say "Stopping simulator 0 (the first configured server) to show failover"
stop_pid "${pids[0]}"
echo "simulator 0 on port ${ports[0]} stopped"

say "Adding card $card to the simulator and putting it into service"
"$sim" add-card --db "$work/cards.db" --card "$card" --service-no "$service_no" --valid-days 365
code=$(otp)
echo "the card shows $code"
ctl enable --service-no "$service_no" --password "$code" --user-name "Ann Lee" --id-type 1 \
  --id ID-4711 --email ann@example.org
echo "The first server did not answer; the library tried the next one and moved"
echo "the silent server to the end of its list, which it writes back on unload:"
sed -n 's/^\(Server\(IP\|Port\)0=.*\)/  \1/p' "$config"

say "Authenticating with the card's current code"
ctl auth --card "$card" --password "$(otp)"

say "Binding the card to account alice"
ctl bind --card "$card" --password "$(otp)" --app-no 1 --app-no2 100 --account alice
ctl bind2 --card "$card" --password "$(otp)" --app-no 2 --app-no2 200 --account bob

say "Listing the bindings"
ctl bind-info --card "$card" --password "$(otp)"

say "Querying the card's status"
ctl status --card "$card"

say "A wrong password"
ctl auth --card "$card" --password $(( ($(otp) + 500000) % 1000000 ))

say "Reporting the card lost: authentication is refused"
ctl loss --card "$card" --service-no "$service_no" --type 1 --app-no 1 --app-no2 100 \
  --account alice --operator desk-7
ctl auth --card "$card" --password "$(otp)"

say "Withdrawing the loss report"
ctl unloss --card "$card" --service-no "$service_no" --password "$(otp)" --operator desk-7
ctl auth --card "$card" --password "$(otp)"

say "Unbinding account alice"
ctl unbind --card "$card" --service-no "$service_no" --password "$(otp)" --app-no 1 \
  --app-no2 100 --account alice
ctl --json bind-info --card "$card" --password "$(otp)"

say "TLS: a throw-away CA, and a server certificate for 127.0.0.1 that it signs"
tls_ext="$work/server.ext"
echo "subjectAltName=IP:127.0.0.1" >"$tls_ext"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 \
  -subj "/CN=zcv demo CA" -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=zcv demo server" \
  -keyout "$work/server.key" -out "$work/server.csr" 2>/dev/null
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -days 1 -extfile "$tls_ext" -out "$work/server.pem" 2>/dev/null
openssl x509 -in "$work/server.pem" -noout -subject -ext subjectAltName | sed 's/^/  /'
"$sim" serve --db "$work/cards.db" --port 0 --port-file "$work/port-tls" \
  --tls-cert "$work/server.pem" --tls-key "$work/server.key" \
  --max-seconds "$sim_lifetime" -v >"$work/sim-tls.out" 2>&1 &
pids+=($!)
for ((n = 0; n < start_wait_steps; n++)); do
  [ -s "$work/port-tls" ] && break
  sleep 0.05
done
[ -s "$work/port-tls" ] || { echo "demo: the TLS simulator did not start" >&2; cat "$work/sim-tls.out" >&2; exit 1; }
tls_port=$(cat "$work/port-tls")
echo "TLS simulator: port $tls_port (pid ${pids[-1]})"

# The configuration with one server reached as `host`, over TLS.
write_tls_config() {
  printf '[ServerSet]\nServerNumber=1\nServerIP0=%s\nServerPort0=%s\n' "$1" "$tls_port"
  printf '[TLS]\nEnabled=1\nCAFile=%s\nMinVersion=1.2\n' "$work/ca.pem"
}

say "Authenticating over TLS: the server's certificate names 127.0.0.1"
write_tls_config 127.0.0.1 >"$config"
cat "$config"
ctl auth --card "$card" --password "$(otp)"

say "Calling the same server as localhost: its certificate does not name it, so it is refused"
write_tls_config localhost >"$config"
ctl status --card "$card"

say "The library's log of failed attempts: $logfile"
if [ -s "$logfile" ]; then sed 's/^ //; s/^/  /' "$logfile"; else echo "  (empty)"; fi

say "What the simulators saw"
for ((i = 1; i < servers; i++)); do sed 's/^/  /' "$work/sim$i.out"; done
sed 's/^/  /' "$work/sim-tls.out"

say "Stopping the simulators"
for pid in "${pids[@]}"; do stop_pid "$pid"; done
pids=()
echo "all stopped; the demo is over"
