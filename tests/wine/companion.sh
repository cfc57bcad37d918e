#!/usr/bin/env bash
# The companion TAV_PowerSaveSuspend.exe of dist/<tree>/ under Wine: the exit
# code of each switch, with the powrprof.dll stand-in of the tree beside it
# (Wine's own SetSuspendState does nothing and its capabilities report no
# S3). The stand-in's sleep-state.txt switches the machine's sleep states;
# its log shows the sleep requested, which it never performs. Sleeping,
# waking and Modern Standby themselves need real Windows.
#
# Trees: windows-x64 in a 64-bit prefix, windows-x86 in a 32-bit prefix where
# the machine runs 32-bit code (lib.sh). Prints one PASS/FAIL line per case
# and "N passed, M failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."
dist=${TAV_DIST:-$PWD/dist}
source tests/wine/lib.sh

if [ -z "$wine_loader64" ] || ! command -v Xvfb >/dev/null; then
  fail "wine: Wine and Xvfb available" "$(wine_missing)"
  finish
fi
wine_select_trees ${TAV_WINE_TREES:-windows-x64 windows-x86}
wine_begin
# The stand-in in the program's folder answers instead of Wine's powrprof.dll.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powrprof=n,b"
wine_start_x || { fail "wine: private X server started"; finish; }

# Runs the companion with `arguments` through the launcher (the raw command
# line, the full exit code); prints the exit code. Output goes to a file: a
# waiter left running keeps the program's standard streams open.
run_companion() {
  printf '%s' "\"C:\\comp\\TAV_PowerSaveSuspend.exe\"${1:+ $1}" >"$folder/command.txt"
  "$wine" 'C:\comp\launcher.exe' 'C:\comp\command.txt' >"$work/launcher.out" 2>/dev/null
  tr -d '\r' <"$work/launcher.out" | sed -n 's/^exit=//p'
}

# name | sleep-state.txt switches (comma-separated) | arguments | exit code | the log's last SetSuspendState line
cases=(
  "no switch|||1|"
  "two switches||/SUSPEND /HIBERNATE|1|"
  "time out of range||/SUSPEND /T:2460|1|"
  "time with /CANCEL||/CANCEL /T:0630|1|"
  "cancel, nothing pending||/cancel|0|"
  "suspend||/SUSPEND|0|SetSuspendState hibernate=0 -> 1"
  "hibernate||/Hibernate|0|SetSuspendState hibernate=1 -> 1"
  "suspend without S3|no-s3|/SUSPEND|2|"
  "suspend under Modern Standby|modern-standby|/SUSPEND|2|"
  "hibernate without hibernation|no-hibernation|/HIBERNATE|2|"
  "suspend refused|sleep-refused|/SUSPEND|4|SetSuspendState hibernate=0 -> 0"
  "suspend with a wake time||/SUSPEND /T:0630|0|SetSuspendState hibernate=0 -> 1"
  "a second waiter is refused||/HIBERNATE /T:0700|5|"
  "cancel ends the waiter||/CANCEL|0|"
  "a new waiter after the cancel||/HIBERNATE /T:0700|0|SetSuspendState hibernate=1 -> 1"
  "cancel again||/CANCEL|0|"
)

for tree in "${wine_trees[@]}"; do
  arch=win64
  [ "$tree" = windows-x86 ] && arch=win32
  equipment=$dist/$tree/test-equipment
  for needed in "$dist/$tree/TAV_PowerSaveSuspend.exe" "$equipment/powrprof.dll" "$equipment/launcher.exe"; do
    [ -f "$needed" ] || { fail "$tree: $needed present" "run scripts/build"; continue 2; }
  done
  wine_new_prefix "$arch" "$work/prefix-$tree" || { fail "$tree: prefix created"; continue; }
  folder=$drive/comp
  mkdir -p "$folder"
  cp "$dist/$tree/TAV_PowerSaveSuspend.exe" "$equipment/powrprof.dll" "$equipment/launcher.exe" "$folder/"
  for entry in "${cases[@]}"; do
    IFS='|' read -r name switches arguments want sleep <<<"$entry"
    tr ',' '\n' <<<"$switches" >"$folder/sleep-state.txt"
    rm -f "$folder/powrprof.log"
    got=$(run_companion "$arguments")
    last=$(grep '^SetSuspendState' "$folder/powrprof.log" 2>/dev/null | tail -n1)
    if [ "$got" = "$want" ] && [ "$last" = "$sleep" ]; then
      pass "$tree: $name: exit $want"
    else
      fail "$tree: $name" "exit '$got' (want $want), sleep '$last' (want '$sleep')"
    fi
  done
  wine_stop_prefix
done
finish
