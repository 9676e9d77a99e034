#!/usr/bin/env bash
# A long campaign: one harness at a time at nice 19, until each has run the given number of
# executions in total over all its runs (<build dir>/campaign/executed.txt keeps the count, so an
# interrupted campaign goes on where it stopped). A run that ends on a timeout is logged, its input
# is timed again alone (a harness at nice 19 can be kept off the processor for a second) and the
# campaign goes on; any other finding stops the harness. Logs and corpus stay in the campaign
# directory; fuzz/run_fuzzers.sh must have run once to lay down the seeds.
#   fuzz/run_campaign.sh <build dir> <executions per harness> <harness> ...
set -u
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(cd "$1" && pwd)"
target="$2"
shift 2
here="$build_dir/campaign"
mkdir -p "$here/artifacts"
touch "$here/executed.txt"
cd "$here"
commit="$(git -C "$source_dir" rev-parse --short HEAD 2>/dev/null || echo unknown)"
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for h in "$@"; do
  mkdir -p "corpus/$h"
  [ -n "$(ls "corpus/$h")" ] || cp "$build_dir/fuzz-corpus/$h"/* "corpus/$h/"
  while :; do
    done_so_far=$(awk -v h="$h" '$1 == h { n += $2 } END { print n + 0 }' executed.txt)
    [ "$done_so_far" -lt "$target" ] || break
    run=$(($(ls logs-"$h"-*.txt 2>/dev/null | wc -l) + 1))
    log="$here/logs-$h-$run.txt"
    echo "=== $h run $run $(date -u) commit $commit, $done_so_far done" >>campaign.log
    nice -n 19 "$build_dir/fuzz/${h}_fuzzer" -runs=$((target - done_so_far)) -timeout=1 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$here/artifacts/$h-" \
      "$here/corpus/$h" >"$log" 2>&1
    rc=$?
    executed=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log" | tail -1)
    echo "$h ${executed:-0}" >>executed.txt
    echo "rc=$rc $(date -u) executed=${executed:-0} corpus=$(ls "corpus/$h" | wc -l)" >>campaign.log
    [ "$rc" -eq 0 ] && continue
    artifact=$(grep -o "Test unit written to .*" "$log" | sed 's/Test unit written to //' | tail -1)
    echo "finding: $(grep -m1 -E 'ERROR: libFuzzer|ERROR: AddressSanitizer|runtime error|ERROR: LeakSanitizer' "$log") $artifact" >>campaign.log
    if [ "$rc" -eq 70 ] && [ -n "$artifact" ]; then
      echo "timed alone: $("$build_dir/fuzz/${h}_fuzzer" "$artifact" 2>&1 | grep -o 'Executed .* in [0-9]* ms')" >>campaign.log
      continue
    fi
    break
  done
done
echo "campaign over $(date -u)" >>campaign.log
