#!/bin/sh
# seed_corpus.sh TARGET CORPUS [GENERATED]
#
# Fills the working corpus folder CORPUS of fuzz target TARGET with its
# seeds: the committed ones (fuzz/seeds/), its reproducers
# (fuzz/regressions/TARGET/), the test fixtures, the simulator's logs in
# GENERATED when given, and the shared corpus beside the project when it is
# there.  The shared files are read into CORPUS, outside the source tree,
# and never committed.  Files already there stay: a campaign goes on from
# where the last one stopped.
set -eu

target=$1
corpus=$2
generated=${3:-}
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$fuzz_dir")
shared="$root/../shared/corpus"

mkdir -p "$corpus"

# Copies the files under FOLDER whose names match PATTERN.
add() {
  [ -d "$1" ] || return 0
  find "$1" -type f -name "$2" ! -name README.md -exec cp {} "$corpus/" \;
}

add "$fuzz_dir/regressions/$target" '*'
case $target in
  pipeline | log_mutations | reader)
    add "$fuzz_dir/seeds/json" '*'
    add "$root/tests/data" '*.json'
    [ -n "$generated" ] && add "$generated" '*.json'
    add "$shared/real" '*.json'
    add "$shared/tenhou-xml/official-pairs" '*.json'
    # The pipeline takes either format.
    if [ "$target" = pipeline ]; then
      add "$fuzz_dir/seeds/xml" '*'
      add "$shared/tenhou-xml" '*.xml'
      add "$shared/tenhou-xml" '*.mjlog'
    fi
    ;;
  decompress)
    add "$fuzz_dir/seeds/decompress" '*'
    # Each log in each codec whose tool is installed.
    for tool in "gzip -n:gz" "bzip2:bz2" "lz4 -q:lz4" "zstd -q:zst" "xz:xz"; do
      compress=${tool%:*}
      command -v "${compress%% *}" >/dev/null || continue
      for log in "$fuzz_dir"/seeds/json/*.json "$root"/tests/data/*.json; do
        # shellcheck disable=SC2086  # the tool and its options
        $compress -c "$log" > "$corpus/$(basename "$log").${tool#*:}"
      done
    done
    ;;
  xml)
    add "$fuzz_dir/seeds/xml" '*'
    add "$shared/tenhou-xml" '*.xml'
    add "$shared/tenhou-xml" '*.mjlog'
    ;;
  *)
    echo "seed_corpus.sh: no seeds known for target $target" >&2
    exit 2
    ;;
esac
