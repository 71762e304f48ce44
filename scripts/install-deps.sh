#!/bin/sh
# Installs the Debian packages kiroku needs to build and test, when missing.
# Run as root on Debian 12; does nothing when everything is present.
set -eu

# clang-19 and its runtime libraries build the libFuzzer targets in fuzz/
# (Debian's default clang cannot compile C++23 <expected> against g++ 12's
# library; libFuzzer and the sanitizer runtimes are in libclang-rt-19-dev).
# The lz4 and zstd tools make the compressed logs of the Python tests (the
# standard library covers gzip, bzip2 and xz); clang-format-19 checks the
# sources' formatting.
packages="g++ cmake make pkg-config libsimdjson-dev libxml2-dev libgtest-dev libbenchmark-dev
zlib1g-dev libbz2-dev liblz4-dev libzstd-dev liblzma-dev libsqlite3-dev lz4 zstd
python3 python3-dev python3-pytest python3-setuptools python3-pip clang-19 libclang-rt-19-dev clang-format-19"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done

if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086  # one word per package
  apt-get install -y -qq --no-install-recommends $missing
fi
