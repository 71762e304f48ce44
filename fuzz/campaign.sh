#!/bin/sh
# campaign.sh BUILD SECONDS JOBS [GENERATED] [TARGET...]
#
# Runs each fuzz target built in BUILD (all of them when none is named) for
# SECONDS on JOBS processes, on its working corpus BUILD/corpus/TARGET
# (seeded by seed_corpus.sh, GENERATED being the simulator's logs).  Inputs
# that fail are kept in BUILD/artifacts/TARGET/; a target that finds one
# stops, the others still run, and the exit status is 1 if any found one.
set -u

build=$1
seconds=$2
jobs=$3
generated=${4:-}
shift 3
[ $# -gt 0 ] && shift
fuzz_dir=$(cd "$(dirname "$0")" && pwd)

if [ $# -eq 0 ]; then
  for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && set -- "$@" "${fuzzer##*/fuzz_}"
  done
fi
if [ $# -eq 0 ]; then
  echo "campaign.sh: no fuzz targets in $build/fuzz (is clang-19 installed?)" >&2
  exit 1
fi

status=0
for target in "$@"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  sh "$fuzz_dir/seed_corpus.sh" "$target" "$corpus" "$generated" || exit 1
  mkdir -p "$artifacts"
  set -- -max_total_time="$seconds" -timeout=30 -max_len=131072 -print_final_stats=1 -print_funcs=0 -artifact_prefix="$artifacts/"
  case $target in
    # Ten times its 1 MiB cap above what it holds anyway (about 52 MiB); the
    # log targets at twice what they hold on their seeds (CMakeLists.txt
    # says why).
    decompress) set -- "$@" -rss_limit_mb=60 ;;
    xml) set -- "$@" -rss_limit_mb=128 -dict="$fuzz_dir/xml.dict" ;;
    *) set -- "$@" -rss_limit_mb=128 -dict="$fuzz_dir/log.dict" ;;
  esac
  if [ "$jobs" -gt 1 ]; then set -- "$@" -fork="$jobs"; fi
  echo "== $target: $seconds s on $jobs process(es), corpus $corpus"
  log="$build/fuzz-$target.log"
  # The whole output goes to the log; the terminal gets all but the lines for
  # each new corpus input.
  { "$build/fuzz/fuzz_$target" "$@" "$corpus" 2>&1; echo $? > "$log.status"; } | tee "$log" |
    grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|RELOAD) '
  if [ "$(cat "$log.status")" != 0 ]; then
    echo "== $target: found a failing input, see $log and $artifacts/"
    status=1
  fi
  rm -f "$log.status"
done
exit $status
