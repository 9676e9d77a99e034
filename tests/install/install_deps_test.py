"""Tests of tools/install-deps.sh against stand-ins of the package tools.

Each case runs the script with a PATH of its own: stand-ins of dpkg-query (which reports the
packages of the case as installed), apt-cache, apt-get (which only records how it was called),
sudo, id and cmake, and the real shell tools the script needs.

    python3 tests/install/install_deps_test.py
"""

from __future__ import annotations

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "tools" / "install-deps.sh"

BUILD = ["cmake", "g++", "make", "nlohmann-json3-dev"]
TEST = ["libgtest-dev", "libxml2-dev", "libpng-dev", "python3", "chromium"]
CI = ["clang", "libclang-rt-dev", "dpkg-dev", "file", "munge", "slurmctld", "slurmd", "slurm-client"]

STANDINS = {
    "dpkg-query": 'for a; do last=$a; done\n'
                  'case " $FAKE_INSTALLED " in *" $last "*) printf "ii " ;; *) exit 1 ;; esac',
    "apt-cache": 'case " $FAKE_AVAILABLE " in\n'
                 '  *" $2 "*) echo "  Candidate: 1.0" ;;\n'
                 '  *) echo "  Candidate: (none)" ;;\n'
                 'esac',
    "apt-get": 'echo "$* frontend=${DEBIAN_FRONTEND-} sudo=${FAKE_VIA_SUDO-no}" >>"$FAKE_LOG"',
    "sudo": 'export FAKE_VIA_SUDO=yes; exec "$@"',
    "id": 'echo "$FAKE_UID"',
    "cmake": 'echo "cmake version $FAKE_CMAKE_VERSION"',
}
REAL_TOOLS = ["bash", "env", "sed", "sort", "head"]


class InstallDepsScript(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = Path(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def run_script(self, args=(), os_release="ID=debian\n", installed=(), available=(),
                   uid=0, without=(), commands=(), cmake_version="3.25.1"):
        """Runs the script; returns (exit code, output, the apt-get calls)."""
        bin_dir = self.root / f"bin{len(list(self.root.iterdir()))}"
        bin_dir.mkdir()
        for name, body in STANDINS.items():
            if name in without:
                continue
            path = bin_dir / name
            path.write_text("#!/bin/sh\n" + body + "\n")
            path.chmod(0o755)
        for name in REAL_TOOLS + list(commands):
            (bin_dir / name).symlink_to(shutil.which(name) or "/bin/true")
        release = self.root / "os-release"
        release.write_text(os_release)
        log = self.root / "apt.log"
        log.write_text("")
        env = {
            "PATH": str(bin_dir),
            "GLYCOMB_OS_RELEASE": str(release),
            "FAKE_INSTALLED": " ".join(installed),
            "FAKE_AVAILABLE": " ".join(available),
            "FAKE_UID": str(uid),
            "FAKE_CMAKE_VERSION": cmake_version,
            "FAKE_LOG": str(log),
        }
        done = subprocess.run(["bash", str(SCRIPT), *args], env=env, capture_output=True,
                              text=True, timeout=60)
        return done.returncode, done.stdout + done.stderr, log.read_text().splitlines()

    def test_installs_only_what_is_missing_through_apt_get(self):
        install = "install -y -q {} frontend=noninteractive sudo={}"
        cases = [
            # (case, arguments, installed, available, uid, apt-get calls)
            ("nothing missing: no call", ("--ci",), BUILD + TEST + CI, (), 1000, []),
            ("build set as root", (), ["cmake", "g++"], (), 0,
             ["update -q frontend=noninteractive sudo=no",
              install.format("make nlohmann-json3-dev", "no")]),
            ("test set through sudo", ("--test",), BUILD + TEST[1:], (), 1000,
             ["update -q frontend=noninteractive sudo=yes",
              install.format("libgtest-dev", "yes")]),
            ("test set leaves out a chromium the lists lack", ("--test",),
             BUILD + TEST[:2], (), 0,
             ["update -q frontend=noninteractive sudo=no",
              install.format("libpng-dev python3", "no")]),
            ("test set installs a chromium the lists hold", ("--test",),
             BUILD + TEST[:3], ("chromium",), 0,
             ["update -q frontend=noninteractive sudo=no",
              install.format("python3 chromium", "no")]),
            ("chromium alone and not to be had: no call", ("--test",),
             BUILD + TEST[:4], (), 0, []),
            ("chromium alone: the lists are updated first", ("--test",),
             BUILD + TEST[:4], ("chromium",), 0,
             ["update -q frontend=noninteractive sudo=no", install.format("chromium", "no")]),
            ("ci set needs chromium", ("--ci",), BUILD + TEST[:4] + CI, (), 0,
             ["update -q frontend=noninteractive sudo=no", install.format("chromium", "no")]),
            ("ci set", ("--ci",), BUILD + TEST, (), 0,
             ["update -q frontend=noninteractive sudo=no",
              install.format(" ".join(CI), "no")]),
        ]
        for name, args, installed, available, uid, calls in cases:
            with self.subTest(name):
                status, output, log = self.run_script(args, installed=installed,
                                                      available=available, uid=uid)
                self.assertEqual(status, 0, output)
                self.assertEqual(log, calls, output)
                # Quiet when nothing is missing.
                self.assertEqual(output == "", set(installed) == set(BUILD + TEST + CI), output)

    def test_stops_and_says_what_to_install(self):
        fedora = "ID=fedora\nID_LIKE=\"\"\n"
        cases = [
            # (case, arguments, os-release, uid, stand-ins left out, installed, commands on
            #  PATH, cmake version, exit code, patterns the output must match)
            ("not root and no sudo", (), "ID=debian\n", 1000, ["sudo"], ["cmake"], (), "3.25.1",
             1, ["sudo is not installed",
                 r"apt-get update && apt-get install g\+\+ make nlohmann-json3-dev\n"]),
            ("another distribution lists the missing commands", (), fedora, 0, ["cmake"], (),
             ["g++"], "3.25.1", 1,
             ["This system is not Debian or Ubuntu", r"(?m)^  cmake +CMake 3\.25",
              r"(?m)^  make +make, which runs"]),
            ("an old CMake", (), "ID=debian\n", 0, (), BUILD, (), "3.22.1", 1,
             [r"CMake 3\.22\.1 is installed; GLYCOMB needs 3\.25 or later"]),
            # Taken for another distribution, it would find no g++ and no make on PATH.
            ("a distribution built on Ubuntu uses dpkg and apt-get", (),
             'ID=linuxmint\nID_LIKE="ubuntu debian"\n', 0, (), BUILD, (), "3.28.3", 0, []),
            ("a wrong argument", ("--tests",), "ID=debian\n", 0, (), BUILD, (), "3.25.1", 2,
             ["usage:"]),
        ]
        for name, args, release, uid, without, installed, commands, cmake, code, lines in cases:
            with self.subTest(name):
                status, output, log = self.run_script(
                    args, os_release=release, installed=installed, uid=uid, without=without,
                    commands=commands, cmake_version=cmake)
                self.assertEqual(status, code, output)
                self.assertEqual(log, [], output)
                for pattern in lines:
                    self.assertRegex(output, pattern)
                if "g++" in commands:
                    self.assertNotRegex(output, r"(?m)^  g\+\+ ")


if __name__ == "__main__":
    unittest.main()
