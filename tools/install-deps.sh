#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need,
# but only those that are missing; through sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
  openjdk-17-jdk-headless junit4 junit5
  # The Python package: its Debian build, its tests and its type check.
  dh-python python3-all python3-setuptools python3-pytest mypy
  libcli11-dev libcpp-httplib-dev libsqlite3-dev libssl-dev
  nlohmann-json3-dev liboath-dev clang-format openssl ca-certificates valgrind libc-ares-dev
  iproute2  # the network-namespace tests bring up lo and set its addresses
  # TLS resumption against nginx; the TLS benchmark's GnuTLS client; its profiles
  nginx libgnutls28-dev linux-perf
  # The Windows DLLs: cross compilers, GoogleTest's sources, and 64-bit Wine
  # to run the tests (the 32-bit part of Wine is optional, below).
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64
  scdoc zip debhelper lintian  # man pages, the Windows zip, Debian packages
  abigail-tools  # make abi-check
  # The PAM module: its headers, pam_wrapper and nss_wrapper for its tests,
  # and sshd, ssh answered by sshpass, and pamtester for the end-to-end ones.
  libpam0g-dev libpam-wrapper libnss-wrapper libpamtest0-dev openssh-server sshpass pamtester
  # RADIUS through the PAM module: radiusd and radclient/radtest for its
  # end-to-end test.
  freeradius freeradius-utils
)

# Wanted but not required: 32-bit Wine comes from the i386 architecture,
# which a mirror mid-sync or a kernel without 32-bit support can lack; the
# 32-bit Windows stage then says it skipped.
optional=(wine32:i386)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done
optional_missing=()
for p in "${optional[@]}"; do
  is_installed "$p" || optional_missing+=("$p")
done
# An optional package that could not be had is tried once per machine boot,
# not again by every make target.
optional_stamp=/tmp/zcv-install-deps-optional-failed
if [ ${#missing[@]} -eq 0 ] && [ -f "$optional_stamp" ] &&
  [ "$(cat "$optional_stamp")" = "${optional_missing[*]}" ]; then
  optional_missing=()
fi
[ ${#missing[@]} -eq 0 ] && [ ${#optional_missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "installing: ${missing[*]} ${optional_missing[*]}"
# A mirror caught mid-sync fails one index (seen for i386 security
# updates); the others are still fresh, so a failed update is a warning and
# the install that follows says whether anything is really missing.
$sudo apt-get update -q || echo "install-deps: apt-get update reported errors; installing from the lists it has" >&2

# The tests start an sshd and a radiusd of their own; the system's services
# that installing openssh-server or freeradius would start and enable are
# kept from starting (a policy-rc.d of our own for the install, unless one
# is there) and disabled.
new_services=()
[[ " ${missing[*]} " == *" openssh-server "* ]] && new_services+=(ssh.service ssh.socket)
[[ " ${missing[*]} " == *" freeradius "* ]] && new_services+=(freeradius.service)
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ${#new_services[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# Written by install-deps.sh for its install; removed after it.\nexit 101\n' |
    $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  own_policy=1
fi
status=0
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    status=$?
fi
if [ "$status" -eq 0 ] && [ ${#optional_missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${optional_missing[@]}" ||
    { echo "install-deps: could not install ${optional_missing[*]}: the 32-bit Windows stage will skip" >&2
      echo "${optional_missing[*]}" >"$optional_stamp"; }
fi
[ "$own_policy" -eq 0 ] || $sudo rm -f "$policy"
for unit in "${new_services[@]}"; do
  if [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now "$unit" >/dev/null 2>&1 || true
  else
    $sudo update-rc.d "${unit%.*}" disable >/dev/null 2>&1 || true
  fi
done
exit "$status"
