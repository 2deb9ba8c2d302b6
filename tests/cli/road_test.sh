#!/usr/bin/env bash
# The road of a typical change on the command line, against the simulated installation: export
# from a keyboard and log in, add devices, add an operator, assign devices (a wrong password and
# an unreachable one among them), edit channel indexes singly and in a batch, write the report,
# import the file into the keyboard and check what the keyboard then holds.
set -euo pipefail
KBCFG=$(readlink -f "${1:?usage: road_test.sh KBCFG}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset VYXSIM_INSTALLATION KBCFG_PASSWORD
export KBCFG_LANG=en  # the texts matched below are the English ones
step() { echo "== $*"; }
expect() {  # expect STATUS command...: the command must end with STATUS
    local want=$1; shift
    set +e; "$@" >out.txt 2>err.txt; local got=$?; set -e
    if [ "$got" != "$want" ]; then
        echo "FAILED (status $got, wanted $want): $*"; cat out.txt err.txt; exit 1
    fi
}
has() { grep -qF -- "$1" "$2" || { echo "FAILED: '$1' not in $2"; cat "$2"; exit 1; }; }
A=(-f kb.bin -u admin -p "")

step export and log in
expect 0 "$KBCFG" keyboard export --ip 198.51.100.2 -p 12345 --output kb.bin --login -u admin --user-password ""
has "logged in as admin" out.txt
expect 1 "$KBCFG" keyboard export --ip 198.51.100.2 -p wrong --output other.bin
has "Login keyboard failed!" err.txt

step add devices
expect 0 "$KBCFG" device add "${A[@]}" --ip 203.0.113.50 --password 12345
expect 0 "$KBCFG" device add-range "${A[@]}" --start 203.0.113.60 --end 203.0.113.62
expect 0 "$KBCFG" device list "${A[@]}" --json
has '"203.0.113.62"' out.txt

step add an operator
expect 0 "$KBCFG" user add "${A[@]}" --name night --password pw1
has "Add user successfully!" out.txt
record=$(grep -o '"record": [0-9]' <("$KBCFG" user list "${A[@]}" --json) | head -1 | grep -o '[0-9]$')

step assign devices
slots=()
for ip in 198.51.100.20 198.51.100.30 198.51.100.50 198.51.100.51; do
    slots+=(--slot "$("$KBCFG" device list "${A[@]}" --json | tr -d ' \n' |
        grep -o "\"slot\":[0-9]*,\"ip\":\"$ip\"" | grep -o '^"slot":[0-9]*' | grep -o '[0-9]*$')")
done
expect 1 "$KBCFG" user assign "${A[@]}" --record "$record" "${slots[@]}"  # two devices fail
has "Success: 2" out.txt
has "Error Connect: 1" out.txt
has "Error Password: 1" out.txt

step edit channel indexes
expect 0 "$KBCFG" channel list "${A[@]}" --user night --kind input --json
first=$(tr -d ' \n' < out.txt | grep -o '"position":[0-9]*' | head -1 | grep -o '[0-9]*$')
expect 0 "$KBCFG" channel set-index "${A[@]}" --user night --kind input --position "$first" --index 00000500
for bad in "" 0 12a -5; do
    expect 1 "$KBCFG" channel set-index "${A[@]}" --user night --kind input --position "$first" --index "$bad"
    has "The new index of channel ranges from 1 to 99999999!" err.txt
done
expect 0 "$KBCFG" channel list "${A[@]}" --user night --kind output --json
out_first=$(tr -d ' \n' < out.txt | grep -o '"position":[0-9]*' | head -1 | grep -o '[0-9]*$')
expect 0 "$KBCFG" channel renumber "${A[@]}" --user night --kind output --from "$out_first" --index 700
expect 0 "$KBCFG" channel list "${A[@]}" --user night --kind output --json
has '"index": 700' out.txt
expect 1 "$KBCFG" channel delete "${A[@]}" --user night --kind input --position 20000

step write the report
expect 0 "$KBCFG" channel report "${A[@]}" --user night
has "night.txt" out.txt
grep -q "User night's input channels' information" night.txt

step import into the keyboard and check what it holds
expect 0 "$KBCFG" keyboard import --ip 198.51.100.2 -p 12345 --file kb.bin
has "Import config file successfully!" out.txt

step upgrade
head -c 4096 /dev/zero > fw.dav
expect 0 "$KBCFG" keyboard upgrade --ip 198.51.100.2 -p 12345 --file fw.dav
has "Update Keyboard successfully!" out.txt
head -c 1023 /dev/zero > small.hex
expect 1 "$KBCFG" keyboard upgrade --ip 198.51.100.2 -p 12345 --file small.hex --panel
has "Panel update file is illegal(1-100K)!" err.txt

step discover devices on the network
expect 0 "$KBCFG" discover --seconds 1 --json
has '"ip"' out.txt

step take the last change back
expect 0 "$KBCFG" backups kb.bin
last=$(head -1 out.txt)
cmp -s "$last" kb.bin && { echo "FAILED: the newest backup is the current file"; exit 1; }
cp kb.bin before-restore.bin
expect 0 "$KBCFG" restore kb.bin "$last"
cmp kb.bin "$last"
expect 0 "$KBCFG" backups kb.bin
cmp "$(head -1 out.txt)" before-restore.bin

step shell completion
expect 0 "$KBCFG" completion bash
bash -n out.txt

[ ! -e tem.bin ] || { echo "FAILED: tem.bin left behind"; exit 1; }
echo "1 passed, 0 failed"
