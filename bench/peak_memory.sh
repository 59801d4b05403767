#!/usr/bin/env bash
# Peak memory and wall time of quarvel-cli runs on the long Mackey-Glass series
# (38000 training values, 1719 validation values, 119 of them overlapping),
# as /usr/bin/time -v reports them: one population of 1000 for 12
# generations and four populations of 1000 for 6; with --long also four
# populations for 50 generations. Give one or more quarvel-cli programs to
# compare them run by run; the runs go one at a time.
# usage: bench/peak_memory.sh [--long] QUARVEL_CLI...
set -euo pipefail
cd "$(dirname "$0")/.."
long=0
if [[ ${1:-} == --long ]]; then
  long=1
  shift
fi
if (($# == 0)); then
  echo "usage: $0 [--long] QUARVEL_CLI..." >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/mackey_glass.py "$work"
runs=("--populations 1 --generations 12" "--populations 4 --generations 6")
if ((long)); then runs+=("--populations 4 --generations 50"); fi

printf '%-34s %-50s %9s %8s %7s\n' run program "peak MB" "wall s" status
for run in "${runs[@]}"; do
  for cli in "$@"; do
    status=0
    # shellcheck disable=SC2086 # the run's options are separate words
    /usr/bin/time -v -o "$work/time.txt" "$cli" --training "$work/mackey-glass-long-training.txt" \
      --validation "$work/mackey-glass-long-validation.txt" $run --quiet \
      --output "$work/out" >/dev/null 2>"$work/err.txt" || status=$?
    peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    # h:mm:ss or m:ss.ss
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, part, ":"); s = 0
      for (i = 1; i <= n; ++i) s = s * 60 + part[i]
      printf "%.2f", s }' "$work/time.txt")
    printf '%-34s %-50s %9.0f %8s %7s\n' "$run" "$cli" "$((peak_kb / 1024))" "$wall" "$status"
  done
done
