#!/usr/bin/env python3
"""Calibration of the structure probabilities P_i = exp(-S_i/T) / (sum_j exp(-S_j/T) + R).

    calibrate.py [--program BIN] [--fit-seed N] [--fresh-seed N] [--sizes 3-5 6-7]
                 [--fit-tasks 150 50] [--fresh-tasks 300 100] [--jobs 2] [--threads 1]
                 [--probabilities computed|program] [--save FILE] [--load FILE]

S_i is a kept structure's sum of absolute differences (ppm, the report's deviation_ppm), T a
scale in ppm, R the weight of the structures not kept (0 when the probabilities are computed
here). On synthetic tasks (identifiability.py's, with SPINSYSTEMS, CORRECTION: AUTO, LIMIT 99
and REPORT) it fits T by maximum likelihood of the true polymer on FIT tasks, for two models of
the referencing offset:

- per structure: the sums of the AUTO run, each structure at the offset that fits it best;
- shared: the task searched again with the rank-1 structure's offset as a fixed CORRECTION,
  every structure at that one offset;

and measures on FRESH tasks (another seed) how well each model's rank-1 probability is
calibrated, the probabilities of the published 33E and 33F structures, and what true LINK lines
do to the probability of the truth. Prints markdown. See README.md.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import json
import math
import random
import statistics
import sys
import tempfile
import time
from pathlib import Path

import identifiability
import noise
import notation
import units

MODELS = ("per-structure", "shared")
BANDS = [(0.0, 0.2), (0.2, 0.4), (0.4, 0.6), (0.6, 0.8), (0.8, 1.0)]
BAND_MIN_TASKS = 30
BAND_TOLERANCE = 0.1
PUBLISHED = (("33E", "SPINS33E.TSK", "CALC.STR"), ("33F", "SPINS33F.TSK", "CALC33F.STR"),
             ("33F with LINK lines", "LINKS33F.TSK", "CALC33F.STR"))


# ---------------------------------------------------------------------------------------------
# Reading a run


def read_run(report: str | None, truth: tuple) -> dict:
    """What the analysis needs of one search's JSON report: the kept structures' sums (ppm, in
    rank order), the program's own probabilities when it writes them, the rank-1 offset (tenths)
    and the entry that is the true polymer (its index, sum, offset and spin systems)."""
    if report is None:
        return {"failed": True}
    document = json.loads(report)
    structures = document["structures"]
    run = {
        "failed": False,
        "sums": [s["deviation_ppm"] for s in structures],
        "probabilities": ([s["probability"] for s in structures]
                          if structures and all("probability" in s for s in structures) else None),
        "outside": document.get("outside_list"),
        "offset": (round(structures[0]["offset_ppm"] * 10)
                   if structures and "offset_ppm" in structures[0] else None),
        "truth": None,
    }
    for index, structure in enumerate(structures):
        if notation.parse_polymer(structure["notation"]).key() == truth:
            run["truth"] = index
            run["truth_entry"] = {
                "notation": structure["notation"],
                "offset": structure.get("offset_ppm"),
                "residues": [r["name"] for r in structure["residues"]],
                "spin_systems": [r.get("spin_system") for r in structure["residues"]],
            }
            break
    return run


def with_fixed_offset(text: str, offset: int) -> str:
    """The task text with its CORRECTION: AUTO line replaced by the fixed offset (tenths)."""
    lines = text.splitlines()
    at = next(i for i, line in enumerate(lines) if line.strip().upper() == "CORRECTION: AUTO")
    lines[at] = f"CORRECTION: {offset}"
    return "\n".join(lines) + "\n"


def with_lines(text: str, *options: str) -> str:
    return text.rstrip("\n") + "\n" + "\n".join(options) + "\n"


# ---------------------------------------------------------------------------------------------
# Probabilities and scores


def probabilities(sums: list, scale: float, rest: float = 0.0) -> list:
    """exp(-S_i/T) / (sum_j exp(-S_j/T) + R), computed relative to the smallest sum so that no
    weight underflows; `rest` is R in the same relative units (exp(S_min/T) R)."""
    if not sums:
        return []
    best = min(sums)
    weights = [math.exp(-(s - best) / scale) for s in sums]
    total = sum(weights) + rest
    return [w / total for w in weights]


def truth_log_probability(run: dict, scale: float) -> float:
    """log P of the true polymer. When the list does not hold it, its sum is at least the last
    kept one, and the bound that gives is used (an optimistic one)."""
    sums = run["sums"]
    if run["truth"] is not None:
        return math.log(probabilities(sums, scale)[run["truth"]])
    worst = max(sums)
    return math.log(probabilities(sums + [worst], scale)[-1])


def stated(run: dict, scale: float, source: str) -> list:
    """The probabilities of the kept structures in rank order: computed at `scale` with R = 0,
    or the program's own."""
    if source == "program":
        if run["probabilities"] is None:
            raise SystemExit("the program's reports carry no \"probability\": use "
                             "--probabilities computed, or a program that writes them")
        return run["probabilities"]
    return probabilities(run["sums"], scale)


