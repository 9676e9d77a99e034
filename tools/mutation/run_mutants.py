#!/usr/bin/env python3
"""Mutation check: puts hand-made faults into a copy of the source tree one at a time, builds it
and runs the tests, and reports which faults the tests catch.

Each mutant (mutants.json beside this script) replaces one exact snippet of one source file. The
source tree (by default the repository this script lives in, as its working tree stands, with
files not yet committed) is copied into a scratch directory that is kept between runs, so that
ccache and the incremental build make each mutant cost one recompilation and one test run. The
tree being edited is never written to.

A mutant is
  killed        when at least one test fails (or the test run times out),
  survived      when every test passes,
  equivalent    when it survives and the mutants file says why it cannot change any result,
  build failure when the mutated tree does not build,
  not found     when its file is missing or its snippet does not occur as the file expects.
The exit status is 1 when a mutant survived or was not found, 2 when the unmutated tree fails
its own build or tests, 0 otherwise.
"""

import argparse
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
DEFAULT_SOURCE = HERE.parent.parent
DEFAULT_MUTANTS = HERE / "mutants.json"
REQUIRED_FIELDS = ("id", "area", "file", "find", "replace", "description")


@dataclass
class Mutant:
    id: str
    area: str
    file: str
    find: str
    replace: str
    description: str
    occurrence: int = 0  # 1-based; 0: the snippet must occur exactly once
    equivalent: str = ""  # why a surviving mutant cannot change any result


@dataclass
class Outcome:
    status: str
    detail: str = ""
    failed_tests: list = field(default_factory=list)
    seconds: float = 0.0


def load_mutants(path):
    """The mutants of a mutants file, checked for missing fields and repeated ids."""
    data = json.loads(Path(path).read_text(encoding="utf-8"))
    mutants, seen = [], set()
    for entry in data["mutants"]:
        missing = [name for name in REQUIRED_FIELDS if not entry.get(name)]
        if missing:
            raise ValueError(f"mutant {entry.get('id', '?')}: missing {', '.join(missing)}")
        if entry["id"] in seen:
            raise ValueError(f"mutant {entry['id']} is listed twice")
        if entry["find"] == entry["replace"]:
            raise ValueError(f"mutant {entry['id']} replaces its snippet by itself")
        seen.add(entry["id"])
        known = {name: entry[name] for name in Mutant.__dataclass_fields__ if name in entry}
        mutants.append(Mutant(**known))
    return mutants


def select(mutants, selectors):
    """The mutants named by id or by area, in file order; all of them without selectors."""
    if not selectors:
        return list(mutants)
    known = {m.id for m in mutants} | {m.area for m in mutants}
    unknown = [s for s in selectors if s not in known]
    if unknown:
        raise ValueError(f"no mutant or area named {', '.join(unknown)}")
    return [m for m in mutants if m.id in selectors or m.area in selectors]


def mutated_text(text, mutant):
    """The text with the mutant's snippet replaced, or None with the reason it cannot be."""
    count = text.count(mutant.find)
    if mutant.occurrence == 0:
        if count != 1:
            return None, f"snippet occurs {count} times, expected once"
        return text.replace(mutant.find, mutant.replace, 1), ""
    if count < mutant.occurrence:
        return None, f"snippet occurs {count} times, occurrence {mutant.occurrence} wanted"
    at = -1
    for _ in range(mutant.occurrence):
        at = text.index(mutant.find, at + 1)
    return text[:at] + mutant.replace + text[at + len(mutant.find):], ""


FAILED_LINE = re.compile(r"^\s*\d+\s+-\s+(.+?)\s+\(([^()]*)\)\s*$")


def failed_tests(ctest_output):
    """The names of the tests that ctest's summary lists as failed, with the kind of failure."""
    names, listing = [], False
    for line in ctest_output.splitlines():
        if line.startswith("The following tests FAILED:"):
            listing = True
            continue
        if listing:
            match = FAILED_LINE.match(line)
            if not match:
                break
            kind = match.group(2)
            names.append(match.group(1) + ("" if kind == "Failed" else f" ({kind})"))
    return names


