#!/usr/bin/env python3
"""Checks the shipped reference data the way the program reads them, and proves that every
substituent the search can generate finds a glycosylation effect.

    check_reference_data.py [DATA_DIR]      (default: the repository's data/)

Checks:
  * every data line of NAMES.PS, of every c13data file and of EFFECTS.PS against its fixed
    columns (refdata_formats holds the layouts); file names, header comments, terminal lines;
  * every block a shipped residue reads exists (class, amino, residue blocks; #non; #P with a
    key for every O-linked residue form; the closing '#');
  * completeness: for every residue form R, every O-substitutable position p of R, every
    O-linked residue S that can be attached there (the built-in phosphate included), every
    anomer of S and both relative absolute configurations, the effect look-up of the
    calculation finds a cell, exactly or by its approximate search (which relaxes only the C2
    group and the C2 proton of S);
  * shift sets that can never be used (positions that are not O-substitutable).
Prints a summary; exit status 1 when anything is wrong.
"""

from __future__ import annotations

import sys
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import refdata_formats as fmt  # noqa: E402
import refdata_model as model  # noqa: E402

DEFAULT_DATA = Path(__file__).resolve().parent.parent.parent / "data"


def substituent_descriptors(records: list):
    """(label, Descriptor) for every way a shipped O-linked residue or the phosphate can be a
    substituent."""
    out = []
    for rec in records + [fmt.PHOSPHATE]:
        if rec.nlinked:
            continue
        anomers = (0, 1) if rec.c1_pec != 3 and rec.ring < fmt.RING_ALDITOL else (0,)
        for anomeric in anomers:
            for absolute in (0, 1):
                anomer = "ab"[anomeric] if len(anomers) > 1 else "x"
                label = f"{anomer}-{rec.name} {('DD', 'DL')[absolute]}"
                out.append((label, fmt.descriptor_of(rec, anomeric, absolute)))
    return out


def check_names(records: list, problems: list) -> None:
    seen = Counter(rec.name for rec in records)
    for name, count in seen.items():
        if count > 1:
            problems.append(f"NAMES.PS: {name} defined {count} times (the last one wins)")
    for rec in records:
        if any(d in rec.name for d in "01"):
            problems.append(f"NAMES.PS: {rec.name} contains the digit 0 or 1")
        if rec.c1_pec == 3:
            problems.append(f"NAMES.PS: {rec.name} ends in P and is read as a phosphate residue")
        if rec.ring in (fmt.RING_PYRANOSE, fmt.RING_FURANOSE) and rec.carbons < 5:
            problems.append(f"NAMES.PS: {rec.name} is a ring sugar with fewer than 5 carbons")
        if rec.nlinked and not rec.n_subst and not rec.o_subst and rec.ring != fmt.RING_NONSUGAR:
            problems.append(f"NAMES.PS: {rec.name} is N-linked but not a non-sugar")


def check_headers(data_dir: Path, records: list, problems: list) -> None:
    for path in [data_dir / "NAMES.PS", data_dir / "EFFECTS.PS"] + sorted(
            (data_dir / "c13data").glob("*")):
        first = path.read_text(encoding="ascii").splitlines()[:1]
        if not first or not first[0].startswith(";"):
            problems.append(f"{path.name}: no header comment")
    expected = {fmt.shift_file_name(rec, form) for rec in records for form in rec.forms}
    present = {p.name for p in (data_dir / "c13data").iterdir()}
    for extra in sorted(present - expected):
        problems.append(f"c13data/{extra}: no residue form of NAMES.PS reads this file")


def check_effect_blocks(blocks: list, records: list, problems: list) -> None:
    names = [name for name, _ in blocks]
    if names.count("") != 1 or names[-1] != "":
        problems.append("EFFECTS.PS: the file must end with exactly one empty block '#'")
    if "P" in names and names.index("P") != len(names) - 2:
        problems.append("EFFECTS.PS: #P should be the last block before the closing '#'")
    wanted = set()
    for rec in records:
        wanted.update(name for name, _ in model.block_name_chain(rec))
    for name in names:
        if name and name != "P" and name not in wanted:
            problems.append(f"EFFECTS.PS: block #{name} is read by no shipped residue")
    for dup in sorted(n for n, c in Counter(names).items() if c > 1 and n):
        problems.append(f"EFFECTS.PS: block #{dup} appears more than once")
    # Every line of a block must suit every residue that reads it; the program checks a line
    # only for the residue being loaded, so a class block must agree with all its members.
    readers = {}
    for rec in records:
        for name, _ in model.block_name_chain(rec):
            readers.setdefault(name, []).append(rec)
    for name, lines in blocks:
        if name == "P":
            for number, line in lines:
                try:
                    fmt.parse_phosphate_line(line)
                except fmt.FormatError as exc:
                    problems.append(f"EFFECTS.PS line {number}: {exc}")
            continue
        for rec in readers.get(name, []):
            for number, line in lines:
                try:
                    fmt.parse_effect_line(line, number, rec.carbons, name == "non")
                except fmt.FormatError as exc:
                    problems.append(f"EFFECTS.PS line {number} (#{name}, {rec.name}): {exc}")


