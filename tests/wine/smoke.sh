#!/usr/bin/env bash
# Smoke tests of the Windows builds in dist/ (scripts/build makes them):
#  - static checks of the tool and its companion of both trees: imported
#    DLLs, GUI subsystem, manifest and version resource, and for the 32-bit
#    build the Windows XP SP3 import allowlist
#    (tests/wine/xp-sp3-imports.txt) and PE versions;
#  - the 64-bit build under Wine, in a throw-away prefix on a private X
#    server: exit codes through the launcher, the consumed task list, the
#    single-instance mutex, the "I" option on Windows XP, and exactly one
#    finished message (0x83E8, 0, 0) at the main window stand-in per run;
#  - the Win32 layer's own checks (win32_os_check.exe) under Wine, the power
#    library's also against the powrprof.dll stand-in.
# Prints one PASS/FAIL line per check and "N passed, N failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
dist=${TAV_DIST:-$root/dist}

# Counting, the X server, prefixes and the message log helper.
source tests/wine/lib.sh

# --- Static checks ------------------------------------------------------------

# The project version, kept in CMakeLists.txt only.
version=$(sed -n 's/^project(TAV_PowerSaveSetting VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)

system_dlls="kernel32.dll user32.dll shell32.dll shlwapi.dll ole32.dll powrprof.dll msvcrt.dll advapi32.dll"

# dll!function for every import of a PE file (DLL names in lower case).
imports() {
  "$1-objdump" -p "$2" | awk '
    /^The / { inImports = ($0 ~ /^The Import Tables/); dll = ""; next }
    inImports && /^\tDLL Name:/ { dll = tolower($3); next }
    inImports && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ && dll != "" { print dll "!" $3 }'
}

static_checks() {
  local arch=$1 prefix=$2 exe=$3 name=${4:-$1}
  if [ ! -f "$exe" ]; then
    fail "$name: executable present" "$exe missing; run scripts/build"
    return
  fi
  local headers list dll bad
  headers=$("$prefix-objdump" -p "$exe")
  list=$(imports "$prefix" "$exe")
  [ -n "$list" ] && pass "$name: import table readable" || fail "$name: import table readable"

  bad=""
  for dll in $(echo "$list" | cut -d'!' -f1 | sort -u); do
    case " $system_dlls " in *" $dll "*) ;; *) bad="$bad $dll" ;; esac
  done
  [ -z "$bad" ] && pass "$name: imports system DLLs only ($(echo "$list" | cut -d'!' -f1 | sort -u | tr '\n' ' '))" \
    || fail "$name: imports system DLLs only" "unexpected:$bad"

  grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" && pass "$name: Windows GUI subsystem" \
    || fail "$name: Windows GUI subsystem" "$(grep '^Subsystem' <<<"$headers")"

  bad=$(grep -E '!(PowerEnumerate|PowerReadFriendlyName)$' <<<"$list")
  [ -z "$bad" ] && pass "$name: power plan functions not imported" \
    || fail "$name: power plan functions not imported" "$bad"
  grep -qx 'powrprof.dll!EnumPwrSchemes' <<<"$list" && pass "$name: EnumPwrSchemes imported" \
    || fail "$name: EnumPwrSchemes imported"

  local resources
  resources=$("$prefix-windres" -J coff -O rc -i "$exe" 2>&1)
  grep -q 'requestedExecutionLevel level=""requireAdministrator"" uiAccess=""false""' <<<"$resources" \
    && grep -q '^1 24 /\* RT_MANIFEST \*/' <<<"$resources" \
    && pass "$name: manifest requires administrator" || fail "$name: manifest requires administrator"
  [ "$(grep -c 'supportedOS Id=' <<<"$resources")" -eq 5 ] \
    && pass "$name: manifest lists 5 supported systems" || fail "$name: manifest lists 5 supported systems"
  grep -q 'VALUE "ProductName", "TAV_PowerSaveSetting"' <<<"$resources" \
    && grep -q 'VALUE "CompanyName", "VARENTO"' <<<"$resources" \
    && grep -q "VALUE \"FileVersion\", \"$version.0\"" <<<"$resources" \
    && grep -q "VALUE \"ProductVersion\", \"$version.0\"" <<<"$resources" \
    && grep -q "FILEVERSION ${version//./, }, 0" <<<"$resources" \
    && grep -q "assemblyIdentity .*version=\"\"$version.0\"\"" <<<"$resources" \
    && pass "$name: version resource and manifest: $version.0" || fail "$name: version resource and manifest: $version.0"

  if [ "$arch" = windows-x86 ]; then
    local allowed missing major minor
    allowed=$(grep -Ev '^[[:space:]]*(#|$)' tests/wine/xp-sp3-imports.txt)
    missing=$(comm -23 <(sort -u <<<"$list") <(sort -u <<<"$allowed"))
    [ -z "$missing" ] && pass "$name: every import exists on Windows XP SP3 ($(wc -l <<<"$list") functions)" \
      || fail "$name: every import exists on Windows XP SP3" "not on the allowlist: $(tr '\n' ' ' <<<"$missing")"
    for field in OSystem Subsystem; do
      major=$(awk -v f="Major${field}Version" '$1 == f { print $2 }' <<<"$headers")
      minor=$(awk -v f="Minor${field}Version" '$1 == f { print $2 }' <<<"$headers")
      if [ -n "$major" ] && { [ "$major" -lt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -le 1 ]; }; }; then
        pass "$name: PE ${field} version $major.$minor loads on XP"
      else
        fail "$name: PE ${field} version loads on XP" "$major.$minor"
      fi
    done
  fi
}

