#!/usr/bin/env bash
# The Debian packages as a host's administrator meets them (root; behind
# `make test-package`): lintian, apt-get install, the installed
# configuration pointed at a zcvsim on loopback, zcvctl, a C++ host built
# against /usr and a Java host without a library path authenticating a
# card, a Java host through TokenClient and a Python host on Debian's
# python3 doing the same with the card's status, the PAM module (through
# pamtester) authenticating a card, the RADIUS site and module instance
# installed but not enabled and read by freeradius in a copy of the
# system's configuration with both enabled, a failed attempt logged by an
# unprivileged member of the log group (who cannot replace the log in its
# sticky folder), then purge and a check that nothing the packages
# installed is left.
# Whatever happens, the machine is left as it was found.
#   tools/test-package.sh <folder with the .debs>
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
debs=$(cd "$1" && pwd)
readonly packages=(libzephyrcoilvault1 libzephyrcoilvault-dev libzephyrcoilvault-java
  python3-zephyrcoilvault zephyrcoilvault-tools libpam-zephyrcoilvault freeradius-zephyrcoilvault)
readonly group=zephyrcoilvault
readonly config=/etc/zephyrcoilvault/cfgfile.ini
readonly logfile=/var/log/zephyrcoilvault/logfile.txt
readonly sim_lifetime=300     # the simulator stops by itself after this
readonly start_wait_steps=100 # of 0.05 s: 5 s for the simulator to listen
readonly card=1001 service_no=SN-1001
readonly authfile=/etc/zephyrcoilvault/users
readonly pam_service=zcv-test-package pam_user=zcvpamuser
readonly pam_service_file=/etc/pam.d/$pam_service
readonly raddb=/etc/freeradius/3.0

say() { printf '\n== test-package: %s\n' "$*"; }
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root (it installs and purges packages)"
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed; then
    fail "$p is installed already; purge it first so that this test can restore the machine"
  fi
done
[ -e /etc/zephyrcoilvault ] || [ -e /var/log/zephyrcoilvault ] &&
  fail "/etc/zephyrcoilvault or /var/log/zephyrcoilvault exists already"
[ -e "$pam_service_file" ] && fail "$pam_service_file exists already"
command -v pamtester >/dev/null || fail "pamtester is missing (tools/install-deps.sh installs it)"
getent passwd "$pam_user" >/dev/null && fail "user $pam_user exists already; remove it first"
# Installed here, freeradius would start its service: it must be there
# already (tools/install-deps.sh installs it and keeps it from starting).
command -v freeradius >/dev/null || fail "freeradius is missing (tools/install-deps.sh installs it)"
radiusd_state() {
  if [ -d /run/systemd/system ]; then
    systemctl is-enabled freeradius.service 2>&1 || true
    systemctl is-active freeradius.service 2>&1 || true
  fi
  pgrep -x freeradius >/dev/null && echo running || echo "not running"
}
radiusd_before=$(radiusd_state)

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-test-package.XXXXXX")
chmod 755 "$work"
dpkg-query -W -f='${Package}:${Architecture}\n' | sort >"$work/before"
group_existed=0
getent group "$group" >/dev/null && group_existed=1
sim_pid="" pam_user_added=0