def mean_log_likelihood(runs: list, scale: float) -> float:
    return statistics.mean(truth_log_probability(run, scale) for run in runs)


def fit_scale(runs: list, low: float = 0.05, high: float = 20.0) -> float:
    """The T (ppm) of largest mean log P_true: a logarithmic grid, then golden-section search
    around its best point (the likelihood is unimodal in T in practice; the grid guards
    against a poor start)."""
    grid = [low * (high / low) ** (k / 60) for k in range(61)]
    values = [mean_log_likelihood(runs, t) for t in grid]
    best = max(range(len(grid)), key=values.__getitem__)
    a, b = math.log(grid[max(best - 1, 0)]), math.log(grid[min(best + 1, len(grid) - 1)])
    ratio = (math.sqrt(5) - 1) / 2
    for _ in range(60):
        c, d = b - ratio * (b - a), a + ratio * (b - a)
        if mean_log_likelihood(runs, math.exp(c)) >= mean_log_likelihood(runs, math.exp(d)):
            b = d
        else:
            a = c
    return math.exp((a + b) / 2)


def calibration(runs: list, scale: float, source: str) -> dict:
    """Bands of the rank-1 probability (count, mean stated, share right), the Brier scores of
    the rank-1 probability and of the whole distribution, and the mean log P_true."""
    rows = [[] for _ in BANDS]
    brier_first, brier_all = [], []
    for run in runs:
        p = stated(run, scale, source)
        right = run["truth"] == 0
        band = min(int(p[0] / 0.2), len(BANDS) - 1)
        rows[band].append((p[0], right))
        brier_first.append((p[0] - right) ** 2)
        truth_p = p[run["truth"]] if run["truth"] is not None else 0.0
        brier_all.append(sum(x * x for x in p) - 2 * truth_p + 1)
    base = statistics.mean(run["truth"] == 0 for run in runs)
    return {
        "bands": [{"band": band, "tasks": len(row),
                   "stated": statistics.mean(p for p, _ in row) if row else None,
                   "right": statistics.mean(r for _, r in row) if row else None}
                  for band, row in zip(BANDS, rows)],
        "brier_first": statistics.mean(brier_first),
        "brier_all": statistics.mean(brier_all),
        "brier_base": base * (1 - base),
        "share_right": base,
        "log_likelihood": (mean_log_likelihood(runs, scale) if source == "computed" else
                           statistics.mean(math.log(max(stated(r, scale, source)[r["truth"]], 1e-300))
                                           if r["truth"] is not None else math.log(1e-300)
                                           for r in runs)),
        "tasks": len(runs),
        "not_listed": sum(run["truth"] is None for run in runs),
    }


def band_verdict(band: dict) -> str:
    if band["tasks"] < BAND_MIN_TASKS:
        return "too few"
    return "pass" if abs(band["stated"] - band["right"]) <= BAND_TOLERANCE else "FAIL"


def link_change_reason(before: dict, after: dict) -> str:
    """Why a LINK line lowered the probability of the truth, read from its two entries."""
    if after["truth"] is None:
        return "the truth left the list"
    if before["truth"] is None:
        return "the truth was not listed without the LINK line"
    old, new = before["truth_entry"], after["truth_entry"]
    s_old, s_new = before["sums"][before["truth"]], after["sums"][after["truth"]]
    if s_new <= s_old:
        return f"the truth's sum stayed {s_old:.1f} ppm; other structures gained"
    text = f"the truth's sum rose from {s_old:.1f} to {s_new:.1f} ppm"
    if old["notation"] == new["notation"]:
        moved = [k for k, (a, b) in enumerate(zip(old["spin_systems"], new["spin_systems"]))
                 if a != b]
        if moved:
            names = [old["residues"][k] for k in moved]
            kind = ("two residues of one kind exchanged their spin systems"
                    if len(moved) == 2 and names[0] == names[1] else
                    "residues of one size exchanged their spin systems"
                    if len(moved) >= 2 else "a residue took another spin system")
            text += (f": without the line its best assignment had {kind} ("
                     + ", ".join(f"{names[i]} line {old['spin_systems'][k] + 1}->"
                                 f"{new['spin_systems'][k] + 1}" for i, k in enumerate(moved))
                     + ")")
    if old["offset"] != new["offset"]:
        text += f"; offset {old['offset']:+.1f} -> {new['offset']:+.1f} ppm"
    return text


