#!/usr/bin/env bash
# Wall time of `kbcfg user assign` of 64 encoders whose login takes 200 ms and every other call
# 50 ms, with 1 job and with 8, against the simulated installation; then the same with
# unreachable devices (300 ms timeout) and refused passwords among them. Each pair of files must
# be byte-identical.
#   bench/assign_parallel.sh [KBCFG] [JOBS]     (default build/bin/kbcfg, 8)
set -euo pipefail
KBCFG=$(readlink -f "${1:-build/bin/kbcfg}")
JOBS=${2:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset KBCFG_PASSWORD

installation() {  # installation FAULTY > FILE: 64 encoders, every 8th unreachable or refusing
    local faulty=$1 sep="" i extra
    printf '{"loginMs": 200, "latencyMs": 50, "timeoutMs": 300,\n'
    printf ' "keyboards": [{"address": "198.51.100.2", "password": "12345", "latencyMs": 0}],\n "devices": ['
    for i in $(seq 1 64); do
        extra=""
        if [ "$faulty" = 1 ] && [ $((i % 8)) = 3 ]; then extra=', "reachable": false'; fi
        if [ "$faulty" = 1 ] && [ $((i % 8)) = 6 ]; then extra=', "storedPassword": "old"'; fi
        printf '%s\n  {"address": "203.0.113.%d", "type": 75, "analogChannels": 4, "ipChannels": [0, 5]%s}' \
            "$sep" "$i" "$extra"
        sep=","
    done
    printf '\n]}\n'
}

slots=()
for s in $(seq 0 63); do slots+=(--slot "$s"); done

run() {  # run JOBS FILE: prints the wall time in seconds
    local jobs=$1 file=$2 start end
    cp base.bin "$file"
    start=$(date +%s.%N)
    "$KBCFG" user assign -f "$file" -u admin -p "" --no-backup --record 1 --jobs "$jobs" \
        "${slots[@]}" >"$file.out" 2>"$file.err" || true
    end=$(date +%s.%N)
    grep -q "^assigned" "$file.out" || { echo "assign failed:" >&2; cat "$file.out" "$file.err" >&2; exit 1; }
    echo "$end - $start" | bc
}

for faulty in 0 1; do
    installation "$faulty" > "site$faulty.json"
    export VYXSIM_INSTALLATION="$work/site$faulty.json"
    rm -f base.bin
    "$KBCFG" keyboard export --ip 198.51.100.2 -p 12345 --output base.bin >/dev/null
    "$KBCFG" user add -f base.bin -u admin -p "" --no-backup --name op --password pw >/dev/null
    one=$(run 1 one.bin)
    many=$(run "$JOBS" many.bin)
    cmp one.bin many.bin || { echo "files differ" >&2; exit 1; }
    printf '%-28s 1 job %6.2f s   %d jobs %6.2f s   %.1fx   files identical   (%s)\n' \
        "$([ "$faulty" = 1 ] && echo "64 encoders, 16 failing:" || echo "64 encoders:")" \
        "$one" "$JOBS" "$many" "$(echo "$one / $many" | bc -l)" "$(grep '^assigned' many.bin.out)"
done
