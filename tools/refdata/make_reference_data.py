#!/usr/bin/env python3
"""Builds the shipped reference data (NAMES.PS, c13data/*.DAT, EFFECTS.PS and the worked
example EXAMPLE.TSK / CALC.STR, the spin-system examples SPINS33E.TSK / SPINS33F.TSK) from the
source tables in tables/.

    make_reference_data.py [--out DIR]     write the files (default: the repository's data/)
    make_reference_data.py --check         regenerate into a temporary directory and compare
                                           with data/; exit status 1 on any difference

The tables hold every value with its source key and status:
    M  measured, read from the cited published table
    U  typical literature value, not re-read against the original
    D  derived by arithmetic from M/U values (method in the note)
    E  estimated by analogy (method in the note or rule)
The output is a pure function of the tables: no dates, no dictionary-order dependence.
"""

from __future__ import annotations

import argparse
import csv
import filecmp
import os
import sys
import tempfile
from collections import defaultdict
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import refdata_formats as fmt  # noqa: E402
from refdata_formats import Descriptor, NameRecord  # noqa: E402

HERE = Path(__file__).resolve().parent
TABLES = HERE / "tables"
REPO = HERE.parent.parent
DEFAULT_OUT = REPO / "data"

# Flags of the linkage sheet that keep a row out of the data (non-methyl aglycone, derived
# aglycone reference, suspected referencing offset).
EXCLUDED_FLAGS = {"g", "d", "o?"}
CFG_INDEX = {"same": 0, "different": 1}


# ---------------------------------------------------------------------------------------------
# Tables
# ---------------------------------------------------------------------------------------------

def read_table(name: str) -> list:
    with open(TABLES / name, newline="", encoding="utf-8") as handle:
        return list(csv.DictReader(handle))


def ppm_to_tenths(text: str) -> int:
    value = float(text)
    return int(round(value * 10 + (1e-9 if value >= 0 else -1e-9)))


def mean_tenths(values) -> int:
    """Mean of values given in tenths, rounded half away from zero."""
    values = list(values)
    total = sum(values)
    q, r = divmod(abs(total) * 2 + len(values), 2 * len(values))
    return q if total >= 0 else -q


def mean_ppm(texts) -> int:
    """Mean of ppm texts (two decimals allowed) in tenths, rounded half away from zero."""
    hundredths = [int(round(float(t) * 100)) for t in texts]
    total = sum(hundredths)
    n = len(hundredths)
    q = (abs(total) * 2 + 10 * n) // (20 * n)
    return q if total >= 0 else -q


@dataclass
class Residue:
    rec: NameRecord
    qualifiers: str
    measured_block: str
    description: str
    terminal: dict          # form -> (shifts in tenths, source, status, note)


@dataclass
class Row:
    """One measured disaccharide of the linkage sheet."""
    number: int
    x: str
    x_anomer: int
    cfg: int
    position: int
    y: str
    y_form: str
    y_reference: str       # OMe (methyl glycoside aglycone) or free (reducing disaccharide)
    y_shifts: list         # ppm texts
    delta_y: list          # tenths
    c1_x: int | None       # tenths, C1 of X against free X
    x_c1: str
    source: str
    flags: str


def load_residues() -> list:
    terminals = defaultdict(dict)
    for row in read_table("terminal_shifts.csv"):
        shifts = [ppm_to_tenths(t) for t in row["shifts"].split()]
        terminals[row["name"]][row["form"]] = (shifts, row["source"], row["status"], row["note"])
    residues = []
    for row in read_table("residues.csv"):
        rec = fmt.parse_names_line(f"{row['name']} /{row['qualifiers']}")
        residue = Residue(rec, row["qualifiers"], row["measured_block"], row["description"],
                          terminals[row["name"]])
        for form in rec.forms:
            if form not in residue.terminal:
                raise SystemExit(f"terminal_shifts.csv lacks {row['name']} form {form}")
            if len(residue.terminal[form][0]) != rec.carbons:
                raise SystemExit(f"terminal shifts of {row['name']} {form}: wrong carbon count")
        residues.append(residue)
    return residues


def load_rows(by_name: dict) -> list:
    rows = []
    for r in read_table("linkage_rows.csv"):
        flags = set(r["flags"].replace("+", " ").split())
        if flags & EXCLUDED_FLAGS:
            continue
        x = by_name[r["x_name"]]
        if r["c1_x_vs_free"]:
            c1_x = ppm_to_tenths(r["c1_x_vs_free"])
        else:  # derived here: C1 of X in the disaccharide minus C1 of free X (same anomer)
            form = "ab"[r["x_anomer"] == "b"]
            c1_x = ppm_to_tenths(r["x_shifts"].split()[0]) - x.terminal[form][0][0]
        rows.append(Row(int(r["row"]), r["x_name"], int(r["x_anomer"] == "b"),
                        CFG_INDEX[r["cfg"]], int(r["position"]), r["y_name"], r["y_form"],
                        r["y_reference"], r["y_shifts"].split(),
                        [ppm_to_tenths(t) for t in r["delta_y"].split()], c1_x,
                        r["x_shifts"].split()[0], r["source"], " ".join(sorted(flags))))
    return rows


@dataclass
class Rule:
    parent: str
    position_class: str
    sub_type: str
    anomer: str
    cfg: str
    alpha: int | None
    beta: int | None
    c1_effect: int
    source: str
    status: str
    method: str

    def matches(self, parent, position_class, sub_type, anomer, cfg) -> bool:
        return all(mine in ("*", theirs) for mine, theirs in (
            (self.parent, parent), (self.position_class, position_class),
            (self.sub_type, sub_type), (self.anomer, anomer), (self.cfg, cfg)))