# ---------------------------------------------------------------------------------------------
# Running the tasks


def build_tasks(program, seed: int, sizes: list, counts: list, noise_model, args) -> list:
    """[(name, size, Task, truth key)] drawn as identifiability.py draws them, for one seed."""
    templates = units.read_templates()
    types = units.residue_types(args.data)
    tasks = []
    for (low, high), count in zip(sizes, counts):
        for index in range(count):
            rng = random.Random(f"{seed}/{low}-{high}/{index}")
            size = rng.randint(low, high)
            unit, _ = identifiability.draw_unit(rng, size, templates, types, program,
                                                args.linear_share, args.max_side)
            task = identifiability.make_task(rng, unit, noise_model,
                                             round(args.max_offset * 10))
            tasks.append((f"C{seed % 1000:03d}{low}{high}{index:04d}", size, task,
                          notation.parse_polymer(unit.record).key()))
    return tasks


def run_task(program, name: str, size: int, task, truth: tuple, links: list,
             timeout: float) -> dict:
    """The AUTO search, the search at the rank-1 offset, and the AUTO searches with LINK lines."""
    record = {"name": name, "size": size, "unit": task.unit.record, "runs": {}}
    seconds = 0.0
    auto_text = task.text("none", 99, False) + "REPORT\n"
    _, report, _, took = program.search_with_report(name + "A", auto_text, timeout)
    seconds += took
    auto = record["runs"]["per-structure"] = read_run(report, truth)
    if not auto["failed"] and auto["offset"] is not None:
        _, report, _, took = program.search_with_report(
            name + "F", with_fixed_offset(auto_text, auto["offset"]), timeout)
        seconds += took
        record["runs"]["shared"] = read_run(report, truth)
    else:
        record["runs"]["shared"] = {"failed": True}
    for mode in links:
        if mode == "none":  # the AUTO search above
            record["runs"][mode] = dict(auto, lines=[])
            continue
        text = task.text(mode, 99, False) + "REPORT\n"
        _, report, _, took = program.search_with_report(name + mode[0].upper(), text, timeout)
        seconds += took
        record["runs"][mode] = read_run(report, truth)
        record["runs"][mode]["lines"] = task.links[mode]
    record["seconds"] = seconds
    return record


def run_all(program, tasks: list, links: list, args, label: str) -> list:
    records = [None] * len(tasks)
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futures = {pool.submit(run_task, program, name, size, task, truth, links, args.timeout): i
                   for i, (name, size, task, truth) in enumerate(tasks)}
        for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
            records[futures[future]] = future.result()
            if args.verbose:
                r = records[futures[future]]
                print(f"{label} {done}/{len(tasks)} {r['name']} {r['size']} "
                      f"rank {r['runs']['per-structure'].get('truth')} {r['seconds']:.2f} s",
                      file=sys.stderr)
    return records


def run_published(program, data: Path) -> dict:
    """The shipped 33E and 33F tasks with LIMIT 99 and REPORT, per structure and shared."""
    found = {}
    for label, task_file, structure_file in PUBLISHED:
        text = (data / task_file).read_text(encoding="ascii")
        record = next(line.strip() for line in (data / structure_file).read_text().splitlines()
                      if line.strip() and not line.lstrip().startswith(";"))
        truth = notation.parse_polymer(record).key()
        kept = [line for line in text.splitlines()
                if not line.strip().upper().startswith(("LIMIT", "REPORT"))]
        auto_text = with_lines("\n".join(kept), "LIMIT: 99", "REPORT")
        _, report, _, _ = program.search_with_report("PUB", auto_text, 600)
        auto = read_run(report, truth)
        _, report, _, _ = program.search_with_report(
            "PUBF", with_fixed_offset(auto_text, auto["offset"]), 600)
        found[label] = {"per-structure": auto, "shared": read_run(report, truth)}
    return found


# ---------------------------------------------------------------------------------------------
# Printing


