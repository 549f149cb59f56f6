#!/usr/bin/env bash
# The PAM module end to end (root; behind `make test-pam`): a real sshd on a
# loopback port with its own configuration and PAM service file, a
# throw-away user whose token card lives in a zcvsim, and ssh answering the
# token prompt through sshpass. The right code runs `true`; a wrong code is
# refused; a simulator that is stopped (SIGSTOP: it takes connections but
# never answers) is refused within the configuration's CallTimeout. The
# system's own sshd, if any, is neither used nor touched. Whatever happens,
# the machine is left as it was found. Where it cannot run (not root, no
# sshd, ssh or sshpass), it says so and exits 0.
#   tools/test-pam.sh <build folder>
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
module="$build/pam/pam_zephyrcoilvault.so"
sim="$build/tools/zcvsim/zcvsim"
readonly user=zcvpamtest
# sshd names its PAM service after the name it was started under.
readonly service=zcv-pam-test-sshd
readonly pam_file=/etc/pam.d/$service
readonly card=4711 service_no=SN-4711
readonly call_timeout=3       # the configuration's CallTimeout, in seconds
readonly refusal_slack=10     # on top of it, for ssh and a loaded machine
readonly start_wait_steps=100 # of 0.1 s: 10 s for a server to listen
readonly sim_lifetime=300     # the simulator stops by itself after this

skip() { echo "test-pam: SKIPPED: $*"; exit 0; }
fail() { echo "test-pam: FAILED: $*" >&2; exit 1; }
say() { printf '\n== test-pam: %s\n' "$*"; }

[ "$(id -u)" -eq 0 ] || skip "not root (it adds a user and a PAM service file)"
sshd_bin=$(command -v sshd || true)
[ -n "$sshd_bin" ] || [ ! -x /usr/sbin/sshd ] || sshd_bin=/usr/sbin/sshd
[ -n "$sshd_bin" ] || skip "no sshd (openssh-server; tools/install-deps.sh installs it)"
command -v ssh >/dev/null || skip "no ssh (openssh-client)"
command -v sshpass >/dev/null || skip "no sshpass"
for file in "$module" "$sim"; do [ -e "$file" ] || fail "$file is missing; build it first"; done
getent passwd "$user" >/dev/null && fail "user $user exists already; remove it first"
[ -e "$pam_file" ] && fail "$pam_file exists already; remove it first"

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-test-pam.XXXXXX")
chmod 755 "$work"
sshd_pid="" sim_pid="" user_added=0 run_sshd_made=0