def load_rules() -> list:
    rules = []
    for r in read_table("effect_rules.csv"):
        rules.append(Rule(r["parent"], r["position_class"], r["sub_type"], r["anomer"], r["cfg"],
                          ppm_to_tenths(r["alpha"]) if r["alpha"] else None,
                          ppm_to_tenths(r["beta"]) if r["beta"] else None,
                          ppm_to_tenths(r["c1_effect"]), r["source"], r["status"], r["method"]))
    return rules


# ---------------------------------------------------------------------------------------------
# Classification used by the effect tables
# ---------------------------------------------------------------------------------------------

PARENT_KIND = {fmt.RING_PYRANOSE: "pyranose", fmt.RING_FURANOSE: "furanose",
               fmt.RING_ALDITOL: "alditol", fmt.RING_NONSUGAR: "non"}
RING_SIZE = {fmt.RING_PYRANOSE: 5, fmt.RING_FURANOSE: 4}   # ring carbons C1..C(n)


def position_class(ring: int, carbons: int, position: int) -> str:
    """ring2: ring position next to C1; ring: other ring carbon; chain: secondary carbon outside
    a ring; primary: the last carbon (CH2OH) of a chain."""
    if ring == fmt.RING_NONSUGAR:
        return "any"
    if ring in RING_SIZE and position < RING_SIZE[ring]:
        return "ring2" if position == 2 else "ring"
    return "primary" if position == carbons else "chain"


def local_configuration(rec: NameRecord, position: int):
    """Orientation of the protons at position-1, position and position+1 of a pyranose (True
    equatorial), None where the carbon is not one of C2..C4, whose orientations decide the
    configuration class; for O-2 the anomeric carbon is left to the aglycone form."""
    if rec.ring != fmt.RING_PYRANOSE:
        return None
    return tuple((q in rec.equatorial) if 2 <= q <= min(4, rec.carbons) else None
                 for q in (position - 1, position, position + 1))


def needed_descriptors(residues: list) -> list:
    """Every descriptor that a shipped O-linked residue, or the built-in phosphate, can have as
    a substituent, in a fixed order."""
    found = set()
    for residue in residues:
        rec = residue.rec
        if rec.nlinked:
            continue
        anomers = (0, 1) if rec.ring < fmt.RING_ALDITOL else (0,)
        for anomeric in anomers:
            for absolute in (0, 1):
                found.add(fmt.descriptor_of(rec, anomeric, absolute))
    for absolute in (0, 1):
        found.add(fmt.descriptor_of(fmt.PHOSPHATE, 0, absolute))
    return sorted(found)


def sub_type_letter(desc: Descriptor) -> str:
    return "P" if desc.c1_pec == 3 else fmt.TYPE_LETTERS[desc.type]


def anomer_letter(desc: Descriptor) -> str:
    return "ab"[desc.anomeric] if desc.type < 2 else "x"


# ---------------------------------------------------------------------------------------------
# Effect cells
# ---------------------------------------------------------------------------------------------

@dataclass
class Cell:
    c1_effect: int
    values: list
    status: str            # M, U, D or E
    origin: str            # short provenance for the comment

    def same_data(self, other: "Cell") -> bool:
        return (self.c1_effect, self.values, self.origin) == (other.c1_effect, other.values,
                                                              other.origin)


def vector(carbons: int, position: int, alpha: int, beta_low: int, beta_high: int) -> list:
    values = [0] * carbons
    values[position - 1] = alpha
    if position - 2 >= 0:
        values[position - 2] = beta_low
    if position < carbons:
        values[position] = beta_high
    return values