def source_files(source):
    """The files of the tree, relative to it: git's view of the working tree (tracked and new
    files, without ignored ones), or every file outside build and version-control folders."""
    try:
        listing = subprocess.run(
            ["git", "-C", str(source), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
            check=True, capture_output=True).stdout.decode()
        return sorted({name for name in listing.split("\0") if name and (source / name).is_file()})
    except (OSError, subprocess.CalledProcessError):
        files = []
        for root, dirs, names in os.walk(source):
            dirs[:] = [d for d in dirs if d != ".git" and not d.startswith("build")]
            files += [str(Path(root, n).relative_to(source)) for n in names]
        return sorted(files)


def sync_tree(source, target):
    """Makes `target` a copy of the source files. Unchanged files keep their time stamps, so the
    build there stays incremental; changed ones are written anew."""
    wanted = set(source_files(source))
    target.mkdir(parents=True, exist_ok=True)
    for name in wanted:
        origin, copy = source / name, target / name
        if copy.is_file() and copy.read_bytes() == origin.read_bytes():
            continue
        copy.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(origin, copy)
        shutil.copymode(origin, copy)
    for root, _, names in os.walk(target):
        for n in names:
            path = Path(root, n)
            if str(path.relative_to(target)) not in wanted:
                path.unlink()


class Workspace:
    """The scratch copy of the tree and its build directory."""

    def __init__(self, work, jobs, test_filter, test_exclude, timeout, cmake_args, log):
        self.src = work / "src"
        self.build = work / "build"
        self.jobs = jobs
        self.test_filter = test_filter
        self.test_exclude = test_exclude
        self.timeout = timeout
        self.cmake_args = cmake_args
        self.log = log

    def run(self, command, limit):
        """Runs `command` in its own process group; the whole group is killed after `limit`
        seconds. Returns (exit status or None on timeout, output)."""
        self.log.write("$ " + " ".join(command) + "\n")
        self.log.flush()
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            output, _ = process.communicate(timeout=limit)
            status = process.returncode
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output, _ = process.communicate()
            status = None
        text = output.decode(errors="replace")
        self.log.write(text)
        return status, text

    def configure(self):
        if (self.build / "CMakeCache.txt").exists():
            return True
        command = ["cmake", "-S", str(self.src), "-B", str(self.build), "-DGLYCOMB_BENCH=OFF"]
        if shutil.which("ninja"):
            command += ["-G", "Ninja"]
        if shutil.which("ccache"):
            command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        status, _ = self.run(command + self.cmake_args, 600)
        return status == 0

    def compile(self):
        status, text = self.run(["cmake", "--build", str(self.build), "-j", str(self.jobs)], 3600)
        errors = [line for line in text.splitlines() if "error" in line.lower()]
        return status == 0, (errors[0] if errors else text.strip()[-200:])

    def test(self):
        command = ["ctest", "--test-dir", str(self.build), "-j", str(self.jobs), "--no-tests=error"]
        if self.test_filter:
            command += ["-R", self.test_filter]
        if self.test_exclude:
            command += ["-E", self.test_exclude]
        status, text = self.run(command, self.timeout)
        if status is None:
            return ["(the test run timed out)"]
        if status == 0:
            return []
        return failed_tests(text) or ["(ctest failed: " + text.strip()[-200:] + ")"]


def check_mutant(workspace, mutant):
    start = time.monotonic()
    path = workspace.src / mutant.file
    if not path.is_file():
        return Outcome("not found", f"no file {mutant.file}")
    original = path.read_text(encoding="utf-8")
    text, reason = mutated_text(original, mutant)
    if text is None:
        return Outcome("not found", reason)
    try:
        path.write_text(text, encoding="utf-8")
        built, message = workspace.compile()
        if not built:
            return Outcome("build failure", message, seconds=time.monotonic() - start)
        failures = workspace.test()
    finally:
        path.write_text(original, encoding="utf-8")
    seconds = time.monotonic() - start
    if failures:
        return Outcome("killed", failed_tests=failures, seconds=seconds)
    if mutant.equivalent:
        return Outcome("equivalent", mutant.equivalent, seconds=seconds)
    return Outcome("survived", seconds=seconds)


def markdown(results):
    lines = ["| mutant | area | what it does | result | failing tests |", "|---|---|---|---|---|"]
    for mutant, outcome in results:
        tests = ", ".join(f"`{name}`" for name in outcome.failed_tests) or outcome.detail
        lines.append(f"| `{mutant.id}` | {mutant.area} | {mutant.description} | "
                     f"{outcome.status} | {tests.replace('|', '/')} |")
    return "\n".join(lines)


def summary(results):
    counts = {}
    for _, outcome in results:
        counts[outcome.status] = counts.get(outcome.status, 0) + 1
    order = ["killed", "survived", "equivalent", "build failure", "not found"]
    parts = [f"{counts[s]} {s}" for s in order if s in counts]
    return f"{len(results)} mutants: " + ", ".join(parts)


def default_work(source):
    digest = hashlib.sha1(str(source).encode()).hexdigest()[:10]
    return Path(tempfile.gettempdir()) / f"glycomb-mutation-{digest}"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("selectors", nargs="*", help="mutant ids or areas (default: all)")
    parser.add_argument("--source", type=Path, default=DEFAULT_SOURCE,
                        help="source tree to test (default: this repository's working tree)")
    parser.add_argument("--mutants", type=Path, default=DEFAULT_MUTANTS, help="mutants file")
    parser.add_argument("--work", type=Path, help="scratch directory, kept between runs "
                        "(default: one per source tree in the temporary directory)")
    parser.add_argument("--jobs", type=int, default=1, help="build and test jobs (default 1)")
    parser.add_argument("--tests", metavar="REGEX", help="run only the tests matching REGEX")
    parser.add_argument("--exclude", metavar="REGEX", help="leave out the tests matching REGEX")
    parser.add_argument("--timeout", type=int, default=1200,
                        help="seconds one test run may take before it counts as a kill")
    parser.add_argument("--cmake-arg", action="append", default=[],
                        help="extra argument for the first cmake configuration")
    parser.add_argument("--markdown", type=Path, help="also write the table to this file")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--check", action="store_true",
                        help="only check that every selected snippet applies to the source tree")
    args = parser.parse_args(argv)

    try:
        mutants = select(load_mutants(args.mutants), args.selectors)
    except (ValueError, KeyError, json.JSONDecodeError) as error:
        parser.error(str(error))
    if args.list:
        for m in mutants:
            print(f"{m.id:40} {m.area:8} {m.file}: {m.description}")
        return 0
    source = args.source.resolve()
    if args.check:
        bad = 0
        for m in mutants:
            path = source / m.file
            reason = "no such file" if not path.is_file() else mutated_text(
                path.read_text(encoding="utf-8"), m)[1]
            if reason:
                bad += 1
                print(f"{m.id}: {reason}")
        print(f"{len(mutants) - bad} of {len(mutants)} mutants apply")
        return 1 if bad else 0

    work = (args.work or default_work(source)).resolve()
    work.mkdir(parents=True, exist_ok=True)
    with open(work / "mutation.log", "w", encoding="utf-8") as log:
        workspace = Workspace(work, args.jobs, args.tests, args.exclude, args.timeout,
                              args.cmake_arg, log)
        print(f"Copying {source} to {workspace.src}", flush=True)
        sync_tree(source, workspace.src)
        if not workspace.configure():
            print(f"cmake could not configure the copy; see {work / 'mutation.log'}")
            return 2
        print("Building and testing the unmutated tree", flush=True)
        built, message = workspace.compile()
        if not built:
            print(f"The unmutated tree does not build: {message}")
            return 2
        failures = workspace.test()
        if failures:
            print("The unmutated tree fails its tests: " + ", ".join(failures))
            return 2
        results = []
        for number, mutant in enumerate(mutants, 1):
            outcome = check_mutant(workspace, mutant)
            results.append((mutant, outcome))
            detail = ", ".join(outcome.failed_tests) or outcome.detail
            print(f"[{number}/{len(mutants)}] {mutant.id}: {outcome.status} "
                  f"({outcome.seconds:.0f} s) {detail}", flush=True)
    table = markdown(results) + "\n\n" + summary(results) + "\n"
    print()
    print(table)
    if args.markdown:
        args.markdown.write_text(table, encoding="utf-8")
    bad = [o for _, o in results if o.status in ("survived", "not found")]
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
