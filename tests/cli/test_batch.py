"""Many logs into an output directory: layout, failures, gzip, stopping."""

import gzip
import json
import os
import signal
import subprocess
import time

import pytest

from conftest import all_files, broken_logs, good_log, write_log


def _good_text(player="Aoi"):
    log = good_log()
    log["name"][0] = player
    return json.dumps(log, ensure_ascii=False)


@pytest.fixture
def mixed_tree(tmp_path):
    """A nested archive of good, compressed and broken logs, plus other files."""
    root = tmp_path / "logs"
    write_log(root / "a.json", _good_text("a"))
    write_log(root / "2024" / "01" / "b.json", _good_text("b"))
    write_log(root / "2024" / "01" / "c.json.gz", _good_text("c"), compress=True)
    write_log(root / "2024" / "02" / "d.json", _good_text("d"), compress=True)  # gzip under a plain name
    for name, text, _ in broken_logs():
        write_log(root / "2024" / "02" / f"{name}.json", text)
    write_log(root / "notes.txt", "not a log")
    write_log(root / "2024" / "readme.md", "not a log either")
    (root / "empty_dir").mkdir()
    return root


def _failures(stderr):
    """Reported file -> diagnostic, leaving out notes."""
    reported = {}
    for line in stderr.decode().splitlines():
        file, _, diagnostic = line.partition(": ")
        if diagnostic.startswith("note: "):
            continue
        assert file not in reported, f"{file} reported twice"
        reported[file] = diagnostic
    return reported


def test_mixed_directory(tool, mixed_tree, tmp_path):
    out = tmp_path / "out"
    result = tool.run("-o", out, mixed_tree, "-j", "2")
    assert result.returncode == 1
    assert result.stdout == b""

    assert all_files(out) == [
        "2024/01/b.mjson",
        "2024/01/c.mjson",
        "2024/02/d.mjson",
        "a.mjson",
    ]
    for relative, player in [("a.mjson", "a"), ("2024/01/b.mjson", "b"), ("2024/01/c.mjson", "c"), ("2024/02/d.mjson", "d")]:
        expected = tool.run(write_log(tmp_path / "single" / f"{player}.json", _good_text(player)), check_status=0).stdout
        assert (out / relative).read_bytes() == expected, relative

    # A three-player game found in a directory is passed over and counted;
    # every other refusal fails its log alone.
    refused = [(name, stage) for name, _, stage in broken_logs() if name != "three_player"]
    reported = _failures(result.stderr)
    assert set(reported) == {str(mixed_tree / "2024" / "02" / f"{name}.json") for name, _ in refused}
    for name, stage in refused:
        assert reported[str(mixed_tree / "2024" / "02" / f"{name}.json")].startswith(f"{stage}: ")
    assert "kiroku: note: 1 logs skipped (three-player game: 1)" in result.stderr.decode().splitlines()


def test_keep_going_is_the_default_and_fail_fast_stops(tool, tmp_path):
    root = tmp_path / "logs"
    _, bad, _ = broken_logs()[0]
    write_log(root / "a_broken.json", bad)
    for i in range(20):
        write_log(root / f"b{i:02}.json", _good_text(f"p{i}"))

    kept = tool.run("--summary", "-o", tmp_path / "kept", root, "--keep-going", check_status=1)
    assert len(all_files(tmp_path / "kept")) == 20
    assert kept.stderr.decode().splitlines()[-1].startswith("kiroku: 20 logs converted, 1 failed, ")

    # One worker takes the logs in name order, so nothing follows the failure.
    stopped = tool.run("--summary", "--fail-fast", "-j", "1", "-o", tmp_path / "stopped", root, check_status=1)
    lines = stopped.stderr.decode().splitlines()
    assert lines[0].startswith(f"{root / 'a_broken.json'}: read: ")
    assert lines[-1].startswith("kiroku: 0 logs converted, 1 failed, 20 skipped (not started: 20), 0 events written, ")
    assert not (tmp_path / "stopped").exists() or all_files(tmp_path / "stopped") == []


def test_missing_input_fails_but_the_rest_converts(tool, tmp_path):
    good = write_log(tmp_path / "good.json", _good_text())
    missing = tmp_path / "missing"
    result = tool.run("-o", tmp_path / "out", missing, good, check_status=1)
    assert _failures(result.stderr) == {str(missing): "open: No such file or directory"}
    assert all_files(tmp_path / "out") == ["good.mjson"]


def test_file_arguments_go_to_the_top_of_the_output_directory(tool, tmp_path):
    a = write_log(tmp_path / "x" / "y" / "a.json", _good_text())
    b = write_log(tmp_path / "b.log", _good_text())  # named files are taken whatever their name
    tool.run("-o", tmp_path / "out", a, b, check_status=0)
    assert all_files(tmp_path / "out") == ["a.mjson", "b.log.mjson"]
    # One file into an existing directory, or one named with a final slash.
    tool.run("-o", tmp_path / "out", a, check_status=0)
    tool.run("-o", f"{tmp_path / 'new'}/", a, check_status=0)
    assert all_files(tmp_path / "new") == ["a.mjson"]


def test_gzip_output_is_readable(tool, mixed_tree, tmp_path):
    plain, packed = tmp_path / "plain", tmp_path / "packed"
    tool.run("-o", plain, mixed_tree)
    tool.run("--gzip", "-o", packed, mixed_tree)
    names = all_files(plain)
    assert all_files(packed) == [n + ".gz" for n in names]
    for name in names:
        data = (packed / (name + ".gz")).read_bytes()
        assert data[:2] == b"\x1f\x8b"
        assert gzip.decompress(data) == (plain / name).read_bytes()