class EffectBuilder:
    """Decides the data of every effect cell from measured rows, analogies and rules."""

    def __init__(self, residues, rows, rules):
        self.by_name = {r.rec.name: r for r in residues}
        self.rows = rows
        self.rules = rules
        self.block_rec = {}             # class block -> the record of its first member
        for residue in residues:
            self.block_rec.setdefault(residue.rec.class_name, residue.rec)
        self.desc_of_row = {}
        for row in rows:
            x = self.by_name[row.x].rec
            y = self.by_name[row.y].rec
            self.desc_of_row[row.number] = fmt.descriptor_of(x, row.x_anomer, row.cfg)
            if y.ring != fmt.RING_PYRANOSE:
                raise SystemExit(f"row {row.number}: only pyranose aglycones are expected")

    def rows_for(self, block: str, form: str, position: int, desc: Descriptor) -> list:
        return [row for row in self.rows
                if self.by_name[row.y].measured_block == block and row.y_form == form
                and row.position == position and self.desc_of_row[row.number] == desc]

    @staticmethod
    def from_rows(rows: list, carbons: int, status: str, why: str) -> Cell:
        values = [mean_tenths(row.delta_y[k] for row in rows) for k in range(carbons)]
        c1 = mean_tenths(row.c1_x for row in rows)
        numbers = ",".join(str(row.number) for row in sorted(rows, key=lambda r: r.number))
        origin = f"rows {numbers}" + (f" {why}" if why else "")
        return Cell(c1, values, status, origin)

    def measured_cell(self, block, form, position, desc, carbons, other_form_allowed):
        """Levels 1-4 of the search: the cell itself, then analogues that keep anomer and
        configuration: OH<->NHAc, other anomer of the aglycone (not for position 2), and last
        axial<->equatorial H-2 of the substituent."""
        swaps = [(desc, "")]
        if desc.c2_group in (0, 1):
            swaps.append((Descriptor(desc.type, desc.anomeric, desc.absolute, desc.c2_proton,
                                     1 - desc.c2_group, desc.c1_pec), "OH/NHAc analogue"))
        forms = [(form, "")]
        if other_form_allowed and position != 2 and form in "ab" and form:
            forms.append(("b" if form == "a" else "a", "other anomer of the aglycone"))
        for use_form, why_form in forms:
            for use_desc, why_desc in swaps:
                found = self.rows_for(block, use_form, position, use_desc)
                if found:
                    why = "; ".join(w for w in (why_desc, why_form) if w)
                    return self.from_rows(found, carbons, "E" if why else "M", why)
        return None

    def orientation_analogue(self, block, form, position, desc, carbons):
        if desc.c2_proton not in (0, 1):
            return None
        flipped = Descriptor(desc.type, desc.anomeric, desc.absolute, 1 - desc.c2_proton,
                             desc.c2_group, desc.c1_pec)
        cell = self.measured_cell(block, form, position, flipped, carbons, True)
        if cell is None:
            return None
        cell.status = "E"
        cell.origin += "; axial/equatorial H-2 analogue"
        return cell

    def class_mean(self, block, parent_ring, form, position, carbons, desc):
        """Level 5: mean over measured pyranose rows with the substituent's anomer and relative
        configuration. Rows whose aglycone has the same local configuration around the
        substituted carbon (orientation of the protons at p-1, p, p+1) are preferred, first of
        the same aglycone anomer, then of either; only without such rows does the mean widen to
        every row of the same position class."""
        pclass = position_class(parent_ring, carbons, position)
        if parent_ring != fmt.RING_PYRANOSE or desc.type != 0:
            return None
        rec = self.block_rec.get(block)
        want = local_configuration(rec, position) if rec is not None else None
        attempts = [(form, True), (None, True), (form, False), (None, False)]
        for use_form, local in attempts:
            if local and want is None:
                continue
            picked = []
            for row in self.rows:
                y = self.by_name[row.y].rec
                d = self.desc_of_row[row.number]
                if local:
                    same_place = local_configuration(y, row.position) == want
                else:
                    same_place = position_class(y.ring, y.carbons, row.position) == pclass
                if (same_place
                        and (use_form is None or row.y_form == use_form)
                        and d.anomeric == desc.anomeric and d.absolute == desc.absolute
                        and d.type == 0 and row.position - 2 < len(row.delta_y)):
                    picked.append(row)
            if picked:
                p = lambda row, k: row.delta_y[k] if 0 <= k < len(row.delta_y) else 0  # noqa
                alpha = mean_tenths(p(r, r.position - 1) for r in picked)
                low = mean_tenths(p(r, r.position - 2) for r in picked)
                high_rows = [r for r in picked if r.position < len(r.delta_y)]
                high = mean_tenths(p(r, r.position) for r in high_rows) if high_rows else 0
                c1 = mean_tenths(r.c1_x for r in picked)
                scope = f"{form}-aglycone " if use_form else ""
                kind = "same-configuration " if local else ""
                numbers = ",".join(str(r.number) for r in picked)
                return Cell(c1, vector(carbons, position, alpha, low, high), "E",
                            f"class mean of {kind}{scope}{pclass} rows {numbers}")
        return None

    def rule_cell(self, parent_ring, carbons, position, desc, form, block):
        kind = PARENT_KIND[parent_ring]
        pclass = position_class(parent_ring, carbons, position)
        cfg = ("same", "different")[desc.absolute]
        for rule in self.rules:
            if not rule.matches(kind, pclass, sub_type_letter(desc), anomer_letter(desc), cfg):
                continue
            if rule.beta is None:
                # Furanoside: the pyranoside of the same anomer and configuration gives the
                # beta- and gamma-effects (measured rows where they exist), the rule the
                # alpha-effect on the substituted carbon and the C1 effect.
                base_desc = Descriptor(0, desc.anomeric, desc.absolute, 1, 1, 0)
                base = self.class_cell(block, parent_ring, carbons, form, position, base_desc)
                values = list(base.values)
                values[position - 1] = rule.alpha
                return Cell(rule.c1_effect, values, "E",
                            f"furanoside: alpha-effect {rule.alpha / 10:+.1f} and C1 effect "
                            f"{rule.source}, other carbons as the pyranoside ({base.origin})")
            return Cell(rule.c1_effect, vector(carbons, position, rule.alpha, rule.beta,
                                               rule.beta),
                        rule.status if rule.status != "M" else "U",
                        f"rule {kind}/{pclass}/{sub_type_letter(desc)}{anomer_letter(desc)} "
                        f"{rule.source}")
        raise SystemExit(f"no rule for {kind} {pclass} {desc.label()}")

    def class_cell(self, block, parent_ring, carbons, form, position, desc) -> Cell:
        if desc.type == 0 and desc.c1_pec == 0 and parent_ring == fmt.RING_PYRANOSE:
            for attempt in (
                    lambda: self.measured_cell(block, form, position, desc, carbons, True),
                    lambda: self.orientation_analogue(block, form, position, desc, carbons),
                    lambda: self.class_mean(block, parent_ring, form, position, carbons, desc)):
                cell = attempt()
                if cell is not None:
                    return cell
        return self.rule_cell(parent_ring, carbons, position, desc, form, block)

    def specific_cell(self, block, form, position, desc, carbons):
        """Name and amino blocks hold only what their own residue's rows give."""
        if desc.type != 0:
            return None
        return self.measured_cell(block, form, position, desc, carbons, True)


