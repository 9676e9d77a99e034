"""The reference data as the program loads them: residue table, shift entries and effect grids
per residue form, read from the generated files with the fixed-column readers of
refdata_formats.  Shared by the checker and the Python predictor."""

from __future__ import annotations

from dataclasses import dataclass, field
from pathlib import Path

import refdata_formats as fmt
from refdata_formats import Descriptor, FormatError, NameRecord


class DataError(Exception):
    """A fault in the reference data that would stop the program (or that the program would
    silently ignore, such as data that can never be used)."""


@dataclass
class ShiftEntry:
    """What the program holds for one residue form."""
    rec: NameRecord
    form: str
    terminal: list = None
    mono: dict = field(default_factory=dict)       # (position, Descriptor) -> (c1, shifts)
    di: dict = field(default_factory=dict)         # (p1, p2, D1, D2) -> (c1a, c1b, shifts)
    effects: dict = field(default_factory=dict)    # position -> {Descriptor: (c1, values, block)}
    phosphate: tuple = None                        # (C1 effect, C2 effect)
    warnings: list = field(default_factory=list)


def load_names(data_dir: Path) -> list:
    return fmt.parse_names_file((data_dir / "NAMES.PS").read_text(encoding="ascii"))


def read_shift_file(entry: ShiftEntry, path: Path) -> None:
    if not path.exists():
        raise DataError(f"missing shift file {path.name}")
    lines = list(fmt.data_lines(path.read_text(encoding="ascii")))
    if not lines:
        raise DataError(f"{path.name} contains no spectral data")
    for number, line in lines:
        try:
            parsed = fmt.parse_shift_line(line, entry.rec.carbons)
        except FormatError as exc:
            raise DataError(f"{path.name} line {number}: {exc}") from exc
        if parsed.p1 == 0:
            entry.terminal = parsed.shifts
        elif parsed.p2 == 0:
            entry.mono[(parsed.p1, parsed.sub1)] = (parsed.c1e1, parsed.shifts)
        else:
            entry.di[(parsed.p1, parsed.p2, parsed.sub1, parsed.sub2)] = (
                parsed.c1e1, parsed.c1e2, parsed.shifts)
    if entry.terminal is None:
        raise DataError(f"{path.name}: missing data for the terminal residue")


def block_name_chain(rec: NameRecord) -> list:
    """(block name, required) in reading order: class, amino, residue."""
    k = rec.class_name
    chain = [(k, True)]
    if 2 in rec.amino and k != "non":
        chain.append((k + "n", False))
    if rec.name not in (k, k + "n"):
        chain.append((rec.name, False))
    return chain


def read_effects(entry: ShiftEntry, blocks: list) -> None:
    """Fills entry.effects and entry.phosphate from the parsed EFFECTS.PS blocks, block after
    block as the program does (later blocks replace the cells they name)."""
    by_name = {}
    for name, lines in blocks:
        by_name.setdefault(name, lines)    # the program stops at the first matching header
    if not blocks or blocks[-1][0] != "":
        raise DataError("EFFECTS.PS must end with an empty block '#'")
    rec = entry.rec
    for name, required in block_name_chain(rec):
        if name not in by_name:
            if required:
                raise DataError(f"the #{name} data block is missing from EFFECTS.PS")
            entry.warnings.append(f"the #{name} data block is missing from EFFECTS.PS")
            continue
        non_mode = name == "non"
        for number, line in by_name[name]:
            try:
                parsed = fmt.parse_effect_line(line, number, rec.carbons, non_mode)
            except FormatError as exc:
                raise DataError(f"EFFECTS.PS line {number} (#{name}, {rec.name}): {exc}") from exc
            if parsed.form and parsed.form != entry.form:
                continue
            positions = range(2, rec.carbons + 1) if non_mode else [parsed.position]
            for position in positions:
                if position not in rec.o_subst:
                    continue
                if non_mode:
                    values = [0] * rec.carbons
                    values[position - 1] = parsed.values[0]
                    values[position - 2] = parsed.values[1]
                    if position < rec.carbons:
                        values[position] = parsed.values[1]
                else:
                    values = parsed.values
                entry.effects.setdefault(position, {})[parsed.desc] = (
                    parsed.c1_effect, values, name)
    if not rec.nlinked:
        if "P" not in by_name:
            raise DataError("the #P (phosphate) data block is missing from EFFECTS.PS")
        key = rec.residue_key(entry.form if entry.form != "c" else "a")
        for number, line in by_name["P"]:
            if line[:8] == key:
                try:
                    _, c1, c2 = fmt.parse_phosphate_line(line)
                except FormatError as exc:
                    raise DataError(f"EFFECTS.PS line {number}: {exc}") from exc
                entry.phosphate = (c1, c2)
                break
        else:
            raise DataError(f"the {key} -> effect is missing from block #P of EFFECTS.PS")


def load_entry(data_dir: Path, rec: NameRecord, form: str, blocks: list) -> ShiftEntry:
    entry = ShiftEntry(rec, form)
    read_shift_file(entry, data_dir / "c13data" / fmt.shift_file_name(rec, form))
    read_effects(entry, blocks)
    return entry


def load_effect_blocks(data_dir: Path) -> list:
    try:
        return fmt.split_effect_blocks((data_dir / "EFFECTS.PS").read_text(encoding="ascii"))
    except FormatError as exc:
        raise DataError(str(exc)) from exc


# ---------------------------------------------------------------------------------------------
# Look-ups of the spectrum calculation
# ---------------------------------------------------------------------------------------------

def with_c2(desc: Descriptor, proton: int, group: int) -> Descriptor:
    return Descriptor(desc.type, desc.anomeric, desc.absolute, proton, group, desc.c1_pec)


def approximate_one(grid: dict, desc: Descriptor):
    """Approximate search for one substituent: only the C2 group and C2 proton are relaxed;
    returns (descriptor found, its data) or None.  Loop order and early exits as the program's."""
    best, found = 255, None
    for group in range(3):
        if best == 1:
            break
        for proton in range(3):
            mismatch = (desc.c2_group != group) + (desc.c2_proton != proton)
            if mismatch >= best:
                break
            candidate = with_c2(desc, proton, group)
            if candidate in grid:
                best, found = mismatch, candidate
    return (found, grid[found]) if found is not None else None


def approximate_two(di: dict, p1: int, p2: int, d1: Descriptor, d2: Descriptor):
    best, found = 255, None
    for g1 in range(3):
        for g2 in range(3):
            if best == 1:
                return (found, di[found]) if found else None
            for h1 in range(3):
                for h2 in range(3):
                    mismatch = ((d1.c2_group != g1) + (d2.c2_group != g2)
                                + (d1.c2_proton != h1) + (d2.c2_proton != h2))
                    if mismatch >= best:
                        break
                    key = (p1, p2, with_c2(d1, h1, g1), with_c2(d2, h2, g2))
                    if key in di:
                        best, found = mismatch, key
    return (found, di[found]) if found is not None else None


def effect_lookup(entry: ShiftEntry, position: int, desc: Descriptor):
    """(how, descriptor used, data) with how in {'exact', 'approximate'}, or None."""
    grid = entry.effects.get(position, {})
    if desc in grid:
        return "exact", desc, grid[desc]
    hit = approximate_one(grid, desc)
    if hit is None:
        return None
    return "approximate", hit[0], hit[1]
