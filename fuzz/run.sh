#!/usr/bin/env bash
# Runs every fuzz target built in BUILD for about SECONDS in all: JOBS targets at a time, each for
# its share, then prints each target's executions per second and any failure.
# Usage: fuzz/run.sh BUILD SECONDS JOBS
set -uo pipefail

build=$1 seconds=$2 jobs=$3
bin=$build/bin

# name|max_len|extra options|corpus folders (the first one receives what is found)
# The text readers' limits are a bound on work and memory per input byte: a unit of them takes a
# few milliseconds, so -timeout=2 fails a path that grows with the square of the input's length
# well before max_len, and an input of max_len that holds more than -rss_limit_mb is kept as a
# finding. Their made seeds (the text form of every layout, the demo installation) are in
# $build/text-seeds.
text_limits="-timeout=2 -rss_limit_mb=1024"
targets=(
    "load|1800000|-rss_limit_mb=4096|$build/corpus fuzz/corpus"
    "patch|4096||$build/patch-corpus fuzz/patch_corpus"
    "text_form|16384|$text_limits -dict=fuzz/text_form.dict|$build/text_form-corpus fuzz/text_form_corpus $build/text-seeds/text_form"
    "inventory|16384|$text_limits|$build/inventory-corpus fuzz/inventory_corpus"
    "passwords|8192|$text_limits|$build/passwords-corpus fuzz/passwords_corpus"
    "csv|16384|$text_limits|$build/csv-corpus fuzz/csv_corpus"
    "installation|16384|$text_limits|$build/installation-corpus fuzz/installation_corpus $build/text-seeds/installation"
)
for target in "$bin"/kbcfg_convert_*_fuzz; do
    layout=${target#"$bin"/kbcfg_convert_}
    layout=${layout%_fuzz}
    targets+=("convert_$layout|512||$build/convert-corpus/$layout fuzz/convert_corpus/$layout")
done

rounds=$(((${#targets[@]} + jobs - 1) / jobs))
each=$((seconds / rounds))
[ "$each" -ge 1 ] || each=1

run() {
    local name=$1 maxlen=$2 extra=$3 corpora=$4
    mkdir -p ${corpora%% *}
    # shellcheck disable=SC2086
    "$bin/kbcfg_${name}_fuzz" -max_total_time="$each" -max_len="$maxlen" $extra \
        -print_final_stats=1 -artifact_prefix="$build/$name-" $corpora >"$build/$name-fuzz.log" 2>&1
}

running=0
for t in "${targets[@]}"; do
    IFS='|' read -r name maxlen extra corpora <<<"$t"
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    run "$name" "$maxlen" "$extra" "$corpora" &
    running=$((running + 1))
done
wait

status=0
printf '%-20s %10s %8s\n' target inputs exec/s
for t in "${targets[@]}"; do
    IFS='|' read -r name _ <<<"$t"
    log=$build/$name-fuzz.log
    units=$(grep -h 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    rate=$(grep -h 'stat::average_exec_per_sec' "$log" | awk '{print $2}')
    printf '%-20s %10s %8s\n' "$name" "${units:-?}" "${rate:-?}"
    if grep -q -E 'ERROR|SUMMARY|runtime error' "$log" || [ -z "$units" ]; then
        grep -h -E 'ERROR|SUMMARY|runtime error' "$log"
        status=1
    fi
done
exit $status
