"""Tests of the calibration of the structure probabilities and of the resampled noise.

    python3 -m unittest discover -s tools/identifiability
"""

import json
import math
import random
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import calibrate  # noqa: E402
import noise  # noqa: E402
import notation  # noqa: E402


def report(*structures) -> str:
    """A JSON report with the members the calibration reads."""
    return json.dumps({"structures": [
        dict({"deviation_ppm": s, "notation": n, "offset_ppm": -1.2,
              "residues": [{"name": "Glc", "spin_system": k} for k in range(2)]}, **extra)
        for s, n, extra in structures]})


class Probabilities(unittest.TestCase):
    def test_against_the_formula(self):
        # (sums, T, R relative to the best weight)
        for sums, scale, rest in [([1.0, 1.5, 3.0], 0.7, 0.0), ([2.0, 2.0], 0.3, 0.5),
                                  ([0.0], 1.0, 0.0), ([4.2, 3.1, 9.9, 3.1], 2.0, 0.1)]:
            with self.subTest(sums=sums, scale=scale):
                weights = [math.exp(-s / scale) for s in sums]
                total = sum(weights) + rest * math.exp(-min(sums) / scale)
                got = calibrate.probabilities(sums, scale, rest)
                for g, w in zip(got, weights):
                    self.assertAlmostEqual(g, w / total, places=12)

    def test_large_sums_do_not_underflow(self):
        got = calibrate.probabilities([900.0, 900.1, 950.0], 0.05)
        self.assertAlmostEqual(sum(got), 1.0, places=12)
        self.assertGreater(got[0], got[1])

    def test_unlisted_truth_takes_the_bound_of_the_last_sum(self):
        run = {"sums": [1.0, 2.0], "truth": None}
        expected = math.exp(-2.0) / (math.exp(-1.0) + 2 * math.exp(-2.0))
        self.assertAlmostEqual(calibrate.truth_log_probability(run, 1.0), math.log(expected))


class Fit(unittest.TestCase):
    def test_recovers_the_scale_the_truth_was_drawn_with(self):
        for scale in (0.4, 1.5):
            with self.subTest(scale=scale):
                rng = random.Random(5)
                runs = []
                for _ in range(3000):
                    sums = sorted(round(rng.uniform(5, 9), 1) for _ in range(8))
                    p = calibrate.probabilities(sums, scale)
                    runs.append({"sums": sums, "truth": rng.choices(range(8), p)[0]})
                self.assertAlmostEqual(calibrate.fit_scale(runs), scale, delta=0.1 * scale)


class Calibration(unittest.TestCase):
    def test_bands_and_brier_scores(self):
        # Rank-1 probabilities 1.0 (the last band's edge), 0.5, and an unlisted truth.
        runs = [{"sums": [1.0], "truth": 0}, {"sums": [1.0, 1.0], "truth": 1},
                {"sums": [1.0, 1.0], "truth": None}]
        c = calibrate.calibration(runs, 1.0, "computed")
        self.assertEqual([b["tasks"] for b in c["bands"]], [0, 0, 2, 0, 1])
        self.assertEqual((c["bands"][2]["stated"], c["bands"][2]["right"]), (0.5, 0.0))
        self.assertAlmostEqual(c["brier_first"], (0 + 0.25 + 0.25) / 3)
        # Full distribution: 0; (0.5^2 + 0.5^2); 0.5 + the unlisted truth's 1.
        self.assertAlmostEqual(c["brier_all"], (0 + 0.5 + 1.5) / 3)

    def test_program_probabilities_are_required_when_chosen(self):
        run = {"sums": [1.0], "truth": 0, "probabilities": None}
        with self.assertRaises(SystemExit):
            calibrate.stated(run, 1.0, "program")
        run["probabilities"] = [0.25]
        self.assertEqual(calibrate.stated(run, 1.0, "program"), [0.25])


class Runs(unittest.TestCase):
    TRUTH = notation.parse_polymer("3)bDGal-4)aDGlc-").key()

    def test_truth_found_in_another_written_form(self):
        run = calibrate.read_run(report((1.5, "-3)aDGal--4)aDGlc--", {}),
                                        (1.7, "-4)aDGlc--3)bDGal--", {})), self.TRUTH)
        self.assertEqual((run["truth"], run["sums"], run["offset"], run["probabilities"]),
                         (1, [1.5, 1.7], -12, None))

    def test_program_probabilities_read_when_every_entry_has_one(self):
        run = calibrate.read_run(report((1.5, "-3)aDGal--4)aDGlc--", {"probability": 0.6}),
                                        (1.7, "-4)aDGlc--3)bDGal--", {"probability": 0.3})),
                                 self.TRUTH)
        self.assertEqual(run["probabilities"], [0.6, 0.3])
        self.assertTrue(calibrate.read_run(None, self.TRUTH)["failed"])

    def test_fixed_offset_replaces_only_the_auto_line(self):
        text = "aDGlc bDGal\n1 2\nSPINSYSTEMS\ncorrection: auto\nLIMIT: 99\nREPORT\n"
        self.assertEqual(calibrate.with_fixed_offset(text, -13),
                         "aDGlc bDGal\n1 2\nSPINSYSTEMS\nCORRECTION: -13\nLIMIT: 99\nREPORT\n")

    def test_link_reason_names_the_exchanged_residues(self):
        def run(total, lines):
            return {"sums": [total], "truth": 0, "truth_entry": {
                "notation": "x", "offset": -1.0, "residues": ["Glc", "Glc", "Gal"],
                "spin_systems": lines}}
        why = calibrate.link_change_reason(run(5.0, [0, 1, 2]), run(5.6, [1, 0, 2]))
        self.assertIn("from 5.0 to 5.6", why)
        self.assertIn("two residues of one kind", why)
        self.assertIn("Glc line 1->2, Glc line 2->1", why)


class Resampled(unittest.TestCase):
    def test_a_residue_takes_one_measured_vector(self):
        model = noise.ResampledNoise.from_residuals([
            noise.ResidueResiduals("A", "x", [1, 2, 3, 4, 5, 9]),
            noise.ResidueResiduals("B", "x", [7, 7, 7, 7, 7, 7], repeats="A")])
        rng = random.Random(1)
        self.assertEqual(model.residue_noise(rng, 6), [1, 2, 3, 4, 5, 9])
        self.assertEqual(model.residue_noise(rng, 5), [1, 2, 3, 4, 5])
        # Extra carbons: the residue's mean (4) plus one measured carbon's own part.
        extra = model.residue_noise(rng, 8)[6:]
        own = {v - 4 for v in [1, 2, 3, 4, 5, 9]}
        self.assertTrue(all(v - 4 in own for v in extra), extra)
        self.assertEqual(model.scaled(0.5).residue_noise(rng, 2), [0.5, 1.0])


if __name__ == "__main__":
    unittest.main()
