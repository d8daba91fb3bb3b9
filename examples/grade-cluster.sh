#!/usr/bin/env bash
# grade-cluster.sh: grades a cohort on several machines at once with GNU parallel.
#
#   grade-cluster.sh [-S LOGINS] [-n SIZE] [-o FILE] [-d DIR] [-g PROGRAM] [--] \
#                    [sudz-grade options] CONTROLLER...
#
# The controllers are cut into shares, one per machine unless -n gives the size of a share;
# GNU parallel sends each share to a free machine of LOGINS (its --sshlogin list, e.g.
# "lab01,lab02,lab03"; ":" is this machine), where sudz-grade grades it with as many runs at
# once as the machine has cores and writes its CSV. The CSVs are then joined, in the order the
# controllers were given, into FILE (default grades.csv); each share's table and files stay in
# DIR/share-N (default grades).
#
# The machines see the same files at the same paths (a shared home, as lab machines usually
# have): the controllers, DIR and PROGRAM (default: sudz-grade on the PATH). Each needs sudz
# installed and may be reached by ssh without a password.
#
# Example, three lab machines over the night:
#   grade-cluster.sh -S lab01,lab02,lab03 -o marks.csv -- --minutes 2 submissions/*/controller
set -euo pipefail

logins=":"
size=""
csv="grades.csv"
out="grades"
grade="sudz-grade"
usage() { sed -n '2,20s/^# \{0,1\}//p' "$0"; }
while getopts "S:n:o:d:g:h" opt; do
  case $opt in
    S) logins=$OPTARG ;;
    n) size=$OPTARG ;;
    o) csv=$OPTARG ;;
    d) out=$OPTARG ;;
    g) grade=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 1 ;;
  esac
done
shift $((OPTIND - 1))
[ "${1:-}" != "--" ] || shift
command -v parallel >/dev/null || { echo "grade-cluster.sh: GNU parallel is missing" >&2; exit 1; }

# sudz-grade's own options come first, then the controllers (each one argument).
options=()
while [ $# -gt 0 ] && [[ "$1" == -* ]]; do
  case "$1" in
    --help|-h) options+=("$1"); shift ;;
    --jobs|--out|--csv|--json) echo "grade-cluster.sh: $1 is chosen per machine" >&2; exit 1 ;;
    *) [ $# -ge 2 ] || { echo "grade-cluster.sh: missing value after $1" >&2; exit 1; }
       options+=("$1" "$2"); shift 2 ;;
  esac
done
[ $# -gt 0 ] || { usage >&2; echo "grade-cluster.sh: no controller" >&2; exit 1; }

# Paths as every machine sees them: absolute.
absolute() { [ -e "$1" ] && echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" || echo "$1"; }
controllers=()
for c in "$@"; do
  read -r first rest <<<"$c"
  controllers+=("$(absolute "$first")${rest:+ $rest}")
done
for k in "${!options[@]}"; do
  case "${options[$k]}" in --scenario|--rules|--dir) options[$((k + 1))]=$(absolute "${options[$((k + 1))]}") ;; esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
[[ "$grade" == */* ]] && grade=$(absolute "$grade")

machines=$(tr ',' '\n' <<<"$logins" | grep -c .)
[ -n "$size" ] || size=$(( (${#controllers[@]} + machines - 1) / machines ))
rm -f "$out"/share-*.csv

# One share per job, one job at a time on each machine; sudz-grade runs several at once itself.
status=0
printf '%s\0' "${controllers[@]}" |
  parallel -0 --sshlogin "$logins" --jobs 1 -N "$size" --keep-order -q \
    "$grade" "${options[@]}" --out "$out/share-{#}" --csv "$out/share-{#}.csv" -- {} || status=$?

# The shares' CSVs in order, under one header line.
shares=$(( (${#controllers[@]} + size - 1) / size ))
tmp=$(mktemp "$csv.XXXXXX")
missing=()
for n in $(seq 1 "$shares"); do
  f="$out/share-$n.csv"
  if [ ! -s "$f" ]; then missing+=("$n"); continue; fi
  if [ -s "$tmp" ]; then tail -n +2 "$f" >>"$tmp"; else cat "$f" >"$tmp"; fi
done
mv "$tmp" "$csv"
if [ ${#missing[@]} -gt 0 ]; then
  echo "grade-cluster.sh: share(s) ${missing[*]} not graded (parallel status $status)" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  # sudz-grade wrote every share, but some run could not be graded: its row says why.
  echo "grade-cluster.sh: some runs could not be graded (parallel status $status); see $csv" >&2
  exit 1
fi
echo "grade-cluster.sh: ${#controllers[@]} controllers in $shares share(s) joined into $csv" >&2
