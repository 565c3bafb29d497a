#!/usr/bin/env bash
# Builds the release zip twice and checks that both are the same bytes and match the SHA-256
# file beside them; checks from the zip that every binary loads on Windows 95 (imports, header
# versions, no time stamps) and runs on an i486 (its disassembly); unpacks it into a fresh
# folder and, from there alone, runs the programs under Wine in a fresh prefix.
#
#   check_package.sh BUILD_DIR OBJDUMP WINE_RUN
set -eu
build=$1
objdump=$2
wine_run=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

fail() { echo "package_check: $*" >&2; exit 1; }

cd "$build"
rm -rf package
cpack --config CPackConfig.cmake >/dev/null || fail "cpack failed"
zips=(package/Trellisan-*-win32.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "expected one Trellisan-<version>-win32.zip"
echo "package: ${zips[0]} ($(stat -c %s "${zips[0]}") bytes)"
[ -f "${zips[0]}.sha256" ] || fail "no ${zips[0]}.sha256 beside the zip"
(cd package && sha256sum -c --quiet "$(basename "${zips[0]}").sha256") ||
    fail "the zip does not match its SHA-256 file"
cat "${zips[0]}.sha256"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Reproducible: packaged again (the zip's times have a resolution of two seconds), the same bytes.
cp "${zips[0]}" "$work/first.zip"
sleep 2
cpack --config CPackConfig.cmake >/dev/null || fail "cpack failed the second time"
cmp -s "$work/first.zip" "${zips[0]}" || fail "two packagings of one build differ"
echo "package: a second packaging gives the same bytes"

# Every binary in the zip loads on Windows 95: system DLLs only and only what Windows 95 exports
# from them, header versions, no time stamps, and no TLS callbacks in the plug-in; and every
# instruction in it is one an i486 has. The build's unstripped binaries name the functions.
python3 "$here/check_binaries.py" --no-tls wave.dll --objdump "$objdump" \
    --symbols preset_ui --symbols presetctl --symbols wave_plugin --symbols host "${zips[0]}" ||
    fail "a binary in the zip would not load on Windows 95 or run on an i486 (see above)"
unzip -q "${zips[0]}" -d "$work"
top=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
[ "$(basename "$top")" = "$(basename "${zips[0]}" .zip)" ] || fail "unexpected top folder $top"

for f in Trellisan.exe wave.dll presetctl.exe wavehost.exe README.txt LICENSE.txt; do
    [ -f "$top/$f" ] || fail "$f missing from the package"
done
ls "$top"/examples/presets/*.kvp >/dev/null 2>&1 || fail "no example presets in the package"
grep -q $'\r$' "$top/README.txt" || fail "README.txt lacks Windows line ends"

# A fresh prefix: nothing installed but Wine itself.
prefix="$work/prefix"
run() { "$wine_run" --prefix="$prefix" "$@"; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

sox -n -r 22050 -c 2 -b 16 "$work/tone.wav" synth 0.5 sine 440 || fail "sox could not make a test file"
info=$(cd "$top" && run ./wavehost.exe info "$(winpath "$work/tone.wav")" | tr -d '\r') ||
    fail "wavehost info failed"
echo "$info" | grep -q "PCM" || fail "wavehost info shows no PCM format: $info"
echo "$info" | grep -q "22050" || fail "wavehost info shows no sample rate: $info"
echo "$info" | grep -q "11025" || fail "wavehost info shows no frame count: $info"

(cd "$top" && run ./presetctl.exe list >/dev/null) || fail "presetctl list failed on an empty store"
examples=()
for f in "$top"/examples/presets/*.kvp; do examples+=("$(winpath "$f")"); done
(cd "$top" && run ./presetctl.exe import "${examples[@]}") || fail "presetctl import failed"
effects=$(cd "$top" && run ./presetctl.exe list | tr -d '\r')
[ -n "$effects" ] || fail "no effects listed after importing the examples"
echo "effects after importing the examples:" $effects
"$wine_run" --prefix="$prefix" --shutdown
echo "package_check: passed"
