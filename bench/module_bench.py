#!/usr/bin/python3
"""Times the _kiroku module against the interpreter's own work on the same data.

For each game, interleaved in one run (one round times every contender once,
best of all rounds is reported):

  kiroku      tenhou_to_mjai(text)
  json        json.loads(text) of the same log text
  floor       joined.split("\\n"): the same list of str built from ready text,
              which no conversion can beat
  file        tenhou_file_to_mjai(path, out)
  py_file     the same from Python: read the file, tenhou_to_mjai, write the lines

With --against PATH (another build's _kiroku module file, for a before/after
figure in one run), also:

  against     tenhou_to_mjai(text) of that build

Ratios below 1.0 against json mean the conversion is cheaper than parsing the
log.  The output is checked before anything is timed (against the stored
<log>.mjson beside a log, where there is one).

    PYTHONPATH=build-py/src/lib /usr/bin/python3 bench/module_bench.py [--rounds N] [LOG_OR_DIR ...]

Without arguments it uses tests/data/realistic_game.json and the real game
corpus beside the project (each skipped when absent).
"""

import argparse
import gc
import json
import os
import platform
import statistics
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
DEFAULT_SOURCES = [ROOT / "tests" / "data" / "realistic_game.json", ROOT.parent / "shared" / "corpus" / "real"]


def import_module(module_dir):
    if module_dir:
        sys.path.insert(0, str(module_dir))
    import _kiroku

    return _kiroku


