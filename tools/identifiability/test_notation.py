"""Tests of the notation reader and the polymer comparison of the identifiability tool.

    python3 -m unittest discover -s tools/identifiability
"""

import random
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import identifiability  # noqa: E402
import notation  # noqa: E402
import units  # noqa: E402

S33F = "[aDGal-]-2]3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-3)bDGal-"


class Reading(unittest.TestCase):
    def test_who_carries_whom(self):
        # (record, residues in written order, parent and position of each, main chain)
        cases = [
            ("4)aDGlc-", ["aDGlc"], [0], [4], [0]),
            ("3)bDGal-4)aDGlc-", ["bDGal", "aDGlc"], [1, 0], [4, 3], [0, 1]),
            (S33F, ["aDGal", "aDGal", "bDGalf", "bDGlc", "bDGalf", "bDGal"],
             [1, 2, 3, 4, 5, 1], [2, 3, 3, 5, 3, 3], [1, 2, 3, 4, 5]),
            # as the program writes it
            ("-[aDGal-]=2]3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--3)bDGal--",
             ["aDGal", "aDGal", "bDGalf", "bDGlc", "bDGalf", "bDGal"],
             [1, 2, 3, 4, 5, 1], [2, 3, 3, 5, 3, 3], [1, 2, 3, 4, 5]),
            # a side chain that itself carries a side chain, on a one-residue main chain
            ("-[bDGal--[aLRha-]=2]3)bDGlc--4)aDMan-]=6]3)aDGal--",
             ["bDGal", "aLRha", "bDGlc", "aDMan", "aDGal"],
             [2, 2, 3, 4, 4], [3, 2, 4, 6, 3], [4]),
            ("4)aDGlc-P-3)bDGal-", ["aDGlc", "P", "bDGal"], [1, 2, 0], [2, 3, 4], [0, 1, 2]),
        ]
        for record, residues, parent, position, main in cases:
            with self.subTest(record=record):
                polymer = notation.parse_polymer(record)
                self.assertEqual(polymer.residues, residues)
                self.assertEqual(polymer.parent, parent)
                self.assertEqual(polymer.position, position)
                self.assertEqual(polymer.main, main)

    def test_unreadable_records(self):
        for record in ["[aDGal-2]3)aDGlc-", "aDGal-]-3)aDGlc-", "[aDGal-]-3)aDGlc-",
                       "[aDGal-]-2]aDGlc-", "aDGal-aDGlc-", "3)aDGal-aDGlc-", "3)xDGal-",
                       "[aDGal-]-2]2)aDGlc-", "[]-2]3)aDGlc-", "[aDGal-]-P-3)aDGlc-"]:
            with self.subTest(record=record):
                with self.assertRaises(notation.NotationError):
                    notation.parse_polymer(record)


class Comparison(unittest.TestCase):
    def test_same_polymer_up_to_the_residue_written_first(self):
        # (a, b, same polymer)
        cases = [
            ("3)bDGal-3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-",
             "-3)bDGlc--5)bDGalf--3)bDGal--3)aDGal--3)bDGalf--", True),
            # a branched unit written from either branch point of its main chain
            ("[aLRha-]-3]4)aDGlc-[bDGal-]-2]3)aDMan-",
             "[bDGal-]-2]3)aDMan-[aLRha-]-3]4)aDGlc-", True),
            (S33F, "-[aDGal-]=2]3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--3)bDGal--", True),
            # a repeat of period two, rotated by one residue
            ("3)aDGlc-4)bDGal-3)aDGlc-4)bDGal-", "4)bDGal-3)aDGlc-4)bDGal-3)aDGlc-", True),
            # one attachment position changed
            ("3)bDGal-3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-",
             "3)bDGal-3)aDGal-3)bDGalf-4)bDGlc-5)bDGalf-", False),
            # the same residues in another order that no rotation gives
            ("3)bDGal-3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-",
             "3)bDGal-3)bDGalf-3)aDGal-3)bDGlc-5)bDGalf-", False),
            # side chain and chain exchange their positions on the branch point
            ("-[aDGal--5)aDGalf-]=2]5)bDGalf--", "-[aDGal--5)aDGalf-]=5]2)bDGalf--", False),
            # the side chain on the other residue of the main chain
            ("[aLRha-]-3]4)aDGlc-3)bDGal-", "4)aDGlc-[aLRha-]-3]4)bDGal-", False),
            # another anomer
            ("3)bDGal-4)aDGlc-", "3)bDGal-4)bDGlc-", False),
            # another position inside a side chain of two residues
            ("[aDGal-4)bDGlc-]-2]3)aDMan-", "[aDGal-3)bDGlc-]-2]3)aDMan-", False),
            # a side chain of two residues against the same residues in the main chain
            ("[aDGal-4)bDGlc-]-2]3)aDMan-", "4)bDGlc-2)aDMan-", False),
        ]
        for a, b, same in cases:
            with self.subTest(a=a, b=b):
                self.assertEqual(notation.same_polymer(a, b), same)
                self.assertEqual(notation.same_polymer(b, a), same)

    def test_rank_counts_entries_and_polymers(self):
        truth = notation.parse_polymer("3)aDGlc-4)bDGal-2)aDMan-").key()
        result = ("Linear:\n"
                  " 2: -3)aDMan--3)aDGlc--4)bDGal--\t(xxx)\t Dev.: 0.41\n"
                  " 3: -4)bDGal--2)aDMan--3)aDGlc--\t(xxx)\t Dev.: 0.42\n"
                  " 1: -4)bDGal--3)aDMan--3)aDGlc--\t(xxx)\t Dev.: 0.40\n"
                  "Widespread branched:\n"
                  " 4: -[aDMan-]=2]4)bDGal--3)aDGlc--\t([x]xx)\t Dev.: 0.43\n")
        self.assertEqual(identifiability.rank_of_truth(result, truth), (3, 2))
        self.assertEqual(identifiability.rank_of_truth(result.replace("3)aDMan", "2)aDMan"),
                                                       truth), (1, 1))
        self.assertEqual(identifiability.rank_of_truth(result.replace("aDMan", "bDMan"), truth),
                         (None, None))


class RandomUnits(unittest.TestCase):
    def test_record_describes_the_links_drawn(self):
        """The record written for a random unit reads back as the residues and attachments
        drawn for it, on every template of two to seven residues."""
        types = units.residue_types(units.REPOSITORY / "data")
        templates = units.read_templates()
        rng = random.Random(7)
        for size in range(2, 8):
            for template in templates[size]:
                with self.subTest(template=template):
                    unit = units.random_unit(rng, template, types)
                    polymer = notation.parse_polymer(unit.record)
                    node_at = [e.token for e in notation.template_nodes(template)]
                    drawn = sorted((unit.residues[c], p, unit.residues[n]) + (c, n)
                                   for c, p, n in unit.links)
                    read = sorted((polymer.residues[i], polymer.position[i],
                                   polymer.residues[polymer.parent[i]])
                                  + (node_at[i], node_at[polymer.parent[i]])
                                  for i in range(size))
                    self.assertEqual(read, drawn)


if __name__ == "__main__":
    unittest.main()