# ---------------------------------------------------------------------------------------------
# Writers
# ---------------------------------------------------------------------------------------------

def source_lines(keys, sources) -> list:
    out = []
    for key in keys:
        s = sources[key]
        note = f" ({s['note']})" if s["note"] else ""
        out.append(f";   {key:<12} {s['citation']}{note}")
    return out


STATUS_LEGEND = [
    ";   M  measured: read from the cited published table (linkage data on the 1,4-dioxane",
    ";      67.40 scale, with the referencing correction stated for each data set applied)",
    ";   U  typical literature value, not re-read against the original",
    ";   D  derived by arithmetic from M/U values (method given)",
    ";   E  estimated by analogy (method given); a placeholder to be replaced by measured data",
]


def write_names(residues, out: Path) -> None:
    lines = [
        "; NAMES.PS - residue types known to the program (one data line per residue type).",
        ";",
        "; Generated by tools/refdata/make_reference_data.py from tools/refdata/tables/residues.csv;",
        "; edit the table and regenerate rather than this file.",
        ";",
        "; Line layout:  <Name> /<qualifiers>",
        ";   Name        3 or 4 characters, followed by a blank and a slash (\" /\" must start at",
        ";               column 4 or 5). The digits 0 and 1 may not occur in a name, since the",
        ";               structure notation reserves them. A final \"p\" or \"P\" means PHOSPHATE:",
        ";               such a residue is stored with a final P and treated as a phosphorylated",
        ";               residue (its C1 peculiarity becomes 3), so never end a sugar name in p/P",
        ";               (write Glc, not Glcp).",
        ";   qualifiers  for every carbon 2..m (m = the number of carbons; carbon 1 is the one",
        ";               through which the residue is attached to its neighbour) the digit of the",
        ";               carbon followed by two letters, in order 2, 3, ... without gaps:",
        ";                 1st letter, what the carbon carries:",
        ";                   o  a hydroxy group that can carry an O-linked substituent",
        ";                   c  a group that can carry an O-linked or an N-linked substituent",
        ";                   n  an amino group (N-acyl, the acyl carbons are not counted); it can",
        ";                      carry an N-linked substituent only",
        ";                   d  nothing substitutable: deoxy carbon, carboxyl carbon, the ring",
        ";                      carbon that bears the ring oxygen (C5 of a pyranose, C4 of a",
        ";                      furanose); at carbon 2 it also marks the residue as 2-deoxy",
        ";                 2nd letter, orientation of the PROTON on that carbon in the usual",
        ";                 chair of the residue: a axial, e equatorial, c open chain or exocyclic.",
        ";                   The equatorial protons at carbons 2, 3 and 4 give the configuration",
        ";                   class of a pyranose and so its blocks in EFFECTS.PS: none glc,",
        ";                   2 man, 3 all, 2+3 alt, 4 gal, 2+4 tal, 3+4 gul, 2+3+4 ido, with the",
        ";                   carbon count appended when it is not 6 (Xyl is glc5). L-sugars are",
        ";                   described in their own chair: L-Rha has e at 2 (class man), L-Fuc e",
        ";                   at 4 (class gal). Furanoses take the letters of the pyranose of the",
        ";                   same configuration (only the letter at carbon 2 matters for them: it",
        ";                   describes the residue when it is a substituent).",
        ";               keywords anywhere after the positions (plain substrings, case matters):",
        ";                 fur    furanose (class furN, N = carbon count)",
        ";                 ald    alditol, no anomeric centre (class aldN; files C-<NAME>.DAT)",
        ";                 non    not a sugar (class non; files C-<NAME>.DAT)",
        ";                 Nlink  the residue is attached to its neighbour through nitrogen (to a",
        ";                        carbon with qualifier c or n); without it, through oxygen",
        ";                 Catt   C1 of the residue is a carbonyl carbon (ester or amide bond,",
        ";                        e.g. N-acyl groups): substituent code letter c",
        ";                 Aatt   C1 of the residue is an acetal carbon that is not a normal",
        ";                        anomeric centre (e.g. cyclic acetals): substituent code letter a",
        ";               The text after the slash is searched for these keywords and for the",
        ";               digits 2..9, so it must hold no other digits and no word containing",
        ";               fur, ald or non.",
        ";",
        "; Adding a residue: add its line here (through residues.csv), its shift files to",
        "; c13data (A-/B-<NAME>.DAT for a sugar, C-<NAME>.DAT otherwise), a name block to",
        "; EFFECTS.PS when its name differs from its class, and - for an O-linked residue - its",
        "; key to the #P block of EFFECTS.PS. See docs/reference-data.md.",
        "; A pyranose or furanose must have at least 5 carbons (the ring corrections of the",
        "; calculation write C2 and C5).",
        ";",
    ]
    for residue in residues:
        rec = residue.rec
        text = f"{rec.name} /{residue.qualifiers}"
        lines.append(f"{text:<40}; {rec.class_name:<5} {residue.description}")
    (out / "NAMES.PS").write_text("\n".join(lines) + "\n", encoding="ascii")


