"""Outputs written a hand at a time: the same bytes as the whole conversion,
whole or absent whatever the target."""

import json
import os
import threading
import time
import zlib

import pytest

from conftest import all_files, module_lines, write_log


def gzip_member(data):
    """One gzip member at zlib's default level, with neither name nor time,
    as the tool makes it."""
    packer = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, 31)
    return packer.compress(data) + packer.flush()


class FifoDrain(threading.Thread):
    """Holds a FIFO open for reading, so that the tool never waits for a
    reader, and takes everything written to it until `finish()`."""

    def __init__(self, fifo):
        super().__init__(daemon=True)
        self.fd = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
        self.ended = threading.Event()
        self.data = b""
        self.start()

    def run(self):
        while True:
            try:
                chunk = os.read(self.fd, 1 << 16)
            except BlockingIOError:  # a writer, nothing written yet
                chunk = None
            if chunk:
                self.data += chunk
            elif chunk == b"" and self.ended.is_set():  # no writer, and none to come
                break
            else:
                time.sleep(0.005)
        os.close(self.fd)

    def finish(self):
        self.ended.set()
        self.join(timeout=600)
        return self.data


class Target:
    """Where an output goes, and what arrived there."""

    def __init__(self, kind, tmp_path):
        self.kind = kind
        self.path = tmp_path / "out" / "game.mjson"
        self.args = [] if kind == "stdout" else ["-o", self.path]
        if kind == "fifo":
            self.path.parent.mkdir()
            os.mkfifo(self.path)

    def run(self, tool, *args):
        drain = FifoDrain(self.path) if self.kind == "fifo" else None
        result = tool.run(*self.args, *args)
        if self.kind == "stdout":
            self.received = result.stdout
        elif drain is not None:
            self.received = drain.finish()
        else:
            self.received = self.path.read_bytes() if self.path.exists() else None
        return result


TARGETS = ["file", "stdout", "fifo"]


@pytest.mark.parametrize("packed", [False, True], ids=["plain", "gzip"])
@pytest.mark.parametrize("kind", TARGETS)
def test_the_output_is_the_whole_conversion_byte_for_byte(tool, kiroku_module, realistic_game, tmp_path, kind,
                                                          packed):
    expected = module_lines(kiroku_module, realistic_game.read_text(encoding="utf-8"))
    target = Target(kind, tmp_path)
    result = target.run(tool, *(["--gzip"] if packed else []), realistic_game)
    assert result.returncode == 0, result.stderr
    data = target.received
    if packed:
        # One member: training loaders read only the first.
        unpacker = zlib.decompressobj(31)
        assert unpacker.decompress(data) == expected
        assert unpacker.eof and unpacker.unused_data == b""
        expected = gzip_member(expected)
    assert data == expected


@pytest.fixture
def fails_in_its_last_hand(realistic_game, tmp_path):
    """A game of many hands whose last one cannot be converted: the hands
    before it have been handed out when it fails."""
    game = json.loads(realistic_game.read_text(encoding="utf-8"))
    game["log"][-1][5] = []  # the dealer has nothing to draw
    return write_log(tmp_path / "in" / "broken.json", json.dumps(game, ensure_ascii=False))


@pytest.mark.parametrize("kind", TARGETS)
def test_a_log_that_fails_late_writes_nothing(tool, fails_in_its_last_hand, tmp_path, kind):
    target = Target(kind, tmp_path)
    result = target.run(tool, fails_in_its_last_hand)
    assert result.returncode == 1
    assert result.stderr.decode().startswith(f"{fails_in_its_last_hand}: convert: hand 7 (honba 3), "), result.stderr
    assert result.stdout == b""
    assert target.received in (None, b"")
    assert all_files(tmp_path) == ["in/broken.json"]
