#!/usr/bin/env bash
# Installs what the build and the tests need, with apt-get, when missing,
# and the Debian packages given as arguments.
set -euo pipefail
# clang and its runtimes (libFuzzer among them) build the fuzz targets.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev python3 clang libclang-rt-14-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
