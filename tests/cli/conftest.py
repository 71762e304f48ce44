"""Shared helpers for the tests of the kiroku command-line tool.

CTest passes the tool's path and the data locations by environment:
KIROKU_CLI (required), KIROKU_DATA_DIR, KIROKU_CORPUS_DIR, KIROKU_MODULE_DIR
(the directory of the built _kiroku module, when it is built),
KIROKU_GEN_LOGS (the log generator, when it is built), KIROKU_STALL_SHIM
(a library that holds the tool at a chosen write) and KIROKU_SANITIZED (set
in a sanitizer build).
"""

import copy
import importlib
import json
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import compressors  # noqa: E402
from corpus_skips import CORPUS_ABSENT, report_corpus_skips  # noqa: E402


def _env_path(name):
    value = os.environ.get(name)
    return Path(value) if value else None


# A complete four-player game of one hand: the dealer draws and declares the
# nine-terminals draw instead of discarding.
CORPUS_DIR = _env_path("KIROKU_CORPUS_DIR")
SANITIZED = bool(os.environ.get("KIROKU_SANITIZED"))


def _seat(first_tile):
    return [[first_tile + i for i in range(9)] + [41, 42, 43, 44], [], []]


ONE_HAND_GAME = {
    "title": ["test", "2024-01-01"],
    "name": ["Aoi", "Beni", "Chika", "Daichi"],
    "rule": {"disp": "般南喰赤", "aka": 1},
    "log": [
        [[0, 0, 0], [25000, 25000, 25000, 25000], [21], []]
        + [[11, 12, 13, 14, 15, 16, 17, 18, 19, 41, 42, 43, 44], [45], []]
        + _seat(21) + _seat(31) + _seat(21)
        + [["九種九牌"]]
    ],
}


def good_log():
    return copy.deepcopy(ONE_HAND_GAME)


def broken_logs():
    """One log per stage that can refuse it, as (name, text, stage)."""
    no_takes = good_log()
    no_takes["log"][0][5] = []  # the dealer has nothing to draw
    three = good_log()
    three["rule"]["disp"] = "三般南喰赤"
    return [
        ("syntax", '{"log": [', "read"),
        ("three_player", json.dumps(three, ensure_ascii=False), "prepare"),
        ("conversion", json.dumps(no_takes, ensure_ascii=False), "convert"),
    ]


class Tool:
    def __init__(self, path):
        self.path = path

    def run(self, *args, cwd=None, umask=None, check_status=None, input=None, env=None, stdout=None):
        def set_umask():
            if umask is not None:
                os.umask(umask)

        result = subprocess.run(
            [str(self.path), *map(os.fsencode, args)],
            cwd=cwd,
            input=input,
            stdin=None if input is not None else subprocess.DEVNULL,
            stdout=stdout if stdout is not None else subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=None if env is None else {**os.environ, **env},
            preexec_fn=set_umask,
            timeout=600,
        )
        if check_status is not None:
            assert result.returncode == check_status, result.stderr.decode(errors="replace")
        return result


class Measured:
    """A run of the tool that ended, with its peak resident memory."""

    def __init__(self, returncode, stdout, stderr, peak_bytes):
        self.returncode, self.stdout, self.stderr, self.peak_bytes = returncode, stdout, stderr, peak_bytes


def _watch_peak(pid, peak):
    """Follows VmHWM, the peak resident size of the process's own memory,
    until the process has ended.  (The rusage of a child started from a large
    interpreter counts the interpreter's memory too.)"""
    while True:
        try:
            with open(f"/proc/{pid}/status") as status:
                hwm = next((int(line.split()[1]) for line in status if line.startswith("VmHWM:")), None)
        except OSError:
            return
        if hwm is None:  # a zombie: it has ended
            return
        peak[0] = max(peak[0], hwm * 1024)
        time.sleep(0.005)


