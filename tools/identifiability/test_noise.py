"""Tests of the noise measurement of the identifiability tool: the /CALC table reader, the fitted
referencing offset and the split of the residuals into their two parts.

    python3 -m unittest discover -s tools/identifiability
"""

import random
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import noise  # noqa: E402
import units  # noqa: E402

CALC_OUTPUT = """The calculated C13 spectrum is:

   <residue>      C1    C2    C3    C4    C5    C6 
=2]3)a-D-Gal-    97.3  72.9  78.4  70.0  71.5  61.9
    -P-        
  -4)a-D-Glc-    95.9  71.0  72.6  79.9  71.2  61.1
     b-L-Araf-  109.2  81.8  77.5  83.9  61.9

Sorted spectrum:
61.1  61.9
"""


class CalcTable(unittest.TestCase):
    def test_rows(self):
        self.assertEqual(units.parse_calc_table(CALC_OUTPUT), [
            ("2]3)aDGal", [973, 729, 784, 700, 715, 619]),
            ("P", []),
            ("4)aDGlc", [959, 710, 726, 799, 712, 611]),
            ("bLAraf", [1092, 818, 775, 839, 619]),
        ])

    def test_output_without_a_readable_table(self):
        for output in ["Accordingly to NAMES.PS, the residue Ribf can not have O-linkage\n",
                       CALC_OUTPUT.replace("97.3", "97.x")]:
            with self.subTest(output=output[:40]):
                self.assertEqual(units.parse_calc_table(output), [])


class Offset(unittest.TestCase):
    def test_smallest_sum_then_nearest_zero(self):
        # (calculated, measured, offset in tenths)
        cases = [
            ([1000, 700], [1013, 713], -13),
            ([1000, 700], [950, 650], 50),      # the edge of the range
            ([1000, 700], [930, 630], 50),      # beyond it: the nearest offset in range
            ([1000, 700], [1000, 710], 0),      # every offset 0..-10 gives 10: nearest zero
            ([1000, 700], [998, 702], 0),       # -2..+2 give 4
            ([1000, 700], [1003, 705], -3),     # -5..-3 give 2: nearest zero
        ]
        for calculated, measured, offset in cases:
            with self.subTest(measured=measured):
                self.assertEqual(noise.fitted_offset(calculated, measured), offset)


class Fit(unittest.TestCase):
    def test_recovers_the_two_scales_it_is_given(self):
        for residue_scale, carbon_scale in [(1.6, 5.6), (5.0, 1.0), (0.0, 4.0)]:
            with self.subTest(residue=residue_scale, carbon=carbon_scale):
                model = noise.NoiseModel(residue_scale, carbon_scale)
                rng = random.Random(3)
                residuals = [noise.ResidueResiduals("X", str(i), model.residue_noise(rng, 6))
                             for i in range(4000)]
                fitted, _ = noise.fit(residuals)
                self.assertAlmostEqual(fitted.residue_scale, residue_scale,
                                       delta=0.1 * carbon_scale + 0.1 * residue_scale)
                self.assertAlmostEqual(fitted.carbon_scale, carbon_scale, delta=0.06 * carbon_scale)

    def test_a_repeated_measurement_is_counted_once(self):
        residuals = [noise.ResidueResiduals("A", "x", [1, -1, 2, -2, 0, 0]),
                     noise.ResidueResiduals("B", "x", [9, 9, 9, 9, 9, 9], repeats="A"),
                     noise.ResidueResiduals("B", "y", [3, -3, 1, -1, 0, 0])]
        _, figures = noise.fit(residuals)
        self.assertEqual((figures["residues"], figures["carbons"], figures["largest"]), (2, 12, 3))


if __name__ == "__main__":
    unittest.main()
