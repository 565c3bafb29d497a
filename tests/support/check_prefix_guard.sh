#!/usr/bin/env bash
# The tests never wipe presets in a Wine prefix that the test run did not create. A prefix made
# as a user makes one (cmake/wine-run without --test) gets a preset; then every test program
# that wipes the product's registry tree is run in it by hand, through $WINEPREFIX and through
# --prefix, and must stop; wine-run --test must refuse it; and --prefix must win over
# $WINEPREFIX. Afterwards the preset is still there.
#
#   check_prefix_guard.sh SOURCE_DIR BUILD_DIR
set -u
source=$1
build=$2
wine_run=$source/cmake/wine-run
user=$build/wineprefix-user
presetctl=$build/presetctl/presetctl.exe
failures=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
pass() { echo "ok   $*"; }
presets() { WINEPREFIX=$user "$wine_run" "$presetctl" list Echo 2>&1 | tr -d '\r'; }

# Refused by the program itself: a non-zero status and the reason on standard error.
expect_refusal() {
    local what=$1 output status
    shift
    output=$("$@" 2>&1)
    status=$?
    if [ $status -ne 0 ] && echo "$output" | grep -q "trellisan-test-prefix.txt is missing"; then
        pass "$what stops (status $status)"
    else
        fail "$what ran in a prefix the tests did not make (status $status): $output"
    fi
}

(cd "$source/examples/presets" &&
    WINEPREFIX=$user "$wine_run" "$presetctl" import "Echo - Slapback.kvp") >/dev/null ||
    fail "could not import a preset into $user"
before=$(presets)
echo "presets of Echo before: $before"
[ "$before" = "Slapback" ] || fail "the preset was not imported"

expect_refusal "preset_store_tests with WINEPREFIX" \
    env WINEPREFIX="$user" "$wine_run" "$build/tests/preset_store/preset_store_tests.exe"
expect_refusal "presetctl_tests with WINEPREFIX" \
    env WINEPREFIX="$user" "$wine_run" "$build/tests/presetctl/presetctl_tests.exe" \
    "$presetctl" "$source/examples/presets"
expect_refusal "trellisan_driver with --prefix" \
    "$wine_run" --prefix="$user" "$build/tests/preset_ui/trellisan_driver.exe" drive \
    "$build/preset_ui/Trellisan.exe" "$build/prefix_guard.bmp"
expect_refusal "preset_store_bench wipe with --prefix" \
    "$wine_run" --prefix="$user" "$build/tests/bench/preset_store/preset_store_bench.exe" wipe

output=$(WINEPREFIX=$user "$wine_run" --prefix="$user" --test cmd /c echo ran 2>&1)
status=$?
if [ $status -eq 125 ] && ! echo "$output" | grep -q ran; then
    pass "wine-run --test refuses the prefix"
else
    fail "wine-run --test ran in a prefix it did not make (status $status): $output"
fi

# The build's test prefix is the one used when named, whatever $WINEPREFIX says.
output=$(WINEPREFIX=$user "$wine_run" --prefix="$build/wineprefix" --test \
    cmd /c type 'C:\trellisan-test-prefix.txt' 2>&1 | tr -d '\r')
if echo "$output" | grep -q "Created by the test run"; then
    pass "--prefix wins over \$WINEPREFIX"
else
    fail "--prefix did not win over \$WINEPREFIX: $output"
fi

after=$(presets)
echo "presets of Echo after: $after"
[ "$after" = "$before" ] && pass "the prefix keeps its preset" || fail "the preset is gone"
"$wine_run" --prefix="$user" --shutdown
exit $((failures > 0))
