#!/usr/bin/env python3
"""Facts about the code that anyone can check: the share of test code, the longest functions and
the classes with the most data members of a folder, and includes that reach from a lower folder
of src/ up to a higher one.

    tools/facts/code_facts.py [--folder src/search] [--check]

Lines are counted without blank lines and without lines that hold only a // comment. With --check
the script exits non-zero when the test share is above a third, a function of the folder is 80
lines or longer, a class of the folder has more than 20 data members, or an include goes upward.
"""
import argparse
import glob
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
# The floors of src/, lowest first: a folder may include its own headers and those of lower floors.
FLOORS = ['console', 'databases', 'topology', 'input', 'spectrum', 'scoring', 'search', 'confidence',
          'checkpoint', 'results', 'report', 'driver']


def sources(folder):
    return sorted(glob.glob(os.path.join(ROOT, folder, '**', '*.cpp'), recursive=True) +
                  glob.glob(os.path.join(ROOT, folder, '**', '*.hpp'), recursive=True))


def code_lines(path):
    count = 0
    for line in open(path, encoding='utf-8'):
        stripped = line.strip()
        if stripped and not stripped.startswith('//'):
            count += 1
    return count


def functions(path):
    """(name, lines) of every function defined at namespace level: from its first line at column 0
    to the closing brace at column 0."""
    lines = open(path, encoding='utf-8').read().split('\n')
    found, start = [], None
    for i, line in enumerate(lines):
        if start is None:
            if line and not line[0].isspace() and not line.startswith(
                    ('namespace', '}', '#', '//', 'using', 'struct', 'class', 'template', 'enum')) \
                    and '(' in line and not line.rstrip().endswith(';'):
                start = i
        elif line.startswith('}'):
            found.append((lines[start].split('(')[0].split()[-1], i - start + 1))
            start = None
        elif line and not line[0].isspace() and line.rstrip().endswith(';'):
            start = None  # a declaration that spanned lines
    return found


def data_members(path):
    """(class, count) of every class or struct of a header: its lines that declare data."""
    text = open(path, encoding='utf-8').read()
    found = []
    for match in re.finditer(r'^(?:class|struct) (\w+)[^;{]*\{', text, re.M):
        depth, at = 1, match.end()
        body_start = at
        while depth and at < len(text):
            depth += {'{': 1, '}': -1}.get(text[at], 0)
            at += 1
        body = text[body_start:at - 1]
        # Only the class's own level: drop nested braces' contents.
        flat, depth = '', 0
        for c in body:
            if c == '{':
                depth += 1
            elif c == '}':
                depth -= 1
            elif depth == 0:
                flat += c
        count = 0
        for statement in flat.split(';'):
            statement = re.sub(r'//[^\n]*', '', statement).strip()
            if not statement or '(' in statement.split('=')[0] or statement.startswith(
                    ('using', 'friend', 'static', 'public', 'private', 'protected', 'template',
                     'enum', 'struct', 'class', 'typedef')):
                continue
            statement = re.sub(r'^(public|private|protected):\s*', '', statement)
            if '(' in statement.split('=')[0] or statement.startswith(('static', 'using', 'friend')):
                continue
            count += 1
        found.append((match.group(1), count))
    return found


def upward_includes():
    bad = []
    for path in sources('src'):
        floor = os.path.relpath(path, os.path.join(ROOT, 'src')).split(os.sep)[0]
        if floor not in FLOORS:
            bad.append((path, 'folder not in the list of floors'))
            continue
        for line in open(path, encoding='utf-8'):
            include = re.match(r'#include "([a-z_]+)/', line)
            if include and include.group(1) in FLOORS and \
                    FLOORS.index(include.group(1)) > FLOORS.index(floor):
                bad.append((os.path.relpath(path, ROOT), line.strip()))
    return bad


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--folder', default='src/search')
    parser.add_argument('--check', action='store_true')
    args = parser.parse_args()
    src = sum(code_lines(p) for p in sources('src'))
    tests = sum(code_lines(p) for p in sources('tests'))
    share = tests / (src + tests)
    print('code lines: src %d, tests %d; tests are %.1f%% of the code' % (src, tests, 100 * share))
    longest = sorted(((n, name, os.path.relpath(p, ROOT)) for p in sources(args.folder)
                      if p.endswith('.cpp') for name, n in functions(p)), reverse=True)
    print('longest functions of %s:' % args.folder)
    for n, name, path in longest[:5]:
        print('  %4d lines  %s (%s)' % (n, name, path))
    members = sorted(((n, name, os.path.relpath(p, ROOT)) for p in sources(args.folder)
                      if p.endswith('.hpp') for name, n in data_members(p)), reverse=True)
    print('most data members in %s:' % args.folder)
    for n, name, path in members[:5]:
        print('  %4d  %s (%s)' % (n, name, path))
    upward = upward_includes()
    print('upward includes: %d' % len(upward))
    for path, line in upward:
        print('  %s: %s' % (path, line))
    failed = share > 1 / 3 or (longest and longest[0][0] >= 80) or \
        (members and members[0][0] > 20) or upward
    return 1 if args.check and failed else 0


if __name__ == '__main__':
    sys.exit(main())
