#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SECONDS WORKDIR SEEDS: fuzzes for SECONDS, starting
# from the seeds; new inputs go to WORKDIR, never into the repository, and so
# does any failing input (WORKDIR/crash-*), to be kept in regressions/.
set -euo pipefail
fuzzer=$1 seconds=$2 work=$3 seeds=$4
mkdir -p "$work/corpus"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds"
