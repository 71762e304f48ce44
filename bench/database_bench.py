#!/usr/bin/python3
"""The tool on log databases: real XML games repeated to ROWS rows, one
database gzip-compressed (as the newer downloaders store them) and one bzip2
(the older), each converted with -j1 and -j2 beside the parts of the work
alone (every row read and decompressed, then the texts converted from
memory; see database_parts.cpp).  Reports, per compression:

- whole/parts: the -j1 run against the sum of the parts, i.e. what the
  database, the threads and the output files add;
- the speed-up of -j2 over -j1;
- games per second per core;
- peak resident memory of the -j1 run, and of a run over a tenth of the rows;
- and, for gzip, -j1 with --to tenhou6 (Tenhou's JSON log written instead
  of mjai events) against the mjai run.

Usage: bench/database_bench.py [--build build-bench] [--rows 20000] [--repeats 3]
Every output of the first run is checked against the tool's conversion of
that game from a file before anything is timed.  BENCH_TMP chooses where the
databases and outputs go (default /dev/shm when present: tmpfs times the
work, not a disk).
"""

import argparse
import bz2
import gzip
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent.parent
XML_CORPUS = Path(os.environ.get("KIROKU_XML_CORPUS_DIR", HERE.parent / "shared" / "corpus" / "tenhou-xml"))

COMPRESSIONS = {"gzip": lambda data: gzip.compress(data, compresslevel=6, mtime=0), "bz2": bz2.compress}


def real_games():
    """The corpus's XML games that convert, the cut-off record left out."""
    paths = sorted((XML_CORPUS / "games").glob("*.mjlog")) + sorted((XML_CORPUS / "official-pairs").glob("*.xml"))
    games = []
    for path in paths:
        if "no-round-end" in path.name:
            continue
        data = path.read_bytes()
        games.append(gzip.decompress(data) if data.startswith(b"\x1f\x8b") else data)
    return games


def log_id(number):
    month, day, hour = 1 + number % 12, 1 + number // 12 % 28, number // 336 % 24
    return f"2019{month:02}{day:02}{hour:02}gm-00a9-0000-{number:08x}"


def write_database(path, games, rows, compress):
    """The downloader's typed layout, every row one of the games in turn."""
    packed = [compress(game) for game in games]
    with sqlite3.connect(path) as db:
        db.execute("CREATE TABLE logs (id TEXT PRIMARY KEY, date TEXT NOT NULL, num_players INTEGER NOT NULL, "
                   "is_tonpu INTEGER NOT NULL, is_processed INTEGER NOT NULL, was_error INTEGER NOT NULL, log BLOB) "
                   "WITHOUT ROWID")
        db.executemany("INSERT INTO logs VALUES(?, '2019-01-01T00:00', 4, 0, 1, 0, ?)",
                       ((log_id(n), packed[n % len(packed)]) for n in range(rows)))
    db.close()


def run(command):
    """Wall seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    stderr = process.stderr.read().decode()
    process.stderr.close()
    if status != 0:
        sys.exit(f"database_bench: {' '.join(map(str, command))} failed:\n{stderr}")
    return elapsed, usage.ru_maxrss


def convert(kiroku, database, out, jobs, *options):
    shutil.rmtree(out, ignore_errors=True)
    return run([kiroku, "-q", "-j", str(jobs), *options, "-o", out, database])


def check_outputs(kiroku, games, rows, out, scratch):
    expected = []
    for number, game in enumerate(games):
        single = scratch / f"game{number}.mjlog"
        single.write_bytes(game)
        expected.append(subprocess.run([kiroku, single], capture_output=True, check=True).stdout)
    for n in range(rows):
        if (out / f"{log_id(n)}.mjson").read_bytes() != expected[n % len(games)]:
            sys.exit(f"database_bench: row {log_id(n)} differs from its game's conversion")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, default=HERE / "build-bench")
    parser.add_argument("--rows", type=int, default=20000)
    parser.add_argument("--repeats", type=int, default=3)
    arguments = parser.parse_args()
    kiroku = arguments.build / "src" / "cli" / "kiroku"
    parts = arguments.build / "bench" / "kiroku_database_parts"
    for tool in (kiroku, parts):
        if not tool.exists():
            sys.exit(f"database_bench: {tool} is not built (configure with -DKIROKU_BENCH=ON)")
    games = real_games()
    if not games:
        sys.exit(f"database_bench: no XML games in {XML_CORPUS}")

    default_tmp = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_TMP", default_tmp)) as scratch_name:
        scratch = Path(scratch_name)
        out = scratch / "out"
        print(f"{arguments.rows} rows of {len(games)} real games; best of {arguments.repeats}; "
              f"cores: {os.cpu_count()}")
        for name, compress in COMPRESSIONS.items():
            database = scratch / f"{name}.db"
            write_database(database, games, arguments.rows, compress)
            tenth = scratch / f"{name}-tenth.db"
            write_database(tenth, games, arguments.rows // 10, compress)
            convert(kiroku, database, out, 2)
            check_outputs(kiroku, games, arguments.rows, out, scratch)

            best = {"parts": float("inf"), 1: float("inf"), 2: float("inf"), "tenhou6": float("inf")}
            read_decompress = convert_alone = 0.0
            peak = peak_tenth = 0
            for _ in range(arguments.repeats):
                measured = json.loads(subprocess.run([parts, database], capture_output=True, check=True).stdout)
                if measured["read_decompress_s"] + measured["convert_s"] < best["parts"]:
                    best["parts"] = measured["read_decompress_s"] + measured["convert_s"]
                    read_decompress, convert_alone = measured["read_decompress_s"], measured["convert_s"]
                for jobs in (1, 2):
                    elapsed, rss = convert(kiroku, database, out, jobs)
                    best[jobs] = min(best[jobs], elapsed)
                    if jobs == 1:
                        peak = max(peak, rss)
                peak_tenth = max(peak_tenth, convert(kiroku, tenth, out, 1)[1])
                if name == "gzip":
                    best["tenhou6"] = min(best["tenhou6"], convert(kiroku, database, out, 1, "--to", "tenhou6")[0])
            rows = arguments.rows
            print(f"{name}: parts {best['parts']:.2f} s (read+decompress {read_decompress:.2f} s, "
                  f"convert {convert_alone:.2f} s); -j1 {best[1]:.2f} s = {best[1] / best['parts']:.3f}x the parts; "
                  f"-j2 {best[2]:.2f} s = {best[1] / best[2]:.2f}x faster; "
                  f"{rows / best[1]:.0f} games/s on one core, {rows / best[2] / 2:.0f} games/s/core with two; "
                  f"peak RSS -j1 {peak / 1024:.1f} MiB ({rows} rows) vs {peak_tenth / 1024:.1f} MiB "
                  f"({rows // 10} rows) = {peak / peak_tenth:.2f}x")
            if name == "gzip":
                print(f"gzip, --to tenhou6: -j1 {best['tenhou6']:.2f} s = {best['tenhou6'] / best[1]:.3f}x the mjai run")


if __name__ == "__main__":
    main()