def test_every_log_name_is_found_and_named_mjson(tool, tmp_path):
    # The names decide what a directory walk takes; the content, whatever
    # the name, decides how a log is read.
    root = tmp_path / "logs"
    for name in ["a.json", "b.mjlog", "c.xml", "d.json.gz", "e.mjlog.gz", "f.xml.gz"]:
        write_log(root / "sub" / name, _good_text(name[0]), compress=name.endswith(".gz"))
    for name in ["g.mjson", "h.xml.bak", "i.gz", "j.jsonl", ".kiroku-1-0.tmp"]:
        write_log(root / "sub" / name, _good_text())
    tool.run("-o", tmp_path / "out", root, check_status=0)
    assert all_files(tmp_path / "out") == [f"sub/{letter}.mjson" for letter in "abcdef"]
    tool.run("--gzip", "-o", tmp_path / "packed", root, check_status=0)
    assert all_files(tmp_path / "packed") == [f"sub/{letter}.mjson.gz" for letter in "abcdef"]
    # Named ones keep the rule: known extensions replaced, others kept.
    tool.run("-o", tmp_path / "named", root / "sub" / "b.mjlog", root / "sub" / "h.xml.bak", check_status=0)
    assert all_files(tmp_path / "named") == ["b.mjson", "h.xml.bak.mjson"]


def test_two_logs_with_one_output_path(tool, tmp_path):
    root = tmp_path / "logs"
    write_log(root / "g.json", _good_text("plain"))
    write_log(root / "g.json.gz", _good_text("packed"), compress=True)
    result = tool.run("-o", tmp_path / "out", root, check_status=1)
    reported = _failures(result.stderr)
    assert list(reported) == [str(root / "g.json.gz")]
    assert "is also the output of" in reported[str(root / "g.json.gz")]
    assert b'"plain"' in (tmp_path / "out" / "g.mjson").read_bytes()


def test_unwritable_output_fails_per_log_and_leaves_no_temporary_file(tool, tmp_path):
    root = tmp_path / "logs"
    write_log(root / "ok" / "a.json", _good_text())
    write_log(root / "blocked" / "b.json", _good_text())
    out = tmp_path / "out"
    write_log(out / "blocked", "a file where a directory is needed")
    write_log(out / "ok" / "a.mjson" / "x", "a directory where the output file goes")
    write_log(root / "ok" / "c.json", _good_text())
    result = tool.run("-o", out, root, check_status=1)
    reported = _failures(result.stderr)
    assert set(reported) == {str(root / "blocked" / "b.json"), str(root / "ok" / "a.json")}
    assert all(d.startswith("write: ") for d in reported.values()), reported
    assert all_files(out) == ["blocked", "ok/a.mjson/x", "ok/c.mjson"]


def test_generated_logs_match_single_conversions(tool, generated_logs, tmp_path):
    root = generated_logs[0].parent
    result = tool.run("-j", "2", "-o", tmp_path / "out", root)
    assert result.returncode in (0, 1)
    failed = _failures(result.stderr)
    for log in generated_logs:
        single = tool.run(log)
        target = tmp_path / "out" / (log.relative_to(root).as_posix().removesuffix(".json") + ".mjson")
        if str(log) in failed:
            assert single.returncode == 1 and not target.exists()
        else:
            assert single.returncode == 0 and target.read_bytes() == single.stdout


def test_interrupt_leaves_only_whole_files(tool, tmp_path):
    root = tmp_path / "logs"
    text = _good_text()
    for i in range(3000):
        write_log(root / f"{i // 100:02}" / f"{i:04}.json", text)
    expected = tool.run(root / "00" / "0000.json", check_status=0).stdout
    out = tmp_path / "out"
    process = subprocess.Popen([str(tool.path), "-j", "2", "-o", str(out), str(root)], stderr=subprocess.PIPE)
    while not out.exists() and process.poll() is None:
        time.sleep(0.005)
    process.send_signal(signal.SIGINT)
    _, stderr = process.communicate(timeout=600)
    # Died of the signal, or finished before it came.
    assert process.returncode in (-signal.SIGINT, 0), stderr
    written = all_files(out)
    assert all(name.endswith(".mjson") for name in written), written  # no temporary files
    assert all((out / name).read_bytes() == expected for name in written)


def test_a_directory_without_logs_converts_nothing(tool, tmp_path):
    write_log(tmp_path / "logs" / "notes.txt", "not a log")
    result = tool.run("-o", tmp_path / "out", tmp_path / "logs", check_status=0)
    assert result.stderr == b"kiroku: note: no log files found (*.json, *.mjlog, *.xml, their compressed forms, or log databases)\n"
    assert not (tmp_path / "out").exists()
    assert tool.run("-q", "-o", tmp_path / "out", tmp_path / "logs", check_status=0).stderr == b""


@pytest.mark.parametrize(
    "arguments,walked",
    [
        (lambda root: [root / "a.json", root / "a.json"], False),
        (lambda root: [root / "a.json", root / "." / "a.json"], False),
        (lambda root: [root, root], True),
        (lambda root: [root, f"{root}/"], True),
    ],
    ids=["named_twice", "spelt_twice", "directory_twice", "directory_spelt_twice"],
)
def test_an_input_found_twice_converts_once(tool, tmp_path, arguments, walked):
    root = tmp_path / "logs"
    write_log(root / "a.json", _good_text())
    os.mkfifo(root / "fifo.json")
    result = tool.run("--summary", "-o", tmp_path / "out", *arguments(root), check_status=0)
    lines = result.stderr.decode().splitlines()
    assert lines[-1].startswith("kiroku: 1 logs converted, 0 failed, "), lines
    assert lines[:-1] == ([f"{root / 'fifo.json'}: note: skipped, a FIFO"] if walked else [])  # once
    assert all_files(tmp_path / "out") == ["a.mjson"]