def write_shift_files(residues, rows, builder: EffectBuilder, sources, out: Path) -> None:
    folder = out / "c13data"
    folder.mkdir(parents=True, exist_ok=True)
    for residue in residues:
        rec = residue.rec
        for form in rec.forms:
            shifts, src, status, note = residue.terminal[form]
            used_rows = [row for row in rows if row.y == rec.name and row.y_form == form
                         and row.y_reference == "OMe"]
            keys = sorted(set(src.split()) | {row.source for row in used_rows})
            form_text = {"a": "alpha", "b": "beta", "c": "only"}[form]
            lines = [
                f"; {fmt.shift_file_name(rec, form)} - 13C shifts of {rec.name} ({form_text} form):"
                f" {residue.description}.",
                "; Generated by tools/refdata/make_reference_data.py; edit the tables, not this file.",
                "; Shifts in ppm, D2O, 1,4-dioxane 67.40 scale.",
                ";",
                "; Status letters:",
                *STATUS_LEGEND,
                "; Sources:",
                *source_lines(keys, sources),
                ";",
                "; Line 0/0: the residue attached through C1 and otherwise unsubstituted. For a",
                "; pyranose these are FREE-sugar shifts: the glycosylation effect on C1 comes from",
                "; the residue it is attached to, and the calculation's ring corrections turn C2 and",
                "; C5 into glycoside values. Furanoses get no ring corrections, so their C2.. are",
                "; glycoside values where a methyl furanoside is known (C1 still of the free sugar).",
                f";   status {status}: {note}" if note else f";   status {status}",
            ]
            lines.append(fmt.format_shift_line(None, 0, None, 0, 0, 0, shifts))
            if used_rows:
                lines += [
                    ";",
                    "; One-substituent sets: the residue as aglycone Y of a measured disaccharide",
                    "; X-(1->p)-Y-OMe (status M; rows of the linkage data sheet). C2.. as measured",
                    "; (glycoside values, no ring correction is applied to these sets); C1 = the",
                    "; free-sugar C1 above + the measured change of C1(Y); the first C1 effect is",
                    "; the change of C1 of X against free X. Rows with the same descriptor are",
                    "; averaged.",
                ]
                cells = defaultdict(list)
                for row in used_rows:
                    cells[(row.position, builder.desc_of_row[row.number])].append(row)
                for (position, desc), group in sorted(cells.items()):
                    y = [mean_ppm(row.y_shifts[k] for row in group) for k in range(rec.carbons)]
                    y[0] = shifts[0] + mean_tenths(row.delta_y[0] for row in group)
                    c1 = mean_tenths(row.c1_x for row in group)
                    numbers = ",".join(str(r.number) for r in group)
                    xs = "/".join(sorted({f"{'ab'[r.x_anomer]}-{r.x}" for r in group}))
                    lines.append(fmt.format_shift_line(desc, position, None, 0, c1, 0, y)
                                 + f"  ; M {xs}-(1->{position}) rows {numbers}")
            name = fmt.shift_file_name(rec, form)
            (folder / name).write_text("\n".join(lines) + "\n", encoding="ascii")


def block_members(residues) -> dict:
    """Block name -> residues that read it."""
    members = defaultdict(list)
    for residue in residues:
        rec = residue.rec
        k = rec.class_name
        members[k].append(residue)
        if 2 in rec.amino and k != "non":
            members[k + "n"].append(residue)
        if rec.name not in (k, k + "n"):
            members[rec.name].append(residue)
    return members


