"""One log: to standard output or to a named file, and each way it can fail."""

import gzip
import json
import os
import stat
from pathlib import Path

import pytest

from compressors import CODECS, compress
from conftest import all_files, broken_logs, good_log, write_log


def _events(output):
    return [json.loads(line) for line in output.decode().splitlines()]


@pytest.fixture
def good_file(tmp_path):
    return write_log(tmp_path / "in" / "game.json", json.dumps(good_log(), ensure_ascii=False))


def test_one_log_goes_to_standard_output(tool, good_file):
    result = tool.run(good_file, check_status=0)
    assert result.stderr == b""
    events = _events(result.stdout)
    assert events[0]["type"] == "start_game"
    assert events[0]["names"] == good_log()["name"]
    assert events[-1]["type"] == "end_game"
    assert result.stdout.endswith(b"\n")
    assert tool.run("-o", "-", good_file, check_status=0).stdout == result.stdout


def test_output_file_holds_exactly_the_standard_output(tool, good_file, tmp_path):
    expected = tool.run(good_file, check_status=0).stdout
    out = tmp_path / "out" / "deeper" / "game.mjson"  # missing parents are created
    result = tool.run("-o", out, good_file, check_status=0)
    assert result.stdout == b"" and result.stderr == b""
    assert out.read_bytes() == expected
    assert all_files(tmp_path / "out") == ["deeper/game.mjson"]  # no temporary file left

    out.write_text("old content that is longer than the new one" * 100)
    tool.run("-o", out, good_file, check_status=0)
    assert out.read_bytes() == expected


def test_output_file_has_the_mode_of_a_created_file(tool, good_file, tmp_path):
    for umask, mode in [(0o022, 0o644), (0o077, 0o600), (0o002, 0o664)]:
        out = tmp_path / f"mode-{umask:o}.mjson"
        tool.run("-o", out, good_file, umask=umask, check_status=0)
        assert stat.S_IMODE(out.stat().st_mode) == mode


def test_gzip_input_is_recognised_by_content_not_name(tool, good_file, tmp_path):
    expected = tool.run(good_file, check_status=0).stdout
    text = good_file.read_text()
    for name in ["game.json.gz", "game.json", "game"]:
        packed = write_log(tmp_path / "gz" / name, text, compress=True)
        assert tool.run(packed, check_status=0).stdout == expected, name
    # Two gzip members, as `cat a.gz b.gz` makes them, hold one text.
    half = len(text) // 2
    split = tmp_path / "split.json"
    split.write_bytes(gzip.compress(text[:half].encode()) + gzip.compress(text[half:].encode()))
    assert tool.run(split, check_status=0).stdout == expected


@pytest.mark.parametrize("codec", CODECS)
def test_every_codec_converts_as_the_plain_log(tool, good_file, tmp_path, codec):
    expected = tool.run(good_file, check_status=0).stdout
    data = good_file.read_bytes()
    half = len(data) // 2
    packed = write_log(tmp_path / "game.json", data, compress=codec)
    assert tool.run(packed, check_status=0).stdout == expected
    two_frames = tmp_path / "two_frames.json"
    two_frames.write_bytes(compress(codec, data[:half]) + compress(codec, data[half:]))
    assert tool.run(two_frames, check_status=0).stdout == expected
    cut = tmp_path / "cut.json"
    cut.write_bytes(packed.read_bytes()[:-1])
    assert tool.run(cut, check_status=1).stderr.decode() == f"{cut}: {codec}: unexpected end of file\n"


@pytest.mark.parametrize("name,text,stage", broken_logs(), ids=[b[0] for b in broken_logs()])
def test_broken_log_fails_with_its_stage_and_writes_nothing(tool, tmp_path, name, text, stage):
    log = write_log(tmp_path / f"{name}.json", text)
    result = tool.run(log)
    assert result.returncode == 1
    assert result.stdout == b""
    lines = result.stderr.decode().splitlines()
    assert len(lines) == 1 and lines[0].startswith(f"{log}: {stage}: "), lines

    out = tmp_path / "out.mjson"
    assert tool.run("-o", out, log).returncode == 1
    assert not out.exists()
    out.write_text("kept\n")  # an earlier result survives a failed run
    assert tool.run("-o", out, log).returncode == 1
    assert out.read_text() == "kept\n"
    assert all_files(tmp_path) == sorted([f"{name}.json", "out.mjson"])


def test_conversion_failure_names_hand_and_seat(tool, tmp_path):
    _, text, _ = broken_logs()[2]
    log = write_log(tmp_path / "conversion.json", text)
    stderr = tool.run(log, check_status=1).stderr.decode()
    assert "hand 0" in stderr and "honba 0" in stderr and "seat 0" in stderr, stderr


@pytest.mark.parametrize(
    "content,stage",
    [
        (b"", "read: "),
        (b'\xef\xbb\xbf{"log": []}', "read: "),  # a byte-order mark is not whitespace
        (b'{"name": "\xff"}', "read: stream did not contain valid UTF-8"),
        (gzip.compress(b"{}")[:-12], "gzip: "),  # cut short
        (gzip.compress(b"{}") + b"junk", "gzip: "),
    ],
    ids=["empty", "bom", "not_utf8", "truncated_gzip", "gzip_then_junk"],
)
def test_unreadable_content_fails(tool, tmp_path, content, stage):
    log = tmp_path / "bad.json"
    log.write_bytes(content)
    result = tool.run(log, check_status=1)
    assert result.stdout == b""
    assert result.stderr.decode().startswith(f"{log}: {stage}"), result.stderr


def test_missing_or_unreadable_input_fails(tool, tmp_path):
    missing = tmp_path / "missing.json"
    result = tool.run(missing, check_status=1)
    assert result.stderr.decode() == f"{missing}: open: No such file or directory\n"
    if os.geteuid() != 0:  # root reads anything
        locked = write_log(tmp_path / "locked.json", "{}")
        locked.chmod(0)
        assert "Permission denied" in tool.run(locked, check_status=1).stderr.decode()


def test_summary_counts_the_log(tool, good_file):
    result = tool.run("--summary", good_file, check_status=0)
    events = len(result.stdout.splitlines())
    summary = result.stderr.decode()
    assert summary.startswith(f"kiroku: 1 logs converted, 0 failed, {events} events written, "), summary
    assert summary.endswith(" s\n")


# A generated game with a hand whose calls only the search past the retry
# rule puts in order.
NEEDS_SEARCH = Path(__file__).parent / "data" / "hand_needs_search.json"


def test_a_log_that_needed_the_search_converts_with_a_note(tool, tmp_path):
    result = tool.run(NEEDS_SEARCH, check_status=0)
    assert result.stdout.startswith(b'{"type":"start_game"')
    assert result.stderr.decode() == f"{NEEDS_SEARCH}: note: converted; 1 hand needed a search of the call orders\n"
    assert tool.run("--quiet", NEEDS_SEARCH, check_status=0).stderr == b""

    # In a batch the note is no failure either.
    batch = tool.run("--summary", "-o", f"{tmp_path / 'out'}/", NEEDS_SEARCH, check_status=0)
    lines = batch.stderr.decode().splitlines()
    assert lines[0].endswith("note: converted; 1 hand needed a search of the call orders")
    assert lines[1].startswith("kiroku: 1 logs converted, 0 failed, ")
    assert (tmp_path / "out" / "hand_needs_search.mjson").read_bytes() == result.stdout
