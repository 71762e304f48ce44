"""One cap on the size of every log text, plain or decompressed."""

import json
import os

import pytest

from compressors import CODECS
from conftest import all_files, good_log, write_log


@pytest.fixture
def text():
    return json.dumps(good_log(), ensure_ascii=False)


def test_endless_device_stops_at_the_limit(tool):
    if not os.path.exists("/dev/zero"):
        pytest.skip("/dev/zero is not available")
    result = tool.run("--max-size", "1M", "/dev/zero", check_status=1)
    assert result.stdout == b""
    assert result.stderr.decode() == "/dev/zero: read: larger than the size limit of 1 MiB (--max-size)\n"


@pytest.mark.parametrize("codec", [None] + CODECS)
def test_log_at_the_limit_converts_and_one_byte_more_fails(tool, tmp_path, text, codec):
    size = len(text.encode())
    log = write_log(tmp_path / "game.json", text, compress=codec or False)
    tool.run(f"--max-size={size}", log, check_status=0)
    result = tool.run(f"--max-size={size - 1}", log, check_status=1)
    stage = f"{codec}: decompressed text" if codec else "read:"
    assert result.stderr.decode() == f"{log}: {stage} larger than the size limit of {size - 1} bytes (--max-size)\n"


def test_the_batch_goes_on_past_logs_over_the_limit(tool, tmp_path, text):
    logs = tmp_path / "logs"
    padding = " " * (2 << 20)
    write_log(logs / "a_plain.json", text + padding)
    write_log(logs / "b_packed.json.gz", text + padding, compress=True)  # small on disk, not once inflated
    write_log(logs / "c_good.json", text)
    result = tool.run("--max-size", "1MiB", "-o", tmp_path / "out", logs, check_status=1)
    assert result.stderr.decode().splitlines() == [
        f"{logs / 'a_plain.json'}: read: larger than the size limit of 1 MiB (--max-size)",
        f"{logs / 'b_packed.json.gz'}: gzip: decompressed text larger than the size limit of 1 MiB (--max-size)",
    ]
    assert all_files(tmp_path / "out") == ["c_good.mjson"]


def test_default_limit_is_one_gib(tool, tmp_path):
    # Sparse: the size alone refuses it, nothing is read.
    huge = tmp_path / "huge.json"
    with open(huge, "wb") as out:
        out.truncate((1 << 30) + 1)
    result = tool.run(huge, check_status=1)
    assert result.stderr.decode() == f"{huge}: read: larger than the size limit of 1 GiB (--max-size)\n"


@pytest.mark.parametrize("value", ["0", "-1", "1X", "K", "1.5M", "1MB", "2T", "99999999999999999999", ""])
def test_invalid_limits_are_usage_errors(tool, tmp_path, value):
    result = tool.run(f"--max-size={value}", tmp_path / "x.json")
    assert result.returncode == 2
    if value == "":
        message = "option '--max-size' needs a value"
    else:
        message = f"invalid size '{value}' (1 to 1 TiB; suffixes K, M, G, T)"
    assert result.stderr.decode().startswith(f"kiroku: {message}\n")


@pytest.mark.parametrize("value", ["1T", "1TiB", "1024G", "4k", "4096"])
def test_limit_spellings(tool, tmp_path, text, value):
    log = write_log(tmp_path / "game.json", text)
    tool.run("--max-size", value, log, check_status=0)
