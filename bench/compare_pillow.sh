#!/usr/bin/env bash
# 200 cards with the default photo: tessivanev-render --csv against the same
# composition in Pillow (bench/pillow_cards.py), each as one process, timed
# in the same run. Prints the median of three runs of each and the ratio.
#
#   bench/compare_pillow.sh [build-dir]      (default: build/perf)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/perf}
render=$build/tools/render/tessivanev-render
count=200
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same cards the Pillow script makes: names 张三0…, sexes and templates in turn.
sexes=(男 女 保密)
{
  echo "name,sex,age,template,date,file"
  for ((i = 0; i < count; i++)); do
    printf '张三%d,%s,%d,%d,2025-01-09,card-%04d.bmp\n' "$i" "${sexes[i % 3]}" $((20 + i % 50)) $((i % 4 + 1)) $((i + 1))
  done
} >"$work/cards.csv"

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }

render_runs=() pillow_runs=()
for run in 1 2 3; do
  rm -rf "$work/render" "$work/pillow"
  t0=$(now)
  "$render" --csv "$work/cards.csv" --out-dir "$work/render" >/dev/null
  t1=$(now)
  /usr/bin/python3 "$root/bench/pillow_cards.py" --count "$count" --out-dir "$work/pillow" >/dev/null
  t2=$(now)
  render_runs+=($(((t1 - t0) / 1000)))
  pillow_runs+=($(((t2 - t1) / 1000)))
done
r=$(median "${render_runs[@]}")
p=$(median "${pillow_runs[@]}")
[ "$(ls "$work/render" | wc -l)" -eq "$count" ] || { echo "tessivanev-render did not write $count cards" >&2; exit 1; }
awk -v r="$r" -v p="$p" -v n="$count" 'BEGIN {
  printf "tessivanev-render: %d cards in %.3f s (%.3f ms per card, whole process)\n", n, r / 1e6, r / 1e3 / n
  printf "Pillow:            %d cards in %.3f s (%.3f ms per card, whole process)\n", n, p / 1e6, p / 1e3 / n
  printf "ratio: tessivanev-render is %.1f x faster per card\n", p / r
}'
