"""The parts of the mutation check that decide a mutant's fate without building anything: where a
snippet is replaced, which tests ctest reports as failed, which mutants a selection names, and
which mutants files are refused."""

import json
import tempfile
import unittest
from pathlib import Path

import run_mutants as rm


def mutant(find="a < b", replace="a <= b", occurrence=0):
    return rm.Mutant(id="m", area="x", file="f.cpp", find=find, replace=replace,
                     description="d", occurrence=occurrence)


class MutatedTextTest(unittest.TestCase):
    def test_snippet_placement(self):
        rows = [
            # text, occurrence, expected text (None: refused)
            ("if (a < b) x();", 0, "if (a <= b) x();"),
            ("no such comparison", 0, None),
            ("a < b; a < b;", 0, None),  # ambiguous without an occurrence
            ("a < b; a < b; a < b;", 2, "a < b; a <= b; a < b;"),
            ("a < b; a < b;", 3, None),
        ]
        for text, occurrence, expected in rows:
            result, reason = rm.mutated_text(text, mutant(occurrence=occurrence))
            self.assertEqual(result, expected, (text, occurrence))
            self.assertEqual(reason == "", expected is not None, (text, occurrence, reason))


class FailedTestsTest(unittest.TestCase):
    def test_summary_of_ctest(self):
        output = (
            "99% tests passed, 2 tests failed out of 120\n\n"
            "Total Test time (real) =  15.78 sec\n\n"
            "The following tests FAILED:\n"
            "\t 97 - PrunedSearchTest.SameResultAndCountAsTheLiteralEnumeration (Failed)\n"
            "\t112 - ThreadedSearchTest.StopRequest (Timeout)\n"
            "Errors while running CTest\n")
        self.assertEqual(rm.failed_tests(output), [
            "PrunedSearchTest.SameResultAndCountAsTheLiteralEnumeration",
            "ThreadedSearchTest.StopRequest (Timeout)"])
        self.assertEqual(rm.failed_tests("100% tests passed, 0 tests failed out of 120\n"), [])


class MutantsFileTest(unittest.TestCase):
    def load(self, entries):
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory, "mutants.json")
            path.write_text(json.dumps({"mutants": entries}))
            return rm.load_mutants(path)

    def test_refused_files_and_selection(self):
        good = {"id": "a", "area": "search", "file": "f", "find": "<", "replace": "<=",
                "description": "d"}
        refused = [
            [dict(good, description="")],
            [good, dict(good)],  # the same id twice
            [dict(good, replace="<")],  # no change
        ]
        for entries in refused:
            with self.assertRaises(ValueError, msg=entries):
                self.load(entries)
        mutants = self.load([good, dict(good, id="b", area="bounds"), dict(good, id="c")])
        self.assertEqual([m.id for m in rm.select(mutants, ["search"])], ["a", "c"])
        self.assertEqual([m.id for m in rm.select(mutants, ["b", "c"])], ["b", "c"])
        with self.assertRaises(ValueError):
            rm.select(mutants, ["nothing"])

    def test_shipped_mutants_file_loads(self):
        mutants = rm.load_mutants(rm.DEFAULT_MUTANTS)
        self.assertGreaterEqual(len(mutants), 30)


if __name__ == "__main__":
    unittest.main()
