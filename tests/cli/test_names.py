"""Names from outside in diagnostics: every diagnostic is one line, and a
name is shown as it is unless it needs quoting."""

import json
import os

import pytest

from conftest import broken_logs, good_log, write_log

BROKEN = broken_logs()[0][1]

# File name (bytes) -> how a diagnostic shows it.
NAMES = {
    b"plain.json": "plain.json",
    "和了.json".encode(): "和了.json",
    b"new\nline.json": '"new\\nline.json"',
    b"carriage\rreturn.json": '"carriage\\rreturn.json"',
    b"escape\x1b[31m.json": '"escape\\u{1b}[31m.json"',
    b"bad\xffbyte.json": '"bad\\xFFbyte.json"',
    "rtl\u202eoverride.json".encode(): '"rtl\\u{202e}override.json"',
    "line\u2028separator.json".encode(): '"line\\u{2028}separator.json"',
    b'quote".json': '"quote\\".json"',
    b"back\\slash.json": '"back\\\\slash.json"',
    b"colon: space.json": '"colon: space.json"',
    b"colon:tight.json": "colon:tight.json",
}


def test_each_diagnostic_is_one_line_naming_its_file(tool, tmp_path):
    logs = tmp_path / "logs"
    logs.mkdir()
    for name in NAMES:
        (logs / os.fsdecode(name)).write_text(BROKEN)
    result = tool.run("-o", tmp_path / "out", logs, check_status=1)
    lines = result.stderr.decode().split("\n")
    assert lines.pop() == ""
    shown = sorted(line.partition(": read: ")[0] for line in lines)
    # Quoting takes in the whole path.
    expected = [f'"{logs}/{name[1:]}' if name.startswith('"') else f"{logs}/{name}" for name in NAMES.values()]
    assert shown == sorted(expected)


def test_the_whole_path_is_quoted_when_any_part_needs_it(tool, tmp_path):
    directory = tmp_path / "odd\ndir"
    log = write_log(directory / "a.json", BROKEN)
    result = tool.run(log, check_status=1)
    assert result.stderr.decode().startswith('"' + str(tmp_path) + '/odd\\ndir/a.json": read: ')


def test_notes_and_write_failures_quote_names_too(tool, tmp_path):
    log = write_log(tmp_path / "in\tput.json", json.dumps(good_log()))
    os.mkfifo(tmp_path / "fifo\n.json")
    blocked = write_log(tmp_path / "a file\n", "where a directory is needed")
    result = tool.run("-o", blocked / "out.mjson", log, check_status=1)
    assert result.stderr.decode() == (
        f'"{tmp_path}/in\\tput.json": write: "{tmp_path}/a file\\n/out.mjson": Not a directory\n'
    )
    result = tool.run("-o", tmp_path / "out", tmp_path, check_status=0)
    assert f'"{tmp_path}/fifo\\n.json": note: skipped, a FIFO\n' in result.stderr.decode()


@pytest.mark.parametrize(
    "args, message",
    [
        ([b"--bad\noption", "x.json"], 'unknown option "--bad\\noption"'),
        ([b"-j", b"1\n2", "x.json"], 'invalid number of jobs "1\\n2" (1 to 1024)'),
        ([b"--max-size=\x1b", "x.json"], 'invalid size "\\u{1b}" (1 to 1 TiB; suffixes K, M, G, T)'),
        ([b"-j", b"it's", "x.json"], "invalid number of jobs \"it's\" (1 to 1024)"),
    ],
)
def test_usage_errors_quote_arguments(tool, tmp_path, args, message):
    result = tool.run(*args, cwd=tmp_path)
    assert result.returncode == 2
    assert result.stderr.decode().splitlines()[0] == f"kiroku: {message}"