def print_report(data: dict, source: str) -> None:
    fit, fresh = data["fit"], data["fresh"]
    fitted = {}
    print(f"FIT tasks: {len(fit)} (seed {data['fit_seed']}); FRESH tasks: {len(fresh)} "
          f"(seed {data['fresh_seed']}); sizes {data['sizes']}; {data['noise']} noise.\n")
    for model in MODELS:
        runs = [r["runs"][model] for r in fit if not r["runs"][model]["failed"]]
        fitted[model] = fit_scale(runs)
        t = fitted[model]
        curve = " | ".join(f"{f * t:.3f}: {mean_log_likelihood(runs, f * t):.4f}"
                           for f in (0.5, 0.7, 0.85, 1.0, 1.2, 1.4, 2.0))
        print(f"**{model} offset**: T = {t:.3f} ppm over {len(runs)} FIT tasks "
              f"({sum(r['truth'] is None for r in runs)} not listing the truth); "
              f"mean log P_true by T (ppm): {curve}\n")
    for model in MODELS:
        runs = [r["runs"][model] for r in fresh if not r["runs"][model]["failed"]]
        c = calibration(runs, fitted[model], source)
        stated_t = "the program's probabilities" if source == "program" else \
            f"T = {fitted[model]:.3f} ppm"
        print(f"FRESH tasks, {model} offset, {stated_t}:\n")
        print("| Rank-1 probability | Tasks | Mean stated | Share right | Verdict |")
        print("|---|---:|---:|---:|---|")
        for band in c["bands"]:
            low, high = band["band"]
            cells = (f"{band['stated']:.3f} | {band['right']:.3f}" if band["tasks"] else "- | -")
            print(f"| {low:.1f}-{high:.1f} | {band['tasks']} | {cells} | {band_verdict(band)} |")
        print(f"\n{c['tasks']} tasks ({c['not_listed']} not listing the truth); rank 1 right in "
              f"{c['share_right']:.3f}; Brier score of the rank-1 probability "
              f"{c['brier_first']:.4f} (a constant forecast of the share right: "
              f"{c['brier_base']:.4f}); of the whole distribution {c['brier_all']:.4f}; "
              f"mean log P_true {c['log_likelihood']:.4f}.\n")
    print("Published structures (LIMIT 99):\n")
    print("| Task | Model | T ppm | Rank | Sum ppm | P(published) | P(rank 1) |")
    print("|---|---|---:|---:|---:|---:|---:|")
    for label, runs in data["published"].items():
        for model in MODELS:
            run = runs[model]
            p = stated(run, fitted[model], source)
            truth = run["truth"]
            print(f"| {label} | {model} | {fitted[model]:.3f} | "
                  f"{truth + 1 if truth is not None else '-'} | "
                  f"{run['sums'][truth] if truth is not None else '-'} | "
                  f"{p[truth] if truth is not None else 0:.3f} | {p[0]:.3f} |")
    links = [m for m in ("none", "one", "all") if fresh and m in fresh[0]["runs"]]
    if links:
        print_links(fresh, links, fitted["per-structure"], source)


def print_links(fresh: list, links: list, scale: float, source: str) -> None:
    usable = [r for r in fresh if not any(r["runs"][m]["failed"] for m in links)]

    def p_true(run):
        return stated(run, scale, source)[run["truth"]] if run["truth"] is not None else 0.0

    print(f"\nLINK lines, per-structure offset, T = {scale:.3f} ppm, over {len(usable)} FRESH "
          "tasks:\n")
    print("| Residues | " + " | ".join(f"mean P_true, {m}" for m in links)
          + " | " + " | ".join(f"rank 1 right, {m}" for m in links) + " |")
    print("|---|" + "---:|" * (2 * len(links)))
    groups = sorted({r["size"] for r in usable})
    for label, members in ([(str(s), [r for r in usable if r["size"] == s]) for s in groups]
                           + [("all", usable)]):
        if not members:
            continue
        means = [statistics.mean(p_true(r["runs"][m]) for r in members) for m in links]
        right = [sum(r["runs"][m]["truth"] == 0 for r in members) for m in links]
        print(f"| {label} ({len(members)}) | " + " | ".join(f"{x:.3f}" for x in means) + " | "
              + " | ".join(str(x) for x in right) + " |")
    lowered = []
    for r in usable:
        for m in links[1:]:
            before, after = r["runs"]["none"], r["runs"][m]
            if p_true(after) < p_true(before) - 1e-9:
                lowered.append((r, m, p_true(before), p_true(after),
                                link_change_reason(before, after)))
    print(f"\nTasks where true LINK lines lower P_true: {len(lowered)}\n")
    if lowered:
        print("| Task | LINK | Unit | P_true none | P_true with | Lines | Reason |")
        print("|---|---|---|---:|---:|---|---|")
        for r, m, a, b, why in lowered:
            print(f"| {r['name']} | {m} | `{r['unit']}` | {a:.3f} | {b:.3f} | "
                  f"{'; '.join(r['runs'][m]['lines'])} | {why} |")