def write_effects(residues, builder: EffectBuilder, descriptors, sources, out: Path):
    members = block_members(residues)
    class_blocks = sorted({r.rec.class_name for r in residues})
    amino_blocks = sorted({r.rec.class_name + "n" for r in residues
                           if 2 in r.rec.amino and r.rec.class_name != "non"})
    name_blocks = [r.rec.name for r in residues
                   if r.rec.name not in (r.rec.class_name, r.rec.class_name + "n")]
    used_sources = set()
    body = []
    counts = defaultdict(int)

    def emit(block_name, cells_by_key, carbons):
        """cells_by_key: (position, desc) -> {form: Cell}; merges forms with equal data."""
        for (position, desc), per_form in sorted(cells_by_key.items()):
            forms = sorted(per_form)
            if forms == ["a", "b"] and per_form["a"].same_data(per_form["b"]):
                groups = [("", per_form["a"])]
            else:
                groups = [(f if f != "c" else "", per_form[f]) for f in forms]
            for form, cell in groups:
                line = fmt.format_effect_line(desc, position, form, cell.c1_effect, cell.values)
                body.append(f"{line}  ; {cell.status} {cell.origin}")
                counts[cell.status] += 1
                for word in cell.origin.replace(";", " ").replace(")", " ").split():
                    if word in sources:
                        used_sources.add(word)

    for block in class_blocks:
        group = members[block]
        rec0 = group[0].rec
        body += [";", f"; ---- class {block}: " + ", ".join(r.rec.name for r in group)]
        body.append(f"#{block}")
        if block == "non":
            for desc in descriptors:
                cell = builder.rule_cell(fmt.RING_NONSUGAR, rec0.carbons, 2, desc, "", block)
                alpha = cell.values[1]
                beta = cell.values[0]
                line = fmt.format_effect_line(desc, 2, "", cell.c1_effect, [alpha, beta])
                body.append(f"{line}  ; {cell.status} {cell.origin}")
                counts[cell.status] += 1
                used_sources.update(w for w in cell.origin.split() if w in sources)
            continue
        positions = sorted(set().union(*(r.rec.o_subst for r in group)))
        cells = defaultdict(dict)
        for form in rec0.forms:
            for position in positions:
                for desc in descriptors:
                    cells[(position, desc)][form] = builder.class_cell(
                        block, rec0.ring, rec0.carbons, form, position, desc)
        emit(block, cells, rec0.carbons)

    for block in amino_blocks + name_blocks:
        group = members[block]
        rec0 = group[0].rec
        kind = "amino block" if block in amino_blocks else "residue"
        body += [";", f"; ---- {kind} {block}: " + ", ".join(r.rec.name for r in group)]
        body.append(f"#{block}")
        positions = sorted(set().union(*(r.rec.o_subst for r in group)))
        cells = defaultdict(dict)
        for form in rec0.forms:
            for position in positions:
                for desc in descriptors:
                    cell = builder.specific_cell(block, form, position, desc, rec0.carbons)
                    if cell is not None:
                        cells[(position, desc)][form] = cell
        if not cells:
            body.append("; no residue-specific data: the class data apply")
        emit(block, cells, rec0.carbons)

    phosphate = {(r["ring"], r["form"]): r for r in read_table("phosphate_effects.csv")}
    body += [";", "; ---- phosphate: effects on C1 and C2 of a residue whose C1 is bound to a",
             ";      phosphate group (key: C1 peculiarity, C2 group, C2 proton, XX, form, type, 1)",
             "#P"]
    seen = set()
    for residue in residues:
        rec = residue.rec
        if rec.nlinked:
            continue
        for form in rec.forms:
            key = rec.residue_key(form)
            if key in seen:
                continue
            seen.add(key)
            entry = phosphate[(PARENT_KIND[rec.ring], "x" if form == "c" else form)]
            line = fmt.format_phosphate_line(key, ppm_to_tenths(entry["c1_effect"]),
                                             ppm_to_tenths(entry["c2_effect"]))
            users = [r.rec.name for r in residues if not r.rec.nlinked
                     and any(r.rec.residue_key(f) == key for f in r.rec.forms)]
            body.append(f"{line}  ; {entry['status']} {entry['source']} {'/'.join(users)}:"
                        f" {entry['note']}")
            used_sources.add(entry["source"])
            counts[entry["status"]] += 1
    body.append("#")

    rule_lines = []
    for rule in builder.rules:
        used_sources.update(rule.source.split())
        rule_lines.append(f";   {rule.parent:<8} {rule.position_class:<7} {rule.sub_type}"
                          f"{rule.anomer} {rule.cfg:<9} {rule.status} {rule.method}")
    header = [
        "; EFFECTS.PS - glycosylation effects by residue class, amino class and residue.",
        "; Generated by tools/refdata/make_reference_data.py; edit the tables, not this file.",
        "; Effects in ppm (D2O, dioxane 67.40 scale); each effect line, in fixed columns:",
        ";   1 C1 peculiarity of the substituent (n, c, a)   2 its C2 group (o, n, d)",
        ";   3 its C2 proton (a, e, o)   4-5 DD same / DL different absolute configuration",
        ";   6 its anomer (a, b; x for alditols, non-sugars, phosphate)   7 type S F A N P",
        ";   8 substituted position   9 aglycone form: blank both, a alpha only, b beta only",
        ";   10-11 ->   13-16 effect on C1 of the substituent (0.0..25.5)   18 /",
        ";   then one 5-column value per carbon of the residue (C1 first): the change of",
        ";   that carbon when the position carries the substituent.",
        "; In #non lines the two values are the alpha- and the beta-effect (column 8 unused).",
        "; Block order of reading: class block, amino block (class + n), residue block; a",
        "; later block replaces the cells it names. Every class block below holds a line for",
        "; every substituent kind of the shipped residues at every substitutable position.",
        ";",
        "; Status letter after each line (see also tools/refdata/tables):",
        *STATUS_LEGEND,
        "; Origins: 'rows n,m' = mean of the measured disaccharides n, m of the linkage data",
        ";   sheet (effects against the methyl glycoside of the aglycone, or against the free",
        ";   sugar for reducing disaccharides; C1 effect of the substituent against the free",
        ";   sugar); qualifiers after the rows say which analogy was used. 'class mean' =",
        ";   mean alpha- and beta-effects of the measured pyranose rows listed, with that",
        ";   substituent anomer and configuration: 'same-configuration' rows have an aglycone",
        ";   with the same proton orientations at p-1, p and p+1, the others only the same",
        ";   position class. 'rule' = the estimate rules below. 'furanoside' = the alpha-effect",
        ";   and C1 effect of a furanoside rule, the other carbons as the pyranoside cell named.",
        ";   Measured data are excluded when flagged as non-methyl aglycone, derived aglycone",
        ";   reference or suspected referencing offset.",
        "; Estimate rules (parent, position class, substituent type+anomer, configuration):",
        *rule_lines,
        "; Sources:",
        *source_lines(sorted(used_sources | {row.source for row in builder.rows}), sources),
    ]
    text = "\n".join(header + body) + "\n"
    (out / "EFFECTS.PS").write_text(text, encoding="ascii")
    return counts


def spectrum_lines(rows) -> list:
    """One task-file line per residue of a polymer: its shifts x10 and a comment naming it."""
    lines = []
    for r in rows:
        values = " ".join(str(ppm_to_tenths(v)) for v in r["shifts"].split())
        note = f"; {r['note']}" if r["note"] else ""
        lines.append(f"{values}   ; {r['label']} {r['description']} {note}".rstrip())
    return lines


