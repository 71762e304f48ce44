"""The command line itself: help, version, and what is refused as a usage error."""

import json

import pytest

from conftest import good_log, write_log


def test_help_and_version(tool):
    help_text = tool.run("--help", check_status=0).stdout.decode()
    assert help_text.startswith("Usage: kiroku ")
    for option in ["-o", "-j", "--max-size", "--memory", "--gzip", "--keep-going", "--fail-fast", "--quiet", "--summary",
                   "Exit status"]:
        assert option in help_text
    # What a user cannot guess: the limit, '-', special files, signals, names.
    for fact in ["1 GiB", "'-' is standard input", "*.mjlog", "FIFO", "SIGINT", "SIGPIPE", "temporary file",
                 "same file as an\ninput", "double quotes"]:
        assert fact in help_text, fact
    assert max(len(line) for line in help_text.splitlines()) <= 80
    assert tool.run("-h", check_status=0).stdout.decode() == help_text
    assert tool.run("--version", check_status=0).stdout == b"kiroku 0.3.0\n"


@pytest.mark.parametrize(
    "args,message",
    [
        ([], "no input file"),
        (["--frobnicate", "x.json"], "unknown option '--frobnicate'"),
        (["-x", "x.json"], "unknown option '-x'"),
        (["--gzip=yes", "x.json"], "option '--gzip' takes no value"),
        (["-j", "0", "x.json"], "invalid number of jobs '0'"),
        (["-j", "two", "x.json"], "invalid number of jobs 'two'"),
        (["--memory", "0", "x.json"], "invalid size '0'"),
        (["x.json", "-o"], "option '-o' needs a value"),
        (["a.json", "b.json"], "several logs need an output directory"),
        (["-o", "-", "a.json", "b.json"], "several logs need an output directory"),
    ],
)
def test_usage_errors_exit_with_2(tool, tmp_path, args, message):
    result = tool.run(*args, cwd=tmp_path)
    assert result.returncode == 2
    assert result.stdout == b""
    assert result.stderr.decode().startswith(f"kiroku: {message}"), result.stderr
    assert list(tmp_path.iterdir()) == []


def test_a_directory_without_output_is_a_usage_error(tool, tmp_path):
    write_log(tmp_path / "logs" / "a.json", "{}")
    assert tool.run(tmp_path / "logs").returncode == 2


def test_option_spellings(tool, tmp_path):
    log = write_log(tmp_path / "a.json", json.dumps(good_log()))
    expected = tool.run(log, check_status=0).stdout
    for args in (["-j1"], ["--jobs=1"], ["--jobs", "1"], ["-q"], ["--quiet"], ["--", str(log)]):
        extra = [] if "--" in args else [log]
        assert tool.run(*args, *extra, check_status=0).stdout == expected, args
    tool.run(f"-o{tmp_path / 'x.mjson'}", log, check_status=0)
    tool.run(f"--output={tmp_path / 'y.mjson'}", log, check_status=0)
    assert (tmp_path / "x.mjson").read_bytes() == (tmp_path / "y.mjson").read_bytes() == expected
