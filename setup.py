"""Builds the _kiroku extension module with CMake for the interpreter that
runs the build, and installs it with its type stubs.

    /usr/bin/python3 -m pip install --no-build-isolation .

Needs CMake (3.25 or later), a C++23 compiler, libsimdjson-dev and the
interpreter's development headers.  KIROKU_BUILD_JOBS sets the number of
parallel compile jobs (default 2).
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*kiroku\s+VERSION\s+([0-9A-Za-z.\-]+)", text)
    if match is None:
        raise RuntimeError("no version in the project() line of CMakeLists.txt")
    return match.group(1)


class CMakeBuild(build_ext):
    """Runs CMake instead of compiling the sources itself."""

    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        destination = Path(self.get_ext_fullpath(ext.name)).resolve()
        jobs = os.environ.get("KIROKU_BUILD_JOBS", "2")
        subprocess.run(
            [
                "cmake",
                "-S", str(ROOT),
                "-B", str(build_dir),
                f"-DPython3_EXECUTABLE={sys.executable}",
                "-DCMAKE_BUILD_TYPE=Release",
                "-DKIROKU_PYTHON=ON",
                "-DKIROKU_CLI=OFF",
                "-DKIROKU_TESTS=OFF",
                "-DKIROKU_BENCH=OFF",
            ],
            check=True,
        )
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_kiroku", "-j", jobs], check=True)

        # CMake names the module with the interpreter's own extension suffix,
        # the same one setuptools expects.
        built = build_dir / "src" / "lib" / destination.name
        if not built.exists():
            raise RuntimeError(f"CMake did not produce {built}")
        destination.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, destination)
        shutil.copyfile(ROOT / "src" / "lib" / "_kiroku.pyi", destination.parent / "_kiroku.pyi")


setup(
    version=project_version(),
    ext_modules=[Extension("_kiroku", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
    # setuptools' own build and metadata directories, kept apart from the
    # CMake build directories of the project root.
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
)
