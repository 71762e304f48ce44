"""What the logs being converted hold together: the memory budget
(--memory), and memory that runs out."""

import json
import os
import shutil
import time
import zlib

import pytest

from conftest import SANITIZED, all_files, good_log, run_measured, write_log

MIB = 1 << 20
BUDGET = 128 * MIB
# More than the 64 MiB each running job holds anyway, so that it grows past
# it; two of them are more than the budget.
LARGE_TEXT = 80 * MIB


def padded(size):
    """A good log followed by spaces, `size` bytes in all."""
    text = json.dumps(good_log(), ensure_ascii=False).encode()
    return text + b" " * (size - len(text))


@pytest.fixture(scope="module")
def large_logs(tmp_path_factory):
    """Two large logs: one file under two names, which are two outputs."""
    logs = tmp_path_factory.mktemp("large") / "logs"
    first = write_log(logs / "a.json", padded(LARGE_TEXT))
    os.link(first, logs / "b.json")
    return logs


def test_large_logs_that_fit_only_one_at_a_time_are_converted_one_after_the_other(tool, stall_shim, large_logs,
                                                                                 tmp_path):
    # The first log is held at its first write, its text read; the budget
    # must keep the second from reading its own meanwhile.
    out = tmp_path / "out"
    out.mkdir()  # the first write below it is the held one
    ready, release = tmp_path / "stalled", tmp_path / "release"
    env = {**stall_shim, "KIROKU_STALL_WRITES_UNDER": str(out), "KIROKU_STALL_READY": str(ready),
           "KIROKU_STALL_RELEASE": str(release)}

    def hold_then_release(process):
        deadline = time.monotonic() + 60
        while not ready.exists() and process.poll() is None and time.monotonic() < deadline:
            time.sleep(0.01)
        time.sleep(0.5)  # ample for the second log's read, were it let through
        release.touch()

    result = run_measured(tool, "--memory", f"{BUDGET // MIB}M", "-j", "2", "-o", out, large_logs,
                          env=env, started=hold_then_release, tmp_path=tmp_path)
    assert result.returncode == 0, result.stderr
    assert all_files(out) == ["a.mjson", "b.mjson"]
    assert (out / "a.mjson").read_bytes() == (out / "b.mjson").read_bytes()
    if not SANITIZED:
        assert result.peak_bytes < BUDGET + 16 * MIB, result.peak_bytes


@pytest.mark.parametrize("packed", [False, True], ids=["plain", "gzip"])
def test_a_log_larger_than_the_budget_fails_alone(tool, tmp_path, packed):
    logs = tmp_path / "logs"
    write_log(logs / "good.json", padded(1000))
    huge = logs / "huge.json"
    if packed:
        packer = zlib.compressobj(1, zlib.DEFLATED, 31)
        huge.write_bytes(packer.compress(padded(BUDGET + MIB)) + packer.flush())
    else:
        with open(huge, "wb") as sparse:  # refused by its size, before it is read
            sparse.truncate(BUDGET + MIB)
    result = tool.run("--memory", f"{BUDGET // MIB}M", "-o", tmp_path / "out", logs, check_status=1)
    stage = "gzip: decompressed text" if packed else "read:"
    assert result.stderr.decode() == f"{huge}: {stage} larger than the memory budget of 128 MiB (--memory)\n"
    assert all_files(tmp_path / "out") == ["good.mjson"]


@pytest.mark.skipif(SANITIZED, reason="a sanitizer runtime needs more address space than the limit leaves")
@pytest.mark.skipif(shutil.which("prlimit") is None, reason="prlimit is not installed")
def test_running_out_of_memory_fails_that_log_alone_and_says_so(tool, tmp_path):
    logs = tmp_path / "logs"
    write_log(logs / "good.json", padded(1000))
    huge = logs / "huge.json"
    # The text's buffer, sized by the file, is more than the limit leaves.
    os.truncate(write_log(huge, b""), 900 * MIB)
    result = run_measured(tool, "-j", "2", "-o", tmp_path / "out", logs, prefix=["prlimit", f"--as={512 * MIB}"],
                          tmp_path=tmp_path)
    assert result.returncode == 1
    assert result.stderr.decode() == f"{huge}: out of memory\n"
    assert all_files(tmp_path / "out") == ["good.mjson"]
