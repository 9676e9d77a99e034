"""Random repeating units of the shipped residues, and the program run on them: `/CALC` for the
predicted spectrum of one unit, a search for a task file.

A unit is built on one of the program's topology templates, so that its record is a written form
the program reads and the rows of the `/CALC` table (printed in the template's node order) can
be given to its residues.
"""

from __future__ import annotations

import os
import random
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

import notation

HERE = Path(__file__).resolve().parent
REPOSITORY = HERE.parent.parent
sys.path.insert(0, str(REPOSITORY / "tools" / "refdata"))
import refdata_formats as fmt  # noqa: E402

TEMPLATES = REPOSITORY / "src" / "topology" / "topology_templates.cpp"


@dataclass
class ResidueType:
    name: str
    absolute: str       # D or L, the configuration the residue occurs in
    carbons: int
    positions: list     # positions that can carry an O-linked residue


def residue_types(data_dir: Path) -> list:
    """The sugars of NAMES.PS that have shift files for both anomers. The absolute configuration
    is the one the line's description names (`6-deoxy-L-mannopyranose`), D when it names none."""
    text = (data_dir / "NAMES.PS").read_text(encoding="ascii")
    files = {p.name.upper() for p in (data_dir / "c13data").iterdir()} \
        if (data_dir / "c13data").is_dir() else set()
    found = []
    for _, line in fmt.data_lines(text):
        record = fmt.parse_names_line(line)
        if record.forms != ("a", "b"):
            continue
        if not all(f"{form.upper()}-{record.name.upper()}.DAT" in files for form in "AB"):
            continue
        description = next(raw.partition(";")[2] for raw in text.splitlines()
                           if fmt.strip_comment(raw) == line)
        config = re.search(r"\b([DL])-[a-z]", description)
        found.append(ResidueType(record.name, config.group(1) if config else "D",
                                 record.carbons, sorted(record.o_subst)))
    return found


def read_templates(path: Path = TEMPLATES) -> dict:
    """{residue count: [template, ...]} in catalogue order, read from the program's source."""
    text = path.read_text(encoding="ascii")
    tables = {}
    for count, body in re.findall(r"kTemplates([0-9])\[\]\s*=\s*\{(.*?)\};", text, re.S):
        tables[int(count)] = re.findall(r'"([^"]+)"', body)
    if not tables:
        raise ValueError(f"no topology templates in {path}")
    return tables


def side_chain_residues(template: str) -> int:
    depth = count = 0
    for c in template:
        depth += c == "["
        depth -= c == "]"
        count += depth > 0 and c in "oxyv"
    return count


@dataclass
class Unit:
    """A repeating unit on a template: residues and attachments by node number."""
    template: str
    residues: dict                              # node -> "aDGlc"
    tokens: dict                                # node -> "2]3)aDGlc", as /CALC labels its row
    links: list                                 # (child node, position, parent node)
    record: str = ""
    shifts: dict = field(default_factory=dict)  # node -> calculated shifts in tenths of a ppm

    @property
    def size(self) -> int:
        return len(self.residues)


def random_unit(rng: random.Random, template: str, types: list) -> Unit:
    """Random residues (either anomer, their own absolute configuration) and random distinct
    positions for what each one carries."""
    elements = notation.template_nodes(template)
    residues, tokens, links = {}, {}, []
    for element in elements:
        node = element.token
        kind = rng.choice(types)
        residues[node] = rng.choice("ab") + kind.absolute + kind.name
        carried = [e for e in (element.predecessor, element.side) if e is not None]
        chosen = rng.sample(kind.positions, len(carried))
        prefix = ""
        if element.side is not None:
            side_at = chosen[-1]
            prefix += f"{side_at}]"
            links.append((elements[element.side].token, side_at, node))
        if element.predecessor is not None:
            chain_at = chosen[0]
            prefix += f"{chain_at})"
            links.append((elements[element.predecessor].token, chain_at, node))
        tokens[node] = prefix + residues[node]
    return Unit(template, residues, tokens, links, notation.fill_template(template, tokens))


def parse_calc_table(output: str) -> list:
    """(label, shifts in tenths) of every row of the table `/CALC` prints, in its order; [] when
    the output has no table."""
    lines = output.splitlines()
    try:
        start = next(i for i, line in enumerate(lines) if line.strip().startswith("<residue>"))
    except StopIteration:
        return []
    rows = []
    for line in lines[start + 1:]:
        if not line.strip():
            break
        label, *values = line.split()
        try:
            shifts = [round(float(v) * 10) for v in values]
        except ValueError:
            return []
        rows.append((label.lstrip("-=").rstrip("-").replace("-", ""), shifts))
    return rows


class Program:
    """The program run in a scratch copy of the reference data, one run at a time."""

    def __init__(self, binary: Path, data_dir: Path, scratch: Path, threads: int | None):
        self.binary = Path(binary).resolve()
        self.work = Path(scratch) / "run"
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)
        for name in ("NAMES.PS", "EFFECTS.PS"):
            shutil.copy(Path(data_dir) / name, self.work / name)
        shutil.copytree(Path(data_dir) / "c13data", self.work / "c13data")
        self.env = dict(os.environ)
        if threads:
            self.env["GLYCOMB_THREADS"] = str(threads)

    def _run(self, args: list, timeout: float) -> subprocess.CompletedProcess:
        return subprocess.run([str(self.binary)] + args, cwd=self.work, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout, env=self.env)

    def calculate(self, record: str) -> list:
        """The `/CALC` table of one record ([] when the calculation fails)."""
        (self.work / "UNIT.STR").write_text(record + "\n", encoding="ascii")
        done = self._run(["/CALC", "UNIT"], 60)
        return parse_calc_table(done.stdout) if done.returncode == 0 else []

    def search(self, name: str, task: str, timeout: float = 3600) -> tuple:
        """Runs the task file text under `name`: (result file text or None, console output,
        wall seconds). The task's files are removed afterwards."""
        result, _, console, seconds = self.search_with_report(name, task, timeout)
        return result, console, seconds

    def search_with_report(self, name: str, task: str, timeout: float = 3600) -> tuple:
        """As search, and the JSON report the task's REPORT line writes (None without one):
        (result, report, console, seconds). Runs of different names may go on side by side."""
        paths = [self.work / (name + ext) for ext in (".TSK", ".RES", ".CKP", ".HTML", ".JSON")]
        for path in paths:
            path.unlink(missing_ok=True)
        paths[0].write_text(task, encoding="ascii")
        began = time.perf_counter()
        try:
            console = self._run([name], timeout).stdout
        except subprocess.TimeoutExpired:
            console = f"(stopped after {timeout:.0f} s)"
        seconds = time.perf_counter() - began
        result = paths[1].read_text(encoding="ascii") if paths[1].exists() else None
        report = paths[4].read_text(encoding="utf-8") if paths[4].exists() else None
        for path in paths:
            path.unlink(missing_ok=True)
        return result, report, console, seconds


def calculate_unit(program: Program, unit: Unit) -> bool:
    """Fills unit.shifts from `/CALC`; False when the calculation fails. The rows are in the
    template's node order; each row's label is checked against its residue."""
    rows = program.calculate(unit.record)
    if len(rows) != unit.size:
        return False
    for node, (label, shifts) in enumerate(rows):
        if label != unit.tokens[node]:
            raise RuntimeError(f"/CALC row {node + 1} of {unit.record} reads {label}, "
                               f"expected {unit.tokens[node]}")
        unit.shifts[node] = shifts
    return True
