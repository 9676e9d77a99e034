"""Tests of the reference data tools and of the shipped data.

    python3 -m unittest discover -s tools/refdata
"""

from __future__ import annotations

import contextlib
import io
import re
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_reference_data as checker  # noqa: E402
import make_reference_data as maker  # noqa: E402
import predict_spectrum as predictor  # noqa: E402
import refdata_formats as fmt  # noqa: E402
import refdata_model as model  # noqa: E402
from refdata_formats import Descriptor  # noqa: E402

DATA = Path(__file__).resolve().parent.parent.parent / "data"


def run_quiet(func, *args):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        status = func(*args)
    return status, out.getvalue()


class CopiedData(unittest.TestCase):
    """Each test edits a private copy of the shipped data."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.data = Path(self.tmp.name) / "data"
        shutil.copytree(DATA, self.data)

    def tearDown(self):
        self.tmp.cleanup()

    def edit(self, name, change):
        path = self.data / name
        path.write_text(change(path.read_text(encoding="ascii")), encoding="ascii")


class ShippedData(unittest.TestCase):
    def test_committed_files_equal_the_generator_output(self):
        status, out = run_quiet(maker.main, ["--check"])
        self.assertEqual(status, 0, out)

    def test_checker_accepts_the_shipped_data_without_approximate_lookups(self):
        status, out = run_quiet(checker.run, DATA)
        self.assertEqual(status, 0, out)
        self.assertRegex(out, r"\d+ exact, 0 approximate, 0 missing")

    def test_terminal_shifts_are_in_chemical_ranges(self):
        # Catches values put in the wrong column or carbon order.
        records = model.load_names(DATA)
        blocks = model.load_effect_blocks(DATA)
        for rec in records:
            for form in rec.forms:
                entry = model.load_entry(DATA, rec, form, blocks)
                c1 = entry.terminal[0]
                with self.subTest(residue=rec.name, form=form):
                    if rec.ring in (fmt.RING_PYRANOSE, fmt.RING_FURANOSE):
                        self.assertTrue(900 <= c1 <= 1120, c1)
                        self.assertTrue(all(150 <= v <= 1800 for v in entry.terminal))
                    for (position, desc), (c1e, shifts) in entry.mono.items():
                        # the substituted carbon of a one-substituent set lies above the
                        # terminal value (glycosylation alpha-effect)
                        self.assertGreater(shifts[position - 1] - entry.terminal[position - 1],
                                           20, (position, desc))

    def test_every_sugar_effect_raises_the_substituted_carbon(self):
        # An alpha-effect below +2 ppm means a shifted column or a sign error.
        records = model.load_names(DATA)
        blocks = model.load_effect_blocks(DATA)
        for rec in records:
            for form in rec.forms:
                entry = model.load_entry(DATA, rec, form, blocks)
                for position, grid in entry.effects.items():
                    for desc, (c1, values, block) in grid.items():
                        with self.subTest(residue=rec.name, form=form, code=desc.code(position)):
                            self.assertGreaterEqual(values[position - 1], 20)
                            if desc.type < 2:
                                self.assertTrue(20 <= c1 <= 110, c1)

    def test_phosphate_key_for_every_o_linked_form(self):
        text = (DATA / "EFFECTS.PS").read_text(encoding="ascii")
        keys = {line[:8] for _, line in fmt.data_lines(text.split("\n#P\n")[1])}
        for rec in model.load_names(DATA):
            for form in rec.forms:
                if not rec.nlinked:
                    self.assertIn(rec.residue_key(form), keys, rec.name)

    def test_example_task_matches_the_published_33e_table(self):
        lines = [l.strip() for _, l in fmt.data_lines(
            (DATA / "EXAMPLE.TSK").read_text(encoding="ascii"))]
        self.assertEqual(lines[0], "?x)bDGal ?x)aDGal ?x)bDGalf ?x)bDGlc ?x)bDGalf")
        values = [int(v) for l in lines[1:6] for v in l.split()]
        self.assertEqual(len(values), 30)
        self.assertEqual(values[:6], [1061, 725, 819, 706, 768, 630])
        self.assertEqual(values[24:], [1111, 834, 778, 835, 791, 631])
        self.assertIn("CORRECTION: -10", lines)


class EffectEstimates(unittest.TestCase):
    """How cells without measured data of their own are estimated."""

    @classmethod
    def setUpClass(cls):
        records = model.load_names(DATA)
        blocks = model.load_effect_blocks(DATA)
        cls.entry = {(name, form): model.load_entry(DATA, fmt.find_name(records, name), form,
                                                    blocks)
                     for name in ("Glc", "Gal") for form in "ab"}

    def test_furanoside_takes_its_own_alpha_effect_and_the_pyranoside_pattern(self):
        # beta-D-Galf on O-3 of beta-D-Glc: the measured beta-pyranoside rows give every carbon
        # but C3; C3 gets the furanoside alpha-effect, C1 of the substituent the furanoside
        # C1 effect (methyl beta-D-Galf minus free beta-D-Galf).
        effects = self.entry[("Glc", "b")].effects[3]
        furanoside = effects[Descriptor(1, 1, 0, 1, 1, 0)]
        pyranoside = effects[Descriptor(0, 1, 0, 1, 1, 0)]
        self.assertEqual(furanoside[1][2], 56)
        self.assertEqual(furanoside[1][:2] + furanoside[1][3:],
                         pyranoside[1][:2] + pyranoside[1][3:])
        self.assertEqual(furanoside[0], 79)
        self.assertNotEqual(pyranoside[1][2], 56)

    def test_class_mean_keeps_to_aglycones_of_the_same_local_configuration(self):
        # alpha-D-pyranosides on O-2 of alpha-D-Gal: no measured row; the estimate must come
        # from gluco/galacto aglycones (rows 1, 3, 101: alpha-effect +3.7..+5.2), not from the
        # manno ones with an axial O-2 (rows 64, 67, 82: +8.2..+9.3).
        c1, values, _ = self.entry[("Gal", "a")].effects[2][Descriptor(0, 0, 0, 1, 1, 0)]
        self.assertEqual((values[1], c1), (45, 42))
        text = (DATA / "EFFECTS.PS").read_text(encoding="ascii")
        gal = text.split("\n#gal\n", 1)[1].split("\n#", 1)[0]
        line = next(l for l in gal.splitlines() if l.startswith("noaDDaS2a"))
        self.assertIn("same-configuration a-aglycone ring2 rows 1,3,101", line)


class Completeness(CopiedData):
    def test_removed_furanoside_lines_are_reported_missing(self):
        # Drop every beta-furanoside line of O-3 in the fur6 block: Galf-on-Galf at O-3
        # must then be unreachable, since the anomer is never relaxed.
        def drop(text):
            head, rest = text.split("\n#fur6\n", 1)
            block, tail = rest.split("\n#", 1)
            kept = [l for l in block.split("\n") if not l.startswith("noaDDbF3")]
            return head + "\n#fur6\n" + "\n".join(kept) + "\n#" + tail
        self.edit("EFFECTS.PS", drop)
        status, out = run_quiet(checker.run, self.data)
        self.assertEqual(status, 1)
        self.assertIn("missing effect: noaDDbF3 (b-Galf DD on O-3 of b-Galf)", out)
        self.assertIn("missing effect: noaDDbF3 (b-Araf DD on O-3 of a-Galf)", out)

    def test_amino_substituent_falls_back_to_hydroxy_cell(self):
        # Without the amino lines of the glc block the approximate search must still find a
        # cell (C2 group relaxed) and the checker must pass, counting approximate look-ups.
        def drop(text):
            head, rest = text.split("\n#glc\n", 1)
            block, tail = rest.split("\n#", 1)
            kept = [l for l in block.split("\n") if not re.match(r"nn[ae]D[DL][ab]S", l)]
            return head + "\n#glc\n" + "\n".join(kept) + "\n#" + tail
        self.edit("EFFECTS.PS", drop)
        status, out = run_quiet(checker.run, self.data)
        self.assertEqual(status, 0, out)
        self.assertRegex(out, r"[1-9]\d* approximate, 0 missing")
        self.assertIn("uses noaDDaS", out)

    def test_missing_phosphate_key_is_reported(self):
        self.edit("EFFECTS.PS", lambda t: re.sub(r"(?m)^nooXXxA1.*\n", "", t))
        status, out = run_quiet(checker.run, self.data)
        self.assertEqual(status, 1)
        self.assertIn("nooXXxA1 -> effect is missing from block #P", out)

    def test_missing_closing_block_is_reported(self):
        self.edit("EFFECTS.PS", lambda t: t.rstrip("\n#\n") + "\n")
        status, out = run_quiet(checker.run, self.data)
        self.assertEqual(status, 1)
        self.assertIn("empty block", out)

    def test_terminal_line_is_required(self):
        self.edit("c13data/B-GLC.DAT",
                  lambda t: re.sub(r"(?m)^xX\(2x,2x,XX,x\)0/.*\n", "", t))
        status, out = run_quiet(checker.run, self.data)
        self.assertEqual(status, 1)
        self.assertIn("B-GLC.DAT: missing data for the terminal residue", out)


class Columns(unittest.TestCase):
    DESC = Descriptor(0, 1, 0, 1, 1, 0)

    def test_effect_line_round_trip(self):
        for values in ([0, -5, 92, -14, 0, 3], [-128 + 8, 127, 0, 0, 0, 0], [-5, 0, 0, 0, 0, 0]):
            with self.subTest(values=values):
                line = fmt.format_effect_line(self.DESC, 3, "b", 68, values)
                self.assertEqual(line[:11], "noaDDbS3b->")
                parsed = fmt.parse_effect_line(line, 1, 6, False)
                self.assertEqual((parsed.values, parsed.c1_effect, parsed.form),
                                 (values, 68, "b"))
                for j in range(1, 7):   # '.' of value j sits in column 17 + 5j
                    self.assertEqual(fmt.col(line, 17 + 5 * j), ".")

    def test_shift_line_round_trip(self):
        shifts = [1041, 739, 859, 691, 764, 618]
        line = fmt.format_shift_line(self.DESC, 3, None, 0, 68, 0, shifts)
        for k in range(1, 7):
            self.assertEqual(fmt.col(line, 37 + 6 * k), " ")
            self.assertEqual(fmt.col(line, 41 + 6 * k), ".")
        parsed = fmt.parse_shift_line(line, 6)
        self.assertEqual((parsed.p1, parsed.sub1, parsed.c1e1, parsed.shifts),
                         (3, self.DESC, 68, shifts))

    def test_malformed_lines_are_refused(self):
        good_effect = fmt.format_effect_line(self.DESC, 3, "", 68, [0, -5, 92, -14, 0, 3])
        good_shift = fmt.format_shift_line(self.DESC, 3, None, 0, 68, 0, [1041] * 6)
        cases = [
            ("effect", good_effect.replace("->", "=>"), "prefix"),
            ("effect", good_effect[:8] + "c" + good_effect[9:], "anomeric configuration"),
            ("effect", good_effect[:7] + "7" + good_effect[8:], "beyond 2..6"),
            ("effect", good_effect[:6] + "Q" + good_effect[7:], "type"),
            ("effect", good_effect[:5] + "x" + good_effect[6:], "anomeric"),
            ("effect", good_effect + "  0.0", "7 effects, residue has 6"),
            ("effect", good_effect[:12] + "-0.5" + good_effect[16:], "C1 effect beyond"),
            ("shift", good_shift.replace("/", "|", 1), "prefix"),
            ("shift", good_shift[:14] + "1" + good_shift[15:], "cannot be 1"),
            ("shift", good_shift[:-6], "too short"),
            ("shift", good_shift[:-2] + ",1", "dataset"),
            ("shift", good_shift + " 104.1", "7 shifts"),
            ("shift", good_shift[:43] + "-" + good_shift[44:], "below zero"),
        ]
        for kind, line, message in cases:
            with self.subTest(kind=kind, message=message):
                with self.assertRaisesRegex(fmt.FormatError, message):
                    if kind == "effect":
                        fmt.parse_effect_line(line, 1, 6, False)
                    else:
                        fmt.parse_shift_line(line, 6)

    def test_effect_code_and_residue_key(self):
        self.assertEqual(self.DESC.code(3), "noaDDbS3")
        glc = fmt.parse_names_line("Glc /2oa 3oa 4oa 5da 6oc")
        self.assertEqual(glc.residue_key("a"), "noaXXaS1")
        gro = fmt.parse_names_line("Gro /2oc 3oc ald")
        self.assertEqual(gro.residue_key("c"), "nooXXxA1")
        self.assertEqual(fmt.descriptor_of(fmt.PHOSPHATE, 0, 1).code(4), "nneDLxP4")


class NamesLines(unittest.TestCase):
    def test_records(self):
        cases = [  # line, (name, class, carbons, ring, c1 pec, c2 proton, c2 group)
            ("Glc /2oa 3oa 4oa 5da 6oc", ("Glc", "glc", 6, 0, 0, 1, 1)),
            ("Man /2oe 3oa 4oa 5da 6oc", ("Man", "man", 6, 0, 0, 0, 1)),
            ("Xyl /2oa 3oa 4oe 5da", ("Xyl", "gal5", 5, 0, 0, 1, 1)),
            ("GlcN /2na 3oa 4oa 5da 6oc", ("GlcN", "glc", 6, 0, 0, 1, 0)),
            ("dRib /2da 3oa 4oa 5da", ("dRib", "glc5", 5, 0, 0, 2, 2)),
            ("Glcp /2oa 3oa 4oa 5da 6oc", ("GlcP", "glc", 6, 0, 3, 1, 1)),
            ("GroP /2oc 3oc ald Aatt Catt", ("GroP", "ald3", 3, 2, 1, 2, 1)),
            ("Xfn /2oa 3oa 4oa 5oc fur non", ("Xfn", "non", 5, 3, 0, 1, 1)),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                r = fmt.parse_names_line(line)
                self.assertEqual((r.name, r.class_name, r.carbons, r.ring, r.c1_pec,
                                  r.c2_proton, r.c2_group), expected)

    def test_refused(self):
        cases = [("Gl /2oa", '" /"'), ("Glc /3oa", "atom 2"), ("Glc /2oa 3oa 4oa 6oc", "missing"),
                 ("Glc /2oa 3oa 4oa 5da 6o?", "orientation"), ("Glc /2xa", "qualifier"),
                 ("Glc /2oa 3o", "lacks")]
        for line, message in cases:
            with self.subTest(line=line):
                with self.assertRaisesRegex(fmt.FormatError, message):
                    fmt.parse_names_line(line)


class Lookups(unittest.TestCase):
    def test_approximate_search_relaxes_only_the_c2_fields(self):
        want = Descriptor(0, 0, 0, 1, 0, 0)                 # alpha, same, H-2 axial, amino
        grid = {Descriptor(0, 0, 0, 0, 0, 0): "eq-amino",    # one mismatch, met first
                Descriptor(0, 0, 0, 1, 1, 0): "ax-hydroxy",  # one mismatch, met later
                Descriptor(0, 1, 0, 1, 0, 0): "beta"}        # anomer differs: never used
        self.assertEqual(model.approximate_one(grid, want)[1], "eq-amino")
        del grid[Descriptor(0, 0, 0, 0, 0, 0)]
        self.assertEqual(model.approximate_one(grid, want)[1], "ax-hydroxy")
        del grid[Descriptor(0, 0, 0, 1, 1, 0)]
        self.assertIsNone(model.approximate_one(grid, want))

    def test_ring_correction_constants(self):
        self.assertEqual(predictor.c2_correction(0, 1, 4), -14)
        self.assertEqual(predictor.c2_correction(0, 1, 5), -10)
        self.assertEqual(predictor.c2_correction(0, 0, 1), -5)
        self.assertEqual(predictor.c2_correction(0, 0, 4), 0)
        self.assertEqual(predictor.c5_correction(0, 0, 3), 5)
        self.assertEqual(predictor.c2_correction(1, 1, 0), 0)


class Prediction(unittest.TestCase):
    def test_structure_notation(self):
        nodes = predictor.parse_record("3)bDGal-[aDGal-]-2]3)aDGal-3)bDGalf-")
        self.assertEqual([n.token for n in nodes], ["3)bDGal", "aDGal", "2]3)aDGal", "3)bDGalf"])
        self.assertEqual((nodes[0].child1, nodes[2].child1, nodes[2].child2, nodes[3].child1),
                         (3, 0, 1, 2))
        self.assertEqual((nodes[2].subst1, nodes[2].subst2), (3, 2))

    def test_test_polymers_within_one_ppm(self):
        for structure, rows in predictor.test_polymers():
            with self.subTest(polymer=structure["polymer"]):
                corrected, _raw = predictor.report_polymer(structure, rows, DATA, io.StringIO())
                self.assertLessEqual(corrected, 1.0)

    def test_terminal_side_chain_gets_free_shifts_and_ring_corrections(self):
        # Side-chain alpha-D-Galp of 33F is unsubstituted: free alpha-Gal + C1 effect of the
        # O-2 cell of #gal, C2 unchanged (alpha, code 4 -> 0), C5 +0.5.
        pred = predictor.predict("3)bDGal-[aDGal-]-2]3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-", DATA)
        side = pred.shifts[pred.offsets[1]:pred.offsets[2]]
        entry = model.load_entry(DATA, fmt.find_name(model.load_names(DATA), "Gal"), "a",
                                 model.load_effect_blocks(DATA))
        c1_effect = entry.effects[2][Descriptor(0, 0, 0, 1, 1, 0)][0]
        self.assertEqual(side[0], entry.terminal[0] + c1_effect)
        self.assertEqual(side[1], entry.terminal[1])
        self.assertEqual(side[4], entry.terminal[4] + 5)


class Rounding(unittest.TestCase):
    def test_means_round_half_away_from_zero(self):
        for values, expected in (([5, 0], 3), ([-5, 0], -3), ([1, 2, 2], 2), ([-14, -15], -15)):
            self.assertEqual(maker.mean_tenths(values), expected, values)
        self.assertEqual(maker.mean_ppm(["72.25", "72.30"]), 723)
        self.assertEqual(maker.ppm_to_tenths("-0.05"), -1)


if __name__ == "__main__":
    unittest.main()
