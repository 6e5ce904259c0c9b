#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Run as root (or with sudo available) on Debian 12.
#
#   tools/install-deps.sh          the build, the tests and the benchmarks
#   tools/install-deps.sh --flow   only the open iCE40 flow (yosys, nextpnr-ice40, and the
#                                  IceStorm chip databases gen-ice40-devices.py reads)
#                                  that examples/ice40/flow.sh runs to regenerate
#                                  the imported examples; nothing else needs it
set -euo pipefail

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          rapidjson-dev libsimdjson-dev nlohmann-json3-dev tcl-dev binutils
          zlib1g-dev libxxhash-dev libexpat1-dev clang libclang-rt-14-dev libedit-dev python3-pexpect python3-pyte
          chromium)
case "${1:-}" in
  "") ;;
  --flow) packages=(yosys nextpnr-ice40 fpga-icestorm-chipdb) ;;
  *) echo "usage: tools/install-deps.sh [--flow]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
