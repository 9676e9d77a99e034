#!/usr/bin/env python3
"""Python stand-in for the program's additive 13C calculation, used to tune and check the
reference data before the C++ calculation exists.

    predict_spectrum.py [--data DIR]                 the test polymers of tables/structures.csv
    predict_spectrum.py [--data DIR] RECORD [SHIFT ...]   one structure record (shifts x10)

It reads the generated data files with the same fixed-column readers as the checker and
follows the calculation step by step: direct look-up of one- and two-substituent shift sets
(the latter with its approximate search), otherwise the terminal shifts with the ring
corrections (C2 and C5 corrections SET, not added) plus one glycosylation effect per
substituent (exact cell or approximate search over the substituent's C2 group and C2 proton),
C1 effects collected per substituent, phosphate effects, N-linked constants.
Residues are processed in the order they are written; the program processes them in the
node order of the matched topology, which matters only when a phosphate's C2 effect lands
on a residue that also receives ring corrections.
"""

from __future__ import annotations

import argparse
import csv
import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import refdata_formats as fmt  # noqa: E402
import refdata_model as model  # noqa: E402

HERE = Path(__file__).resolve().parent
DEFAULT_DATA = HERE.parent.parent / "data"

# Constants of the calculation (tenths of a ppm).
def c2_correction(ring: int, anomeric: int, code: int) -> int:
    if ring == 1:
        return 0
    if anomeric == 0:
        return -5 if code % 2 else 0
    return -14 if code in (4, 6) else -10


def c5_correction(ring: int, anomeric: int, code: int) -> int:
    return 5 if ring == 0 and anomeric == 0 else 0


NLINK_ALPHA, NLINK_BETA, NLINK_C1 = -30, 10, 0


class StructureError(ValueError):
    pass


@dataclass
class Node:
    token: str
    name: str              # 'P' for the phosphate
    anomeric: int
    absolute: int
    subst1: int = 0        # position carrying the first child (main-chain predecessor)
    subst2: int = 0        # position carrying the second child (side chain)
    child1: int | None = None
    child2: int | None = None


def parse_token(token: str) -> Node:
    if token == "P":
        return Node(token, "P", 0, 0)
    subst1 = subst2 = 0
    rest = token
    if len(rest) > 4 and rest[1] == "]" and rest[3] == ")":
        subst2, subst1, rest = int(rest[0]), int(rest[2]), rest[4:]
    elif len(rest) > 2 and rest[1] == ")":
        subst1, rest = int(rest[0]), rest[2:]
    if len(rest) < 3 or rest[0] not in "aAbBcC" or rest[1] not in "dDlL":
        raise StructureError(f"cannot read the residue token {token!r}")
    name = rest[2:]
    if name.endswith("p"):
        name = name[:-1] + "P"
    return Node(token, name, 1 if rest[0] in "bB" else 0, 0 if rest[1] in "dD" else 1,
                subst1, subst2)


def parse_record(record: str) -> list:
    """Nodes in written order with their children set: the residue written before a token
    carrying d) is attached at d; a bracketed side chain before a token carrying e] is attached
    at e; the first residue of the main chain carries the last one."""
    nodes: list = []
    pos = 0

    def chain(top: bool) -> int | None:
        nonlocal pos
        members: list = []
        pending_side = None
        while pos < len(record):
            char = record[pos]
            if char == "-":
                pos += 1
            elif char == "[":
                pos += 1
                pending_side = chain(False)
            elif char == "]":
                if top:
                    raise StructureError("unbalanced ']'")
                pos += 1
                break
            else:
                end = pos                     # every residue token is followed by '-'
                while end < len(record) and record[end] != "-":
                    end += 1
                node = parse_token(record[pos:end])
                pos = end
                index = len(nodes)
                nodes.append(node)
                if node.subst2:
                    if pending_side is None:
                        raise StructureError(f"{node.token}: no side chain before it")
                    node.child2 = pending_side
                    pending_side = None
                elif pending_side is not None:
                    raise StructureError(f"{node.token}: side chain without position")
                if members and node.name != "P":
                    if not node.subst1:
                        raise StructureError(f"{node.token}: missing position")
                    node.child1 = members[-1]
                elif members:
                    node.child1, node.subst1 = members[-1], 2
                members.append(index)
        if top and members:
            first = nodes[members[0]]
            first.child1 = members[-1]
            if first.name == "P":
                first.subst1 = 2
            elif not first.subst1:
                raise StructureError(f"{first.token}: the first residue must carry the last")
        return members[-1] if members else None

    chain(True)
    return nodes


