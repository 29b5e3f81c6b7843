#!/usr/bin/env bash
# Installs every Debian package Pelmora needs to build, test and run.
# Idempotent: packages already present are left alone.
#   scripts/install-deps.sh          build, run and test
#   scripts/install-deps.sh --extra  also screenshots, benchmarks and fuzzing
set -euo pipefail

packages=(
  # build
  g++ make cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  libcurl4-openssl-dev
  # the check history (pelmora.db)
  libsqlite3-dev
  # the web endpoint (/metrics, the status page); GnuTLS for its TLS
  libmicrohttpd-dev
  libgtest-dev clang-format
  # tests: mail server, network namespaces, a private X server for real windows,
  # setcap for the capability a packaged binary starts with
  python3 python3-aiosmtpd openssl iproute2 xvfb xauth xdotool libcap2-bin
  # systemd-analyze rates the service unit (offline: no running systemd needed)
  systemd
  # the metrics checked by promtool and scraped by a real Prometheus; curl asks the web endpoint
  prometheus curl
  # run: the windows are Japanese; without a CJK font every label is boxes
  fonts-noto-cjk
)
extra=(
  # screenshots of the real windows
  imagemagick x11-utils
  # the web pages' screenshots and their browser test
  chromium
  # benchmark against fping; the desktop entry check for packaging
  fping dpkg-dev desktop-file-utils
  # fuzzing
  clang libclang-rt-14-dev
)

want=("${packages[@]}")
if [ "${1:-}" = "--extra" ]; then want+=("${extra[@]}"); fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