# ---------------------------------------------------------------------------------------------


def parse_args(argv):
    here = units.REPOSITORY
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", type=Path, default=here / "build" / "glycomb")
    parser.add_argument("--data", type=Path, default=here / "data")
    parser.add_argument("--sizes", type=identifiability.size_range, nargs="+",
                        default=[(3, 5), (6, 7)])
    parser.add_argument("--fit-tasks", type=int, nargs="+", default=[150, 50])
    parser.add_argument("--fresh-tasks", type=int, nargs="+", default=[300, 100])
    parser.add_argument("--fit-seed", type=int, default=101)
    parser.add_argument("--fresh-seed", type=int, default=202)
    parser.add_argument("--links", default="none,one,all",
                        help="LINK modes searched on the FRESH tasks ('' for none)")
    parser.add_argument("--noise", choices=identifiability.NOISE, default="resample")
    parser.add_argument("--probabilities", choices=("computed", "program"), default="computed",
                        help="computed: from deviation_ppm at the fitted T with R = 0; "
                             "program: the report's own \"probability\"")
    parser.add_argument("--jobs", type=int, default=2, help="searches side by side")
    parser.add_argument("--threads", type=int, default=1, help="GLYCOMB_THREADS of a search")
    parser.add_argument("--max-offset", type=float, default=2.0)
    parser.add_argument("--linear-share", type=float, default=0.5)
    parser.add_argument("--max-side", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=900, help="seconds per search")
    parser.add_argument("--save", type=Path, help="write the measurements to this JSON file")
    parser.add_argument("--load", type=Path,
                        help="analyse the measurements of an earlier --save; search nothing")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args(argv)
    for name in ("fit_tasks", "fresh_tasks"):
        counts = getattr(args, name)
        if len(counts) == 1:
            counts *= len(args.sizes)
        if len(counts) != len(args.sizes):
            parser.error(f"--{name.replace('_', '-')}: one count, or one per size range")
    args.links = [m.strip() for m in args.links.split(",") if m.strip()]
    if any(m not in identifiability.MODES for m in args.links):
        parser.error("--links takes a comma-separated subset of none,one,all")
    if args.links and "none" not in args.links:
        args.links.insert(0, "none")
    if not args.load and not args.program.exists():
        parser.error(f"no program at {args.program} (build it, or give --program)")
    return args


def measure(args) -> dict:
    started = time.perf_counter()
    with tempfile.TemporaryDirectory() as scratch:
        program = units.Program(args.program, args.data, Path(scratch), args.threads)
        residuals, _ = noise.measured_residuals(program)
        model = (noise.ResampledNoise.from_residuals(residuals) if args.noise == "resample"
                 else noise.fit(residuals)[0])
        fit_tasks = build_tasks(program, args.fit_seed, args.sizes, args.fit_tasks, model, args)
        fresh_tasks = build_tasks(program, args.fresh_seed, args.sizes, args.fresh_tasks, model,
                                  args)
        data = {"fit_seed": args.fit_seed, "fresh_seed": args.fresh_seed, "noise": args.noise,
                "sizes": " ".join(f"{a}-{b}" for a, b in args.sizes),
                "published": run_published(program, args.data),
                "fit": run_all(program, fit_tasks, [], args, "FIT"),
                "fresh": run_all(program, fresh_tasks, args.links, args, "FRESH")}
    data["seconds"] = time.perf_counter() - started
    # The LINK mode "none" is the per-structure search itself, not a search of its own.
    data["searches"] = sum(len(set(r["runs"]) - {"none"}) for r in data["fit"] + data["fresh"])
    return data


def main(argv=None) -> int:
    args = parse_args(argv)
    data = json.loads(args.load.read_text()) if args.load else measure(args)
    if args.save:
        args.save.write_text(json.dumps(data))
    failed = sum(r["runs"][m]["failed"] for r in data["fit"] + data["fresh"]
                 for m in set(r["runs"]) - {"none"})
    print_report(data, args.probabilities)
    print(f"\n{data['searches']} searches and {2 * len(PUBLISHED)} of the shipped tasks "
          f"({failed} wrote no report), "
          f"{data['seconds']:.0f} s of measurement.")
    return 1 if failed else 0


if __name__ == "__main__":
    raise SystemExit(main())
