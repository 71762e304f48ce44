"""Signals and vanished readers: the run stops, and no temporary file is left.

A preloaded library holds the tool inside the write of an output file, so
that each case meets the moment a temporary file exists, whatever the
machine's speed.  Unnamed temporary files (O_TMPFILE) are the usual case; the
library can take them away to reach the named ones used where a file system
has none.
"""

import json
import os
import resource
import signal
import subprocess
import time

import pytest

from conftest import all_files, broken_logs, good_log, write_log

OLD_CONTENT = "an older conversion\n"


def unnamed_files_supported(directory):
    try:
        os.close(os.open(directory, os.O_TMPFILE | os.O_WRONLY))
        return True
    except OSError:
        return False


class Stalled:
    """The tool, held at its first write below `out` until released (or for
    ever).  Its standard error goes to a pipe nobody reads when asked to."""

    def __init__(self, tool, stall_shim, tmp_path, args, out, *, unnamed, closed_stderr=False, release=False):
        if unnamed and not unnamed_files_supported(out):
            pytest.skip("the file system of the temporary directory has no unnamed files")
        self.ready = tmp_path / "stalled"
        self.release_path = tmp_path / "release" if release else None
        self.stderr_written = tmp_path / "stderr_written"
        env = {**os.environ, **stall_shim, "KIROKU_STALL_WRITES_UNDER": str(out), "KIROKU_STALL_READY": str(self.ready),
               "KIROKU_STDERR_WRITTEN": str(self.stderr_written)}
        if self.release_path is not None:
            env["KIROKU_STALL_RELEASE"] = str(self.release_path)
        if not unnamed:
            env["KIROKU_NO_TMPFILE"] = "1"
        stderr = subprocess.PIPE
        if closed_stderr:
            read_end, stderr = os.pipe()
            os.close(read_end)

        def no_core_dumps():
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))

        self.process = subprocess.Popen([str(tool.path), *map(str, args)], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=stderr, env=env, preexec_fn=no_core_dumps)
        if closed_stderr:
            os.close(stderr)
        wait_for(lambda: self.ready.exists(), self.process)

    def release(self):
        self.release_path.touch()

    def finish(self):
        _, stderr = self.process.communicate(timeout=600)
        return self.process.returncode, stderr


def wait_for(condition, process):
    """Until `condition` holds, for a minute at most: the wait only puts
    events in the order a case needs, and a process that ends first, or a
    wait that never ends, fails the case by what the tool did, not here."""
    deadline = time.monotonic() + 60
    while not condition() and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)


