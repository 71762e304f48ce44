"""Trees deeper than paths usually go: directory walks and output paths."""

import json
import os
import stat

import pytest

from conftest import SANITIZED, good_log, run_measured, write_log

MIB = 1 << 20


def make_chain(root, names):
    """Directories `root/names[0]/names[1]/...`, made a name at a time, so
    that no path handed to the system is longer than one name; the
    descriptor of the deepest."""
    root.mkdir(parents=True, exist_ok=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for name in names:
        os.mkdir(name, dir_fd=fd)
        deeper = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = deeper
    return fd


def empty_without_recursion(path):
    """Removes everything below `path` a level at a time from the top (each
    directory's children moved up beside it before it goes), where pytest's
    own clean-up would recurse once per level and run out of stack."""
    fd = os.open(path, os.O_RDONLY | os.O_DIRECTORY)
    moved = 0
    try:
        while entries := os.listdir(fd):
            for name in entries:
                if not stat.S_ISDIR(os.stat(name, dir_fd=fd, follow_symlinks=False).st_mode):
                    os.unlink(name, dir_fd=fd)
                    continue
                below = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
                try:
                    for child in os.listdir(below):
                        moved += 1
                        os.rename(child, f".up-{moved}", src_dir_fd=below, dst_dir_fd=fd)
                finally:
                    os.close(below)
                os.rmdir(name, dir_fd=fd)
    finally:
        os.close(fd)


@pytest.fixture(autouse=True)
def deep_trees_removed(tmp_path):
    yield
    empty_without_recursion(tmp_path)


def test_a_deep_chain_of_directories_is_walked_in_little_memory(tool, tmp_path):
    logs = tmp_path / "logs"
    text = json.dumps(good_log(), ensure_ascii=False)
    os.close(make_chain(logs, ["d"] * 2000))  # a path just under PATH_MAX
    write_log(logs / "d" / "a.json", text)
    result = run_measured(tool, "-o", tmp_path / "out", logs, tmp_path=tmp_path)
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "out" / "d" / "a.mjson").exists()
    if not SANITIZED:  # a walk that kept every level's paths took about 290 MiB
        assert result.peak_bytes < 32 * MIB, result.peak_bytes


@pytest.mark.parametrize("batch", [False, True], ids=["file", "directory"])
def test_an_output_deeper_than_a_path_can_name_is_written(tool, tmp_path, batch):
    log = write_log(tmp_path / "in" / "game.json", json.dumps(good_log(), ensure_ascii=False))
    expected = tool.run(log, check_status=0).stdout
    names = ["x" * 200] * 25  # 5,000 bytes of path below tmp_path
    deep = tmp_path.joinpath(*names)
    tool.run("-o", *([deep, log.parent] if batch else [deep / "game.mjson", log]), check_status=0)
    fd = os.open(tmp_path, os.O_RDONLY | os.O_DIRECTORY)
    for name in names:
        deeper = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = deeper
    try:
        assert os.listdir(fd) == ["game.mjson"]
        with open(os.open("game.mjson", os.O_RDONLY, dir_fd=fd), "rb") as written:
            assert written.read() == expected
    finally:
        os.close(fd)