def check_unused_sets(entry, problems: list) -> None:
    name = fmt.shift_file_name(entry.rec, entry.form)
    for (position, _desc) in entry.mono:
        if position not in entry.rec.o_subst and position not in entry.rec.n_subst:
            problems.append(f"{name}: one-substituent set at position {position}, which the "
                            "search never substitutes")
    for (p1, p2, _a, _b) in entry.di:
        if not {p1, p2} <= (entry.rec.o_subst | entry.rec.n_subst):
            problems.append(f"{name}: two-substituent set at {p1},{p2}, never used")


def check_example(data_dir: Path, records: list, problems: list) -> str:
    task = data_dir / "EXAMPLE.TSK"
    if not task.exists():
        return "EXAMPLE.TSK absent"
    lines = [line.strip() for _, line in fmt.data_lines(task.read_text(encoding="ascii"))]
    tokens = lines[0].split()
    carbons = 0
    for token in tokens:
        name = token.split(")")[-1][2:]
        rec = fmt.find_name(records, name)
        if rec is None:
            problems.append(f"EXAMPLE.TSK: unknown residue {name}")
            continue
        carbons += rec.carbons
    values = []
    for line in lines[1:]:
        if not line[0].isdigit():
            break
        values += [int(v[:4]) for v in line.split()]
    if len(values) != carbons:
        problems.append(f"EXAMPLE.TSK: {len(values)} shifts for {carbons} carbons")
    return f"EXAMPLE.TSK: {len(tokens)} residues, {len(values)} shifts for {carbons} carbons"


def run(data_dir: Path) -> int:
    problems: list = []
    notes: list = []
    try:
        records = model.load_names(data_dir)
        blocks = model.load_effect_blocks(data_dir)
    except (fmt.FormatError, model.DataError) as exc:
        print(f"FAILED: {exc}")
        return 1
    check_names(records, problems)
    check_headers(data_dir, records, problems)
    check_effect_blocks(blocks, records, problems)

    entries = []
    for rec in records:
        for form in rec.forms:
            try:
                entry = model.load_entry(data_dir, rec, form, blocks)
            except model.DataError as exc:
                problems.append(str(exc))
                continue
            for warning in entry.warnings:
                problems.append(f"{rec.name} {form}: warning: {warning}")
            check_unused_sets(entry, problems)
            entries.append(entry)

    subs = substituent_descriptors(records)
    tally = Counter()
    for entry in entries:
        for position in sorted(entry.rec.o_subst):
            for label, desc in subs:
                hit = model.effect_lookup(entry, position, desc)
                if hit is None:
                    tally["missing"] += 1
                    problems.append(
                        f"missing effect: {desc.code(position)} ({label} on O-{position} of "
                        f"{entry.form}-{entry.rec.name}); the program would stop with 'Could "
                        f"not find the {desc.code(position)} effect for #{entry.rec.name}'")
                    continue
                tally[hit[0]] += 1
                if hit[0] == "approximate":
                    notes.append(f"approximate: {label} on O-{position} of {entry.form}-"
                                 f"{entry.rec.name} uses {hit[1].code(position)}")

    shift_lines = sum(1 + len(e.mono) + len(e.di) for e in entries)
    example = check_example(data_dir, records, problems)
    print(f"NAMES.PS: {len(records)} residues "
          f"({', '.join(f'{r.name}:{r.class_name}/{r.carbons}' for r in records)})")
    print(f"c13data: {len(entries)} residue forms, {shift_lines} shift sets "
          f"({sum(len(e.mono) for e in entries)} one-substituent, "
          f"{sum(len(e.di) for e in entries)} two-substituent)")
    print(f"EFFECTS.PS: {len(blocks) - 1} blocks + closing '#', "
          f"{sum(len(lines) for _, lines in blocks)} data lines")
    cells = sum(tally.values())
    print(f"completeness: {len(entries)} residue forms x their O-positions x {len(subs)} "
          f"substituent kinds = {cells} look-ups: {tally['exact']} exact, "
          f"{tally['approximate']} approximate, {tally['missing']} missing")
    for note in notes[:20]:
        print("  " + note)
    if len(notes) > 20:
        print(f"  ... {len(notes) - 20} more approximate look-ups")
    print(example)
    if problems:
        print(f"FAILED: {len(problems)} problem(s)")
        for problem in problems:
            print("  " + problem)
        return 1
    print("OK: every line valid, every block and #P key present, every effect reachable")
    return 0


def main(argv=None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    return run(Path(argv[0]) if argv else DEFAULT_DATA)


if __name__ == "__main__":
    sys.exit(main())
