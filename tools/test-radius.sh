#!/usr/bin/env bash
# Token-card logins over RADIUS end to end (root; behind `make test-radius`):
# radiusd (Debian's freeradius) started in the foreground from a
# configuration folder of its own, listening on a loopback port, with the
# shipped module instance, virtual server and PAM service (radius/), the
# PAM module of the build, a throw-away user whose card lives in a zcvsim,
# and radclient and radtest sending Access-Requests (PAP, with
# Message-Authenticator). The right code is accepted; a wrong code, a user
# the system does not know, a refused configuration and a stopped simulator
# (SIGSTOP: it takes connections but never answers) are rejected, the last
# within CallTimeout and a slack; neither code is in any file radiusd
# wrote. radiusd runs as freerad, as it does when installed, so the
# module's files are root's and group freerad's, as zephyrcoilvault-radius(7)
# says. The system's own radiusd, if any, is neither used nor touched.
# Whatever happens, the machine is left as it was found. Where it cannot run
# (not root, no freeradius or radclient), it says so and exits 0; in CI
# (CI=true) a missing program fails the run.
#   tools/test-radius.sh <build folder>
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
module="$build/pam/pam_zephyrcoilvault.so"
sim="$build/tools/zcvsim/zcvsim"
readonly user=zcvradtest unknown_user=zcvradnobody
readonly service=zcv-radius-test
readonly pam_file=/etc/pam.d/$service
readonly card=4712 service_no=SN-4712
readonly call_timeout=3        # the configuration's CallTimeout, in seconds
readonly refusal_slack=10      # on top of it, for radiusd and a loaded machine
readonly client_timeout=20     # radclient's: it must exceed the bound
readonly start_wait_steps=100  # of 0.1 s: 10 s for a server to listen
readonly sim_lifetime=300      # the simulator stops by itself after this

skip() { echo "test-radius: SKIPPED: $*"; exit 0; }
fail() { echo "test-radius: FAILED: $*" >&2; exit 1; }
say() { printf '\n== test-radius: %s\n' "$*"; }
need() {
  [ "${CI:-}" != "true" ] || fail "$1 (apt-get install $2, or tools/install-deps.sh)"
  skip "$1 (apt-get install $2, or tools/install-deps.sh)"
}

[ "$(id -u)" -eq 0 ] || skip "not root (it adds a user and a PAM service file)"
radiusd=$(command -v freeradius || command -v radiusd || true)
[ -n "$radiusd" ] || [ ! -x /usr/sbin/freeradius ] || radiusd=/usr/sbin/freeradius
[ -n "$radiusd" ] || need "no radiusd" freeradius
command -v radclient >/dev/null || need "no radclient" freeradius-utils
command -v radtest >/dev/null || need "no radtest" freeradius-utils
getent passwd freerad >/dev/null || need "no user freerad" freeradius
for file in "$module" "$sim"; do [ -e "$file" ] || fail "$file is missing; build it first"; done
for name in "$user" "$unknown_user"; do
  getent passwd "$name" >/dev/null && fail "user $name exists already; remove it first"
done
[ -e "$pam_file" ] && fail "$pam_file exists already; remove it first"

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-test-radius.XXXXXX")
chmod 755 "$work"
raddb=$work/raddb
radiusd_pid="" sim_pid="" user_added=0

