#!/usr/bin/env python3
"""Runs random tasks through two builds of the program and compares their console output (times
masked), result files and report files (run times masked) byte for byte.

    tools/compare/compare_programs.py OLD_BINARY NEW_BINARY [--seed N] [--tasks N] [--all-options]
                                      [--threads N]

Without --all-options the tasks use only the options every build since the first knows
(WIDESPREAD, LIMIT, a numeric CORRECTION); with it they also use SPINSYSTEMS, CORRECTION: AUTO
and REPORT. --threads sets GLYCOMB_THREADS for both builds (default: every core).

With --without-probabilities the tasks that carry probabilities (SPINSYSTEMS or CORRECTION: AUTO)
are compared without them: the new build's result file with the probability of every entry line
and the line that bounds the rest taken out, its report data without "probability",
"outside_list" and "consensus", and its report page not at all (it gains whole sections). Every
other task is compared byte for byte as before.

Use it to show that a change keeps the output of existing task files: build the commit before
the change into a directory of its own and pass its binary as OLD_BINARY. Every task runs in a
fresh copy of data/ with the input at end of file, as a batch run does.
"""
import argparse
import json
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


def random_task(rng, all_options=False):
    entries = [entry(rng) for _ in range(rng.randint(2, 4))]
    if all(text == 'P' for text, _ in entries):
        entries[0] = ('aDGlc', 6)
    total = sum(count for _, count in entries)
    lines = [' '.join(text for text, _ in entries)]
    spin = all_options and rng.random() < 0.4
    if spin:
        # One line per carbon-bearing residue, C1 first, the lines in any order.
        residues = [count for _, count in entries if count > 0]
        rng.shuffle(residues)
        for count in residues:
            line = [rng.randint(950, 1110)] + [rng.randint(550, 850) for _ in range(count - 1)]
            lines.append(' '.join(str(v) for v in line))
    else:
        shifts = [str(rng.randint(550, 1100)) for _ in range(total)]
        lines += [' '.join(shifts[i:i + 6]) for i in range(0, total, 6)]
    if rng.random() < 0.3:
        lines.append('WIDESPREAD')
    if rng.random() < 0.3:
        lines.append('LIMIT: %d' % rng.randint(1, 99))
    if rng.random() < 0.3:
        lines.append('CORRECTION: %d' % rng.randint(-20, 20))
    if spin:
        lines.append('SPINSYSTEMS')
    if all_options and rng.random() < 0.4:
        lines.append('CORRECTION: AUTO')
    if all_options and rng.random() < 0.3:
        lines.append('REPORT')
    return '\n'.join(lines) + '\n'


def mask_times(output):
    return re.sub(rb'[0-9]+hr [0-9]+min|[0-9]+\.[0-9]+ s|time[^\n]*', b'T', output)


def mask_report_times(text):
    """The run time in the report page and in its data."""
    text = re.sub(rb'"run_time_s": *[0-9.e+-]+', b'"run_time_s": T', text)
    return re.sub(rb'(Run time</t[hd]>\s*<td[^>]*>)[^<]*', rb'\1T', text)


def without_probabilities(files):
    """The result file and report data as a build without probabilities writes them."""
    result, _, data = files
    if result is not None:
        result = re.sub(rb'\t Probability: [0-9]\.[0-9][0-9]', b'', result)
        result = re.sub(rb'\r\n\r\nProbability that the structure is none of these: at most '
                        rb'[0-9]\.[0-9][0-9]', b'', result)
    if data is not None:
        document = json.loads(data.replace(b'"run_time_s": T', b'"run_time_s": 0'))
        document.pop('outside_list', None)
        document.pop('consensus', None)
        for structure in document.get('structures', []):
            structure.pop('probability', None)
        data = json.dumps(document, sort_keys=True).encode()
    return [result, None, data]


def carries_probabilities(task):
    return 'SPINSYSTEMS' in task or 'CORRECTION: AUTO' in task


def run(program, task, work, threads=None):
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(DATA, work)
    with open(os.path.join(work, 'T.TSK'), 'w') as f:
        f.write(task)
    env = dict(os.environ)
    if threads:
        env['GLYCOMB_THREADS'] = str(threads)
    done = subprocess.run([program, 'T'], cwd=work, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=600, env=env)
    files = []
    for name in ('T.RES', 'T.HTML', 'T.JSON'):
        path = os.path.join(work, name)
        files.append(mask_report_times(open(path, 'rb').read()) if os.path.exists(path) else None)
    return mask_times(done.stdout), done.returncode, files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('old')
    parser.add_argument('new')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--tasks', type=int, default=100)
    parser.add_argument('--all-options', action='store_true')
    parser.add_argument('--threads', type=int)
    parser.add_argument('--without-probabilities', action='store_true')
    args = parser.parse_args()
    args.old, args.new = os.path.abspath(args.old), os.path.abspath(args.new)
    rng = random.Random(args.seed)
    same = written = 0
    with tempfile.TemporaryDirectory() as scratch:
        work = os.path.join(scratch, 'run')
        for _ in range(args.tasks):
            task = random_task(rng, args.all_options)
            old = run(args.old, task, work, args.threads)
            new = run(args.new, task, work, args.threads)
            written += new[2][0] is not None
            if args.without_probabilities and carries_probabilities(task):
                old = (old[0], old[1], without_probabilities(old[2]))
                new = (new[0], new[1], without_probabilities(new[2]))
            if old == new:
                same += 1
            else:
                print('DIFFERENT:', repr(task))
    print('%d of %d tasks alike (%d with a result file)' % (same, args.tasks, written))
    return 0 if same == args.tasks else 1


if __name__ == '__main__':
    raise SystemExit(main())
