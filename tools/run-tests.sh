#!/usr/bin/env bash
# Builds opfreq with its whole test suite and runs it: the README's second quick-start command.
# The suite needs GoogleTest, Python 3, srec_cat and sdcc besides g++ and cmake: run as root, this
# installs the Debian packages that bring them; otherwise it names them and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v python3 >/dev/null || missing+=(python3)
command -v srec_cat >/dev/null || missing+=(srecord)
command -v sdcc >/dev/null || missing+=(sdcc)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "run-tests: the test suite needs ${missing[*]}; as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
cmake -S . -B build -DOPFREQ_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
