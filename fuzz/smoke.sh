#!/bin/sh
# smoke.sh FUZZER DICT RSS_MB ARTIFACTS SEED...
#
# The short run the test suite gives a fuzz target: every seed once (a SEED
# is a file, or a folder whose files all count but README.md; one that does
# not exist is left out), then mutations up to 2000 executions in all, from
# a fixed random seed so that every run tries the same inputs.  New inputs go
# to a scratch folder, never into the source tree; a failing input is kept
# under ARTIFACTS.  DICT is "-" for none; RSS_MB is the memory the process
# may reach (libFuzzer's -rss_limit_mb), "-" for libFuzzer's default.  No
# time limit per input: the suite never fails on time.
set -eu

fuzzer=$1
dict=$2
rss=$3
artifacts=$4
shift 4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -p "$artifacts" "$scratch/new" "$scratch/seeds"

for seed in "$@"; do
  if [ -f "$seed" ]; then
    cp "$seed" "$scratch/seeds/"
  elif [ -d "$seed" ]; then
    find "$seed" -maxdepth 1 -type f ! -name README.md -exec cp {} "$scratch/seeds/" \;
  fi
done

set -- -runs=2000 -seed=1 -timeout=0 -print_final_stats=1 -artifact_prefix="$artifacts"
if [ "$dict" != "-" ]; then set -- "$@" -dict="$dict"; fi
if [ "$rss" != "-" ]; then set -- "$@" -rss_limit_mb="$rss"; fi
"$fuzzer" "$@" "$scratch/new" "$scratch/seeds"
