#!/usr/bin/env bash
# Wall time of one `kbcfg user assign` of 320 encoders to one operator, against the simulated
# installation, with 64 input channels per encoder (a full channel table of 20,480 entries) and
# with one. Both runs save the file once per device; what differs is the channel work.
#   bench/assign_timing.sh [KBCFG] [RUNS]     (default build/bin/kbcfg, 3 runs each; best kept)
set -euo pipefail
KBCFG=$(readlink -f "${1:-build/bin/kbcfg}")
RUNS=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset KBCFG_PASSWORD

# 320 encoders (type 75) at 203.0.113.1-254 and 198.51.100.101-166; the keyboard at .2.
installation() {  # installation CHANNELS > FILE
    local channels=$1 sep="" i
    printf '{"keyboards": [{"address": "198.51.100.2", "password": "12345"}],\n "devices": ['
    for i in $(seq 1 254) $(seq 1001 1066); do
        if [ "$i" -gt 1000 ]; then addr="198.51.100.$((i - 900))"; else addr="203.0.113.$i"; fi
        printf '%s\n  {"address": "%s", "type": 75, "analogChannels": %d}' "$sep" "$addr" "$channels"
        sep=","
    done
    printf '\n]}\n'
}

slots=()
for s in $(seq 0 319); do slots+=(--slot "$s"); done

time_assign() {  # time_assign CHANNELS: prints the best wall time in seconds
    local channels=$1 best="" run start end t
    installation "$channels" > "site$channels.json"
    export VYXSIM_INSTALLATION="$work/site$channels.json"
    for run in $(seq 1 "$RUNS"); do
        rm -f kb.bin kb.bin.*
        "$KBCFG" keyboard export --ip 198.51.100.2 -p 12345 --output kb.bin >/dev/null
        "$KBCFG" user add -f kb.bin -u admin -p "" --name op --password pw >/dev/null
        start=$(date +%s.%N)
        "$KBCFG" user assign -f kb.bin -u admin -p "" --record 1 "${slots[@]}" >out.txt 2>err.txt
        end=$(date +%s.%N)
        want="$(echo $((320 * channels)) | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta') channel"
        if ! grep -q "Success: 320" out.txt || ! LC_ALL=C grep -q "devices: $want" out.txt; then
            echo "assign failed:" >&2; cat out.txt err.txt >&2; exit 1
        fi
        t=$(echo "$end - $start" | bc)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

one=$(time_assign 1)
full=$(time_assign 64)
printf 'user assign, 320 encoders:  1 channel each %.2f s   64 channels each %.2f s   ratio %.2f\n' \
    "$one" "$full" "$(echo "$full / $one" | bc -l)"
