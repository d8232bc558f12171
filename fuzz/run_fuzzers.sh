#!/usr/bin/env bash
# Runs each picture-loading fuzz target on the seed corpus (fuzz/corpus) and
# on every kept finding (tests/data/pictures/crashes), then mutates from there.
#
#   fuzz/run_fuzzers.sh BUILD_DIR [RUNS] [SECONDS]
#
# BUILD_DIR holds fuzz/load_bytes_fuzzer and fuzz/load_path_fuzzer (a build
# configured with -DTESSIVANEV_SANITIZE=ON -DTESSIVANEV_FUZZ=ON and clang).
# Each target stops after RUNS inputs (default 20000) or SECONDS (default 60),
# whichever comes first. New corpus entries go to a scratch folder, never into
# the repository. Any sanitizer report, crash, leak, time-out or allocation
# over the limits fails the script; the input is left in BUILD_DIR/fuzz-findings/
# and belongs in tests/data/pictures/crashes/ once it is fixed.
set -euo pipefail

build=$(cd "$1" && pwd)
runs=${2:-20000}
seconds=${3:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
findings="$build/fuzz-findings"
mkdir -p "$findings"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions="$root/fuzz/lsan.supp"

seeds=("$root/fuzz/corpus")
[ -d "$root/tests/data/pictures/crashes" ] && seeds+=("$root/tests/data/pictures/crashes")

status=0
for target in load_bytes_fuzzer load_path_fuzzer; do
  scratch=$(mktemp -d)
  echo "== $target: $runs runs or ${seconds}s"
  # -timeout: one input may take at most 20 s (the largest picture allowed,
  # drawn under the sanitizers); -malloc_limit_mb: no single allocation may
  # reach 600 MB, well above the 400 MiB pixel budget.
  log="$findings/$target.log"
  if "$build/fuzz/$target" "$scratch" "${seeds[@]}" \
      -dict="$root/fuzz/pictures.dict" -runs="$runs" -max_total_time="$seconds" -max_len=8192 \
      -timeout=20 -rss_limit_mb=4096 -malloc_limit_mb=600 -print_final_stats=1 \
      -artifact_prefix="$findings/$target-" >"$log" 2>&1; then
    grep -E '^(INFO: seed corpus|#[0-9]+\s+(INITED|DONE)|stat::)' "$log" || true
  else
    tail -n 60 "$log" >&2
    echo "!! $target found a fault; the input is in $findings, the whole log in $log" >&2
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
