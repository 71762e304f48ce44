"""The tool writes the very bytes the Python module writes for the same log."""

import json
from pathlib import Path

from conftest import good_log, module_lines, write_log


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
