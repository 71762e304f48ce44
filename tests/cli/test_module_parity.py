"""The tool writes the very bytes the Python module writes for the same log."""

import gzip
import json
from pathlib import Path

import pytest

from conftest import CORPUS_DIR, all_files, good_log, module_lines, write_log


def _assert_same_as_module(tool, module, log, tmp_path):
    text = log.read_text(encoding="utf-8")
    try:
        expected = module_lines(module, text)
    except ValueError:  # the module refuses it: so must the tool
        result = tool.run(log)
        assert result.returncode == 1 and result.stdout == b"", log
        return
    assert tool.run(log, check_status=0).stdout == expected, log
    module_out = tmp_path / "module.mjson"
    module.tenhou_file_to_mjai(str(log), str(module_out))
    assert module_out.read_bytes() == expected

def test_small_game(tool, kiroku_module, tmp_path):
    log = write_log(tmp_path / "game.json", json.dumps(good_log(), ensure_ascii=False))
    _assert_same_as_module(tool, kiroku_module, log, tmp_path)

def test_realistic_game(tool, kiroku_module, realistic_game, tmp_path):
    _assert_same_as_module(tool, kiroku_module, realistic_game, tmp_path)

def test_real_games(tool, kiroku_module, corpus_logs, tmp_path):
    for log in corpus_logs:
        _assert_same_as_module(tool, kiroku_module, log, tmp_path)

def test_real_games_as_one_batch(tool, kiroku_module, corpus_logs, tmp_path):
    out = tmp_path / "out"
    tool.run("-o", out, corpus_logs[0].parent)
    for log in corpus_logs:
        target = out / (log.stem + ".mjson")
        try:
            expected = module_lines(kiroku_module, log.read_text(encoding="utf-8"))
        except ValueError:
            assert not target.exists()
            continue
        assert target.read_bytes() == expected, log

def test_generated_games(tool, kiroku_module, generated_logs, tmp_path):
    for log in generated_logs:
        _assert_same_as_module(tool, kiroku_module, log, tmp_path)


def test_game_that_needed_the_search(tool, kiroku_module, tmp_path):
    log = Path(__file__).parent / "data" / "hand_needs_search.json"
    _assert_same_as_module(tool, kiroku_module, log, tmp_path)


def test_real_xml_games_plain_and_compressed(tool, kiroku_module, tmp_path):
    # The tool leaves the format to the core: a .mjlog, plain or gzip, gives
    # what the module gives for its text, alone or in a directory run.
    games = CORPUS_DIR.parent / "tenhou-xml" / "games" if CORPUS_DIR else None
    if games is None or not games.is_dir():
        pytest.skip(f"the real XML games are absent ({games})")
    logs = tmp_path / "logs"
    expected = {}
    for log in sorted(games.glob("*.mjlog")):
        text = log.read_text(encoding="utf-8")
        try:
            expected[log.stem] = module_lines(kiroku_module, text)
        except ValueError:
            expected[log.stem] = None  # refused by both
        write_log(logs / f"{log.stem}.mjlog", text)
        write_log(logs / "packed" / f"{log.stem}.mjlog.gz", text, compress=True)
    assert expected
    out = tmp_path / "out"
    tool.run("-o", out, logs)
    converted = {name for name, lines in expected.items() if lines is not None}
    assert all_files(out) == sorted([f"{name}.mjson" for name in converted] +
                                    [f"packed/{name}.mjson" for name in converted])
    for name in converted:
        assert (out / f"{name}.mjson").read_bytes() == expected[name]
        assert (out / "packed" / f"{name}.mjson").read_bytes() == expected[name]
        packed = logs / "packed" / f"{name}.mjlog.gz"
        assert tool.run(packed, check_status=0).stdout == expected[name]
        module_out = tmp_path / "module.mjson"
        kiroku_module.tenhou_file_to_mjai(packed, module_out)
        assert module_out.read_bytes() == expected[name]
