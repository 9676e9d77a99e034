#!/usr/bin/env bash
# Runs the worked example SPINS33E (the 33E polysaccharide scored against its spin systems with
# the automatic referencing offset, report included) in a fresh copy of the reference data, and
# prints the best structures and where the result file and the report are.
#
#   tools/run-example.sh                        build/glycomb on data/, in the folder run/
#   tools/run-example.sh PROGRAM DATA WORKDIR   another program and data; WORKDIR must not exist
#
# Exits with 1, printing no path, when the search wrote no result file or no report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
task=SPINS33E

case $# in
  0)
    program=$root/build/glycomb data=$root/data work=$root/run
    rm -rf "$work"
    ;;
  3)
    program=$(realpath "$1") data=$2 work=$3
    if [ -e "$work" ]; then echo "$work exists already" >&2; exit 1; fi
    ;;
  *) echo "usage: $0 [PROGRAM DATA WORKDIR]" >&2; exit 2 ;;
esac
if [ ! -x "$program" ]; then echo "No program at $program: build it first." >&2; exit 1; fi

cp -r "$data" "$work"
cd "$work"
# The program reads its data from the current directory; the end of input answers its final
# "press any key".
"$program" "$task" </dev/null
# A failed step ends the program with exit code 0 as well: the files tell whether it succeeded.
for file in "$task.RES" "$task.HTML"; do
  if [ ! -f "$file" ]; then echo "The example wrote no $file: see the messages above." >&2; exit 1; fi
done

echo
echo "The best structures of $task.RES:"
grep -m 5 '^ *[0-9][0-9]*: ' "$task.RES" | tr -d '\r'
echo
echo "Result file: $PWD/$task.RES"
echo "Report: $PWD/$task.HTML (open it in a browser)"