def write_example(out: Path) -> None:
    polymers = read_table("polymers.csv")
    structures = {r["polymer"]: r for r in read_table("structures.csv")}
    rows = [r for r in polymers if r["polymer"] == "33E"]
    s33 = structures["33E"]
    tokens = [r["token"].split(")")[-1] for r in rows]
    lines = [
        "; EXAMPLE.TSK - worked example: Streptococcus pneumoniae serotype 33E capsular",
        "; polysaccharide, de-O-acetylated (residue E taken as E', its O-acetyl removed).",
        "; Source: PMC10462825, Table 1 (2023 study of serogroup 33), D2O. Published structure:",
        f";   {structures['33E']['description'].split(', S. pneumoniae')[0]}",
        "; (also in CALC.STR). Generated by tools/refdata/make_reference_data.py from",
        "; tools/refdata/tables/polymers.csv.",
        ";",
        "; First data line: the composition, one token per residue: the constraint prefix",
        "; ?x) (the residue carries its neighbour at any position and no second one, that is",
        "; no residue is a branch point, as a methylation analysis of the polymer shows),",
        "; then the anomeric letter (a, b), the absolute configuration (D, L) and the residue",
        "; name of NAMES.PS. The configurations are those the authors determined; the order",
        "; of the residues and the linkage positions are left to the search.",
        " ".join(f"?x){t}" for t in tokens),
        ";",
        "; Spectrum: the 30 sugar-carbon shifts multiplied by 10, one line per residue",
        "; (C1..C6). The O-acetyl signals are not listed.",
    ]
    lines += spectrum_lines(rows)
    lines += [
        ";",
        "; Options. The published shifts are referenced about 1 ppm above the dioxane 67.40",
        "; scale of the reference data (galactose C6 63.0 here, about 62.0 on that scale), so",
        "; every experimental shift is lowered by 1.0 ppm before the comparison.",
        f"CORRECTION: {s33['correction']}",
        "; Keep the 20 best structures (the default, written out). Several linear",
        "; structures fit these 30 shifts within 0.05 ppm per carbon of the published one;",
        "; without the constraint prefixes, dozens of branched structures would too (see",
        "; docs/reference-data.md, Test polymers).",
        "LIMIT: 20",
        "; Also write the report: EXAMPLE.HTML, the kept structures drawn in SNFG symbols with",
        "; their IUPAC form and their calculated spectrum against this one, and EXAMPLE.JSON,",
        "; the same for scripts (see docs/report.md).",
        "REPORT",
    ]
    (out / "EXAMPLE.TSK").write_text("\n".join(lines) + "\n", encoding="ascii")
    s = structures["33E"]
    calc = [
        "; CALC.STR - the published structure of the de-O-acetylated S. pneumoniae serotype 33E",
        "; capsular polysaccharide (PMC10462825), for GLYCOMB /CALC CALC.",
        f";   {s['description'].split(', S. pneumoniae')[0]}",
        "; Notation: residues in the order written above, each followed by '-'. A token d)xYName",
        "; says that the residue written immediately before it is attached at its position d",
        "; (x = anomeric letter a/b, Y = D/L); the first residue carries the position of the",
        "; last one, because the repeating unit closes on itself:",
        ";   3)bDGal    beta-D-Galp, carries the last residue (Galf) at O-3",
        ";   3)aDGal    alpha-D-Galp, carries the beta-D-Galp at O-3",
        ";   3)bDGalf   beta-D-Galf, carries the alpha-D-Galp at O-3",
        ";   3)bDGlc    beta-D-Glcp, carries the beta-D-Galf at O-3",
        ";   5)bDGalf   beta-D-Galf (E', de-O-acetylated), carries the beta-D-Glcp at O-5",
        "; The record must not contain blanks; only the first data line is read.",
        s["record"],
        "; A later line that begins with REPORT also writes CALC.HTML: the structure drawn in",
        "; SNFG symbols, its IUPAC form and its calculated spectrum (see docs/report.md).",
        "REPORT",
    ]
    (out / "CALC.STR").write_text("\n".join(calc) + "\n", encoding="ascii")
    f = structures["33F"]
    calc = [
        "; CALC33F.STR - the published structure of the de-O-acetylated S. pneumoniae serotype",
        "; 33F capsular polysaccharide (PMC10462825), for GLYCOMB /CALC CALC33F.",
        f";   {f['description'].split(', S. pneumoniae')[0]}",
        "; The 33E chain with an alpha-D-Galp side chain on O-2 of its alpha-D-Galp. Notation as",
        "; in CALC.STR. A side chain is written in brackets, followed by '-', before the residue",
        "; that carries it; a token e]d)xYName carries the side chain at position e and the",
        "; residue written before it in its own chain at position d. The program knows a",
        "; branched repeating unit by the shape its catalogue uses, with the side chain before",
        "; the first residue of the main chain, so the chain starts at the branched residue:",
        ";   [aDGal-]-     alpha-D-Galp side chain (terminal)",
        ";   2]3)aDGal     alpha-D-Galp, carries the side chain at O-2 and the last residue of",
        ";                 the main chain (beta-D-Galp) at O-3",
        ";   3)bDGalf      beta-D-Galf, carries the alpha-D-Galp at O-3",
        ";   3)bDGlc       beta-D-Glcp, carries the beta-D-Galf at O-3",
        ";   5)bDGalf      beta-D-Galf (E', de-O-acetylated), carries the beta-D-Glcp at O-5",
        ";   3)bDGal       beta-D-Galp, carries the beta-D-Galf at O-3",
        "; The record must not contain blanks; only the first data line is read.",
        f["record"],
        "; A later line that begins with REPORT also writes CALC33F.HTML (see CALC.STR).",
        "REPORT",
    ]
    (out / "CALC33F.STR").write_text("\n".join(calc) + "\n", encoding="ascii")