cleanup() {
  local status=$?
  set +e
  if [ -n "$sim_pid" ]; then
    kill -CONT "$sim_pid" 2>/dev/null
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  if [ -n "$sshd_pid" ]; then kill "$sshd_pid" 2>/dev/null; wait "$sshd_pid" 2>/dev/null; fi
  [ "$user_added" -eq 0 ] || userdel "$user" 2>/dev/null
  rm -f "$pam_file"
  [ "$run_sshd_made" -eq 0 ] || rmdir /run/sshd 2>/dev/null
  if [ "$status" -ne 0 ] && [ -s "$work/sshd.log" ]; then
    echo "--- sshd log" >&2
    tail -n 30 "$work/sshd.log" >&2
  fi
  rm -rf "$work"
  [ "$status" -eq 0 ] && echo "test-pam: passed; the machine is as it was" ||
    echo "test-pam: failed; the machine is restored" >&2
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "zcvsim with card $card, put into service"
"$sim" add-card --db "$work/cards.db" --card "$card" --service-no "$service_no" --valid-days 1 >/dev/null
"$sim" serve --db "$work/cards.db" --port 0 --port-file "$work/sim.port" \
  --max-seconds "$sim_lifetime" >"$work/sim.out" 2>&1 &
sim_pid=$!
for ((n = 0; n < start_wait_steps; n++)); do [ -s "$work/sim.port" ] && break; sleep 0.1; done
[ -s "$work/sim.port" ] || { cat "$work/sim.out"; fail "zcvsim did not start"; }
sim_port=$(cat "$work/sim.port")
otp() { "$sim" otp --db "$work/cards.db" --card "$card"; }
# The enable page, asked directly: the library would need a configuration of
# its own for zcvctl.
null='(null)'
exec 3<>"/dev/tcp/127.0.0.1/$sim_port"
printf 'GET /TokenEnable.asp?sServiceNo=%s&iDynPasswd=%d&strUserName=%s&iIDType=1&strID=%s&strMobile=%s&strTel=%s&strPost=%s&strEmail=%s&strAddress=%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' \
  "$service_no" "$((10#$(otp)))" "$null" "$null" "$null" "$null" "$null" "$null" "$null" >&3
grep -q '<Result>9999</Result>' <&3 || fail "the simulator did not enable card $card"
exec 3<&-

say "the module's files, the PAM service $service and user $user"
printf '[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=%s\nCallTimeout=%s\n' \
  "$sim_port" "$call_timeout" >"$work/cfgfile.ini"
printf '# user:card\n%s:%s\n' "$user" "$card" >"$work/users"
chmod 644 "$work/cfgfile.ini" "$work/users"
cat >"$pam_file" <<EOF
# Written by tools/test-pam.sh for its own sshd; removed when it ends.
auth     required $module config=$work/cfgfile.ini authfile=$work/users debug
account  required pam_permit.so
session  required pam_permit.so
password required pam_deny.so
EOF
useradd --home-dir "$work/home" --create-home --shell /bin/sh "$user"
user_added=1
usermod --password '*' "$user" # no password, but not locked either

say "sshd on a loopback port, as $service"
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ln -s "$sshd_bin" "$work/$service"
if [ ! -d /run/sshd ]; then mkdir -m 755 /run/sshd; run_sshd_made=1; fi
start_sshd() {
  local port=$1
  cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile $work/sshd.pid
UsePAM yes
KbdInteractiveAuthentication yes
PasswordAuthentication no
PubkeyAuthentication no
AuthenticationMethods keyboard-interactive
AllowUsers $user
PermitRootLogin no
UseDNS no
LogLevel VERBOSE
EOF
  : >"$work/sshd.log"
  "$work/$service" -D -f "$work/sshd_config" -E "$work/sshd.log" &
  sshd_pid=$!
  for ((n = 0; n < start_wait_steps; n++)); do
    grep -q 'Server listening' "$work/sshd.log" && return 0
    kill -0 "$sshd_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$sshd_pid" 2>/dev/null; wait "$sshd_pid" 2>/dev/null || true
  sshd_pid=""
  return 1
}
for attempt in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  start_sshd "$port" && break
  [ "$attempt" -lt 5 ] || { cat "$work/sshd.log"; fail "sshd did not start"; }
done
echo "sshd listens on 127.0.0.1:$port (pid $sshd_pid)"

# Logs in with `code` as the answer to the token prompt and runs `true`.
login() {
  SSHPASS=$1 timeout 60 sshpass -e -P 'Token code' ssh -F /dev/null -p "$port" \
    -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR \
    -o PreferredAuthentications=keyboard-interactive -o NumberOfPasswordPrompts=1 \
    "$user@127.0.0.1" true
}

say "the card's current code: logged in"
right=$(otp)
login "$right" || fail "the right code was refused"
echo "logged in and ran true"

say "a wrong code: refused"
wrong=$(printf '%06d' $(((10#$(otp) + 500000) % 1000000)))
if login "$wrong"; then fail "a wrong code logged in"; fi
echo "refused"

say "the simulator stopped (SIGSTOP): refused within CallTimeout=$call_timeout s"
kill -STOP "$sim_pid"
start=$SECONDS
if login "$(otp)"; then fail "logged in while no token server answered"; fi
elapsed=$((SECONDS - start))
kill -CONT "$sim_pid"
echo "refused after ${elapsed} s"
[ "$elapsed" -le $((call_timeout + refusal_slack)) ] ||
  fail "the refusal took ${elapsed} s, more than ${call_timeout} s and a slack of ${refusal_slack} s"

say "no code in sshd's log"
for code in "$right" "$wrong"; do
  if grep -q "$code" "$work/sshd.log"; then fail "a code is in sshd's log"; fi
done
echo "none"
