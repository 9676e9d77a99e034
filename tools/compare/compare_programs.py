#!/usr/bin/env python3
"""Runs random tasks without the newer task options through two builds of the program and
compares their console output (times masked) and result files byte for byte.

    tools/compare/compare_programs.py OLD_BINARY NEW_BINARY [--seed N] [--tasks N]

Use it to show that a change keeps the output of existing task files: build the commit before
the change into a directory of its own and pass its binary as OLD_BINARY. Every task runs in a
fresh copy of data/ with the input at end of file, as a batch run does.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import tempfile

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'data')
CARBONS = dict(Glc=6, Gal=6, Man=6, GlcN=6, GalN=6, ManN=6, Rha=6, Fuc=6, Qui=6, GlcA=6,
               GalA=6, Galf=6, Xyl=5, Araf=5, Ribf=5, Gro=3, Rbo=5, Hbu=4)
ALDITOLS = {'Gro', 'Rbo', 'Hbu'}


def entry(rng):
    """One composition entry and its carbon count: a phosphate, an alditol or a sugar of known
    or open configuration, sometimes with a position constraint."""
    if rng.random() < 0.1:
        return 'P', 0
    name = rng.choice(list(CARBONS))
    if name in ALDITOLS:
        return 'c' + rng.choice('DL') + name, CARBONS[name]
    if rng.random() < 0.3:
        config = rng.choice('ab?') + rng.choice('DL?')
    else:
        config = rng.choice('ab') + 'D'
    prefix = ''
    if rng.random() < 0.2:
        prefix = rng.choice('2346?x') + rng.choice('2346?x') + ')'
    return prefix + config + name, CARBONS[name]


def random_task(rng):
    entries = [entry(rng) for _ in range(rng.randint(2, 4))]
    if all(text == 'P' for text, _ in entries):
        entries[0] = ('aDGlc', 6)
    total = sum(count for _, count in entries)
    shifts = [str(rng.randint(550, 1100)) for _ in range(total)]
    lines = [' '.join(text for text, _ in entries)]
    lines += [' '.join(shifts[i:i + 6]) for i in range(0, total, 6)]
    if rng.random() < 0.3:
        lines.append('WIDESPREAD')
    if rng.random() < 0.3:
        lines.append('LIMIT: %d' % rng.randint(1, 99))
    if rng.random() < 0.3:
        lines.append('CORRECTION: %d' % rng.randint(-20, 20))
    return '\n'.join(lines) + '\n'


def mask_times(output):
    return re.sub(rb'[0-9]+hr [0-9]+min|[0-9]+\.[0-9]+ s|time[^\n]*', b'T', output)


def run(program, task, work):
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(DATA, work)
    with open(os.path.join(work, 'T.TSK'), 'w') as f:
        f.write(task)
    done = subprocess.run([program, 'T'], cwd=work, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=600)
    result = os.path.join(work, 'T.RES')
    written = open(result, 'rb').read() if os.path.exists(result) else None
    return mask_times(done.stdout), done.returncode, written


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('old')
    parser.add_argument('new')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--tasks', type=int, default=100)
    args = parser.parse_args()
    args.old, args.new = os.path.abspath(args.old), os.path.abspath(args.new)
    rng = random.Random(args.seed)
    same = written = 0
    with tempfile.TemporaryDirectory() as scratch:
        work = os.path.join(scratch, 'run')
        for _ in range(args.tasks):
            task = random_task(rng)
            old, new = run(args.old, task, work), run(args.new, task, work)
            written += new[2] is not None
            if old == new:
                same += 1
            else:
                print('DIFFERENT:', repr(task))
    print('%d of %d tasks alike (%d with a result file)' % (same, args.tasks, written))
    return 0 if same == args.tasks else 1


if __name__ == '__main__':
    raise SystemExit(main())