@dataclass
class Prediction:
    nodes: list
    offsets: list
    shifts: list                    # tenths, carbon-index order
    notes: list = field(default_factory=list)


def predict(record: str, data_dir: Path) -> Prediction:
    records = model.load_names(data_dir)
    blocks = model.load_effect_blocks(data_dir)
    nodes = parse_record(record)
    recs, entries = [], []
    for node in nodes:
        if node.name == "P":
            recs.append(fmt.PHOSPHATE)
            entries.append(None)
            continue
        rec = fmt.find_name(records, node.name)
        if rec is None:
            raise StructureError(f"unknown residue {node.name}")
        form = "ab"[node.anomeric] if rec.ring < fmt.RING_ALDITOL else "c"
        if rec.ring >= fmt.RING_ALDITOL:
            node.anomeric = 0
        recs.append(rec)
        entries.append(model.load_entry(data_dir, rec, form, blocks))
    offsets = [0]
    for rec in recs:
        offsets.append(offsets[-1] + rec.carbons)
    total = offsets[-1]
    spectrum = [0] * total
    corrections = [0] * total
    notes = []

    def descriptor(parent: int, child: int):
        rec = recs[child]
        desc = fmt.descriptor_of(rec, nodes[child].anomeric,
                                 int(nodes[child].absolute != nodes[parent].absolute))
        return desc, offsets[child], bool(rec.nlinked)

    for i, node in enumerate(nodes):
        rec, entry, start = recs[i], entries[i], offsets[i]
        kids = []
        if node.child1 is not None:
            kids.append((node.subst1, descriptor(i, node.child1)))
        if node.child2 is not None:
            kids.append((node.subst2, descriptor(i, node.child2)))
        if rec is fmt.PHOSPHATE:
            if kids:
                child_entry = entries[node.child1]
                off = offsets[node.child1]
                corrections[off] += child_entry.phosphate[0]
                corrections[off + 1] += child_entry.phosphate[1]
            continue
        kids.sort(key=lambda k: k[0])

        def ring_corrections():
            if rec.ring in (0, 1):
                code = rec.orientation_code()
                corrections[start + 1] = c2_correction(rec.ring, node.anomeric, code)
                corrections[start + 4] = c5_correction(rec.ring, node.anomeric, code)

        def add_c1(desc, offset, value):
            if desc.type != 3 and desc.c1_pec != 3:
                corrections[offset] += value

        found = None
        if not kids:
            spectrum[start:start + rec.carbons] = entry.terminal
            ring_corrections()
            continue
        if not any(k[1][2] for k in kids):
            if len(kids) == 1:
                (p, (d, off, _)), = kids
                hit = entry.mono.get((p, d))
                if hit:
                    found = ("mono", [(d, off, hit[0])], hit[1])
            else:
                (p1, (d1, o1, _)), (p2, (d2, o2, _)) = kids
                hit = entry.di.get((p1, p2, d1, d2))
                if hit is None:
                    approx = model.approximate_two(entry.di, p1, p2, d1, d2)
                    hit = approx[1] if approx else None
                if hit:
                    found = ("di", [(d1, o1, hit[0]), (d2, o2, hit[1])], hit[2])
        if found:
            spectrum[start:start + rec.carbons] = found[2]
            for d, off, c1 in found[1]:
                add_c1(d, off, c1)
            notes.append(f"{node.token}: {found[0]} shift set")
            continue
        spectrum[start:start + rec.carbons] = entry.terminal
        ring_corrections()
        for p, (d, off, nlinked) in kids:
            if nlinked:
                q = start + p - 1
                spectrum[q] += NLINK_ALPHA
                spectrum[q - 1] += NLINK_BETA
                if q + 1 < offsets[i + 1]:
                    spectrum[q + 1] += NLINK_BETA
                corrections[off] += NLINK_C1
                continue
            hit = model.effect_lookup(entry, p, d)
            if hit is None:
                raise model.DataError(f"Could not find the {d.code(p)} effect for #{rec.name} "
                                      "or its ancestors")
            how, used, (c1, values, block) = hit
            for k in range(rec.carbons):
                spectrum[start + k] += values[k]
            add_c1(d, off, c1)
            notes.append(f"{node.token}: O-{p} effect {used.code(p)} from #{block} ({how})")
    shifts = [s + c for s, c in zip(spectrum, corrections)]
    return Prediction(nodes, offsets, shifts, notes)


