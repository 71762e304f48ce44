"""Outputs and inputs that are not plain files: links, FIFOs, devices and
sockets, standard input, and an output that is an input."""

import gzip
import json
import os
import socket
import stat
import threading

import pytest

from conftest import all_files, good_log, write_log


@pytest.fixture
def good_file(tmp_path):
    return write_log(tmp_path / "in" / "game.json", json.dumps(good_log(), ensure_ascii=False))


@pytest.fixture
def expected(tool, good_file):
    return tool.run(good_file, check_status=0).stdout


def make_char_device(path):
    """A copy of /dev/null's device node, or a skip where nodes cannot be made."""
    try:
        os.mknod(path, stat.S_IFCHR | 0o666, os.makedev(1, 3))
    except PermissionError:
        pytest.skip("making a device node needs root")
    return path


class FifoReader(threading.Thread):
    """Reads a FIFO to its end on a thread of its own, as another process would."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.data = path, None
        self.start()

    def run(self):
        with open(self.path, "rb") as fifo:
            self.data = fifo.read()


class FifoWriter(threading.Thread):
    def __init__(self, path, data):
        super().__init__(daemon=True)
        self.path, self.data = path, data
        self.start()

    def run(self):
        with open(self.path, "wb") as fifo:
            fifo.write(self.data)


class TestOutputs:
    def test_link_stays_a_link_and_the_file_it_leads_to_is_replaced(self, tool, good_file, expected, tmp_path):
        real = write_log(tmp_path / "real" / "game.mjson", "old\n")
        link = tmp_path / "link.mjson"
        link.symlink_to(os.path.relpath(real, tmp_path))
        chain = tmp_path / "chain.mjson"
        chain.symlink_to(link)
        for name in (link, chain):
            tool.run("-o", name, good_file, check_status=0)
            assert name.is_symlink()
            assert real.read_bytes() == expected
            real.write_text("old\n")
        assert all_files(tmp_path / "real") == ["game.mjson"]

    def test_dangling_link_gets_the_file_it_names(self, tool, good_file, expected, tmp_path):
        link = tmp_path / "link.mjson"
        link.symlink_to("made.mjson")
        tool.run("-o", link, good_file, check_status=0)
        assert link.is_symlink()
        assert (tmp_path / "made.mjson").read_bytes() == expected

    @pytest.mark.parametrize("mode", [0o600, 0o640, 0o604])
    def test_replaced_file_keeps_its_mode(self, tool, good_file, expected, tmp_path, mode):
        out = write_log(tmp_path / "out.mjson", "old\n")
        out.chmod(mode)
        tool.run("-o", out, good_file, umask=0o022, check_status=0)
        assert out.read_bytes() == expected
        assert stat.S_IMODE(out.stat().st_mode) == mode

    def test_character_device_is_written_to_and_stays(self, tool, good_file, tmp_path):
        device = make_char_device(tmp_path / "null")
        tool.run("-o", device, good_file, check_status=0)
        assert stat.S_ISCHR(device.lstat().st_mode)
        # A batch into a directory treats an output that is a device the same way.
        write_log(tmp_path / "logs" / "game.json", good_file.read_text())
        (tmp_path / "out").mkdir()
        in_batch = make_char_device(tmp_path / "out" / "game.mjson")
        tool.run("-o", tmp_path / "out", tmp_path / "logs", check_status=0)
        assert stat.S_ISCHR(in_batch.lstat().st_mode)

    def test_fifo_is_written_as_a_stream(self, tool, good_file, expected, tmp_path):
        fifo = tmp_path / "out.fifo"
        os.mkfifo(fifo)
        reader = FifoReader(fifo)
        tool.run("-o", fifo, good_file, check_status=0)
        reader.join(timeout=600)
        assert reader.data == expected
        assert stat.S_ISFIFO(fifo.lstat().st_mode)
        assert all_files(tmp_path) == ["in/game.json"]  # no temporary file beside it

    def test_fifo_output_compressed(self, tool, good_file, expected, tmp_path):
        fifo = tmp_path / "out.fifo"
        os.mkfifo(fifo)
        reader = FifoReader(fifo)
        tool.run("--gzip", "-o", fifo, good_file, check_status=0)
        reader.join(timeout=600)
        assert gzip.decompress(reader.data) == expected

    def test_socket_cannot_be_written_and_stays(self, tool, good_file, tmp_path):
        path = tmp_path / "out.sock"
        with socket.socket(socket.AF_UNIX) as server:
            server.bind(str(path))
            result = tool.run("-o", path, good_file, check_status=1)
        assert result.stderr.decode() == f"{good_file}: write: {path}: No such device or address\n"
        assert stat.S_ISSOCK(path.lstat().st_mode)


class TestInputs:
    def test_fifo_named_on_the_command_line_is_read_as_a_stream(self, tool, good_file, expected, tmp_path):
        for data in (good_file.read_bytes(), gzip.compress(good_file.read_bytes())):
            fifo = tmp_path / "log.fifo"
            os.mkfifo(fifo)
            writer = FifoWriter(fifo, data)
            assert tool.run(fifo, check_status=0).stdout == expected
            writer.join(timeout=600)
            fifo.unlink()

    def test_dash_is_standard_input(self, tool, good_file, expected, tmp_path):
        data = good_file.read_bytes()
        assert tool.run("-", input=data, check_status=0).stdout == expected
        assert tool.run("-o", "-", "-", input=gzip.compress(data), check_status=0).stdout == expected
        assert tool.run("--", "-", input=data, check_status=0).stdout == expected
        tool.run("-o", tmp_path / "out.mjson", "-", input=data, check_status=0)
        assert (tmp_path / "out.mjson").read_bytes() == expected

    def test_a_file_named_dash_is_reached_through_a_path(self, tool, good_file, expected, tmp_path):
        write_log(tmp_path / "-", good_file.read_text())
        assert tool.run("./-", cwd=tmp_path, check_status=0).stdout == expected
        failed = tool.run("-", cwd=tmp_path, input=b"{", check_status=1)  # "-" still means standard input
        assert failed.stderr.decode().startswith("-: read: ")

    def test_standard_input_cannot_join_a_batch(self, tool, good_file, tmp_path):
        result = tool.run("-o", tmp_path / "out", "-", good_file, input=good_file.read_bytes())
        assert result.returncode == 2
        assert result.stderr.decode().startswith("kiroku: standard input ('-') can only be the one input")
        assert not (tmp_path / "out").exists()

    def test_only_regular_files_are_taken_from_directories(self, tool, good_file, expected, tmp_path):
        logs = tmp_path / "logs"
        write_log(logs / "a.json", good_file.read_text())
        os.mkfifo(logs / "fifo.json")  # no writer: opening it must not hang the batch
        (logs / "link.json").symlink_to("fifo.json")
        with socket.socket(socket.AF_UNIX) as server:
            server.bind(str(logs / "sock.json"))
            notes = {
                f"{logs / 'fifo.json'}: note: skipped, a FIFO",
                f"{logs / 'link.json'}: note: skipped, a FIFO",
                f"{logs / 'sock.json'}: note: skipped, a socket",
            }
            if os.geteuid() == 0:
                make_char_device(logs / "null.json")
                notes.add(f"{logs / 'null.json'}: note: skipped, a character device")
            out = tmp_path / "out"
            result = tool.run("-j", "2", "-o", out, logs, check_status=0)
            assert set(result.stderr.decode().splitlines()) == notes
            assert all_files(out) == ["a.mjson"]
            assert (out / "a.mjson").read_bytes() == expected
            assert tool.run("-q", "-o", out, logs, check_status=0).stderr == b""


class TestOutputIsAnInput:
    @pytest.mark.parametrize(
        "make_output",
        [
            lambda log: log,
            lambda log: log.parent / "." / log.name,
            lambda log: os.link(log, log.parent / "hard.json") or log.parent / "hard.json",
            lambda log: (log.parent / "soft.json").symlink_to(log.name) or log.parent / "soft.json",
        ],
        ids=["same_path", "other_spelling", "hard_link", "symbolic_link"],
    )
    def test_single_log_is_refused_before_anything_is_written(self, tool, good_file, make_output):
        before = good_file.read_bytes()
        os.utime(good_file, (1_000_000, 1_000_000))
        output = make_output(good_file)
        result = tool.run("-o", output, good_file)
        assert result.returncode == 2
        assert result.stdout == b""
        assert result.stderr.decode() == (
            f"kiroku: output '{output}' is the same file as input '{good_file}'; nothing was converted\n"
        )
        assert good_file.read_bytes() == before
        assert good_file.stat().st_mtime == 1_000_000

    def test_batch_is_refused_when_any_output_is_an_input(self, tool, good_file, tmp_path):
        out = tmp_path / "out"
        kept = write_log(out / "game.mjson", "an input that looks like an output\n")
        other = write_log(tmp_path / "other.json", good_file.read_text())
        # game.json goes to out/game.mjson, which is named as an input too.
        result = tool.run("-o", out, other, good_file, kept)
        assert result.returncode == 2
        assert result.stderr.decode() == (
            f"kiroku: output '{out / 'game.mjson'}' is the same file as input '{kept}'; nothing was converted\n"
        )
        assert all_files(out) == ["game.mjson"]  # other.json was not converted either
        assert kept.read_text() == "an input that looks like an output\n"

    def test_standard_output_that_is_the_input_is_refused(self, tool, good_file):
        before = good_file.read_bytes()
        with open(good_file, "ab") as appended:
            result = tool.run(good_file, stdout=appended)
        assert result.returncode == 2
        assert result.stderr.decode() == (
            f"kiroku: output standard output is the same file as input '{good_file}'; nothing was converted\n"
        )
        assert good_file.read_bytes() == before