def load_module_file(path):
    """Another build's module, loaded beside the first under its own file."""
    import importlib.util

    spec = importlib.util.spec_from_file_location("_kiroku", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def log_files(sources):
    files = []
    for source in sources:
        if source.is_dir():
            files.extend(sorted(p for p in source.glob("*.json") if p.is_file()))
        elif source.is_file():
            files.append(source)
    return files


class Game:
    def __init__(self, kiroku, path, out_path):
        self.path = path
        self.out_path = out_path
        self.text = path.read_text(encoding="utf-8")
        self.events = kiroku.tenhou_to_mjai(self.text)
        self.joined = "\n".join(self.events)
        self.size = len(self.text.encode())

    def check(self, kiroku):
        """The output is right before it is timed."""
        assert self.joined.split("\n") == self.events
        assert kiroku.tenhou_file_to_mjai(self.path, self.out_path) == self.events
        expected = "".join(e + "\n" for e in self.events).encode()
        assert self.out_path.read_bytes() == expected
        for text in self.events:
            json.loads(text)
        stored = self.path.with_suffix(".mjson")
        if stored.exists() and stored.read_bytes() != expected:
            sys.exit(f"{self.path.name}: the events differ from {stored.name}; not timing a wrong result")


def contenders(kiroku, game, other=None):
    text, joined, path, out = game.text, game.joined, game.path, game.out_path

    def python_file():
        with open(path, encoding="utf-8") as log:
            events = kiroku.tenhou_to_mjai(log.read())
        with open(out, "w", encoding="utf-8") as sink:
            sink.write("".join(e + "\n" for e in events))
        return events

    table = {
        "kiroku": lambda: kiroku.tenhou_to_mjai(text),
        "json": lambda: json.loads(text),
        "floor": lambda: joined.split("\n"),
        "file": lambda: kiroku.tenhou_file_to_mjai(path, out),
        "py_file": python_file,
    }
    if other is not None:
        table["against"] = lambda: other.tenhou_to_mjai(text)
    return table


def time_once(function, repeat):
    start = time.perf_counter_ns()
    for _ in range(repeat):
        function()
    return (time.perf_counter_ns() - start) / repeat


def run(kiroku, games, rounds, target_ns, other=None):
    """Best time (ns) per contender per game; the rounds interleave contenders."""
    best = [dict() for _ in games]
    tables = [contenders(kiroku, g, other) for g in games]
    # Enough repetitions per measurement that one takes about target_ns.
    repeats = []
    for table in tables:
        single = time_once(table["json"], 3)
        repeats.append(max(1, int(target_ns / max(single, 1))))
    gc_was_enabled = gc.isenabled()
    gc.disable()
    try:
        for _ in range(rounds):
            for game_best, table, repeat in zip(best, tables, repeats):
                for name, function in table.items():
                    elapsed = time_once(function, repeat)
                    game_best[name] = min(game_best.get(name, float("inf")), elapsed)
            gc.collect()
    finally:
        if gc_was_enabled:
            gc.enable()
    return best


def report(title, games, best):
    names = ["kiroku", "json", "floor", "file", "py_file"]
    total = {n: sum(b[n] for b in best) for n in names}
    size = sum(g.size for g in games)
    events = sum(len(g.events) for g in games)
    print(f"\n{title}: {len(games)} game(s), {size / 1024:.1f} KiB of log, {events} events")
    print("  per game (us):  " + "  ".join(f"{n} {total[n] / len(games) / 1000:8.1f}" for n in names))
    print(f"  tenhou_to_mjai / json.loads           {total['kiroku'] / total['json']:.3f}")
    print(f"  tenhou_to_mjai / floor (split)        {total['kiroku'] / total['floor']:.3f}")
    print(f"  floor / json.loads                    {total['floor'] / total['json']:.3f}")
    print(f"  tenhou_file_to_mjai / Python file IO  {total['file'] / total['py_file']:.3f}")
    if "against" in best[0]:
        against = sum(b["against"] for b in best)
        print(f"  tenhou_to_mjai / the --against build  {total['kiroku'] / against:.3f}")
    print(f"  throughput of tenhou_to_mjai          {size / (total['kiroku'] / 1e9) / 1e6:.1f} MB/s, "
          f"{events / (total['kiroku'] / 1e9) / 1e6:.2f} M events/s")
    if len(games) > 1:
        ratios = [b["kiroku"] / b["json"] for b in best]
        print(f"  per-game ratio to json.loads: median {statistics.median(ratios):.3f}, "
              f"max {max(ratios):.3f} ({games[ratios.index(max(ratios))].path.name})")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("sources", nargs="*", type=Path, help="log files or directories of *.json logs")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--target-ms", type=float, default=5.0, help="time per measurement")
    parser.add_argument("--module-dir", type=Path, default=os.environ.get("KIROKU_MODULE_DIR"))
    parser.add_argument("--against", type=Path, help="another build's _kiroku module file, timed beside this one")
    args = parser.parse_args()

    kiroku = import_module(args.module_dir)
    print(f"_kiroku {kiroku.__version__} from {kiroku.__file__}")
    other = load_module_file(args.against) if args.against else None
    if other is not None:
        print(f"against _kiroku {other.__version__} from {other.__file__}")
    print(f"Python {platform.python_version()} on {platform.machine()}, {platform.processor() or 'cpu ?'}")

    groups = []
    if args.sources:
        groups.append(("given logs", log_files(args.sources)))
    else:
        realistic, corpus = DEFAULT_SOURCES
        if realistic.exists():
            groups.append(("realistic game", [realistic]))
        corpus_files = log_files([corpus])
        if corpus_files:
            groups.append(("real corpus", corpus_files))
    groups = [(title, files) for title, files in groups if files]
    if not groups:
        sys.exit("no logs to time: give files or directories")

    with tempfile.TemporaryDirectory() as scratch:
        for title, files in groups:
            games = [Game(kiroku, path, Path(scratch) / f"{i}.jsonl") for i, path in enumerate(files)]
            for game in games:
                game.check(kiroku)
            if other is not None:
                differ = sum(other.tenhou_to_mjai(g.text) != g.events for g in games)
                if differ:
                    print(f"{title}: the --against build gives other events for {differ} game(s)")
            best = run(kiroku, games, args.rounds, args.target_ms * 1e6, other)
            report(title, games, best)


if __name__ == "__main__":
    main()
