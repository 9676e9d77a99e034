#!/usr/bin/env python3
"""How often the search ranks the true polymer first, on synthetic tasks.

    identifiability.py [--program BIN] [--data DIR] [--sizes 3-5 6-7] [--tasks 60 30] [--seed N]
                       [--links none,one,all] [--distinct] [--threads N] [--scratch DIR] ...

Each task is a random repeating unit of the shipped residues (see units.py), its spectrum the
program's own prediction (`/CALC`) with noise of the size of the real residuals (see noise.py),
the spin systems in a random order, shifted by a random referencing offset, and searched with
SPINSYSTEMS, CORRECTION: AUTO and a LIMIT that keeps the true polymer's rank in view. The same
tasks are searched once per LINK mode: none, one true LINK line, every true LINK line. The rank
of the true polymer is that of the first entry of the result file that is the same polymer
(compared as graphs, up to the residue of the main chain it is written from). Prints a markdown
table by size and LINK mode. See README.md.
"""

from __future__ import annotations

import argparse
import random
import re
import statistics
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

import noise
import notation
import units

MODES = ("none", "one", "all")
NOISE = ("laplace", "resample")
ENTRY = re.compile(r"^\s*([0-9]+): (\S+)\t", re.M)


@dataclass
class Task:
    unit: units.Unit
    composition: list   # residue tokens in task order
    lines: list         # spin-system lines in task order: (node, shifts in tenths)
    offset: int         # tenths added to every calculated shift
    links: dict         # mode -> ["LINK: i (1->p) j", ...]

    def text(self, mode: str, limit: int, distinct: bool) -> str:
        out = [f"; synthetic unit {self.unit.record}, referencing offset {self.offset / 10:+.1f}",
               " ".join(self.composition)]
        out += [" ".join(str(v) for v in shifts) for _, shifts in self.lines]
        out += ["SPINSYSTEMS", "CORRECTION: AUTO", f"LIMIT: {limit}"]
        out += self.links[mode]
        if distinct:
            out.append("DISTINCT")
        return "\n".join(out) + "\n"


def draw_unit(rng: random.Random, size: int, templates: dict, types: list,
              program: units.Program, linear_share: float, max_side: int) -> tuple:
    """(unit, units drawn again): a random unit whose spectrum the program calculates, linear
    with probability `linear_share`, otherwise on a branched template with at most `max_side`
    residues in side chains. A unit whose calculation fails is drawn again."""
    linear = [t for t in templates[size] if "[" not in t]
    branched = [t for t in templates[size]
                if "[" in t and units.side_chain_residues(t) <= max_side]
    for again in range(200):
        pool = linear if rng.random() < linear_share or not branched else branched
        unit = units.random_unit(rng, rng.choice(pool), types)
        if units.calculate_unit(program, unit):
            return unit, again
    raise RuntimeError(f"no unit of {size} residues could be calculated in 200 draws")


def make_task(rng: random.Random, unit: units.Unit, model,
              max_offset: int) -> Task:
    offset = rng.randint(-max_offset, max_offset)
    nodes = [n for n in unit.residues if unit.shifts[n]]
    rng.shuffle(nodes)
    lines = []
    for node in nodes:
        calculated = unit.shifts[node]
        drawn = model.residue_noise(rng, len(calculated))
        lines.append((node, [round(c + d) + offset for c, d in zip(calculated, drawn)]))
    composition = list(unit.residues.values())
    rng.shuffle(composition)
    line_of = {node: i + 1 for i, (node, _) in enumerate(lines)}
    true_links = [f"LINK: {line_of[child]} (1->{position}) {line_of[parent]}"
                  for child, position, parent in unit.links
                  if child != parent and child in line_of and parent in line_of]
    one = [rng.choice(true_links)] if true_links else []
    return Task(unit, composition, lines, offset, {"none": [], "one": one, "all": true_links})


def rank_of_truth(result: str, truth: tuple) -> tuple:
    """(listed rank, rank counting each polymer once) of the first entry that is the true
    polymer; (None, None) when no entry is."""
    entries = sorted((int(rank), text) for rank, text in ENTRY.findall(result))
    seen = set()
    for rank, text in entries:
        key = notation.parse_polymer(text).key()
        if key == truth:
            return rank, len(seen) + 1
        seen.add(key)
    return None, None


@dataclass
class Outcome:
    rank: int | None          # listed rank of the true polymer, None when not listed
    polymer_rank: int | None  # the same, each polymer counted once
    seconds: float
    failed: bool = False      # no result file


@dataclass
class Row:
    label: str
    mode: str
    outcomes: list = field(default_factory=list)


