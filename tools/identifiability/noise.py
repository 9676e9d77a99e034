"""The noise of the synthetic spectra, measured on the real residuals of the shipped polymers.

For every polymer of tools/refdata/tables/structures.csv the program's `/CALC` table of its
published structure is set against the measured shifts of tables/polymers.csv, residue by
residue (a residue is found by its token, `2]3)aDGal`). The referencing offset of each polymer is
fitted as the program's automatic correction fits it: the whole number of tenths in -5.0..+5.0
ppm added to every measured shift that gives the smallest sum of absolute differences (of equal
sums the one nearest zero). The residual of a carbon is calculated minus measured at that
offset.

A residue whose measured shifts repeat those of a residue of an earlier polymer (the same
token, the same values: one measurement quoted in two tables) is counted once in the fit.

The model: the residual of carbon k of residue r is u_r + e_rk, u_r shared by the carbons of
the residue, e_rk the carbon's own, both Laplace distributed (the residuals are heavier-tailed
than a normal distribution), their variances split by an analysis of variance (see fit).
The alternative, ResampledNoise, draws whole residues' residual vectors from the measured ones.
"""

from __future__ import annotations

import csv
import math
import random
import statistics
from dataclasses import dataclass
from pathlib import Path

import units

TABLES = units.REPOSITORY / "tools" / "refdata" / "tables"
AUTO_RANGE = range(-50, 51)  # tenths of a ppm


@dataclass
class ResidueResiduals:
    polymer: str
    label: str
    values: list         # tenths of a ppm, C1 first
    repeats: str = ""    # the earlier polymer whose table holds the same measurement


def fitted_offset(calculated: list, measured: list) -> int:
    """The automatic correction's offset for a polymer (tenths): smallest sum, then nearest zero,
    then the lower."""
    def cost(offset):
        return sum(abs(c - (m + offset)) for c, m in zip(calculated, measured))
    return min(AUTO_RANGE, key=lambda o: (cost(o), abs(o), o))


