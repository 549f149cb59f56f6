#!/usr/bin/env bash
# The PAM module end to end (root; behind `make test-pam`): a real sshd on a
# loopback port with its own configuration and PAM service file, a
# throw-away user whose token card lives in a zcvsim, and ssh answering the
# token prompt through sshpass. The right code runs `true`; a wrong code is
# refused by the module after the simulator refused it; a simulator that is
# stopped (SIGSTOP: it takes connections but never answers) is refused
# within the configuration's CallTimeout, after spending it. Every refusal
# must be sshd's own, for the reason expected, with sshd still alive: a
# dead sshd or a prompt ssh never answered fails the run. The system's own
# sshd, if any, is neither used nor touched. Whatever happens, the machine
# is left as it was found. Where it cannot run (not root, no sshd, ssh or
# sshpass), it says so and exits 0; in CI (CI=true) a missing program fails
# the run, naming the package to install.
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
# A program CI must have: there its absence fails the run.
need() {
  [ "${CI:-}" != "true" ] || fail "$1 (apt-get install $2, or tools/install-deps.sh)"
  skip "$1 (apt-get install $2, or tools/install-deps.sh)"
}

[ "$(id -u)" -eq 0 ] || skip "not root (it adds a user and a PAM service file)"
sshd_bin=$(command -v sshd || true)
[ -n "$sshd_bin" ] || [ ! -x /usr/sbin/sshd ] || sshd_bin=/usr/sbin/sshd
[ -n "$sshd_bin" ] || need "no sshd" openssh-server
command -v ssh >/dev/null || need "no ssh" openssh-client
command -v sshpass >/dev/null || need "no sshpass" sshpass
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

# shellcheck source=tools/enabled-sim.sh
source "$(dirname "$0")/enabled-sim.sh"

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
# Sets status (of sshpass and ssh), elapsed (seconds), and sshd_said and
# sim_said: the lines sshd and the simulator logged meanwhile. sshd must
# still be alive afterwards.
attempt() {
  local sshd_lines sim_lines start=$SECONDS
  sshd_lines=$(wc -l <"$work/sshd.log")
  sim_lines=$(wc -l <"$work/sim.out")
  status=0
  SSHPASS=$1 timeout 60 sshpass -e -P 'Token code' ssh -F /dev/null -p "$port" \
    -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR \
    -o PreferredAuthentications=keyboard-interactive -o NumberOfPasswordPrompts=1 \
    "$user@127.0.0.1" true >"$work/ssh.out" 2>&1 || status=$?
  elapsed=$((SECONDS - start))
  sshd_said=$(tail -n +"$((sshd_lines + 1))" "$work/sshd.log")
  sim_said=$(tail -n +"$((sim_lines + 1))" "$work/sim.out")
  kill -0 "$sshd_pid" 2>/dev/null || { cat "$work/ssh.out"; fail "sshd is gone"; }
}
# The attempt was refused by sshd after PAM answered `reason` (pam_strerror's
# text, as sshd logs it), not by a prompt nobody answered or a lost sshd.
refused_for() {
  [ "$status" -ne 0 ] || fail "logged in"
  grep -q "Failed keyboard-interactive/pam for $user " <<<"$sshd_said" &&
    grep -q "PAM: $1 for $user" <<<"$sshd_said" || {
    cat "$work/ssh.out"
    printf '%s\n' "$sshd_said"
    fail "ssh ended (status $status) without sshd refusing the login with \"$1\""
  }
}

say "the card's current code: logged in"
right=$(otp)
attempt "$right"
[ "$status" -eq 0 ] || { cat "$work/ssh.out"; fail "the right code was refused (status $status)"; }
grep -q "Accepted keyboard-interactive/pam for $user " <<<"$sshd_said" ||
  fail "sshd did not log the login"
grep -q 'TokenAuth.asp -> 9999' <<<"$sim_said" || fail "the simulator did not accept the code"
echo "logged in and ran true"

say "a wrong code: refused by the token service"
wrong=$(printf '%06d' $(((10#$(otp) + 500000) % 1000000)))
attempt "$wrong"
refused_for "Authentication failure"
grep 'TokenAuth.asp -> ' <<<"$sim_said" | grep -qv -- '-> 9999' ||
  fail "the simulator did not refuse a code: the module did not ask it"
echo "refused (status $status): $(grep -o 'TokenAuth.asp -> [0-9]*' <<<"$sim_said")"

say "the simulator stopped (SIGSTOP): refused within CallTimeout=$call_timeout s"
kill -STOP "$sim_pid"
attempt "$(otp)"
kill -CONT "$sim_pid"
refused_for "Authentication service cannot retrieve authentication info"
echo "refused after ${elapsed} s"
[ "$elapsed" -ge "$call_timeout" ] ||
  fail "refused after ${elapsed} s, before CallTimeout=${call_timeout} s was spent"
[ "$elapsed" -le $((call_timeout + refusal_slack)) ] ||
  fail "the refusal took ${elapsed} s, more than ${call_timeout} s and a slack of ${refusal_slack} s"

say "no code in sshd's log"
for code in "$right" "$wrong"; do
  if grep -q "$code" "$work/sshd.log"; then fail "a code is in sshd's log"; fi
done
echo "none"