static_checks windows-x64 x86_64-w64-mingw32 "$dist/windows-x64/TAV_PowerSaveSetting.exe"
static_checks windows-x86 i686-w64-mingw32 "$dist/windows-x86/TAV_PowerSaveSetting.exe"
# The companion is built the same way and must load on Windows XP as well.
static_checks windows-x64 x86_64-w64-mingw32 "$dist/windows-x64/TAV_PowerSaveSuspend.exe" "windows-x64 companion"
static_checks windows-x86 i686-w64-mingw32 "$dist/windows-x86/TAV_PowerSaveSuspend.exe" "windows-x86 companion"
# The packages' install step calls its DLL by this undecorated name (a
# 32-bit __stdcall export would otherwise read MakeDataFolder@4).
for tree in windows-x64 windows-x86; do
  prefix=x86_64-w64-mingw32
  [ "$tree" = windows-x86 ] && prefix=i686-w64-mingw32
  exports=$("$prefix-objdump" -p "$dist/$tree/TAV_PowerSaveDataFolder.dll" 2>/dev/null || true)
  grep -Eq '^[[:space:]]+\[ *[0-9]+\] MakeDataFolder$' <<<"$exports" \
    && pass "$tree: install step DLL exports MakeDataFolder" || fail "$tree: install step DLL exports MakeDataFolder"
done

# --- Under Wine ------------------------------------------------------------------

equipment=$dist/windows-x64/test-equipment
if [ -z "$wine_loader64" ] || ! command -v Xvfb >/dev/null; then
  fail "wine: Wine and Xvfb available" "$(wine_missing)"
  finish
fi
# Only the x64 tree runs here; the x86 tree gets the static checks above.
wine_select_trees windows-x64
for needed in "$dist/windows-x64/TAV_PowerSaveSetting.exe" "$equipment/launcher.exe" \
              "$equipment/main_window.exe" "$equipment/mutex_holder.exe"; do
  [ -f "$needed" ] || { fail "wine: $needed present" "run scripts/build"; finish; }
done