cleanup() {
  local status=$?
  set +e
  if [ -n "$sim_pid" ]; then
    kill -CONT "$sim_pid" 2>/dev/null
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  if [ -n "$radiusd_pid" ]; then kill "$radiusd_pid" 2>/dev/null; wait "$radiusd_pid" 2>/dev/null; fi
  [ "$user_added" -eq 0 ] || userdel "$user" 2>/dev/null
  rm -f "$pam_file"
  if [ "$status" -ne 0 ] && [ -s "$raddb/radius.log" ]; then
    echo "--- radiusd log" >&2
    tail -n 30 "$raddb/radius.log" >&2
  fi
  rm -rf "$work"
  [ "$status" -eq 0 ] && echo "test-radius: passed; the machine is as it was" ||
    echo "test-radius: failed; the machine is restored" >&2
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=tools/enabled-sim.sh
source "$(dirname "$0")/enabled-sim.sh"

say "the module's files (root's, readable by group freerad), PAM service $service, user $user"
printf '[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=%s\nCallTimeout=%s\n' \
  "$sim_port" "$call_timeout" >"$work/cfgfile.ini"
printf '# user:card\n%s:%s\n' "$user" "$card" >"$work/users"
chgrp freerad "$work/cfgfile.ini" "$work/users"
chmod 640 "$work/cfgfile.ini" "$work/users"
# The shipped service, with the module of the build and the test's files.
sed "s|pam_zephyrcoilvault.so|$module config=$work/cfgfile.ini authfile=$work/users debug|" \
  "$source_dir/radius/pam-service" >"$pam_file"
grep -q "^auth  *required  *$module " "$pam_file" || fail "the shipped PAM service has no module line"
useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
user_added=1

say "radiusd on a loopback port, from $raddb, as freerad"
mkdir -p "$raddb/mods-enabled" "$raddb/sites-enabled" "$raddb/run"
chown freerad:freerad "$raddb" "$raddb/run"
secret=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
# The module instance as shipped, on the test's PAM service.
sed "s|pam_auth = radiusd-zephyrcoilvault|pam_auth = $service|" "$source_dir/radius/module" \
  >"$raddb/mods-enabled/zephyrcoilvault"
grep -q "pam_auth = $service" "$raddb/mods-enabled/zephyrcoilvault" ||
  fail "the shipped module instance names no PAM service"
start_radiusd() {
  local port=$1
  # The shipped virtual server, listening on loopback and the test's port.
  sed "s|ipaddr = \*|ipaddr = 127.0.0.1|; s|port = 1812|port = $port|" \
    "$source_dir/radius/site" >"$raddb/sites-enabled/zephyrcoilvault"
  grep -q "port = $port" "$raddb/sites-enabled/zephyrcoilvault" || fail "the shipped site has no port"
  # The log settings zephyrcoilvault-radius(7) asks for: every login
  # logged, no password, and secrets hidden from debug output.
  cat >"$raddb/radiusd.conf" <<EOF
prefix = /usr
exec_prefix = /usr
sysconfdir = /etc
localstatedir = /var
sbindir = /usr/sbin
raddbdir = $raddb
confdir = \${raddbdir}
logdir = \${raddbdir}
radacctdir = \${raddbdir}
run_dir = \${raddbdir}/run
libdir = /usr/lib/freeradius
pidfile = \${run_dir}/radiusd.pid
name = radiusd
max_request_time = 30
log {
	destination = files
	file = \${logdir}/radius.log
	auth = yes
	auth_badpass = no
	auth_goodpass = no
	suppress_secrets = yes
}
security {
	user = freerad
	group = freerad
	allow_core_dumps = no
	reject_delay = 0
	status_server = no
}
proxy_requests = no
client loopback {
	ipaddr = 127.0.0.1
	secret = $secret
	require_message_authenticator = yes
}
thread pool {
	start_servers = 2
	max_servers = 4
	min_spare_servers = 1
	max_spare_servers = 4
}
modules {
	\$INCLUDE mods-enabled/
}
\$INCLUDE sites-enabled/
EOF
  : >"$raddb/radius.log"
  chown freerad:freerad "$raddb/radius.log"
  "$radiusd" -f -d "$raddb" >"$work/radiusd.out" 2>&1 &
  radiusd_pid=$!
  for ((n = 0; n < start_wait_steps; n++)); do
    grep -q 'Ready to process requests' "$raddb/radius.log" && return 0
    kill -0 "$radiusd_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$radiusd_pid" 2>/dev/null; wait "$radiusd_pid" 2>/dev/null || true
  radiusd_pid=""
  return 1
}
for attempt in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  start_radiusd "$port" && break
  [ "$attempt" -lt 5 ] || { cat "$work/radiusd.out" "$raddb/radius.log"; fail "radiusd did not start"; }
done
echo "radiusd listens on 127.0.0.1:$port (pid $radiusd_pid)"

# Sends one Access-Request for `name` with `code` as its User-Password and
# sets answer (Access-Accept, Access-Reject or none), elapsed (seconds),
# radiusd_said and sim_said (the lines each logged meanwhile). radiusd
# must still be alive afterwards.
ask() {
  local name=$1 code=$2 log_lines sim_lines start=$SECONDS
  log_lines=$(wc -l <"$raddb/radius.log")
  sim_lines=$(wc -l <"$work/sim.out")
  printf 'User-Name = "%s"\nUser-Password = "%s"\nMessage-Authenticator = 0x00\n' "$name" "$code" |
    timeout $((client_timeout + 10)) radclient -t "$client_timeout" -r 1 "127.0.0.1:$port" auth \
      "$secret" >"$work/radclient.out" 2>&1 || true
  elapsed=$((SECONDS - start))
  answer=$(grep -o 'Received Access-[A-Za-z]*' "$work/radclient.out" | head -n 1 | cut -d' ' -f2)
  answer=${answer:-none}
  radiusd_said=$(tail -n +"$((log_lines + 1))" "$raddb/radius.log")
  sim_said=$(tail -n +"$((sim_lines + 1))" "$work/sim.out")
  kill -0 "$radiusd_pid" 2>/dev/null || { cat "$work/radclient.out"; fail "radiusd is gone"; }
}
# The answer was `1`, and radiusd logged the login for `2` (PAM's reason
# for a rejection, as radiusd logs it).
expect() {
  [ "$answer" = "$1" ] || {
    printf '%s\n' "$radiusd_said"
    fail "the answer was $answer, not $1"
  }
  grep -q -- "$2" <<<"$radiusd_said" || {
    printf '%s\n' "$radiusd_said"
    fail "radiusd did not log \"$2\""
  }
}

say "radtest with the card's current code: Access-Accept"
right=$(otp)
log_lines=$(wc -l <"$raddb/radius.log")
# NAS-IP-Address 127.0.0.1: radtest would look the host name up otherwise.
radtest -t pap "$user" "$right" "127.0.0.1:$port" 0 "$secret" 0 127.0.0.1 >"$work/radtest.out" 2>&1 || true
grep -q 'Received Access-Accept' "$work/radtest.out" || {
  grep -v 'User-Password' "$work/radtest.out"
  fail "radtest got no Access-Accept"
}
grep -q 'TokenAuth.asp -> 9999' "$work/sim.out" || fail "the simulator did not accept the code"
tail -n +"$((log_lines + 1))" "$raddb/radius.log" | grep -q "Login OK: \[$user\]" ||
  fail "radiusd did not log the login"
echo "accepted"

say "a wrong code: Access-Reject after the token service refused it"
wrong=$(printf '%06d' $(((10#$(otp) + 500000) % 1000000)))
ask "$user" "$wrong"
expect Access-Reject "Authentication failure"
grep 'TokenAuth.asp -> ' <<<"$sim_said" | grep -qv -- '-> 9999' ||
  fail "the simulator did not refuse a code: the module did not ask it"
echo "rejected: $(grep -o 'TokenAuth.asp -> [0-9]*' <<<"$sim_said")"

say "a user the system does not know: Access-Reject, nothing sent"
ask "$unknown_user" "$(otp)"
expect Access-Reject "User not known to the underlying authentication module"
! grep -q 'TokenAuth.asp' <<<"$sim_said" || fail "a request was sent for an unknown user"
echo "rejected"

say "a configuration writable by others: Access-Reject, nothing sent"
chmod 646 "$work/cfgfile.ini"
ask "$user" "$(otp)"
chmod 640 "$work/cfgfile.ini"
expect Access-Reject "Authentication service cannot retrieve authentication info"
! grep -q 'TokenAuth.asp' <<<"$sim_said" || fail "a request was sent on a refused configuration"
echo "rejected"

say "the simulator stopped (SIGSTOP): Access-Reject within CallTimeout=$call_timeout s"
kill -STOP "$sim_pid"
ask "$user" "$(otp)"
kill -CONT "$sim_pid"
expect Access-Reject "Authentication service cannot retrieve authentication info"
echo "rejected after ${elapsed} s"
[ "$elapsed" -ge "$call_timeout" ] ||
  fail "rejected after ${elapsed} s, before CallTimeout=${call_timeout} s was spent"
[ "$elapsed" -le $((call_timeout + refusal_slack)) ] ||
  fail "the rejection took ${elapsed} s, more than ${call_timeout} s and a slack of ${refusal_slack} s"

say "no code in any file radiusd wrote"
for code in "$right" "$wrong"; do
  if grep -rq -- "$code" "$raddb" "$work/radiusd.out"; then fail "a code is in radiusd's files"; fi
done
echo "none in: $(cd "$raddb" && find . -type f ! -name '*.conf' ! -path './*-enabled/*' | tr '\n' ' ')"
