#!/usr/bin/env bash
# Tests of the 32-bit probe (scripts/probe-32bit) and what follows from its
# answer: the packages of scripts/install-deps and the trees that the Wine
# suites choose (tests/wine/lib.sh), with the closing lines. The machine
# without 32-bit support is shown with the probe's test switch, which really
# runs a program that no kernel runs. Installs and starts nothing of Wine.
# Prints one PASS/FAIL line per check and "N passed, N failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."

source tests/wine/lib.sh

# Runs the probe in a clean shell; prints "answer|reason".
probe() {
  env -u TAV_RUNS_32BIT -u TAV_32BIT_REASON "$@" \
    bash -c 'set -euo pipefail; source scripts/probe-32bit; echo "$TAV_RUNS_32BIT|$TAV_32BIT_REASON"' 2>&1
}

# --- The probe ----------------------------------------------------------------

real=$(probe)
case $real in
  "yes|") pass "probe: this machine runs 32-bit code" ;;
  no\|*) pass "probe: this machine runs no 32-bit code (${real#no|})" ;;
  *) fail "probe: answers yes or no" "$real" ;;
esac
[ -z "$(ls build/probe 2>/dev/null)" ] && pass "probe: leaves no program behind" \
  || fail "probe: leaves no program behind" "$(ls build/probe)"

# switch | answer expected | reason expected
cases=(
  "foreign|no|this machine runs no 32-bit code (IA-32 emulation is off) [TAV_PROBE_32BIT=foreign]"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r switch want reason <<<"$entry"
  got=$(probe TAV_PROBE_32BIT="$switch")
  [ "$got" = "$want|$reason" ] && pass "probe: TAV_PROBE_32BIT=$switch answers $want" \
    || fail "probe: TAV_PROBE_32BIT=$switch answers $want" "$got"
done
probe TAV_PROBE_32BIT=bogus >/dev/null && fail "probe: an unknown switch is refused" \
  || pass "probe: an unknown switch is refused"
# Once per test command: an answer in the environment is kept, not probed again.
for inherited in yes no; do
  got=$(env TAV_RUNS_32BIT=$inherited TAV_32BIT_REASON=inherited TAV_PROBE_32BIT=foreign \
    bash -c 'source scripts/probe-32bit; echo "$TAV_RUNS_32BIT|$TAV_32BIT_REASON"')
  [ "$got" = "$inherited|inherited" ] && pass "probe: an inherited '$inherited' is kept" \
    || fail "probe: an inherited '$inherited' is kept" "$got"
done

# --- The packages --------------------------------------------------------------

# answer | wine32:i386 expected in the test set (yes/no)
for entry in "yes|yes" "no|no"; do
  IFS='|' read -r answer want <<<"$entry"
  list=$(env TAV_RUNS_32BIT="$answer" TAV_32BIT_REASON=test ./scripts/install-deps --list test 2>/dev/null)
  has=no
  grep -qx 'wine32:i386' <<<"$list" && has=yes
  if [ "$has" = "$want" ] && grep -qx wine64 <<<"$list" && grep -qx osslsigncode <<<"$list" \
     && grep -qx mingw-w64 <<<"$list"; then
    pass "install-deps: 32-bit code '$answer': wine32:i386 in the test set: $want"
  else
    fail "install-deps: 32-bit code '$answer': wine32:i386 in the test set: $want" "got $has: $(tr '\n' ' ' <<<"$list")"
  fi
done
list=$(env TAV_RUNS_32BIT=no TAV_32BIT_REASON=test ./scripts/install-deps --list build 2>/dev/null)
grep -q wine <<<"$list" && fail "install-deps: the build set has no Wine" || pass "install-deps: the build set has no Wine"

# --- The trees of the Wine suites ------------------------------------------------

# Runs a suite's tree choice and closing in a clean shell with the given
# answer and 32-bit Wine loader; prints its output and "exit=N".
choose() {
  env TAV_RUNS_32BIT="$1" TAV_32BIT_REASON="no 32-bit code here" bash -c '
    source tests/wine/lib.sh
    wine_loader32=$1
    wine_select_trees windows-x64 windows-x86
    echo "trees=${wine_trees[*]}"
    pass "a case"
    finish' choose "$2" 2>&1
  echo "exit=$?"
}
# answer | 32-bit loader | the output expected, lines joined with ";"
cases=(
  "no||SKIP windows-x86 under Wine: no 32-bit code here;trees=windows-x64;PASS a case;Under Wine: windows-x64 ran; windows-x86 skipped: no 32-bit code here;1 passed, 0 failed;exit=0"
  "yes|/usr/lib/wine/wine|trees=windows-x64 windows-x86;PASS a case;Under Wine: windows-x64 windows-x86 ran;1 passed, 0 failed;exit=0"
  "yes||FAIL windows-x86: wine32 installed -- this machine runs 32-bit code; scripts/install-deps test installs it;trees=windows-x64;PASS a case;Under Wine: windows-x64 ran;1 passed, 1 failed;exit=1"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r answer loader want <<<"$entry"
  got=$(choose "$answer" "$loader" | paste -sd ';')
  [ "$got" = "$want" ] && pass "lib.sh: 32-bit code '$answer', wine32 '${loader:-none}': trees and closing lines" \
    || fail "lib.sh: 32-bit code '$answer', wine32 '${loader:-none}'" "got: $got"
done

finish