restore() {
  local status=$?
  set +e
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -f "$pam_service_file" "$authfile"
  [ "$pam_user_added" -eq 0 ] || userdel "$pam_user" 2>/dev/null
  local installed=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed && installed+=("$p")
  done
  [ ${#installed[@]} -eq 0 ] || apt-get purge -y -q "${installed[@]}" >/dev/null
  # Packages that apt brought in for ours go too.
  dpkg-query -W -f='${Package}:${Architecture}\n' | sort >"$work/after"
  mapfile -t added < <(comm -13 "$work/before" "$work/after")
  [ ${#added[@]} -eq 0 ] || apt-get purge -y -q "${added[@]}" >/dev/null
  [ "$group_existed" -eq 1 ] || ! getent group "$group" >/dev/null || delgroup --quiet --system "$group"
  rm -rf "$work"
  [ "$status" -eq 0 ] && echo "test-package: passed; the machine is as it was" ||
    echo "test-package: failed; the machine is restored" >&2
  exit "$status"
}
trap restore EXIT
trap 'exit 130' INT TERM

say "lintian"
lintian --fail-on error,warning --info "$debs"/*.changes || fail "lintian reported errors or warnings"
echo "lintian: no errors, no warnings"

# Every path the packages hold, and which of them were there before.
for deb in "$debs"/*.deb; do dpkg-deb -c "$deb"; done | awk '{ print substr($6, 2) }' |
  sed 's:/$::' | grep -v '^$' | sort -u >"$work/paths"
echo "/var/log/zephyrcoilvault" >>"$work/paths"
while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done <"$work/paths" >"$work/existing"

say "apt-get install ./$(basename "$debs")/*.deb"
(cd "$debs/.." && apt-get install -y -q --no-install-recommends ./"$(basename "$debs")"/*.deb) >"$work/apt.log" ||
  { cat "$work/apt.log"; fail "apt-get install"; }
stat -c '%A %U:%G %n' /var/log/zephyrcoilvault "$logfile" "$config"

say "zcvsim on loopback, and the installed configuration pointed at it"
zcvsim add-card --db "$work/cards.db" --card "$card" --service-no "$service_no" --valid-days 30
zcvsim serve --db "$work/cards.db" --port 0 --port-file "$work/port" --max-seconds "$sim_lifetime" \
  >"$work/sim.out" 2>&1 &
sim_pid=$!
for ((n = 0; n < start_wait_steps; n++)); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { cat "$work/sim.out"; fail "zcvsim did not start"; }
port=$(cat "$work/port")
# The simulator here speaks plain HTTP, so the installed Enabled=1 is
# switched off as an administrator would for such a server.
sed -i -e "s/^ServerNumber=0$/ServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=$port/" \
  -e 's/^Enabled=1$/Enabled=0/' "$config"
grep -A2 -e '^ServerNumber=1' -e '^Enabled=0' "$config"
otp() { zcvsim otp --db "$work/cards.db" --card "$card"; }

say "installed zcvctl puts the card into service and authenticates it"
zcvctl enable --service-no "$service_no" --password "$(otp)" --user-name "Ann%20Lee" --id-type 1 \
  --id ID-4711 || fail "zcvctl enable"
zcvctl auth --card "$card" --password "$(otp)" || fail "zcvctl auth"

say "C++ hosts built against /usr (CMake package and pkg-config)"
"$root/examples/build-hosts.sh" "$work/hosts"
for host in "$work/hosts/cmake/host" "$work/hosts/pkg-config/host"; do
  "$host" "$card" "$(otp)" | tee "$work/host.out"
  grep -q '^9999 ' "$work/host.out" || fail "$host did not get 9999"
done

say "Java host: java -cp /usr/share/java/zephyrcoilvault.jar:. Host"
mkdir "$work/java"
javac -cp /usr/share/java/zephyrcoilvault.jar -d "$work/java" "$root/examples/java/Host.java"
(cd "$work/java" && java -cp /usr/share/java/zephyrcoilvault.jar:. Host "$card" "$(otp)") |
  tee "$work/java.out"
grep -q '^9999 ' "$work/java.out" || fail "the Java host did not get 9999"

say "Java host through TokenClient on $config"
javac -cp /usr/share/java/zephyrcoilvault.jar -d "$work/java" "$root/examples/java/ClientHost.java"
(cd "$work/java" && java -cp /usr/share/java/zephyrcoilvault.jar:. ClientHost "$config" "$card" "$(otp)") |
  tee "$work/java-client.out"
grep -q '^9999 .*status OptionalInt\[1\]' "$work/java-client.out" ||
  fail "the TokenClient host did not get 9999 and the card's status"
[ -f /usr/share/doc/libzephyrcoilvault-java/api/vantor/mira/TokenClient.html ] ||
  fail "the Java API documentation is missing"

say "Python host on /usr/bin/python3 (package python3-zephyrcoilvault)"
(cd "$work" && /usr/bin/python3 -I "$root/examples/python/host.py" "$config" "$card" "$(otp)") |
  tee "$work/python.out"
grep -q '^9999 .*status 1$' "$work/python.out" || fail "the Python host did not get 9999 and the status"

say "pamtester: one authentication through the installed PAM module"
# The module matches the authfile on the system's name for the user.
useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$pam_user"
pam_user_added=1
install -m 0600 /dev/null "$authfile"
printf '%s:%s\n' "$pam_user" "$card" >"$authfile"
printf 'auth required pam_zephyrcoilvault.so\n' >"$pam_service_file"
otp | pamtester -v "$pam_service" "$pam_user" authenticate || fail "pamtester authenticate"
rm -f "$pam_service_file" "$authfile"
userdel "$pam_user"
pam_user_added=0

say "the RADIUS site and module instance: installed, not enabled, read by freeradius"
for file in "$raddb/sites-available/zephyrcoilvault" "$raddb/mods-available/zephyrcoilvault" \
  /etc/pam.d/radiusd-zephyrcoilvault; do
  [ -f "$file" ] || fail "$file is missing"
done
for link in "$raddb/sites-enabled/zephyrcoilvault" "$raddb/mods-enabled/zephyrcoilvault"; do
  [ ! -e "$link" ] && [ ! -L "$link" ] || fail "$link exists: installing enabled it"
done
[ "$(radiusd_state)" = "$radiusd_before" ] || fail "installing changed the freeradius service"
# A copy of the system's configuration with both enabled, checked
# (freeradius -C reads every file and binds no port).
cp -a "$raddb" "$work/raddb"
sed -i "s|^raddbdir = .*|raddbdir = $work/raddb|" "$work/raddb/radiusd.conf"
ln -s ../sites-available/zephyrcoilvault "$work/raddb/sites-enabled/zephyrcoilvault"
ln -s ../mods-available/zephyrcoilvault "$work/raddb/mods-enabled/zephyrcoilvault"
freeradius -C -d "$work/raddb" >"$work/radiusd-check.out" 2>&1 ||
  { cat "$work/radiusd-check.out"; fail "freeradius refused the configuration with the site enabled"; }
echo "freeradius reads the configuration with the site and the module enabled"

say "a failed attempt, by an unprivileged member of group $group, lands in $logfile"
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
lines_before=$(wc -l <"$logfile")
gid=$(getent group "$group" | cut -d: -f3)
setpriv --reuid=nobody --regid=nogroup --groups="$gid" zcvctl auth --card "$card" --password 1 &&
  fail "zcvctl auth succeeded with the simulator stopped"
[ "$(wc -l <"$logfile")" -gt "$lines_before" ] || fail "nothing was appended to $logfile"
tail -n 3 "$logfile"

say "the log folder is sticky: a member of group $group cannot replace root's $logfile"
[ "$(stat -c %a "$(dirname "$logfile")")" = 3775 ] || fail "the log folder's mode is not 3775"
setpriv --reuid=nobody --regid=nogroup --groups="$gid" ln -sf /etc/passwd "$logfile" 2>/dev/null &&
  fail "a member of $group replaced $logfile by a link"
[ -f "$logfile" ] && [ ! -L "$logfile" ] || fail "$logfile is no longer a regular file"
echo "replacing $logfile was refused"

say "purge, and nothing the packages installed is left"
apt-get purge -y -q "${packages[@]}" >"$work/apt.log" || { cat "$work/apt.log"; fail "apt-get purge"; }
left=$(comm -23 "$work/paths" "$work/existing" | while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done)
[ -z "$left" ] || fail "left after purge: $left"
echo "nothing left"