def table(rows: list) -> str:
    """The markdown table: per row the tasks, how many ranked the true polymer first, the mean
    ranks of the true polymer where it is in the list, how many did not list it, how many
    searches failed, and the median search time."""
    out = ["| Residues | LINK | Tasks | True polymer first | Share | Mean rank | Mean polymer rank "
           "| Not in list | Failed | Median s |",
           "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for row in rows:
        done = [o for o in row.outcomes if not o.failed]
        found = [o for o in done if o.rank is not None]
        first = sum(o.rank == 1 for o in found)
        share = f"{100 * first / len(done):.0f}%" if done else "-"
        mean = f"{statistics.mean(o.rank for o in found):.2f}" if found else "-"
        mean_polymer = f"{statistics.mean(o.polymer_rank for o in found):.2f}" if found else "-"
        median = f"{statistics.median(o.seconds for o in row.outcomes):.2f}" \
            if row.outcomes else "-"
        out.append(f"| {row.label} | {row.mode} | {len(row.outcomes)} | {first} | {share} | {mean} "
                   f"| {mean_polymer} | {len(done) - len(found)} "
                   f"| {len(row.outcomes) - len(done)} | {median} |")
    return "\n".join(out)


def size_range(text: str) -> tuple:
    low, _, high = text.partition("-")
    low, high = int(low), int(high or low)
    if not 2 <= low <= high <= 9:
        raise argparse.ArgumentTypeError(f"sizes {text}: want 2..9, low-high")
    return low, high


def parse_args(argv):
    here = units.REPOSITORY
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", type=Path, default=here / "build" / "glycomb")
    parser.add_argument("--data", type=Path, default=here / "data")
    parser.add_argument("--sizes", type=size_range, nargs="+", default=[(3, 5), (6, 7)],
                        help="residue count ranges, e.g. 3-5 6-7 (each task draws its size "
                             "uniformly from its range)")
    parser.add_argument("--tasks", type=int, nargs="+", default=[60, 30],
                        help="tasks per range (one number for every range)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--links", default="none,one,all",
                        help="LINK modes, a comma-separated subset of none,one,all")
    parser.add_argument("--distinct", action="store_true", help="add the option line DISTINCT")
    parser.add_argument("--threads", type=int, help="GLYCOMB_THREADS for the searches")
    parser.add_argument("--scratch", type=Path, help="working directory (default: a temporary one)")
    parser.add_argument("--keep", action="store_true",
                        help="keep every task file and result file in the scratch directory")
    parser.add_argument("--limit", type=int, default=99, help="LIMIT of the tasks (1..99)")
    parser.add_argument("--max-offset", type=float, default=2.0,
                        help="referencing offsets are drawn from -X..+X ppm (at most 5.0)")
    parser.add_argument("--linear-share", type=float, default=0.5,
                        help="share of linear units; the rest are branched")
    parser.add_argument("--max-side", type=int, default=2,
                        help="most residues in the side chains of a branched unit")
    parser.add_argument("--noise", choices=NOISE, default="laplace",
                        help="laplace: the two-part Laplace model fitted to the residuals; "
                             "resample: whole residues' measured residual vectors")
    parser.add_argument("--noise-scale", type=float, default=1.0,
                        help="multiplies the noise (both scales of the Laplace model)")
    parser.add_argument("--noise-only", action="store_true",
                        help="print the measured residuals and the noise model, and stop")
    parser.add_argument("--timeout", type=float, default=3600, help="seconds per search")
    parser.add_argument("--verbose", action="store_true", help="one line per search")
    args = parser.parse_args(argv)
    if len(args.tasks) == 1:
        args.tasks *= len(args.sizes)
    if len(args.tasks) != len(args.sizes):
        parser.error("give one task count, or one per size range")
    args.links = [m.strip() for m in args.links.split(",") if m.strip()]
    if not args.links or any(m not in MODES for m in args.links):
        parser.error("--links takes a comma-separated subset of none,one,all")
    if not 1 <= args.limit <= 99:
        parser.error("--limit must be 1..99")
    if not 0 <= args.max_offset <= 5.0:
        parser.error("--max-offset must be 0..5.0")
    if not args.program.exists():
        parser.error(f"no program at {args.program} (build it, or give --program)")
    return args


def print_noise(residuals: list, offsets: dict, model: noise.NoiseModel, figures: dict,
                scale: float) -> None:
    print("Residuals of the published structures (calculated - measured, ppm, at the fitted "
          "offset):\n")
    print("| Polymer | Offset | Residue | C1 | C2 | C3 | C4 | C5 | C6 | |")
    print("|---|---:|---|---:|---:|---:|---:|---:|---:|---|")
    for r in residuals:
        cells = [f"{v / 10:+.1f}" for v in r.values] + [""] * (6 - len(r.values))
        note = f"same measurement as {r.repeats}, not counted" if r.repeats else ""
        print(f"| {r.polymer} | {offsets[r.polymer] / 10:+.1f} | {r.label} | "
              + " | ".join(cells) + f" | {note} |")
    simulated = noise.simulated_figures(model)
    print(f"\n{figures['residues']} residues, {figures['carbons']} carbons: mean |residual| "
          f"{figures['mean_abs'] / 10:.2f} ppm, root mean square {figures['rms'] / 10:.2f} ppm, "
          f"largest {figures['largest'] / 10:+.1f} ppm; standard deviation of the residue part "
          f"{figures['residue_sd'] / 10:.2f} ppm, of the carbon part "
          f"{figures['carbon_sd'] / 10:.2f} ppm.")
    print(f"Noise model: residue part Laplace, scale {model.residue_scale / 10:.3f} ppm; carbon "
          f"part Laplace, scale {model.carbon_scale / 10:.3f} ppm (simulated: mean |residual| "
          f"{simulated['mean_abs'] / 10:.2f} ppm, root mean square "
          f"{simulated['rms'] / 10:.2f} ppm)" + (f"; scaled by {scale}" if scale != 1 else "")
          + ".\n")


def search_task(program: units.Program, name: str, text: str, truth: tuple, args) -> Outcome:
    result, console, seconds = program.search(name, text, args.timeout)
    if args.keep:
        kept = program.work.parent / "tasks"
        kept.mkdir(exist_ok=True)
        (kept / f"{name}.TSK").write_text(text, encoding="ascii")
        if result is not None:
            (kept / f"{name}.RES").write_text(result, encoding="ascii")
    if result is None:
        print(f"{name}: no result file; the program said:\n{console[-600:]}", file=sys.stderr)
        return Outcome(None, None, seconds, failed=True)
    return Outcome(*rank_of_truth(result, truth), seconds)


def measure_range(program: units.Program, low: int, high: int, count: int, model, args) -> tuple:
    """(table rows, units drawn again) for `count` tasks of `low`..`high` residues: one row per
    size and LINK mode, and one per mode for the whole range when it holds several sizes."""
    templates = units.read_templates()
    types = units.residue_types(args.data)
    by_size = {(s, m): Row(str(s), m) for s in range(low, high + 1) for m in args.links}
    whole = {m: Row(f"**{low}-{high}**" if low != high else f"**{low}**", m) for m in args.links}
    redrawn = 0
    for index in range(count):
        # Seeded by the range and the index alone: every mode and option sees the same tasks.
        rng = random.Random(f"{args.seed}/{low}-{high}/{index}")
        size = rng.randint(low, high)
        unit, again = draw_unit(rng, size, templates, types, program, args.linear_share,
                                args.max_side)
        redrawn += again
        task = make_task(rng, unit, model, round(args.max_offset * 10))
        truth = notation.parse_polymer(unit.record).key()
        for mode in args.links:
            name = f"S{low}{high}{mode[0].upper()}{index:04d}"
            outcome = search_task(program, name, task.text(mode, args.limit, args.distinct),
                                  truth, args)
            by_size[(size, mode)].outcomes.append(outcome)
            whole[mode].outcomes.append(outcome)
            if args.verbose:
                print(f"{name} {size} {mode:4} rank {outcome.rank} ({outcome.polymer_rank}) "
                      f"{outcome.seconds:6.2f} s {unit.record}", file=sys.stderr)
    rows = [by_size[(s, m)] for s in range(low, high + 1) for m in args.links
            if by_size[(s, m)].outcomes]
    return rows + ([whole[m] for m in args.links] if high > low else []), redrawn


def run(args) -> int:
    started = time.perf_counter()
    rows, redrawn = [], 0
    with tempfile.TemporaryDirectory() as temporary:
        program = units.Program(args.program, args.data, args.scratch or Path(temporary),
                                args.threads)
        residuals, offsets = noise.measured_residuals(program)
        model, figures = noise.fit(residuals)
        print_noise(residuals, offsets, model, figures, args.noise_scale)
        if args.noise_only:
            return 0
        if args.noise == "resample":
            model = noise.ResampledNoise.from_residuals(residuals)
            simulated = noise.simulated_figures(model.scaled(args.noise_scale))
            print(f"Resampled noise: the {len(model.vectors)} residues' residual vectors "
                  f"(simulated: mean |residual| {simulated['mean_abs'] / 10:.2f} ppm, root mean "
                  f"square {simulated['rms'] / 10:.2f} ppm).\n")
        for (low, high), count in zip(args.sizes, args.tasks):
            more, again = measure_range(program, low, high, count,
                                        model.scaled(args.noise_scale), args)
            rows += more
            redrawn += again
    print(table(rows))
    print(f"\n{sum(args.tasks)} tasks, {args.noise} noise, LINK modes {','.join(args.links)}"
          f"{', DISTINCT' if args.distinct else ''}, seed {args.seed}, LIMIT {args.limit}; "
          f"{redrawn} units drawn again (calculation failed); "
          f"{time.perf_counter() - started:.0f} s in all.")
    return 1 if any(o.failed for row in rows for o in row.outcomes) else 0


def main(argv=None) -> int:
    return run(parse_args(argv))


if __name__ == "__main__":
    raise SystemExit(main())