def deviation(calculated: list, experimental: list) -> float:
    """Mean absolute difference per carbon of the two spectra, each sorted ascending."""
    a, b = sorted(calculated), sorted(experimental)
    if len(a) != len(b):
        raise ValueError(f"{len(a)} calculated against {len(b)} experimental shifts")
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a) / 10


def test_polymers():
    with open(HERE / "tables" / "polymers.csv", encoding="utf-8") as handle:
        polymers = list(csv.DictReader(handle))
    with open(HERE / "tables" / "structures.csv", encoding="utf-8") as handle:
        structures = list(csv.DictReader(handle))
    for s in structures:
        rows = [r for r in polymers if r["polymer"] == s["polymer"]]
        yield s, rows


def report_polymer(s: dict, rows: list, data_dir: Path, out=sys.stdout) -> tuple:
    pred = predict(s["record"], data_dir)
    correction = int(s["correction"])
    by_token = {r["token"]: r for r in rows}
    experimental = []
    print(f"{s['polymer']}: {s['record']}", file=out)
    for i, node in enumerate(pred.nodes):
        exp = [round(float(v) * 10) for v in by_token[node.token]["shifts"].split()]
        experimental += exp
        calc = pred.shifts[pred.offsets[i]:pred.offsets[i + 1]]
        label = by_token[node.token]["label"]
        print(f"  {label:<3}{node.token:<11} calc " + " ".join(f"{v / 10:6.1f}" for v in calc),
              file=out)
        print(f"  {'':<14} exp  " + " ".join(f"{(v + correction) / 10:6.1f}" for v in exp)
              + f"   (published {correction / -10:+.1f} ppm)", file=out)
    raw = deviation(pred.shifts, experimental)
    corrected = deviation(pred.shifts, [v + correction for v in experimental])
    print(f"  mean absolute deviation per carbon (sorted against sorted): "
          f"{corrected:.2f} ppm with CORRECTION {correction}, {raw:.2f} ppm without", file=out)
    return corrected, raw


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", type=Path, default=DEFAULT_DATA)
    parser.add_argument("--verbose", action="store_true", help="say which data each residue used")
    parser.add_argument("record", nargs="?")
    parser.add_argument("shifts", nargs="*", type=int)
    args = parser.parse_args(argv)
    if args.record:
        pred = predict(args.record, args.data)
        for i, node in enumerate(pred.nodes):
            calc = pred.shifts[pred.offsets[i]:pred.offsets[i + 1]]
            print(f"{node.token:<12}" + " ".join(f"{v / 10:6.1f}" for v in calc))
        if args.verbose:
            print(*pred.notes, sep="\n")
        if args.shifts:
            print(f"deviation {deviation(pred.shifts, args.shifts):.2f} ppm per carbon")
        return 0
    for s, rows in test_polymers():
        report_polymer(s, rows, args.data)
        if args.verbose:
            print(*("    " + n for n in predict(s["record"], args.data).notes), sep="\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