def run_measured(tool, *args, env=None, prefix=(), started=None, tmp_path):
    """Runs the tool (behind `prefix`, such as prlimit, which execs it) and
    follows its peak resident memory; `started(process)` runs meanwhile."""
    out, err = tmp_path / "measured.stdout", tmp_path / "measured.stderr"
    with open(out, "wb") as stdout, open(err, "wb") as stderr:
        process = subprocess.Popen([*prefix, str(tool.path), *map(os.fsencode, args)], stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=stderr, env=None if env is None else {**os.environ, **env})
    peak = [0]
    watcher = threading.Thread(target=_watch_peak, args=(process.pid, peak), daemon=True)
    watcher.start()
    if started is not None:
        started(process)
    watcher.join(timeout=600)
    process.wait(timeout=600)
    return Measured(process.returncode, out.read_bytes(), err.read_bytes(), peak[0])


@pytest.fixture(scope="session")
def tool():
    path = _env_path("KIROKU_CLI")
    if path is None or not path.exists():
        pytest.fail("KIROKU_CLI must name the built kiroku tool")
    return Tool(path)


@pytest.fixture(scope="session")
def stall_shim():
    """The preloadable library that holds the tool at a chosen write, and the
    environment that loads it (a sanitizer runtime must not insist on coming
    first)."""
    path = _env_path("KIROKU_STALL_SHIM")
    if path is None or not path.exists():
        pytest.skip("the stall library is not built (KIROKU_STALL_SHIM)")
    preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"), str(path)]))
    asan = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
    return {"LD_PRELOAD": preload, "ASAN_OPTIONS": asan}


@pytest.fixture(scope="session")
def kiroku_module():
    module_dir = _env_path("KIROKU_MODULE_DIR")
    if module_dir is None:
        pytest.skip("the Python module is not built (KIROKU_PYTHON=OFF)")
    sys.path.insert(0, str(module_dir))
    try:
        return importlib.import_module("_kiroku")
    except ImportError as error:
        pytest.skip(f"_kiroku cannot be imported: {error}")


@pytest.fixture(scope="session")
def corpus_logs():
    corpus = CORPUS_DIR
    if corpus is None or not corpus.is_dir():
        pytest.skip(f"{CORPUS_ABSENT} ({corpus})")
    return sorted(corpus.glob("*.json"))


@pytest.fixture(scope="session")
def realistic_game():
    data = _env_path("KIROKU_DATA_DIR")
    path = data / "realistic_game.json" if data else None
    if path is None or not path.exists():
        pytest.skip("tests/data/realistic_game.json is absent")
    return path


@pytest.fixture(scope="session")
def generated_logs(tmp_path_factory):
    """Forty generated games, or a skip when the generator is not built."""
    generator = _env_path("KIROKU_GEN_LOGS")
    if generator is None or not generator.exists():
        pytest.skip("the gen_logs tool is not built")
    out = tmp_path_factory.mktemp("generated")
    subprocess.run([str(generator), str(out), "40", "1"], check=True, capture_output=True, timeout=600)
    logs = sorted(p for p in out.rglob("*") if p.is_file())
    assert logs, "gen_logs wrote no logs"
    return logs


def write_log(path, text, compress=False):
    """Writes the log, compressed when `compress` is True (gzip) or a codec's name."""
    path.parent.mkdir(parents=True, exist_ok=True)
    data = text.encode() if isinstance(text, str) else text
    if compress:
        data = compressors.compress("gzip" if compress is True else compress, data)
    path.write_bytes(data)
    return path


def all_files(root):
    return sorted(p.relative_to(root).as_posix() for p in root.rglob("*") if p.is_file())


def module_lines(module, text):
    """What the Python module writes for a log: every event text and a line feed."""
    return "".join(t + "\n" for t in module.tenhou_to_mjai(text)).encode()


def pytest_terminal_summary(terminalreporter):
    report_corpus_skips(terminalreporter, CORPUS_DIR)
