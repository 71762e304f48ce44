#!/bin/sh
# Remakes the compressed fixtures of tests/kiroku/io/ with each codec's own
# tool at its default level: the realistic game, and a mebibyte of spaces
# that a small cap refuses.  The lz4 and zstd tools are Debian's lz4 and
# zstd packages.
set -eu
cd "$(dirname "$0")"
head -c 1048576 /dev/zero | tr '\0' ' ' > spaces
cp ../realistic_game.json realistic_game
for name in realistic_game spaces; do
  gzip -n -c "$name" > "$name.gz"
  bzip2 -c "$name" > "$name.bz2"
  lz4 -q -c "$name" > "$name.lz4"
  zstd -q -c "$name" > "$name.zst"
  xz -c "$name" > "$name.xz"
  rm "$name"
done