def write_spin_examples(out: Path) -> None:
    """SPINS33E.TSK and SPINS33F.TSK: the test polymers scored residue by residue."""
    polymers = read_table("polymers.csv")
    structures = {r["polymer"]: r for r in read_table("structures.csv")}
    for polymer, structure_file in (("33E", "CALC.STR"), ("33F", "CALC33F.STR")):
        rows = [r for r in polymers if r["polymer"] == polymer]
        name = f"SPINS{polymer}.TSK"
        description = structures[polymer]["description"].split(", S. pneumoniae")[0]
        lines = [
            f"; {name} - de-O-acetylated Streptococcus pneumoniae serotype {polymer} capsular",
            "; polysaccharide (residue E taken as E') scored residue by residue against its spin",
            "; systems. Source: PMC10462825, Table 1, D2O. Published structure",
            f"; (also in {structure_file}):",
            f";   {description}",
            "; Generated by tools/refdata/make_reference_data.py from tools/refdata/tables/polymers.csv.",
            ";",
            "; Composition: the residues with the configurations the authors determined and no",
            "; constraint prefixes: every topology, order and linkage is tried.",
            " ".join(r["token"].split(")")[-1] for r in rows),
            ";",
            "; Spin systems: one line per residue, C1 first, as 2D spectra (HSQC, TOCSY) assign",
            "; them. The lines may stand in any order; each residue is matched to one of them.",
        ]
        lines += spectrum_lines(rows)
        lines += [
            ";",
            "; Score every structure residue by residue against these lines.",
            "SPINSYSTEMS",
            "; The shifts are referenced about 1 ppm above the reference data (EXAMPLE.TSK",
            "; corrects them by -1.0 ppm): each structure is scored with the offset that fits it.",
            "CORRECTION: AUTO",
        ]
        if polymer == "33E":
            # The example the README runs first: its report shows the best structure carbon by
            # carbon against the spin systems.
            lines += [
                f"; Also write the report: {name[:-4]}.HTML, the kept structures drawn in SNFG",
                "; symbols and, for the best one, its calculated shifts against the spin system",
                f"; each residue was matched to; and {name[:-4]}.JSON, the same for scripts (see",
                "; docs/report.md).",
                "REPORT",
            ]
        (out / name).write_text("\n".join(lines) + "\n", encoding="ascii")
        if polymer == "33F":
            write_link_example(out, lines)


# The LINK lines of LINKS33F.TSK: the two attachments of the published 33F structure that the
# spin-system score alone gets wrong (its best structure exchanges the beta-D-Glcp and the
# 5-linked beta-D-Galf of the main chain), as HMBC
# cross-peaks between H-1 of one residue and C-n of the other would give them. Spin systems are
# numbered as SPINS33F.TSK lists them: 1 A, 2 F, 3 B, 4 C, 5 D, 6 E'.
LINKS_33F = [
    ("LINK: 4 (1->3) 5", "C, ->3)-beta-D-Galf-(1->, at O-3 of D, ->3)-beta-D-Glcp-(1->"),
    ("LINK: 5 (1->5) 6", "D, ->3)-beta-D-Glcp-(1->, at O-5 of E', ->5)-beta-D-Galf-(1->"),
]


def write_link_example(out: Path, spin_lines: list) -> None:
    """LINKS33F.TSK: SPINS33F.TSK with the LINK lines that settle what the shifts leave open."""
    lines = ["; LINKS33F.TSK - " + spin_lines[0][len("; SPINS33F.TSK - "):]] + spin_lines[1:]
    lines += [
        ";",
        "; Two inter-residue correlations (HMBC: H-1 of one residue, C-n of another) as LINK lines.",
        "; Without them (SPINS33F.TSK) the best structure exchanges the beta-D-Glcp and the",
        "; 5-linked beta-D-Galf of the published one, which comes second. The residue of the",
        "; first spin system is attached through its C1 to the given position of the residue of",
        "; the second, as the published structure has it:",
    ]
    for link, what in LINKS_33F:
        lines += [f";   {what}", link]
    (out / "LINKS33F.TSK").write_text("\n".join(lines) + "\n", encoding="ascii")


def generate(out: Path) -> dict:
    out.mkdir(parents=True, exist_ok=True)
    residues = load_residues()
    by_name = {r.rec.name: r for r in residues}
    rows = load_rows(by_name)
    rules = load_rules()
    sources = {r["key"]: r for r in read_table("sources.csv")}
    builder = EffectBuilder(residues, rows, rules)
    descriptors = needed_descriptors(residues)
    write_names(residues, out)
    write_shift_files(residues, rows, builder, sources, out)
    counts = write_effects(residues, builder, descriptors, sources, out)
    write_example(out)
    write_spin_examples(out)
    return counts


def compare_trees(expected: Path, actual: Path) -> list:
    """Relative paths that differ between two generated trees (missing files included)."""
    def files(root):
        return {str(p.relative_to(root)) for p in root.rglob("*") if p.is_file()}
    differ = []
    for rel in sorted(files(expected) | files(actual)):
        a, b = expected / rel, actual / rel
        if not (a.exists() and b.exists() and filecmp.cmp(a, b, shallow=False)):
            differ.append(rel)
    return differ


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=DEFAULT_OUT)
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a temporary directory and compare with --out")
    args = parser.parse_args(argv)
    if args.check:
        with tempfile.TemporaryDirectory() as tmp:
            generate(Path(tmp))
            differ = compare_trees(Path(tmp), args.out)
        if differ:
            print("reference data differ from the tables' output:", *differ, sep="\n  ")
            return 1
        print(f"reference data in {args.out} match the tables")
        return 0
    counts = generate(args.out)
    print(f"wrote reference data to {args.out}; lines by status: "
          + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    return 0


if __name__ == "__main__":
    sys.exit(main())
