#!/usr/bin/env bash
# 200 cards with the default photo: tessivanev-render --csv against the same
# composition in Pillow (bench/pillow_cards.py), each as one process, timed
# in the same run. Prints the median of three runs of each (wall and CPU
# time) and the ratios.
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

# CPU seconds (user + system) of a command, from GNU time.
cpu() { /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null && awk '{ printf "%d", ($1 + $2) * 1e6 }' "$work/cpu"; }

render_runs=() pillow_runs=() render_cpu=() pillow_cpu=()
for run in 1 2 3; do
  rm -rf "$work/render" "$work/pillow"
  t0=$(now)
  render_cpu+=($(cpu "$render" --csv "$work/cards.csv" --out-dir "$work/render"))
  t1=$(now)
  pillow_cpu+=($(cpu /usr/bin/python3 "$root/bench/pillow_cards.py" --count "$count" --out-dir "$work/pillow"))
  t2=$(now)
  render_runs+=($(((t1 - t0) / 1000)))
  pillow_runs+=($(((t2 - t1) / 1000)))
done
r=$(median "${render_runs[@]}")
p=$(median "${pillow_runs[@]}")
rc=$(median "${render_cpu[@]}")
pc=$(median "${pillow_cpu[@]}")
[ "$(ls "$work/render" | wc -l)" -eq "$count" ] || { echo "tessivanev-render did not write $count cards" >&2; exit 1; }
awk -v r="$r" -v p="$p" -v rc="$rc" -v pc="$pc" -v n="$count" 'BEGIN {
  printf "tessivanev-render: %d cards in %.3f s wall, %.3f s CPU (%.2f ms per card wall)\n", n, r / 1e6, rc / 1e6, r / 1e3 / n
  printf "Pillow:            %d cards in %.3f s wall, %.3f s CPU (%.2f ms per card wall)\n", n, p / 1e6, pc / 1e6, p / 1e3 / n
  printf "ratio per card (median of 3, whole processes): %.1f x by wall time, %.1f x by CPU time\n", p / r, pc / rc
}'
