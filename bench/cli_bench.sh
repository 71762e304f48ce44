#!/usr/bin/env bash
# Throughput of the kiroku command-line tool on a directory of generated logs:
# -j 1 against -j 2 (the speed-up from the second core), and both against the
# Python module driven from a Python loop over the same files.
#
# Usage: bench/cli_bench.sh [BUILD_DIR] [COUNT] [REPEATS]
#   BUILD_DIR  a build with the targets kiroku, _kiroku and (optionally)
#              gen_logs, ideally configured with -DCMAKE_BUILD_TYPE=Release
#              (default: build-cli beside this script's parent)
#   COUNT      logs to convert (default 2000)
#   REPEATS    timed runs per configuration; the best is reported (default 10)
# BENCH_TMP chooses where the logs and outputs go (default: $TMPDIR or /tmp);
# BENCH_TMP=/dev/shm (tmpfs) times the conversion and the system calls alone,
# a disk directory adds what its file system takes to create each file.
#
# Without gen_logs the corpus files (KIROKU_CORPUS_DIR, default
# ../shared/corpus/real) are copied round-robin up to COUNT.  Every output is
# checked against the module's before anything is timed.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build-cli}" && pwd)
count=${2:-2000}
repeats=${3:-10}
python=/usr/bin/python3
corpus=${KIROKU_CORPUS_DIR:-$here/../shared/corpus/real}

kiroku=$build/src/cli/kiroku
[[ -x $kiroku ]] || { echo "cli_bench: no kiroku tool in $build (build the target kiroku)" >&2; exit 1; }
module=$(find "$build" -name '_kiroku*.so' -print -quit)
[[ -n $module ]] || { echo "cli_bench: no _kiroku module in $build (configure with -DKIROKU_PYTHON=ON)" >&2; exit 1; }
module_dir=$(dirname "$module")
gen_logs=$(find "$build" -name gen_logs -type f -perm -u+x -print -quit)

