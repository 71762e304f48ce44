"""Shared fixtures and small logs for the tests of the _kiroku module.

CTest puts the built module on PYTHONPATH and passes KIROKU_DATA_DIR,
KIROKU_CORPUS_DIR and KIROKU_CLOSE_FAILURE_SHIM (a library that makes close()
of one chosen file fail) by environment.  Run by hand:

    PYTHONPATH=build-py/src/lib /usr/bin/python3 -m pytest -q tests/lib
"""

import json
import os
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from corpus_skips import CORPUS_ABSENT, report_corpus_skips  # noqa: E402

import _kiroku

ROOT = Path(__file__).resolve().parents[2]
DATA_DIR = Path(os.environ.get("KIROKU_DATA_DIR") or ROOT / "tests" / "data")
CORPUS_DIR = Path(os.environ.get("KIROKU_CORPUS_DIR") or ROOT.parent / "shared" / "corpus" / "real")

PARSE_MESSAGE = "failed to parse tenhou log"
INVALID_MESSAGE = "invalid log"
CONVERT_MESSAGE = "failed to convert tenhou log to mjai"
WRITE_MESSAGE = "failed to write to mjai out file"

NAMES = ["令和をん", "Botan", "Chiyo \"C\"", "Daiki\\"]


def seat(hand, takes=(), discards=()):
    return [list(hand), list(takes), list(discards)]


def nine_terminals_hand(dora=(25,)):
    """East 1: the dealer draws 9s and calls the nine-terminals draw at once."""
    return (
        [[0, 0, 0], [25000, 25000, 25000, 25000], list(dora), []]
        + seat([11, 19, 21, 29, 31, 41, 42, 43, 44, 45, 13, 14, 15], takes=[39])
        + seat([12, 12, 16, 17, 18, 22, 23, 24, 26, 27, 28, 32, 33])
        + seat([34, 35, 36, 37, 38, 46, 47, 16, 17, 18, 22, 23, 24])
        + seat([26, 27, 28, 32, 33, 34, 35, 36, 37, 38, 46, 47, 12])
        + [["九種九牌"]]
    )


def game_text(hands, disp="般南喰赤", names=NAMES):
    return json.dumps({"log": hands, "name": names, "rule": {"disp": disp, "aka": 1}}, ensure_ascii=False)


# A game with no hands: exactly "start_game" and "end_game".
EMPTY_GAME = game_text([])
# One hand that ends in an abortive draw on the dealer's first draw.
ONE_HAND_GAME = game_text([nine_terminals_hand()])
ONE_HAND_TYPES = ["start_game", "start_kyoku", "tsumo", "ryukyoku", "end_kyoku", "end_game"]

# One log per stage that refuses it: (text, exception class, message).
STAGE_FAILURES = {
    "read": ('{"log": [', _kiroku.JsonParsingError, PARSE_MESSAGE),
    "prepare": (game_text([nine_terminals_hand()], disp="三般南喰赤"), _kiroku.TenhouLogParsingError, INVALID_MESSAGE),
    # No dora indicator: the converter cannot open the hand.
    "convert": (game_text([nine_terminals_hand(dora=())]), _kiroku.TenhouToMjaiError, CONVERT_MESSAGE),
}


def expected_file_content(events):
    return "".join(text + "\n" for text in events).encode()


def run_python(code, *, env=None, cwd=None, **kwargs):
    """Runs `code` in a fresh interpreter that imports the same module."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        env=full_env,
        cwd=cwd,
        capture_output=True,
        timeout=600,
        **kwargs,
    )


def _corpus_files():
    return sorted(CORPUS_DIR.glob("*.json")) if CORPUS_DIR.is_dir() else []


@pytest.fixture(scope="session")
def corpus_files():
    files = _corpus_files()
    if not files:
        pytest.skip(f"{CORPUS_ABSENT} ({CORPUS_DIR})")
    return files


@pytest.fixture(scope="session")
def realistic_game():
    """A full game: tests/data/realistic_game.json, or else a real game."""
    path = DATA_DIR / "realistic_game.json"
    if path.exists():
        return path
    files = _corpus_files()
    if not files:
        pytest.skip("neither tests/data/realistic_game.json nor the real game corpus is present")
    return max(files, key=lambda p: p.stat().st_size)


@pytest.fixture
def log_file(tmp_path):
    """Writes a log text (str or bytes) to a file and returns its path."""

    def write(content, name="log.json"):
        path = tmp_path / name
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return path

    return write


def pytest_terminal_summary(terminalreporter):
    report_corpus_skips(terminalreporter, CORPUS_DIR)
