#!/usr/bin/env bash
# scripts/bench-agreement on made-up runs: each row below is one operation's three runs, and the
# verdict the table must give it.
set -euo pipefail
judge=${1:?usage: bench_agreement_test.sh PATH/TO/bench-agreement}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# name | median ns in each run | ratio in each run | instructions in each run ("-": not counted,
# "x": missing from that run's file) | verdict
cases='
long_steady              | 5e6 5e6 5e6   | 10 10.5 10.2  | -              | ok
long_wanders             | 5e6 5e6 5e6   | 10 11.5 10    | -              | DISAGREE
long_wanders_same_work   | 5e6 5e6 5e6   | 10 11.5 10    | 1000 1009 1000 | same work
long_wanders_other_work  | 5e6 5e6 5e6   | 10 11.5 10    | 1000 1050 1000 | DISAGREE
long_counted_in_two_runs | 5e6 5e6 5e6   | 10 11.5 10    | 1000 1000 x    | DISAGREE
long_counted_negative    | 5e6 5e6 5e6   | 10 11.5 10    | -5 -5 -5       | DISAGREE
short_within_a_quarter   | 5e5 5e5 5e5   | 1 1.2 1       | -              | ok
short_beyond_a_quarter   | 5e5 5e5 5e5   | 1 1.3 1       | -              | DISAGREE
short_in_one_run         | 2e6 9e5 2e6   | 1 1.2 1       | -              | ok
'

fields() { tr '|' '\n' <<<"$1" | sed -n "${2}p" | xargs; }
rows() { grep -v '^ *$' <<<"$cases"; }

# Run $2's JSON of the rows whose verdict matches $1, and its instruction counts, into $3.json
# and $3.txt.
write_run() {
  local keep=$1 run=$2 out=$3 row name ns ratio counts count
  echo "[" >"$out.json"
  : >"$out.txt"
  while IFS= read -r row; do
    [[ "$(fields "$row" 5)" =~ $keep ]] || continue
    name=$(fields "$row" 1)
    ns=$(fields "$row" 2 | cut -d' ' -f"$run")
    ratio=$(fields "$row" 3 | cut -d' ' -f"$run")
    printf '  {"name": "%s", "median_ns": %s, "ratio": %s, "cpu_ratio": %s},\n' "$name" \
      "$(awk -v v="$ns" 'BEGIN { printf "%.1f", v }')" "$ratio" "$ratio" >>"$out.json"
    counts=$(fields "$row" 4)
    [[ "$counts" != - ]] || continue
    count=$(cut -d' ' -f"$run" <<<"$counts")
    [[ "$count" == x ]] || echo "$name $count" >>"$out.txt"
  done < <(rows)
  echo "]" >>"$out.json"
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Every row: each gets its verdict, and the whole fails.
for run in 1 2 3; do write_run . "$run" "$dir/all-$run"; done
status=0
"$judge" "$dir"/all-{1,2,3}.json "$dir"/all-{1,2,3}.txt >"$dir/table" || status=$?
while IFS= read -r row; do
  name=$(fields "$row" 1)
  want=$(fields "$row" 5)
  got=$(awk -v n="$name" '$1 == n { v = $NF; if ($(NF - 1) == "same") v = "same work"; print v }' "$dir/table")
  [[ "$got" == "$want" ]] || fail "$name: want '$want', got '$got'"
done < <(rows)
(( status == 1 )) || fail "exit status $status where rows disagree, want 1"

# Only the rows that agree: the whole passes.
for run in 1 2 3; do write_run '^(ok|same work)$' "$run" "$dir/agreeing-$run"; done
"$judge" "$dir"/agreeing-{1,2,3}.json "$dir"/agreeing-{1,2,3}.txt >"$dir/table2" ||
  fail "exit status non-zero where every row agrees"

(( failures == 0 )) || { cat "$dir/table" "$dir/table2"; exit 1; }
echo "bench-agreement: all verdicts as expected"
