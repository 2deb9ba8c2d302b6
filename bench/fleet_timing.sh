#!/usr/bin/env bash
# Wall time of `kbcfg fleet plan` and `kbcfg fleet backup` over 40 simulated keyboards whose
# every library call takes 300 ms, with 1 job and with 8; prints each time and the speed-up.
#   bench/fleet_timing.sh [KBCFG]     (default build/bin/kbcfg)
set -euo pipefail
KBCFG=$(readlink -f "${1:-build/bin/kbcfg}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset KBCFG_PASSWORD

sep=""
printf '{"latencyMs": 300, "keyboards": [' > site.json
for i in $(seq 1 40); do
    printf '%s{"address": "198.51.100.%d"}' "$sep" "$((i + 10))" >> site.json
    printf 'kb%d,198.51.100.%d\n' "$i" "$((i + 10))" >> site.csv
    sep=","
done
printf ']}\n' >> site.json
export VYXSIM_INSTALLATION="$work/site.json" VYXSIM_STATE="$work/state"

seconds() {  # seconds COMMAND...: the wall time of one run
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || [ $? -eq 2 ]
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

"$KBCFG" fleet backup --inventory site.csv --repo repo --jobs 8 >/dev/null
for task in plan backup; do
    where=--desired
    [ "$task" = backup ] && where=--repo
    one=$(seconds "$KBCFG" fleet "$task" --inventory site.csv "$where" repo --jobs 1)
    eight=$(seconds "$KBCFG" fleet "$task" --inventory site.csv "$where" repo --jobs 8)
    printf 'fleet %-6s 40 keyboards at 300 ms a call: 1 job %6.1f s, 8 jobs %5.1f s, %.1fx\n' \
        "$task" "$one" "$eight" "$(awk -v a="$one" -v b="$eight" 'BEGIN { print a / b }')"
done