wine_begin
wine_start_x || { fail "wine: private X server started"; finish; }
wine_new_prefix win64 "$work/prefix" || { fail "wine: prefix created"; finish; }
mkdir -p "$drive/tav" "$drive/equip" "$drive/tav data"
cp "$dist/windows-x64/TAV_PowerSaveSetting.exe" "$drive/tav/"
cp "$equipment"/*.exe "$drive/equip/"
tool='"C:\tav\TAV_PowerSaveSetting.exe"'
log=$drive/equip/messages.log
: >"$log"

wine_background "$wine" 'C:\equip\main_window.exe' --log 'C:\equip\messages.log' --seconds 170 \
  --ready 'C:\equip\window.ready'
for _ in $(seq 100); do [ -f "$drive/equip/window.ready" ] && break; sleep 0.1; done
[ -f "$drive/equip/window.ready" ] && pass "wine: main window stand-in created" \
  || fail "wine: main window stand-in created"

# Runs the tool with the given arguments through the launcher; prints its
# "exit=..." line.
run_tool() {
  printf '%s' "$tool${1:+ $1}" >"$drive/equip/command.txt"
  "$wine" 'C:\equip\launcher.exe' 'C:\equip\command.txt' 2>/dev/null | tr -d '\r'
}

# case name | arguments | expected exit line | list file to create ("" none) | list kept afterwards (yes/no)
cases=(
  "unusable: no arguments||exit=1280||"
  "unusable: missing settings file|/N:\"C:\\tav data\\missing.ini\"|exit=1280||"
  "unusable: blank token stops the scan|/I / /F:\"C:\\tav data\\list.txt\"|exit=1280|list.txt|yes"
  "usable: empty task list|/F:\"C:\\tav data\\list.txt\"|exit=0|list.txt|no"
  "usable: list path with blanks and Japanese|  /f:\"C:\\tav data\\リスト 一.txt\"  |exit=0|リスト 一.txt|no"
  "usable: list without complete entries|/F:\"C:\\tav data\\list.txt\" /S:9999|exit=0|list.txt|no"
)
expected_lines=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name arguments expected list kept <<<"$entry"
  if [ -n "$list" ]; then
    if [ "$name" = "usable: list without complete entries" ]; then
      printf '/TN:"only a name"\r\n/XML:"C:\\nowhere\\missing.xml" /TN:"x"\r\n\r\n' >"$drive/tav data/$list"
    else
      : >"$drive/tav data/$list"
    fi
  fi
  got=$(run_tool "$arguments")
  expected_lines=$((expected_lines + 1))
  lines=$(message_lines "$log" "$expected_lines")
  problems=""
  [ "$got" = "$expected" ] || problems="$problems got '$got' want '$expected';"
  if [ "$lines" -ne "$expected_lines" ]; then
    problems="$problems $((lines - expected_lines + 1)) messages instead of 1;"
    expected_lines=$lines
  elif [ "$(tail -n1 "$log" | tr -d '\r')" != "message=0x83E8 wParam=0 lParam=0" ]; then
    problems="$problems message '$(tail -n1 "$log")';"
  fi
  if [ -n "$list" ]; then
    if [ -f "$drive/tav data/$list" ]; then state=yes; else state=no; fi
    [ "$state" = "$kept" ] || problems="$problems list kept=$state want $kept;"
  fi
  [ -z "$problems" ] && pass "wine: $name" || fail "wine: $name" "$problems"
  rm -f "$drive/tav data/"*.txt
done

# A second instance: the mutex is held elsewhere, so the run does nothing and
# ends with 0; the finished message is still posted once.
: >"$drive/tav data/list.txt"
"$wine" 'C:\equip\mutex_holder.exe' --seconds 20 --ready 'C:\equip\mutex.ready' >/dev/null 2>&1 &
holder_pid=$!
for _ in $(seq 100); do [ -f "$drive/equip/mutex.ready" ] && break; sleep 0.1; done
got=$(run_tool '/F:"C:\tav data\list.txt"')
expected_lines=$((expected_lines + 1))
lines=$(message_lines "$log" "$expected_lines")
if [ "$got" = "exit=0" ] && [ -f "$drive/tav data/list.txt" ] && [ "$lines" -eq "$expected_lines" ]; then
  pass "wine: mutex held elsewhere: exit 0, list untouched, one message"
else
  fail "wine: mutex held elsewhere" "got '$got', list $( [ -f "$drive/tav data/list.txt" ] && echo kept || echo gone), messages $((lines - expected_lines + 1))"
fi
expected_lines=$lines
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null

# The "I" option: nothing happens on Windows XP (5.1), a normal run elsewhere.
# Wine reports the version configured for the program.
for version in winxp winxp64 win10; do
  "$wine" reg add 'HKCU\Software\Wine\AppDefaults\TAV_PowerSaveSetting.exe' /v Version /d "$version" /f >/dev/null 2>&1
  : >"$drive/tav data/list.txt"
  got=$(run_tool '/I /F:"C:\tav data\list.txt"')
  expected_lines=$((expected_lines + 1))
  lines=$(message_lines "$log" "$expected_lines")
  if [ "$version" = winxp ]; then want_list=kept; else want_list=gone; fi
  state=$([ -f "$drive/tav data/list.txt" ] && echo kept || echo gone)
  if [ "$got" = "exit=0" ] && [ "$state" = "$want_list" ] && [ "$lines" -eq "$expected_lines" ]; then
    pass "wine: /I as $version: list $want_list, one message"
  else
    fail "wine: /I as $version" "got '$got', list $state (want $want_list), messages $((lines - expected_lines + 1))"
  fi
  expected_lines=$lines
  rm -f "$drive/tav data/list.txt"
done
"$wine" reg delete 'HKCU\Software\Wine\AppDefaults\TAV_PowerSaveSetting.exe' /f >/dev/null 2>&1

# The Win32 layer's own checks: "ok" and "FAIL" lines count, "skip" lines
# (what Wine cannot do) are shown. `label` names the run.
report_checks() {
  local label=$1 output=$2 line
  while IFS= read -r line; do
    case $line in
      "ok "*) pass "$label: ${line#ok }" ;;
      "FAIL "*) fail "$label: ${line#FAIL }" ;;
      "skip "*) echo "SKIP $label: ${line#skip }" ;;
    esac
  done <<<"$output"
  grep -q '^checks done$' <<<"$output" || fail "$label: check program ran to its end" "$(tail -n3 <<<"$output")"
}
if [ -f "$equipment/win32_os_check.exe" ]; then
  mkdir -p "$drive/oscheck/work"
  cp "$equipment/win32_os_check.exe" "$drive/oscheck/"
  output=$(cd "$drive/oscheck" && "$wine" 'C:\oscheck\win32_os_check.exe' 'C:\oscheck' 2>&1 | tr -d '\r')
  report_checks "win32 layer" "$output"

  # PowerGetActiveScheme against the powrprof.dll stand-in beside a copy of
  # the program (Wine takes it over its own only when told so).
  if [ -f "$equipment/powrprof.dll" ]; then
    mkdir -p "$drive/oscheck/power"
    cp "$equipment/win32_os_check.exe" "$equipment/powrprof.dll" "$drive/oscheck/power/"
    output=$(cd "$drive/oscheck/power" && TAV_STANDIN_DIR='C:\oscheck\power' \
      WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powrprof=n,b" \
      "$wine" 'C:\oscheck\power\win32_os_check.exe' --power-standin 2>&1 | tr -d '\r')
    report_checks "win32 layer" "$output"
  else
    fail "win32 layer: powrprof.dll stand-in present" "run scripts/build"
  fi
else
  fail "win32 layer: win32_os_check.exe present" "run scripts/build"
fi

finish
