"""A log compressed by each codec the front ends read, for the tests of both:
the standard library's gzip, bz2 and lzma, and the lz4 and zstd tools (the
Debian packages of those names), whose tests skip where the tool is absent."""

import bz2
import gzip
import lzma
import shutil
import subprocess

import pytest

CODECS = ["gzip", "bzip2", "lz4", "zstd", "xz"]

_LIBRARIES = {"gzip": gzip.compress, "bzip2": bz2.compress, "xz": lzma.compress}


def compress(codec, data):
    """`data` as one frame of `codec`; skips the test without the codec's tool."""
    if codec in _LIBRARIES:
        return _LIBRARIES[codec](data)
    tool = shutil.which(codec)
    if tool is None:
        pytest.skip(f"the {codec} tool is not installed")
    return subprocess.run([tool, "-q", "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout
