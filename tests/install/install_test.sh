#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and runs the installed tools from there: a tree
# that does not live at its prefix, so the device libraries must be found relative to the
# executables. Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unset KBCFG_LIBDIR VYXSIM_INSTALLATION
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$tmp/root/usr"

gui=0
[ -x "$build/bin/kbcfg-gui" ] && gui=1
for f in bin/kbcfg lib/kbcfg/libVyxNetSDK.so lib/kbcfg/libVorp.so \
    share/applications/org.kbcfg.Kbcfg.desktop share/metainfo/org.kbcfg.Kbcfg.metainfo.xml \
    share/mime/packages/kbcfg.xml share/icons/hicolor/scalable/apps/kbcfg.svg \
    share/icons/hicolor/48x48/apps/kbcfg.png share/icons/hicolor/256x256/apps/kbcfg.png \
    share/man/man1/kbcfg.1.gz \
    share/bash-completion/completions/kbcfg share/zsh/vendor-completions/_kbcfg \
    share/fish/vendor_completions.d/kbcfg.fish; do
    [ -e "$usr/$f" ] || fail "not installed: $f"
done
if [ "$gui" = 1 ]; then
    for f in bin/kbcfg-gui share/man/man1/kbcfg-gui.1.gz; do
        [ -e "$usr/$f" ] || fail "not installed: $f"
    done
fi

got=$("$usr/bin/kbcfg" --version)
[ "$got" = "kbcfg $version" ] || fail "kbcfg --version says '$got'"
if [ "$gui" = 1 ]; then
    got=$("$usr/bin/kbcfg-gui" --version)
    [ "$got" = "kbcfg-gui $version" ] || fail "kbcfg-gui --version says '$got'"
fi

# Discovery needs libVorp.so: found in lib/kbcfg beside bin, not in bin.
if ! out=$(timeout 30 "$usr/bin/kbcfg" discover --seconds 1 2>&1) || ! grep -q '^add ' <<<"$out"; then
    fail "installed discover: $out"
fi
# KBCFG_LIBDIR still decides when set.
if out=$(KBCFG_LIBDIR="$tmp/none" timeout 30 "$usr/bin/kbcfg" discover --seconds 1 2>&1) ||
    ! grep -q "not found in $tmp/none" <<<"$out"; then
    fail "KBCFG_LIBDIR not followed: $out"
fi

# The first four bytes of a new file are what the MIME entry matches.
"$usr/bin/kbcfg" new "$tmp/kbCfg.bin" >/dev/null
magic=$(head -c 4 "$tmp/kbCfg.bin" | od -An -tx1 | tr -d ' \n')
declared=$(sed -n 's/.*value="\([^"]*\)".*/\1/p' "$usr/share/mime/packages/kbcfg.xml" | tr -d '\\x')
[ "$magic" = "$declared" ] || fail "MIME magic $declared, file starts with $magic"
if command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
    update-mime-database "$usr/share/mime" >/dev/null 2>&1
    cp "$tmp/kbCfg.bin" "$tmp/renamed.dat"
    type=$(XDG_DATA_HOME="$tmp/none" XDG_DATA_DIRS="$usr/share" \
        gio info -a standard::content-type "$tmp/renamed.dat" | sed -n 's/.*content-type: //p')
    [ "$type" = application/x-kbcfg-configuration ] || fail "file recognised as '$type'"
fi

# The GUI until its first window is shown; a runtime folder of its own keeps it from meeting a
# running copy.
mkdir -m 700 "$tmp/run"
if [ "$gui" = 1 ]; then
    if ! out=$(cd "$tmp" && XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen \
        KBCFG_REPORT_SHOWN=quit timeout 60 "$usr/bin/kbcfg-gui" 2>&1) ||
        ! grep -q '^modes shown after' <<<"$out"; then
        fail "installed GUI: $out"
    fi
fi

# grep reads the whole page: with -q it would stop early, and pipefail would count zcat's
# broken pipe as a failure.
zcat "$usr/share/man/man1/kbcfg.1.gz" | grep -c 'kbcfg discover' >/dev/null ||
    fail "kbcfg.1 lacks the commands"
[ "$gui" = 0 ] || zcat "$usr/share/man/man1/kbcfg-gui.1.gz" | grep -c KBCFG_LIBDIR >/dev/null ||
    fail "kbcfg-gui.1 lacks the help"
bash -n "$usr/share/bash-completion/completions/kbcfg" || fail "bash completion does not parse"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/org.kbcfg.Kbcfg.desktop" ||
        fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/org.kbcfg.Kbcfg.metainfo.xml" >/dev/null ||
        fail "AppStream metainfo"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed tree works"
