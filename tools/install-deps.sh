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
  # TLS resumption against nginx; the TLS benchmark's GnuTLS client; its profiles
  nginx libgnutls28-dev linux-perf
  # The 32-bit Windows DLL: cross compiler, GoogleTest's sources, and Wine
  # (its 32-bit part comes from the i386 architecture) to run the tests.
  g++-mingw-w64-i686-posix googletest wine wine32:i386
  scdoc zip debhelper lintian  # man pages, the Windows zip, Debian packages
  abigail-tools  # make abi-check
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