def signal_pending(pid, number):
    """Whether `number` waits to be taken by the process `pid`."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("ShdPnd:"):
                    return bool(int(line.split()[1], 16) >> (number - 1) & 1)
    except OSError:
        pass
    return False


@pytest.fixture
def logs(tmp_path):
    text = json.dumps(good_log(), ensure_ascii=False)
    write_log(tmp_path / "logs" / "game.json", text)
    write_log(tmp_path / "out" / "game.mjson", OLD_CONTENT)
    return tmp_path / "logs"


@pytest.mark.parametrize("unnamed", [True, False], ids=["unnamed", "named"])
@pytest.mark.parametrize(
    "signals",
    [(signal.SIGINT, signal.SIGINT), (signal.SIGTERM, signal.SIGHUP), (signal.SIGQUIT,), (signal.SIGUSR1,)],
    ids=["int_int", "term_hup", "quit", "usr1"],
)
def test_second_signal_ends_at_once_and_leaves_no_temporary_file(tool, stall_shim, tmp_path, logs, unnamed,
                                                                 signals):
    out = tmp_path / "out"
    stalled = Stalled(tool, stall_shim, tmp_path, ["-j", "2", "-o", out, logs], out, unnamed=unnamed)
    for sent in signals:
        stalled.process.send_signal(sent)
        # Taken before the next is sent: two equal signals pending at once
        # count as one, and pending ones are taken lowest number first.
        wait_for(lambda: not signal_pending(stalled.process.pid, sent), stalled.process)
    status, _ = stalled.finish()
    assert status == -signals[-1]
    assert all_files(out) == ["game.mjson"]
    assert (out / "game.mjson").read_text() == OLD_CONTENT


def test_kill_leaves_nothing_behind_with_unnamed_files(tool, stall_shim, tmp_path, logs):
    out = tmp_path / "out"
    (out / "game.mjson").unlink()
    stalled = Stalled(tool, stall_shim, tmp_path, ["-o", out, logs], out, unnamed=True)
    stalled.process.kill()
    status, _ = stalled.finish()
    assert status == -signal.SIGKILL
    assert all_files(out) == []


@pytest.mark.parametrize("unnamed", [True, False], ids=["unnamed", "named"])
def test_first_signal_lets_the_log_in_progress_finish(tool, stall_shim, tmp_path, logs, unnamed):
    out = tmp_path / "out"
    expected = tool.run(logs / "game.json", check_status=0).stdout
    for i in range(20):
        write_log(logs / f"later{i:02}.json", (logs / "game.json").read_text())
    stalled = Stalled(tool, stall_shim, tmp_path, ["-j", "1", "-o", out, logs], out, unnamed=unnamed, release=True)
    stalled.process.send_signal(signal.SIGTERM)
    wait_for(lambda: not signal_pending(stalled.process.pid, signal.SIGTERM), stalled.process)
    stalled.release()
    status, _ = stalled.finish()
    assert status == -signal.SIGTERM
    # The log held at the signal is whole; any later one the worker took
    # before it saw the stop is whole too.
    written = all_files(out)
    assert "game.mjson" in written
    assert all(name.endswith(".mjson") and (out / name).read_bytes() == expected for name in written), written


@pytest.mark.parametrize("unnamed", [True, False], ids=["unnamed", "named"])
def test_closed_standard_error_stops_the_run_cleanly(tool, stall_shim, tmp_path, logs, unnamed):
    # One worker is held inside the write of game.json's output while the
    # other fails a log and finds nobody reading standard error.
    out = tmp_path / "out"
    expected = tool.run(logs / "game.json", check_status=0).stdout
    fifo = tmp_path / "broken.fifo"
    os.mkfifo(fifo)
    stalled = Stalled(tool, stall_shim, tmp_path, ["-j", "2", "-o", out, logs / "game.json", fifo], out,
                      unnamed=unnamed, closed_stderr=True, release=True)
    with open(fifo, "w") as writer:
        writer.write(broken_logs()[0][1])
    wait_for(lambda: stalled.stderr_written.exists(), stalled.process)
    stalled.release()
    status, _ = stalled.finish()
    assert status == -signal.SIGPIPE
    assert all_files(out) == ["game.mjson"]
    assert (out / "game.mjson").read_bytes() == expected


def test_closed_standard_output_ends_quietly(tool, tmp_path, logs):
    read_end, write_end = os.pipe()
    os.close(read_end)
    try:
        result = tool.run(logs / "game.json", stdout=write_end)
    finally:
        os.close(write_end)
    assert result.returncode == -signal.SIGPIPE
    assert result.stderr == b""


def open_descriptors_lead_to(pid, paths):
    try:
        targets = {os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")}
    except OSError:
        return True  # ended: nothing more to wait for
    return all(str(path) in targets for path in paths)


def thread_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/task"))
    except OSError:
        return 0


def test_one_signal_ends_waits_on_fifos_without_writers(tool, tmp_path):
    fifos = [tmp_path / "first.fifo", tmp_path / "second.fifo"]
    for fifo in fifos:
        os.mkfifo(fifo)
    out = tmp_path / "out"
    process = subprocess.Popen([str(tool.path), "-j", "2", "-o", str(out), *map(str, fifos)],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wait_for(lambda: open_descriptors_lead_to(process.pid, fifos), process)
    process.send_signal(signal.SIGTERM)
    _, stderr = process.communicate(timeout=600)
    assert process.returncode == -signal.SIGTERM
    assert sorted(stderr.decode().splitlines()) == [f"{fifo}: read: given up, the run is stopping" for fifo in fifos]
    assert not out.exists() or all_files(out) == []


def test_one_signal_ends_a_wait_for_the_reader_of_an_output_fifo(tool, tmp_path, logs):
    fifo = tmp_path / "out.fifo"
    os.mkfifo(fifo)
    process = subprocess.Popen([str(tool.path), "-o", str(fifo), str(logs / "game.json")],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wait_for(lambda: thread_count(process.pid) > 1, process)  # the signals are being watched
    process.send_signal(signal.SIGINT)
    _, stderr = process.communicate(timeout=600)
    assert process.returncode == -signal.SIGINT
    assert stderr.decode() in ("", f"{logs / 'game.json'}: write: {fifo}: given up, the run is stopping\n")
    assert os.path.exists(fifo) and not os.path.isfile(fifo)
