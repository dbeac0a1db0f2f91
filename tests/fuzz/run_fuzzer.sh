#!/usr/bin/env bash
# Runs a fuzz target for a bounded time: new inputs go to a scratch folder, the
# checked-in corpus is only read. A finding makes the test fail.
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=1280 -print_final_stats=1 \
  "$scratch" "$corpus"