def measured_residuals(program: units.Program, tables: Path = TABLES) -> tuple:
    """([ResidueResiduals, ...], {polymer: offset in tenths}) of every shipped polymer whose
    published structure the program calculates."""
    with open(tables / "polymers.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    with open(tables / "structures.csv", newline="", encoding="utf-8") as f:
        structures = list(csv.DictReader(f))
    residuals, offsets, seen = [], {}, {}
    for structure in structures:
        polymer = structure["polymer"]
        measured = {r["token"]: [round(float(v) * 10) for v in r["shifts"].split()]
                    for r in rows if r["polymer"] == polymer}
        table = program.calculate(structure["record"])
        if not table:
            raise RuntimeError(f"/CALC fails on the structure of {polymer}")
        pairs = []
        for label, shifts in table:
            if label not in measured:
                raise RuntimeError(f"{polymer}: no measured shifts for {label}")
            if len(measured[label]) != len(shifts):
                raise RuntimeError(f"{polymer}: {label} has {len(measured[label])} measured "
                                   f"shifts for {len(shifts)} carbons")
            pairs.append((label, shifts, measured[label]))
        flat_c = [c for _, calc, _ in pairs for c in calc]
        flat_m = [m for _, _, meas in pairs for m in meas]
        offset = fitted_offset(flat_c, flat_m)
        offsets[polymer] = offset
        for label, calc, meas in pairs:
            key = (label, tuple(meas))
            residuals.append(ResidueResiduals(polymer, label,
                                              [c - (m + offset) for c, m in zip(calc, meas)],
                                              seen.get(key, "")))
            seen.setdefault(key, polymer)
    return residuals, offsets


@dataclass
class NoiseModel:
    residue_scale: float  # Laplace scale of the part shared by a residue's carbons (tenths)
    carbon_scale: float   # Laplace scale of each carbon's own part (tenths)

    def scaled(self, factor: float) -> "NoiseModel":
        return NoiseModel(self.residue_scale * factor, self.carbon_scale * factor)

    def residue_noise(self, rng: random.Random, carbons: int) -> list:
        """Noise of one residue's carbons, in tenths of a ppm (not rounded)."""
        shared = laplace(rng, self.residue_scale)
        return [shared + laplace(rng, self.carbon_scale) for _ in range(carbons)]


class ResampledNoise:
    """Noise drawn from the measured residuals themselves: each residue takes the whole residual
    vector of one measured residue, drawn uniformly with replacement, so the carbons of a
    residue keep the correlation, the carbon-by-carbon pattern (C3 of a 3-substituted residue
    errs more than C6) and the heavy tail of the real data. A residue with fewer carbons than
    the drawn one takes its first carbons (C1 first: the ring carbons the additive scheme
    predicts alike); one with more carbons fills the extra ones with the drawn residue's mean
    plus a carbon's own part (residual less its residue's mean) drawn from every measured
    carbon."""

    def __init__(self, vectors: list):
        self.vectors = [list(vector) for vector in vectors if vector]
        if not self.vectors:
            raise ValueError("no measured residuals to resample")
        self.deviations = [v - statistics.mean(vector)
                           for vector in self.vectors for v in vector]

    @classmethod
    def from_residuals(cls, residuals: list) -> "ResampledNoise":
        """The residues measured once (a repeated measurement is not drawn twice as often)."""
        return cls([r.values for r in residuals if not r.repeats])

    def scaled(self, factor: float) -> "ResampledNoise":
        return ResampledNoise([[v * factor for v in vector] for vector in self.vectors])

    def residue_noise(self, rng: random.Random, carbons: int) -> list:
        """Noise of one residue's carbons, in tenths of a ppm."""
        drawn = rng.choice(self.vectors)
        shared = statistics.mean(drawn)
        return [drawn[k] if k < len(drawn) else shared + rng.choice(self.deviations)
                for k in range(carbons)]


def laplace(rng: random.Random, scale: float) -> float:
    u = rng.random() - 0.5
    return -scale * math.copysign(1.0, u) * math.log(1 - 2 * abs(u)) if scale > 0 else 0.0


def fit(residuals: list) -> tuple:
    """(NoiseModel, figures). The variance of a residual is split into the residue part and the
    carbon part by a one-way analysis of variance over the residues: the pooled variance within
    a residue is the carbon part's, the variance of the residue means less its share of it
    (divided by the carbons per residue) the residue part's. A Laplace distribution of variance
    s^2 has the scale s / sqrt(2)."""
    residuals = [r for r in residuals if not r.repeats]
    every = [v for r in residuals for v in r.values]
    means = [statistics.mean(r.values) for r in residuals]
    within = (sum(sum((v - m) ** 2 for v in r.values) for r, m in zip(residuals, means))
              / sum(len(r.values) - 1 for r in residuals))
    per_residue = statistics.mean(len(r.values) for r in residuals)
    between = max(statistics.variance(means) - within / per_residue, 0.0)
    model = NoiseModel(math.sqrt(between / 2), math.sqrt(within / 2))
    figures = {
        "residues": len(residuals),
        "carbons": len(every),
        "mean_abs": statistics.mean(abs(v) for v in every),
        "rms": math.sqrt(statistics.mean(v * v for v in every)),
        "largest": max(every, key=abs),
        "residue_sd": math.sqrt(between),
        "carbon_sd": math.sqrt(within),
    }
    return model, figures


def simulated_figures(model, carbons: int = 6, residues: int = 20000,
                      seed: int = 1) -> dict:
    """Mean absolute value and root mean square of the model's residuals, by simulation."""
    rng = random.Random(seed)
    draws = [v for _ in range(residues) for v in model.residue_noise(rng, carbons)]
    return {"mean_abs": statistics.mean(abs(v) for v in draws),
            "rms": math.sqrt(statistics.mean(v * v for v in draws))}