work=$(mktemp -d "${BENCH_TMP:-${TMPDIR:-/tmp}}/kiroku-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
logs=$work/logs
mkdir -p "$logs"

if [[ -n $gen_logs ]]; then
  source_of_logs="gen_logs --realistic, seeds 1..$count"
  "$gen_logs" "$logs" "$count" 1 --realistic >/dev/null
else
  source_of_logs="copies of the $corpus files"
  mapfile -t originals < <(find "$corpus" -maxdepth 1 -name '*.json' | sort)
  (( ${#originals[@]} > 0 )) || { echo "cli_bench: no gen_logs and no corpus" >&2; exit 1; }
  for ((i = 0; i < count; i++)); do
    cp "${originals[i % ${#originals[@]}]}" "$logs/$(printf '%05d' "$i").json"
  done
fi
files=$(find "$logs" -type f \( -name '*.json' -o -name '*.json.gz' \) | wc -l)
bytes=$(find "$logs" -type f \( -name '*.json' -o -name '*.json.gz' \) -printf '%s\n' | awk '{ s += $1 } END { print s }')

# "wall user+sys" seconds of the fastest of REPEATS runs of the tool with
# -j $1.  The CPU time shows whether a slow run did more work or only waited
# for a core that other processes held.  Every run writes into a directory of
# its own and nothing is deleted before the end: on ext4, creating files right
# after thousands were deleted costs far more (the inode allocator steps
# around recently freed inodes), which would time the file system instead.
time_tool() {  # JOBS RUN
  local start end user sys
  start=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/time" \
    "$kiroku" -q -j "$1" -o "$work/out-$1-$2" "$logs" 2>/dev/null || true
  end=$(date +%s.%N)
  read -r user sys < "$work/time"
  echo "$(echo "$end - $start" | bc -l) $(echo "$user + $sys" | bc -l)"
}
# -j 1 and -j 2 take turns, so that both meet the same load from elsewhere.
time_tool_both() {
  local w c best1="" cpu1="" best2="" cpu2=""
  for ((r = 0; r < repeats; r++)); do
    read -r w c < <(time_tool 1 "$r")
    if [[ -z $best1 ]] || (( $(echo "$w < $best1" | bc -l) )); then best1=$w cpu1=$c; fi
    read -r w c < <(time_tool 2 "$r")
    if [[ -z $best2 ]] || (( $(echo "$w < $best2" | bc -l) )); then best2=$w cpu2=$c; fi
  done
  echo "$best1 $cpu1 $best2 $cpu2"
}

# The module from a Python loop: each log read, converted and written by
# tenhou_file_to_mjai, the same work the tool does per file.  With "check" it
# instead compares every output of the tool with the module's and times nothing.
run_python() {
  PYTHONPATH=$module_dir "$python" - "$logs" "$work/out" "$work/pyout" "$repeats" "$1" <<'PY'
import sys, time
from pathlib import Path
import _kiroku

logs, tool_out, py_out, repeats, mode = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
files = sorted(p for p in logs.rglob("*.json"))
if mode == "check":
    converted = failed = mismatched = 0
    for path in files:
        target = tool_out / path.relative_to(logs).with_suffix(".mjson")
        try:
            expected = "".join(t + "\n" for t in _kiroku.tenhou_file_to_mjai(str(path))).encode()
        except ValueError:
            failed += 1
            mismatched += target.exists()
            continue
        converted += 1
        mismatched += not target.exists() or target.read_bytes() != expected
    print(converted, failed, mismatched)
    sys.exit(0)

best = best_cpu = None
for run in range(repeats):
    run_out = py_out / str(run)  # a fresh directory per run, as for the tool
    run_out.mkdir(parents=True)
    targets = [str(run_out / f"{i}.mjson") for i in range(len(files))]
    start, start_cpu = time.perf_counter(), time.process_time()
    for path, target in zip(files, targets):
        try:
            _kiroku.tenhou_file_to_mjai(str(path), target)
        except ValueError:
            pass
    elapsed, cpu = time.perf_counter() - start, time.process_time() - start_cpu
    if best is None or elapsed < best:
        best, best_cpu = elapsed, cpu
print(f"{best:.6f} {best_cpu:.6f}")
PY
}

echo "kiroku CLI benchmark"
echo "  CPU:       $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //') ($(nproc) cores)"
echo "  compiler:  $(grep -m1 CMAKE_CXX_COMPILER: "$build/CMakeCache.txt" | cut -d= -f2) $(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2)"
echo "  logs:      $files files, $(echo "scale=1; $bytes / 1000000" | bc -l) MB, $source_of_logs"
echo "  files on:  $(df --output=fstype "$work" | tail -1) ($work)"
echo "  load:      $(cut -d' ' -f1-3 /proc/loadavg) before the runs; best of $repeats runs each"

# Correctness first: a fast wrong result is no result.
"$kiroku" -q -j 2 -o "$work/out" "$logs" 2>/dev/null || true
read -r converted failed mismatched < <(run_python check)
echo "  check:     $converted converted, $failed refused by both, $mismatched differing from the module"
if (( mismatched > 0 )); then
  echo "cli_bench: the tool's output differs from the module's; not timing" >&2
  exit 1
fi

read -r t1 c1 t2 c2 < <(time_tool_both)
read -r tp cp < <(run_python time)
report() {  # label wall-seconds [cpu-seconds]
  printf '  %-22s %7.3f s %9.1f logs/s %7.1f MB/s' "$1" "$2" "$(echo "$files / $2" | bc -l)" \
    "$(echo "$bytes / 1000000 / $2" | bc -l)"
  if [[ -n ${3:-} ]]; then printf '   (%.3f s CPU)' "$3"; fi
  printf '\n'
}
report "kiroku -j 1" "$t1" "$c1"
report "kiroku -j 2" "$t2" "$c2"
report "Python loop (module)" "$tp" "$cp"
printf '  speed-up -j 2 / -j 1:  %.2f (target >= 1.6)\n' "$(echo "$t1 / $t2" | bc -l)"
printf '  kiroku -j 1 / Python:  %.2f\n' "$(echo "$tp / $t1" | bc -l)"
printf '  kiroku -j 2 / Python:  %.2f\n' "$(echo "$tp / $t2" | bc -l)"
echo "  load:      $(cut -d' ' -f1-3 /proc/loadavg) after the runs"
