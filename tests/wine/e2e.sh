#!/usr/bin/env bash
# End-to-end tests of the shipped Windows executables under Wine, as a black
# box on the real Win32 path: the tool of dist/<tree>/ is installed with the
# stand-ins of its tree (powercfg.exe, schtasks.exe, the companion
# TAV_PowerSaveSuspend.exe, powrprof.dll) in "C:\Program Files\VARENTO\" of a
# throw-away prefix: the tool starts powercfg.exe and schtasks from its own
# folder when they are there, else from the system folder. Each case resets
# the tool's state, runs the tool through the launcher (Wine's own start-up
# re-quotes command lines and cuts exit codes to 8 bits) and reads what the
# stand-ins logged, the plan store, the INI files and the main window
# stand-in's message log.
#
# Trees: windows-x64 in a 64-bit prefix, windows-x86 in a 32-bit prefix where
# the machine runs 32-bit code (lib.sh; TAV_WINE_TREES overrides the list;
# TAV_WINE_GROUPS picks groups of cases, e.g. "plan record"). The prefixes run a
# Japanese Windows (ANSI code page 932, time zone UTC+9), the setting that the
# tool's Japanese texts are made for.
#
# Where Wine differs from Windows in ways that matter here:
# - Read-only files: Wine shows a file without Unix write permission as
#   FILE_ATTRIBUTE_READONLY. DeleteFileW refuses such a file as Windows does,
#   but for root WritePrivateProfileStringW still writes into it, where
#   Windows fails. A failed record write is therefore made by holding the
#   file open without write sharing (file_holder.exe), which Wine refuses
#   like Windows.
# - Windows XP: the AppDefaults "Version" setting changes only the version
#   that the tool is told. The special folders keep the later layout
#   (C:\ProgramData, not "All Users\Application Data"), and the 64-bit build
#   is told 5.1 too, which no real 64-bit Windows reports.
# - Sessions: every Wine process is in the console session, so the start
#   outside it cannot be reached here.
# - Start-up: "wine program arguments" re-quotes the command line and reports
#   exit codes above 255 as 1; the launcher runs the raw line and reports the
#   full code. Wine prefers its built-in powrprof.dll to the one in the
#   program's folder unless WINEDLLOVERRIDES says otherwise; the cases prove
#   that the stand-in answered.
# - Locale and clock: the ANSI code page, the charset of Unix file names and
#   the local time come from the Unix locale and TZ (see below).
# - Process starts: Wine 8 occasionally fails one with address space
#   randomisation on; lib.sh starts Wine without it.
# - Links: Wine 8 shows a Unix symbolic link as the file it points to and
#   makes no reparse points, so linked task-list entries cannot be shown to
#   the tool; a folder under an XML file's name stands in for them.
# - Task scheduler: Wine's own schtasks.exe cannot reach its service in these
#   prefixes and registers nothing; where it must run, Wine's traces show it.
#
# Prints one PASS/FAIL line per case and "N passed, M failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
dist=${TAV_DIST:-$root/dist}
source tests/wine/lib.sh

# --- Fixed texts ---------------------------------------------------------------

plan_name="Vantrel電源プラン"
plan_description="「Vantrel 電源プラン設定ツール」が使用する電源プランです。"
xp_base_scheme="バッテリの最大利用"
power_saver=a1841308-3541-4fab-bc81-f71556f20b4a
balanced=381b4222-f694-41f0-9685-ff5bb260df2e
display_group=7516b95f-f776-4464-8c53-06167f40cc99
brightness_setting=aded5e82-b909-4619-9949-f5d71dac0bcb
finished_message="message=0x83E8 wParam=0 lParam=0"
guid_pattern='^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$'

# Wine takes the ANSI code page and the charset of Unix file names from the
# Unix locale (LC_CTYPE), and its local time from TZ. The Japanese locale is
# compiled into the suite's folder (LOCPATH): without it glibc falls back to
# ASCII file names, and Wine then cannot open files with Japanese names. A
# fixed offset needs no tzdata.
wine_locale=ja_JP.UTF-8
wine_tz=JST-9

tool_folder_win='C:\Program Files\VARENTO'
tool_win="$tool_folder_win\\TAV_PowerSaveSetting.exe"
companion_win="$tool_folder_win\\TAV_PowerSaveSuspend.exe"
data_folder_win='C:\ProgramData\VARENTO\TAV_POWERSAVE'
state_win='C:\standin-state'
files_win='C:\tav data'

# --- Wine helpers ----------------------------------------------------------------

# Runs a Windows program of the current prefix in the suite's locale and time zone.
in_wine() { "${wine_env[@]}" "$wine" "$@"; }

# Runs the tool with the given argument text through the launcher; `exit_line`
# receives the launcher's "exit=<code>". Every run must post the finished
# message exactly once; a missing or extra message is noted on the case.
# The launcher, and so the tool, starts in the Unix folder `tool_cwd` (Wine
# makes it the current folder; default: the repository, Z:\...), and Wine's
# own messages (WINEDEBUG) go to $work/tool-stderr.txt.
run_tool() {
  printf '%s' "\"$tool_win\"${1:+ $1}" >"$drive/equip/command.txt"
  exit_line=$(cd "${tool_cwd:-$root}" && in_wine 'C:\equip\launcher.exe' 'C:\equip\command.txt' \
    2>"$work/tool-stderr.txt" | tr -d '\r')
  messages=$((messages + 1))
  local lines
  lines=$(message_lines "$message_log" "$messages")
  if [ "$lines" -ne "$messages" ]; then
    note "$((lines - messages + 1)) finished messages instead of 1"
    messages=$lines
  elif [ "$(tail -n1 "$message_log" | tr -d '\r')" != "$finished_message" ]; then
    note "message '$(tail -n1 "$message_log")'"
  fi
}

# The 8.3 short spelling of an existing Windows path, as the system gives it.
short_path() {
  printf '@for %%%%I in ("%s") do @echo %%%%~sI\r\n' "$1" >"$drive/equip/short.bat"
  in_wine cmd /c 'C:\equip\short.bat' 2>/dev/null | tr -d '\r' | tail -n1
}

# Sets the Windows version that Wine reports to the tool alone ("" = default).
set_tool_version() {
  local key='HKCU\Software\Wine\AppDefaults\TAV_PowerSaveSetting.exe'
  if [ -n "$1" ]; then
    in_wine reg add "$key" /v Version /d "$1" /f >/dev/null 2>&1
  else
    in_wine reg delete "$key" /f >/dev/null 2>&1
  fi
}

# Holds `file` (a Windows path) open without write sharing until released;
# `holder_pid` is the holding process.
hold_file() {
  rm -f "$drive/equip/held.ready"
  wine_background "${wine_env[@]}" "$wine" 'C:\equip\file_holder.exe' "$1" \
    'C:\equip\held.ready' 120
  holder_pid=$wine_last_pid
  wait_for_file "$drive/equip/held.ready" || note "file holder did not start"
}
release() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }

# --- Files -----------------------------------------------------------------------

# Linux path of a Windows path on drive C: of the current prefix.
unix_path() {
  local p=${1#[Cc]:}
  printf '%s' "$drive${p//\\//}"
}

# Writes stdin (UTF-8, LF) to a Windows path as UTF-16LE with BOM and CR LF,
# the form that both Windows' and Wine's profile functions read as Unicode.
write_utf16() {
  local path
  path=$(unix_path "$1")
  mkdir -p "$(dirname "$path")"
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$path"
}
# Writes stdin (UTF-8, LF) to a Windows path in the ANSI code page, CR LF.
write_ansi() {
  local path
  path=$(unix_path "$1")
  mkdir -p "$(dirname "$path")"
  sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$path"
}

# The text of an INI file as UTF-8 with LF: UTF-16LE when it starts with a
# BOM, else the ANSI code page.
ini_text() {
  local path
  path=$(unix_path "$1")
  [ -f "$path" ] || return 1
  if [ "$(head -c2 "$path" | od -An -tx1 | tr -d ' \n')" = fffe ]; then
    tail -c +3 "$path" | iconv -f UTF-16LE -t UTF-8
  else
    iconv -f CP932 -t UTF-8 <"$path"
  fi | tr -d '\r'
}
ini_encoding() {
  local path
  path=$(unix_path "$1")
  if [ "$(head -c2 "$path" | od -An -tx1 | tr -d ' \n')" = fffe ]; then echo utf-16le; else echo ansi; fi
}
# "key=value" lines of one section, names as written; section names match
# without regard to case, as the profile functions match them.
ini_section() {
  ini_text "$1" | awk -v want="$2" '
    /^\[.*\]$/ { inside = (tolower(substr($0, 2, length($0) - 2)) == tolower(want)); next }
    inside && /=/ { print }'
}
# The value of one key (case-insensitive names); empty when missing.
ini_get() {
  ini_section "$1" "$2" | awk -v key="$3" -F= 'tolower($1) == tolower(key) { sub(/^[^=]*=/, ""); print; exit }'
}
ini_keys() { ini_section "$1" "$2" | cut -d= -f1 | tr '\n' ' ' | sed 's/ $//'; }
# Edits an INI file with a sed script, keeping its encoding.
ini_edit() {
  local text
  text=$(ini_text "$1") || return 1
  if [ "$(ini_encoding "$1")" = utf-16le ]; then
    sed "$2" <<<"$text" | write_utf16 "$1"
  else
    sed "$2" <<<"$text" | write_ansi "$1"
  fi
}

# A power settings file (UTF-16) at a Windows path: GENERAL with the profile
# name, then any further lines from the arguments.
settings_file() {
  local path=$1 name=$2
  shift 2
  { printf '[GENERAL]\nVersion=2.00.000\nName=%s\n' "$name"; printf '%s\n' "$@"; } | write_utf16 "$path"
}

state_file() { printf '%s' "$drive/standin-state/$1"; }
# A stand-in's log without carriage returns; empty when missing.
log_of() { [ -f "$(state_file "$1")" ] && tr -d '\r' <"$(state_file "$1")"; }
clear_logs() { rm -f "$drive/standin-state/"*.log; }

# The plan store's records: "guid|name" per plan, and the active plan.
store_plans() {
  awk '/^\[/ { if (g != "") print g "|" n; g = ""; n = "" }
       /^guid = / { g = substr($0, 8) } /^name = / { n = substr($0, 8) }
       /^\[scheme\]/ { exit } END { if (g != "") print g "|" n }' "$(state_file plan-store.txt)"
}
store_active_plan() { sed -n 's/^active-plan = //p' "$(state_file plan-store.txt)"; }
# One plan's lines in the store ("guid = ...", "name = ...", values), sorted.
store_plan() {
  awk -v want="$(lower "$1")" '
    function flush() { if (g == want) printf "%s", body; body = ""; g = "" }
    /^\[/ { flush(); inside = ($0 == "[plan]"); next }
    inside && /^guid = / { g = substr($0, 8) }
    inside && NF { body = body $0 "\n" }
    END { flush() }' "$(state_file plan-store.txt)" | LC_ALL=C sort
}
# Balanced as the stand-ins' default store holds it, sorted like store_plan.
balanced_record() {
  printf '%s\n' "guid = $balanced" "name = バランス" \
    "description = 利用可能なハードウェアでは、エネルギー消費に合わせてパフォーマンスを自動的に調整します。" \
    "ac.brightness = 100" "ac.disk-timeout = 20" "ac.hibernate-timeout = 0" "ac.monitor-timeout = 10" \
    "ac.standby-timeout = 30" "dc.brightness = 75" "dc.disk-timeout = 10" "dc.hibernate-timeout = 0" \
    "dc.monitor-timeout = 5" "dc.standby-timeout = 15" | LC_ALL=C sort
}
# A store whose only plan is Balanced, active: no power saver plan, as on
# many newer machines.
write_balanced_only_store() {
  { echo "active-plan = $balanced"; printf '\n[plan]\n'; balanced_record; } >"$(state_file plan-store.txt)"
}
store_schemes() { awk '/^\[scheme\]/ { s = 1; next } /^\[/ { s = 0 } s && /^name = / { print substr($0, 8) }' "$(state_file plan-store.txt)"; }
lower() { tr 'A-F' 'a-f' <<<"$1"; }

# --- Expected powercfg.exe command lines -------------------------------------------

# GUID path: `guid`, `new` (1: create first), then the ten values in the order
# DisplayAc DisplayDc BrightAc BrightDc HddAc HddDc SleepAc SleepDc StopAc StopDc.
# A new plan copies `base_plan` (default: the power saver).
guid_commands() {
  local g=$1 new=$2
  shift 2
  if [ "$new" = 1 ]; then
    echo "powercfg.exe /DUPLICATESCHEME ${base_plan:-$power_saver} $g"
    echo "powercfg.exe /CHANGENAME $g \"$plan_name\" \"$plan_description\""
  fi
  echo "powercfg.exe /SETACTIVE $g"
  echo "powercfg.exe /CHANGE /monitor-timeout-ac $1"
  echo "powercfg.exe /CHANGE /monitor-timeout-dc $2"
  echo "powercfg.exe /SETACVALUEINDEX $g $display_group $brightness_setting $3"
  echo "powercfg.exe /SETDCVALUEINDEX $g $display_group $brightness_setting $4"
  echo "powercfg.exe /CHANGE /disk-timeout-ac $5"
  echo "powercfg.exe /CHANGE /disk-timeout-dc $6"
  echo "powercfg.exe /CHANGE /standby-timeout-ac $7"
  echo "powercfg.exe /CHANGE /standby-timeout-dc $8"
  echo "powercfg.exe /CHANGE /hibernate-timeout-ac $9"
  echo "powercfg.exe /CHANGE /hibernate-timeout-dc ${10}"
  echo "powercfg.exe /SETACTIVE $g"
}

# Windows XP path: `new`, then the eight time-outs (no brightness).
xp_commands() {
  local new=$1 option
  shift
  if [ "$new" = 1 ]; then
    echo "powercfg.exe /SETACTIVE \"$xp_base_scheme\""
    echo "powercfg.exe /CREATE \"$plan_name\""
  fi
  for option in monitor-timeout-ac monitor-timeout-dc disk-timeout-ac disk-timeout-dc \
                standby-timeout-ac standby-timeout-dc hibernate-timeout-ac hibernate-timeout-dc; do
    echo "powercfg.exe /CHANGE \"$plan_name\" /$option $1"
    shift
  done
  echo "powercfg.exe /SETACTIVE \"$plan_name\""
}

# The GUID that a GUID-path run used: the last field of its first command.
first_guid() { log_of powercfg.log | head -n1 | awk '{ print $NF }'; }

# --- Case bookkeeping ------------------------------------------------------------

problems=()
note() { problems+=("$1"); }

# Same text, or a note with the first differing lines.
expect_text() {
  local what=$1 want=$2 got=$3
  [ "$got" = "$want" ] && return 0
  note "$what differs: $(diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") | grep '^[<>]' | head -n4 | tr '\n' ' ')"
}
expect_exit() { [ "$exit_line" = "exit=$1" ] || note "got '$exit_line', want exit=$1"; }
expect_file() { [ -e "$(unix_path "$1")" ] || note "$1 missing"; }
expect_gone() { [ ! -e "$(unix_path "$1")" ] || note "$1 still there"; }
expect_no_log() { [ ! -s "$(state_file "$1")" ] || note "$1 has $(log_of "$1" | wc -l) lines: $(log_of "$1" | head -n1)"; }

# Fresh state for a case: no data folders, empty stand-in state (default plan
# store, no logs, no tasks), a fresh copy of the tool's folder and an empty
# folder for the case's own files.
case_begin() {
  case_name=$1
  problems=()
  rm -rf "$drive/ProgramData/VARENTO" "$user_local/VARENTO" "$drive/standin-state" \
         "$drive/tav data" "$drive/Program Files/VARENTO"
  mkdir -p "$drive/standin-state" "$drive/tav data" "$drive/Program Files/VARENTO"
  cp "$dist/$tree/TAV_PowerSaveSetting.exe" "$drive/Program Files/VARENTO/"
  cp "$equipment"/{powercfg.exe,schtasks.exe,TAV_PowerSaveSuspend.exe,powrprof.dll} \
     "$drive/Program Files/VARENTO/"
}
case_end() {
  if ((${#problems[@]} == 0)); then
    pass "$tree: $case_name"
  else
    local IFS=';' counts="" name
    for name in powercfg schtasks companion powrprof; do
      counts+=" $name $(log_of $name.log | wc -l)"
    done
    fail "$tree: $case_name" "${problems[*]} [log lines:$counts]"
  fi
}

# A program file that Windows cannot start, under the name of a stand-in in
# the tool's folder: the tool takes the file there, so the start fails.
break_program() { printf 'not a program\r\n' >"$drive/Program Files/VARENTO/$1"; }

# The current local HHMM in the prefix's time zone, at least 9 seconds before
# the minute ends (the time match happens after the plan was applied).
local_hhmm_now() {
  local seconds
  seconds=$(date +%S)
  seconds=${seconds#0}
  [ "$seconds" -le 50 ] || sleep $((61 - seconds))
  TZ=$wine_tz date +%H%M
}

# --- Cases ---------------------------------------------------------------------

profile_win="$files_win\\profile.ini"
profile_name="省電力 プロファイル"
zero_values=(0 0 100 100 0 0 0 0 0 0)

# Command-line validity and exit codes: argument text | exit | the profile was applied (yes/no)
cases_command_line() {
  local entries=(
    "||1280|no"
    "no path option|/I /S:2330|1280|no"
    "missing settings file|/N:\"$files_win\\missing.ini\"|1280|no"
    "settings path is a folder|/N:\"$files_win\"|1280|no"
    "blank token stops the scan|/I / /N:\"$profile_win\"|1280|no"
    "blank before the opening quote|/N: \"$profile_win\"|1280|no"
    "forward slashes cut the path|/N:C:/tav data/profile.ini|1280|no"
    "later N: replaces the earlier|/N:\"$profile_win\" /N:\"$files_win\\missing.ini\"|1280|no"
    "lower case, no leading slash, white space|   n:\"$profile_win\"   |0|yes"
    "repeated quotes removed|/N:\"\"$profile_win\"\"|0|yes"
    "missing first, existing second|/N:\"$files_win\\missing.ini\" /N:\"$profile_win\"|0|yes"
    "malformed times are ignored|/N:\"$profile_win\" /S:930 /H:22:00 /T:x|0|yes"
  )
  local entry name arguments want applied
  for entry in "${entries[@]}"; do
    IFS='|' read -r name arguments want applied <<<"$entry"
    case_begin "command line: ${name:-empty}"
    settings_file "$profile_win" "$profile_name"
    run_tool "$arguments"
    expect_exit "$want"
    if [ "$applied" = yes ]; then
      [ "$(log_of powercfg.log | wc -l)" -eq 14 ] || note "powercfg ran $(log_of powercfg.log | wc -l) times, want 14"
    else
      expect_no_log powercfg.log
      [ ! -e "$drive/ProgramData/VARENTO" ] || note "data folder created"
    fi
    expect_no_log companion.log
    case_end
  done
}

# The settings file as powercfg.exe sees it: defaults, clamps, the brightness rule.
cases_settings_values() {
  local entries=(
    "only Version and Name: brightness 100, time-outs 0|${zero_values[*]}|"
    "values passed on, negatives clamped, brightness 47 -> 45|0 3 45 100 0 20 30 0 0 120|[DISPLAY];DisplayAcTime=-5;DisplayDcTime=3;DisplayAcBright=47;DisplayDcBright=-7;[HDD];HddAcTime=-1;HddDcTime=20;[SYSTEM];SleepAcTime=30;SleepDcTime=-100;StopAcTime=0;StopDcTime=120"
    "names in any case, brightness 250 -> 100 and 4 -> 0|10 0 100 0 0 0 0 0 0 0|[display];displayactime=10;DISPLAYACBRIGHT=250;displaydcbright=4"
  )
  local entry name values lines guid
  for entry in "${entries[@]}"; do
    IFS='|' read -r name values lines <<<"$entry"
    case_begin "settings: $name"
    local extra=()
    [ -n "$lines" ] && IFS=';' read -r -a extra <<<"$lines"
    settings_file "$profile_win" "$profile_name" "${extra[@]}"
    run_tool "/N:\"$profile_win\""
    expect_exit 0
    guid=$(first_guid)
    # shellcheck disable=SC2086
    expect_text "powercfg.exe commands" "$(guid_commands "$guid" 1 $values)" "$(log_of powercfg.log)"
    case_end
  done

  local entry2
  for entry2 in "no Version|[GENERAL];Name=x" "empty Name|[GENERAL];Version=2.00.000;Name=" \
                "empty Version|[GENERAL];Version=;Name=x"; do
    IFS='|' read -r name lines <<<"$entry2"
    case_begin "settings: unusable file ($name)"
    tr ';' '\n' <<<"$lines" | write_utf16 "$profile_win"
    run_tool "/N:\"$profile_win\""
    expect_exit 1280
    expect_no_log powercfg.log
    [ ! -e "$drive/ProgramData/VARENTO/TAV_POWERSAVE/Setting.ini" ] || note "a record was written"
    case_end
  done
}

# A new plan, then the same plan found again by GUID and by name.
cases_plan() {
  local guid values=(5 2 70 40 10 5 30 15 0 60) setting_lines=(
    "[DISPLAY]" "DisplayAcTime=5" "DisplayDcTime=2" "DisplayAcBright=70" "DisplayDcBright=40"
    "[HDD]" "HddAcTime=10" "HddDcTime=5" "[SYSTEM]" "SleepAcTime=30" "SleepDcTime=15"
    "StopAcTime=0" "StopDcTime=60")
  local record_win="$data_folder_win\\Setting.ini" mine_win="$files_win\\MySetting.ini"

  case_begin "plan: a new plan takes exactly 14 commands, recorded in both files"
  settings_file "$profile_win" "$profile_name" "${setting_lines[@]}"
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  guid=$(first_guid)
  [[ $guid =~ $guid_pattern ]] || note "no GUID in the first command: '$guid'"
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 1 "${values[@]}")" "$(log_of powercfg.log)"
  expect_text "plans named $plan_name" "$(lower "$guid")|$plan_name" "$(store_plans | grep -F "|$plan_name")"
  expect_text "active plan" "$(lower "$guid")" "$(store_active_plan)"
  grep -qF "description = $plan_description" "$(state_file plan-store.txt)" || note "description not stored"
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_text "Setting.ini ProfilePath" "$profile_win" "$(ini_get "$record_win" Current ProfilePath)"
  expect_text "Setting.ini ProfileName" "$profile_name" "$(ini_get "$record_win" Current ProfileName)"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  expect_text "MySetting.ini keys" "ProfilePath ProfileName" "$(ini_keys "$mine_win" Current)"
  expect_text "MySetting.ini ProfileName" "$profile_name" "$(ini_get "$mine_win" Current ProfileName)"
  # Record files that the tool makes start as UTF-16 LE with a byte-order
  # mark, so that the profile functions keep the Japanese name whatever the
  # code page (ini_get above decoded it from UTF-16).
  expect_text "Setting.ini encoding" utf-16le "$(ini_encoding "$record_win")"
  expect_text "MySetting.ini encoding" utf-16le "$(ini_encoding "$mine_win")"
  expect_text "settings file encoding" utf-16le "$(ini_encoding "$profile_win")"
  expect_text "settings file sections" "[GENERAL] [DISPLAY] [HDD] [SYSTEM]" \
    "$(ini_text "$profile_win" | grep '^\[' | tr '\n' ' ' | sed 's/ $//')"
  # Wine's own powrprof.dll knows no plan named "Vantrel電源プラン"; these
  # lines prove that the DLL override loaded the stand-in.
  grep -q '^PowerReadFriendlyName ' <(log_of powrprof.log) || note "powrprof stand-in not used: $(log_of powrprof.log | head -n1)"
  case_end

  case_begin "plan: found again by its recorded GUID: 12 commands, no name look-up"
  settings_file "$profile_win" "$profile_name" "${setting_lines[@]}"
  run_tool "/N:\"$profile_win\""
  guid=$(first_guid)
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 0 "${values[@]}")" "$(log_of powercfg.log)"
  ! grep -q '^PowerReadFriendlyName' <(log_of powrprof.log) || note "friendly names read despite a recorded GUID"
  [ "$(store_plans | grep -cF "|$plan_name")" -eq 1 ] || note "plans named $plan_name: $(store_plans | grep -cF "|$plan_name")"
  case_end

  # The record is also rewritten in the ANSI code page: an existing record
  # file keeps its encoding.
  case_begin "plan: found by its name when no GUID is recorded: 12 commands; an ANSI record stays ANSI"
  settings_file "$profile_win" "$profile_name" "${setting_lines[@]}"
  run_tool "/N:\"$profile_win\""
  ini_text "$record_win" | sed '/^GUID=/d' | write_ansi "$record_win"
  [ -z "$(ini_get "$record_win" Current GUID)" ] || note "GUID not removed from the record"
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  guid=$(first_guid)
  local named
  named=$(store_plans | grep -F "|$plan_name" | cut -d'|' -f1)
  [ -n "$named" ] && [ "$(lower "$guid")" = "$named" ] || note "GUID '$guid' is not that of the plan named $plan_name ('$named')"
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 0 "${values[@]}")" "$(log_of powercfg.log)"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  expect_text "Setting.ini encoding" ansi "$(ini_encoding "$record_win")"
  expect_text "Setting.ini ProfileName" "$profile_name" "$(ini_get "$record_win" Current ProfileName)"
  case_end

  case_begin "plan: a recorded GUID in braces and lower case finds the plan"
  settings_file "$profile_win" "$profile_name"
  run_tool "/N:\"$profile_win\""
  guid=$(first_guid)
  ini_edit "$record_win" "s/^GUID=.*/GUID={$(lower "$guid")}/"
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  expect_text "powercfg.exe commands" "$(guid_commands "$(lower "$guid")" 0 "${zero_values[@]}")" "$(log_of powercfg.log)"
  case_end

  case_begin "plan: a recorded GUID of no plan makes a new plan despite the name"
  settings_file "$profile_win" "$profile_name"
  run_tool "/N:\"$profile_win\""
  guid=$(first_guid)
  ini_edit "$record_win" 's/^GUID=.*/GUID=01234567-89ab-cdef-0123-456789abcdef/'
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  local second
  second=$(first_guid)
  [ "$(lower "$second")" != "$(lower "$guid")" ] && [ "$(lower "$second")" != 01234567-89ab-cdef-0123-456789abcdef ] \
    || note "no fresh GUID: '$second'"
  expect_text "powercfg.exe commands" "$(guid_commands "$second" 1 "${zero_values[@]}")" "$(log_of powercfg.log)"
  [ "$(store_plans | grep -cF "|$plan_name")" -eq 2 ] || note "plans named $plan_name: $(store_plans | grep -cF "|$plan_name")"
  case_end

  # A record naming one of Windows' own plans (edited, or left by some other
  # tool) must not make the tool reconfigure the user's plan.
  case_begin "plan: a recorded GUID of Balanced is never adopted: a new plan, Balanced untouched"
  write_balanced_only_store
  settings_file "$record_win" "$profile_name" "[Current]" "GUID=$(tr 'a-f' 'A-F' <<<"$balanced")"
  run_tool "/N:\"$record_win\""
  expect_exit 0
  guid=$(first_guid)
  [ "$(lower "$guid")" != "$balanced" ] && [[ $guid =~ $guid_pattern ]] || note "no fresh GUID: '$guid'"
  expect_text "powercfg.exe commands" "$(base_plan=$balanced guid_commands "$guid" 1 "${zero_values[@]}")" \
    "$(log_of powercfg.log)"
  expect_text "Balanced" "$(balanced_record)" "$(store_plan "$balanced")"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  case_end

  case_begin "plan: no power saver plan: a copy of Balanced, Balanced untouched; then found by GUID"
  write_balanced_only_store
  settings_file "$profile_win" "$profile_name" "${setting_lines[@]}"
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  guid=$(first_guid)
  [[ $guid =~ $guid_pattern ]] || note "no GUID in the first command: '$guid'"
  expect_text "powercfg.exe commands" "$(base_plan=$balanced guid_commands "$guid" 1 "${values[@]}")" \
    "$(log_of powercfg.log)"
  expect_text "plans" "$balanced|バランス
$(lower "$guid")|$plan_name" "$(store_plans)"
  expect_text "active plan" "$(lower "$guid")" "$(store_active_plan)"
  expect_text "values of the new plan" "ac.brightness = 70
ac.disk-timeout = 10
ac.hibernate-timeout = 0
ac.monitor-timeout = 5
ac.standby-timeout = 30
dc.brightness = 40
dc.disk-timeout = 5
dc.hibernate-timeout = 60
dc.monitor-timeout = 2
dc.standby-timeout = 15" "$(store_plan "$guid" | grep '^[ad]c\.')"
  expect_text "Balanced" "$(balanced_record)" "$(store_plan "$balanced")"
  grep -q '^PowerGetActiveScheme -> 0$' <(log_of powrprof.log) || note "active plan not asked of the power library"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  expect_text "powercfg.exe commands (second run)" "$(guid_commands "$guid" 0 "${values[@]}")" "$(log_of powercfg.log)"
  expect_text "plans after the second run" "$balanced|バランス
$(lower "$guid")|$plan_name" "$(store_plans)"
  expect_text "Balanced after the second run" "$(balanced_record)" "$(store_plan "$balanced")"
  case_end

  # A policy keeps the active plan: powercfg.exe refuses the activation (and
  # its exit code is never read); the tool must see that Balanced is still
  # active and stop before "/CHANGE" rewrites Balanced.
  case_begin "plan: activation refused: exit 1280, the active plan keeps its values, nothing recorded"
  settings_file "$record_win" "$profile_name" "${setting_lines[@]}"
  local record_before
  record_before=$(od -An -tx1 -v "$(unix_path "$record_win")")
  : >"$(state_file policy-keeps-active-plan)"
  run_tool "/N:\"$record_win\""
  expect_exit 1280
  guid=$(first_guid)
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 1 "${values[@]}" | head -n3)" "$(log_of powercfg.log)"
  expect_text "active plan" "$balanced" "$(store_active_plan)"
  expect_text "Balanced" "$(balanced_record)" "$(store_plan "$balanced")"
  grep -q '^PowerGetActiveScheme -> 0$' <(log_of powrprof.log) || note "active plan not asked of the power library"
  [ "$(od -An -tx1 -v "$(unix_path "$record_win")")" = "$record_before" ] || note "Setting.ini changed"
  expect_gone "$data_folder_win\\MySetting.ini"
  case_end

  case_begin "plan: powercfg.exe that cannot be started fails the run, nothing recorded"
  settings_file "$profile_win" "$profile_name"
  break_program powercfg.exe
  run_tool "/N:\"$profile_win\" /S:$(local_hhmm_now)"
  expect_exit 1280
  expect_gone "$record_win"
  expect_gone "$files_win\\MySetting.ini"
  expect_no_log companion.log
  case_end
}

# Where the record goes, what it holds, and the roll-back of a failed write.
cases_record() {
  local record_win="$data_folder_win\\Setting.ini" guid user_mine_win="$user_local_win\\VARENTO\\TAV_POWERSAVE\\MySetting.ini"

  case_begin "record: Setting.ini of the data folder applied: three keys beside the profile, still UTF-16"
  settings_file "$record_win" "$profile_name" "[DISPLAY]" "DisplayAcTime=7"
  run_tool "/N:\"$record_win\""
  expect_exit 0
  guid=$(first_guid)
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  expect_text "Setting.ini ProfileName" "$profile_name" "$(ini_get "$record_win" Current ProfileName)"
  expect_text "profile kept" "DisplayAcTime=7" "$(ini_section "$record_win" DISPLAY)"
  # An existing Unicode file stays Unicode.
  expect_text "Setting.ini encoding" utf-16le "$(ini_encoding "$record_win")"
  expect_gone "$data_folder_win\\MySetting.ini"
  expect_gone "$user_mine_win"
  case_end

  case_begin "record: the data folder spelled in another case counts as the data folder"
  settings_file "$record_win" "$profile_name"
  local spelled='c:\programdata\varento\tav_powersave\Setting.ini'
  run_tool "/N:\"$spelled\""
  expect_exit 0
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_text "Setting.ini ProfilePath" "$spelled" "$(ini_get "$record_win" Current ProfilePath)"
  expect_gone "$data_folder_win\\MySetting.ini"
  case_end

  case_begin "record: the user's MySetting.ini applied: two keys there, three in Setting.ini"
  settings_file "$user_mine_win" "$profile_name"
  run_tool "/N:\"$user_mine_win\""
  expect_exit 0
  guid=$(first_guid)
  expect_text "MySetting.ini keys" "ProfilePath ProfileName" "$(ini_keys "$user_mine_win" Current)"
  expect_text "MySetting.ini ProfilePath" "$user_mine_win" "$(ini_get "$user_mine_win" Current ProfilePath)"
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_text "Setting.ini GUID" "$guid" "$(ini_get "$record_win" Current GUID)"
  expect_text "MySetting.ini encoding" utf-16le "$(ini_encoding "$user_mine_win")"
  case_end

  case_begin "record: a read-only Setting.ini loses the attribute when the record is read"
  settings_file "$profile_win" "$profile_name"
  run_tool "/N:\"$profile_win\""
  # Wine shows a file without write permission as FILE_ATTRIBUTE_READONLY.
  chmod a-w "$(unix_path "$record_win")"
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  [ -n "$(find "$(unix_path "$record_win")" -perm -u+w)" ] || note "Setting.ini still read-only"
  case_end

  case_begin "record: failed write in the data folder removes the plan again"
  settings_file "$record_win" "$profile_name"
  hold_file "$record_win"
  run_tool "/N:\"$record_win\""
  release "$holder_pid"
  expect_exit 1280
  guid=$(first_guid)
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 1 "${zero_values[@]}"
    echo "powercfg.exe /SETACTIVE $power_saver"
    echo "powercfg.exe /DELETE \"$guid\"")" "$(log_of powercfg.log)"
  [ -z "$(store_plans | grep -F "|$plan_name")" ] || note "plan still in the store"
  expect_text "active plan" "$power_saver" "$(store_active_plan)"
  [ -z "$(ini_section "$record_win" Current)" ] || note "a record was written"
  case_end

  case_begin "record: failed write, no power saver plan: Balanced made active again, the copy deleted"
  write_balanced_only_store
  settings_file "$record_win" "$profile_name"
  hold_file "$record_win"
  run_tool "/N:\"$record_win\""
  release "$holder_pid"
  expect_exit 1280
  guid=$(first_guid)
  expect_text "powercfg.exe commands" "$(base_plan=$balanced guid_commands "$guid" 1 "${zero_values[@]}"
    echo "powercfg.exe /SETACTIVE $balanced"
    echo "powercfg.exe /DELETE \"$guid\"")" "$(log_of powercfg.log)"
  expect_text "plans" "$balanced|バランス" "$(store_plans)"
  expect_text "active plan" "$balanced" "$(store_active_plan)"
  expect_text "Balanced" "$(balanced_record)" "$(store_plan "$balanced")"
  case_end

  case_begin "record: failed write beside a profile elsewhere keeps the plan"
  settings_file "$profile_win" "$profile_name"
  write_ansi "$files_win\\MySetting.ini" </dev/null
  hold_file "$files_win\\MySetting.ini"
  run_tool "/N:\"$profile_win\" /S:$(local_hhmm_now)"
  release "$holder_pid"
  expect_exit 1280
  guid=$(first_guid)
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 1 "${zero_values[@]}")" "$(log_of powercfg.log)"
  expect_text "plans named $plan_name" "$(lower "$guid")|$plan_name" "$(store_plans | grep -F "|$plan_name")"
  # Every write is attempted: the data folder's record is complete.
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_no_log companion.log
  case_end
}

# The task registration list.
cases_tasks() {
  local list_win="$files_win\\タスク一覧.txt" xml_folder="$files_win\\タスク 定義"

  case_begin "tasks: registrations, deletions and read-only files"
  mkdir -p "$(unix_path "$xml_folder")"
  local xml
  for xml in "$xml_folder\\sleep.xml" "$files_win\\wake.xml" "$files_win\\a.xml" "$files_win\\b.xml" \
             "$files_win\\orphan.xml"; do
    printf '<Task id="%s"/>' "$(basename "$(unix_path "$xml")")" >"$(unix_path "$xml")"
  done
  write_ansi "$list_win" <<EOF
/TN:"夜間スリープ" /XML:"$xml_folder\\sleep.xml"
/xml:"$files_win\\wake.xml" /tn:"Wake up"

/TN:"Missing" /XML:"$files_win\\missing.xml"
/TN:"Incomplete"
/XML:"$files_win\\orphan.xml"
/TN:"A" /XML:"$files_win\\a.xml" /TN:"B" /XML:"$files_win\\b.xml"
EOF
  chmod a-w "$(unix_path "$list_win")" "$(unix_path "$xml_folder\\sleep.xml")"
  run_tool "/F:\"$list_win\""
  expect_exit 0
  expect_text "schtasks command lines" "schtasks /Create /TN \"夜間スリープ\" /XML \"$xml_folder\\sleep.xml\" /F
schtasks /Create /TN \"Wake up\" /XML \"$files_win\\wake.xml\" /F
schtasks /Create /TN \"A\" /XML \"$files_win\\a.xml\" /F" "$(log_of schtasks.log)"
  expect_text "task registry" "$(printf '夜間スリープ\t<Task id="sleep.xml"/>\nWake up\t<Task id="wake.xml"/>\nA\t<Task id="a.xml"/>')" \
    "$(cat "$(state_file schtasks-registry.txt)" 2>/dev/null)"
  expect_gone "$list_win"
  expect_gone "$xml_folder\\sleep.xml"
  expect_gone "$files_win\\wake.xml"
  expect_gone "$files_win\\a.xml"
  expect_file "$files_win\\b.xml"
  expect_file "$files_win\\orphan.xml"
  expect_no_log powercfg.log
  case_end

  case_begin "tasks: schtasks that cannot be started still consumes the files"
  printf '<Task/>' >"$(unix_path "$files_win\\wake.xml")"
  write_ansi "$list_win" <<<"/TN:\"Wake up\" /XML:\"$files_win\\wake.xml\""
  break_program schtasks.exe
  run_tool "/F:\"$list_win\""
  expect_exit 0
  expect_gone "$files_win\\wake.xml"
  expect_gone "$list_win"
  expect_no_log schtasks.log
  case_end

  # The list is read shared for reading only: a program that has it open for
  # writing keeps the tool out, and the run fails before anything else.
  case_begin "tasks: a list open for writing elsewhere fails the run, nothing touched"
  settings_file "$profile_win" "$profile_name"
  printf '<Task/>' >"$(unix_path "$files_win\\wake.xml")"
  write_ansi "$list_win" <<<"/TN:\"Wake up\" /XML:\"$files_win\\wake.xml\""
  hold_file "$list_win"
  run_tool "/F:\"$list_win\" /N:\"$profile_win\""
  release "$holder_pid"
  expect_exit 1280
  expect_file "$list_win"
  expect_file "$files_win\\wake.xml"
  expect_no_log schtasks.log
  expect_no_log powercfg.log
  case_end

  case_begin "tasks: a missing list ends the run before the settings file"
  settings_file "$profile_win" "$profile_name"
  run_tool "/N:\"$profile_win\" /F:\"$files_win\\missing.txt\""
  expect_exit 1280
  expect_no_log powercfg.log
  case_end

  case_begin "tasks: registered, then a missing settings file fails the run"
  printf '<Task/>' >"$(unix_path "$files_win\\wake.xml")"
  write_ansi "$list_win" <<<"/TN:\"Wake up\" /XML:\"$files_win\\wake.xml\""
  run_tool "/F:\"$list_win\" /N:\"$files_win\\missing.ini\""
  expect_exit 1280
  [ "$(log_of schtasks.log | wc -l)" -eq 1 ] || note "schtasks ran $(log_of schtasks.log | wc -l) times"
  expect_gone "$list_win"
  expect_no_log powercfg.log
  case_end

  # Only regular files are registered and deleted: a folder or a device named
  # in the list is left alone (a folder keeps its read-only attribute), the
  # plain entry beside them is handled. Wine 8 shows a Unix symbolic link as
  # the plain file it points to and makes no reparse points
  # (CreateSymbolicLinkW creates nothing, FSCTL_SET_REPARSE_POINT is not
  # supported), so no link can be shown to the tool here; win32_os_check
  # reports what Wine makes of one.
  case_begin "tasks: an XML path that is a folder or a device is neither registered nor touched"
  local folder_xml
  folder_xml=$(unix_path "$files_win\\folder.xml")
  mkdir -p "$folder_xml"
  printf '<Task id="inside"/>' >"$folder_xml/inside.xml"
  chmod a-w "$folder_xml"
  printf '<Task id="plain"/>' >"$(unix_path "$files_win\\plain.xml")"
  write_ansi "$list_win" <<EOF
/TN:"Folder" /XML:"$files_win\\folder.xml"
/TN:"Device" /XML:"NUL"
/TN:"Plain" /XML:"$files_win\\plain.xml"
EOF
  run_tool "/F:\"$list_win\""
  expect_exit 0
  expect_text "schtasks command lines" "schtasks /Create /TN \"Plain\" /XML \"$files_win\\plain.xml\" /F" \
    "$(log_of schtasks.log)"
  expect_gone "$files_win\\plain.xml"
  expect_gone "$list_win"
  [ -d "$folder_xml" ] || note "folder.xml is no longer a folder"
  expect_text "file in the folder" '<Task id="inside"/>' "$(cat "$folder_xml/inside.xml" 2>/dev/null)"
  [ -z "$(find "$folder_xml" -maxdepth 0 -perm -u+w)" ] || note "folder.xml lost its read-only attribute"
  chmod u+w "$folder_xml"
  case_end

  # The tool runs elevated from whatever folder its caller was in: a schtasks
  # planted there must not run in place of the system's. With no schtasks.exe
  # in the tool's folder, Wine's own C:\windows\system32\schtasks.exe runs.
  # Wine's task scheduler service does not start in these prefixes, so that
  # program registers nothing; Wine's traces prove that it ran: the tool's
  # CreateProcess of that file (+process), the loader mapping that image in
  # the child (+loaddll), and the message that only Wine's schtasks prints
  # when it cannot reach the service (fixme+schtasks).
  case_begin "tasks: a schtasks.exe in the current folder never runs; the system's one does"
  local caller="$drive/caller folder" trace tid
  mkdir -p "$caller"
  cp "$equipment/schtasks.exe" "$caller/"
  rm -f "$drive/Program Files/VARENTO/schtasks.exe"
  printf '<Task/>' >"$(unix_path "$files_win\\wake.xml")"
  write_ansi "$list_win" <<<"/TN:\"Wake up\" /XML:\"$files_win\\wake.xml\""
  export WINEDEBUG=-all,+process,+loaddll,fixme+schtasks
  tool_cwd=$caller run_tool "/F:\"$list_win\""
  export WINEDEBUG=-all
  expect_exit 0
  expect_no_log schtasks.log
  expect_gone "$files_win\\wake.xml"
  expect_gone "$list_win"
  trace=$(tr -d '\r' <"$work/tool-stderr.txt")
  grep -qiF 'app L"C:\\windows\\system32\\schtasks.exe" cmdline L"schtasks /Create /TN \"Wake up\"' <<<"$trace" \
    || note "the tool did not start C:\\windows\\system32\\schtasks.exe"
  # The child's first thread loads the image and prints the message.
  tid=$(grep -iF 'NtCreateUserProcess L"\\??\\C:\\windows\\system32\\schtasks.exe" pid' <<<"$trace" \
    | sed -n 's/.* tid \([0-9a-f]*\) .*/\1/p' | head -n1)
  if [ -z "$tid" ]; then
    note "no process made of C:\\windows\\system32\\schtasks.exe"
  else
    grep -qiF "$tid:trace:loaddll:build_module Loaded L\"C:\\\\windows\\\\system32\\\\schtasks.exe\"" <<<"$trace" \
      || note "C:\\windows\\system32\\schtasks.exe not loaded in its process"
    grep -q "^$tid:fixme:schtasks:" <<<"$trace" || note "no message of Wine's schtasks from its process"
  fi
  # Control: a plain search from that folder finds the planted program.
  printf '%s' "schtasks /Create /TN \"control\" /XML \"$files_win\\control.xml\" /F" >"$drive/equip/command.txt"
  (cd "$caller" && in_wine 'C:\equip\launcher.exe' 'C:\equip\command.txt' >/dev/null 2>&1)
  expect_text "control: schtasks found by a search from the current folder" \
    "schtasks /Create /TN \"control\" /XML \"$files_win\\control.xml\" /F" "$(log_of schtasks.log)"
  case_end

  case_begin "tasks: a list alone never hands off, even at the matching time"
  write_ansi "$list_win" </dev/null
  run_tool "/F:\"$list_win\" /S:$(local_hhmm_now)"
  expect_exit 0
  expect_gone "$list_win"
  expect_no_log companion.log
  case_end
}

# The hand-off to the companion at the current local time.
cases_trace() {
  # OutputDebugStringW lines arrive on Wine's seh channel at warn level; Wine
  # shows non-ASCII characters as "?".
  local trace
  case_begin "trace: an unusable command line says which rule it broke"
  export WINEDEBUG=-all,warn+seh
  run_tool "/N:\"C:\\nowhere\\Setting.ini\""
  export WINEDEBUG=-all
  expect_exit 1280
  trace=$(tr -d '\r' <"$work/tool-stderr.txt" | grep -F 'OutputDebugString' | grep -F '"TAV_PowerSaveSetting[')
  for line in 'command line unusable: neither the settings file nor the task list exists' \
    'exit code 1280: the command line is unusable'; do
    grep -qF "$line" <<<"$trace" || note "no trace line '$line'"
  done
  case_end

  case_begin "trace: a new plan: discovery, each child with its exit code, the records, the end"
  settings_file "$profile_win" "$profile_name" "[DISPLAY]" "DisplayAcTime=5"
  export WINEDEBUG=-all,warn+seh
  run_tool "/N:\"$profile_win\""
  export WINEDEBUG=-all
  expect_exit 0
  trace=$(tr -d '\r' <"$work/tool-stderr.txt" | grep -F 'OutputDebugString' | grep -F '"TAV_PowerSaveSetting[')
  for line in 'mutex: taken' 'plan: not found; it is made as ' 'base plan: power saver' \
    'child ended: powercfg.exe /DUPLICATESCHEME ' 'powercfg.exe\"): exit code 0, ' \
    'active plan: ' ', confirmed' 'record: GUID=' \
    'exit code 0: the settings were applied and recorded'; do
    grep -qF "$line" <<<"$trace" || note "no trace line with '$line'"
  done
  [ "$(grep -cF 'child ended: powercfg.exe ' <<<"$trace")" -eq 14 ] \
    || note "$(grep -cF 'child ended: powercfg.exe ' <<<"$trace") child lines instead of 14"
  case_end
}

cases_handoff() {
  local cancel="\"$companion_win\" /CANCEL" now entry name arguments second
  # name | arguments (NOW = the current local time) | the companion's second command line
  local entries=(
    "suspend without a time switch|/S:NOW|\"$companion_win\" /SUSPEND"
    "suspend with /T:0630|/S:NOW /T:0630|\"$companion_win\" /SUSPEND /T:0630"
    "hibernate, /T: before /H:|/T:0705 /H:NOW|\"$companion_win\" /HIBERNATE /T:0705"
    "both S: and H: hibernate|/S:NOW /H:NOW /T:0000|\"$companion_win\" /HIBERNATE /T:0000"
  )
  for entry in "${entries[@]}"; do
    IFS='|' read -r name arguments second <<<"$entry"
    case_begin "hand-off: $name"
    settings_file "$profile_win" "$profile_name"
    now=$(local_hhmm_now)
    run_tool "/N:\"$profile_win\" ${arguments//NOW/$now}"
    expect_exit 0
    expect_text "companion command lines" "$cancel
$second" "$(log_of companion.log)"
    [ "$(log_of powercfg.log | wc -l)" -eq 14 ] || note "powercfg ran $(log_of powercfg.log | wc -l) times"
    case_end
  done

  case_begin "hand-off: the time in UTC is not the local time: no hand-off"
  settings_file "$profile_win" "$profile_name"
  local_hhmm_now >/dev/null
  run_tool "/N:\"$profile_win\" /S:$(TZ=UTC date +%H%M)"
  expect_exit 0
  expect_no_log companion.log
  case_end

  case_begin "hand-off: companion missing fails the run after applying and recording"
  settings_file "$profile_win" "$profile_name"
  rm -f "$drive/Program Files/VARENTO/TAV_PowerSaveSuspend.exe"
  run_tool "/N:\"$profile_win\" /S:$(local_hhmm_now)"
  expect_exit 1280
  [ "$(log_of powercfg.log | wc -l)" -eq 14 ] || note "powercfg ran $(log_of powercfg.log | wc -l) times"
  expect_text "Setting.ini GUID" "$(first_guid)" "$(ini_get "$data_folder_win\\Setting.ini" Current GUID)"
  expect_no_log companion.log
  case_end
}

# Another instance holds the mutex: nothing is touched; afterwards the same
# command line works.
cases_mutex() {
  local list_win="$files_win\\list.txt"
  case_begin "mutex held by another process: exit 0, nothing touched"
  settings_file "$profile_win" "$profile_name"
  write_ansi "$list_win" </dev/null
  rm -f "$drive/equip/mutex.ready"
  wine_background "${wine_env[@]}" "$wine" 'C:\equip\mutex_holder.exe' --seconds 120 \
    --ready 'C:\equip\mutex.ready'
  local mutex_pid=$wine_last_pid
  wait_for_file "$drive/equip/mutex.ready" || note "mutex holder did not start"
  run_tool "/F:\"$list_win\" /N:\"$profile_win\" /S:$(local_hhmm_now)"
  release "$mutex_pid"
  expect_exit 0
  expect_file "$list_win"
  expect_no_log powercfg.log
  expect_no_log companion.log
  [ ! -e "$drive/ProgramData/VARENTO" ] || note "data folder created"
  run_tool "/F:\"$list_win\" /N:\"$profile_win\""
  expect_exit 0
  expect_gone "$list_win"
  [ "$(log_of powercfg.log | wc -l)" -eq 14 ] || note "after release: powercfg ran $(log_of powercfg.log | wc -l) times"
  case_end
}

# Windows XP as Wine reports it to the tool alone: name-based schemes.
cases_xp() {
  local record_win="$data_folder_win\\Setting.ini" values=(3 1 20 10 45 30 0 90) lines=(
    "[DISPLAY]" "DisplayAcTime=3" "DisplayDcTime=1" "DisplayAcBright=55" "[HDD]" "HddAcTime=20"
    "HddDcTime=10" "[SYSTEM]" "SleepAcTime=45" "SleepDcTime=30" "StopAcTime=0" "StopDcTime=90")
  set_tool_version winxp

  case_begin "Windows XP: the I option ends the run with 0 and does nothing"
  settings_file "$profile_win" "$profile_name"
  run_tool "/I /N:\"$profile_win\""
  expect_exit 0
  expect_no_log powercfg.log
  expect_no_log powrprof.log
  [ ! -e "$drive/ProgramData/VARENTO" ] || note "data folder created"
  case_end

  case_begin "Windows XP: a new scheme takes 11 commands, then 9 for the existing one"
  settings_file "$record_win" "$profile_name" "${lines[@]}"
  run_tool "/N:\"$record_win\""
  expect_exit 0
  expect_text "powercfg.exe commands (new)" "$(xp_commands 1 "${values[@]}")" "$(log_of powercfg.log)"
  grep -qx "$plan_name" <(store_schemes) || note "scheme $plan_name not created"
  expect_text "Setting.ini keys" "ProfilePath ProfileName GUID" "$(ini_keys "$record_win" Current)"
  expect_text "Setting.ini GUID" "" "$(ini_get "$record_win" Current GUID)"
  expect_text "Setting.ini ProfileName" "$profile_name" "$(ini_get "$record_win" Current ProfileName)"
  grep -q '^EnumPwrSchemes -> 1' <(log_of powrprof.log) || note "EnumPwrSchemes of the stand-in not called"
  ! grep -q '^PowerEnumerate' <(log_of powrprof.log) || note "PowerEnumerate called on Windows XP"
  clear_logs
  run_tool "/N:\"$record_win\""
  expect_exit 0
  expect_text "powercfg.exe commands (existing)" "$(xp_commands 0 "${values[@]}")" "$(log_of powercfg.log)"
  [ "$(store_schemes | grep -cx "$plan_name")" -eq 1 ] || note "schemes named $plan_name: $(store_schemes | grep -cx "$plan_name")"
  case_end

  # A profile outside the data folders is looked up in the user's
  # MySetting.ini, which its record never reaches: every run creates.
  case_begin "Windows XP: no recorded profile: /CREATE again though the scheme exists"
  settings_file "$profile_win" "$profile_name"
  run_tool "/N:\"$profile_win\""
  clear_logs
  run_tool "/N:\"$profile_win\""
  expect_exit 0
  expect_text "powercfg.exe commands" "$(xp_commands 1 0 0 0 0 0 0 0 0)" "$(log_of powercfg.log)"
  grep -qx "$plan_name" <(store_schemes) || note "scheme $plan_name missing"
  case_end

  case_begin "Windows XP: failed write in the data folder removes the scheme by name"
  settings_file "$record_win" "$profile_name"
  hold_file "$record_win"
  run_tool "/N:\"$record_win\""
  release "$holder_pid"
  expect_exit 1280
  expect_text "powercfg.exe commands" "$(xp_commands 1 0 0 0 0 0 0 0 0
    echo "powercfg.exe /SETACTIVE \"$xp_base_scheme\""
    echo "powercfg.exe /DELETE \"$plan_name\"")" "$(log_of powercfg.log)"
  ! grep -qx "$plan_name" <(store_schemes) || note "scheme still there"
  case_end

  set_tool_version ""
}

# --- One tree --------------------------------------------------------------------

# Files another user shaped: Unix links in the prefix, which Wine shows as
# plain files and folders by their attributes; only checks through an open
# handle (final path, link count) see them.
cases_links() {
  local record_win="$data_folder_win\\Setting.ini" guid

  case_begin "links: a hard-linked Setting.ini: exit 1280, nothing run, the other file untouched"
  settings_file "$profile_win" "$profile_name"
  mkdir -p "$(unix_path "$data_folder_win")"
  printf '[Other]\r\nKept=1\r\n' >"$drive/tav data/victim.ini"
  chmod a-w "$drive/tav data/victim.ini"
  ln "$drive/tav data/victim.ini" "$(unix_path "$record_win")"
  run_tool "/N:\"$profile_win\""
  expect_exit 1280
  expect_no_log powercfg.log
  expect_text "other file" "$(printf '[Other]\r\nKept=1\r')" "$(cat "$drive/tav data/victim.ini")"
  [ -z "$(find "$drive/tav data/victim.ini" -perm -u+w)" ] || note "the other file lost its read-only attribute"
  expect_gone "$files_win\\MySetting.ini"
  case_end

  case_begin "links: a linked TAV_POWERSAVE: exit 1280, nothing run, nothing lands behind the link"
  settings_file "$profile_win" "$profile_name"
  mkdir -p "$drive/ProgramData/VARENTO" "$drive/tav data/elsewhere"
  ln -s "$drive/tav data/elsewhere" "$(unix_path "$data_folder_win")"
  run_tool "/N:\"$profile_win\""
  expect_exit 1280
  expect_no_log powercfg.log
  [ -z "$(ls -A "$drive/tav data/elsewhere")" ] || note "files behind the link: $(ls -A "$drive/tav data/elsewhere")"
  case_end

  case_begin "links: an XML file behind a linked folder is neither registered nor deleted"
  mkdir -p "$drive/tav data/real"
  ln -s "$drive/tav data/real" "$drive/tav data/linked"
  printf '<Task/>' >"$drive/tav data/real/x.xml"
  printf '<Task/>' >"$drive/tav data/plain.xml"
  printf '/TN:"Linked" /XML:"%s"\n/TN:"Plain" /XML:"%s"\n' \
    "$files_win\\linked\\x.xml" "$files_win\\plain.xml" | write_ansi "$files_win\\list.txt"
  run_tool "/F:\"$files_win\\list.txt\""
  expect_exit 0
  expect_text "schtasks command lines" "schtasks /Create /TN \"Plain\" /XML \"$files_win\\plain.xml\" /F" "$(log_of schtasks.log)"
  [ -f "$drive/tav data/real/x.xml" ] || note "the XML file behind the link was deleted"
  expect_gone "$files_win\\plain.xml"
  expect_gone "$files_win\\list.txt"
  case_end

  case_begin "links: a task list behind a linked folder counts as missing: exit 1280, nothing run or deleted"
  mkdir -p "$drive/tav data/real"
  ln -s "$drive/tav data/real" "$drive/tav data/linked"
  printf '<Task/>' >"$drive/tav data/plain.xml"
  printf '/TN:"Plain" /XML:"%s"\n' "$files_win\\plain.xml" | write_ansi "$files_win\\real\\list.txt"
  run_tool "/F:\"$files_win\\linked\\list.txt\""
  expect_exit 1280
  expect_no_log schtasks.log
  [ -f "$drive/tav data/real/list.txt" ] || note "the list behind the link was deleted"
  expect_file "$files_win\\plain.xml"
  case_end

  case_begin "links: a MySetting.ini beside the settings file that links elsewhere: exit 1280, nothing run, the other file untouched"
  settings_file "$profile_win" "$profile_name"
  mkdir -p "$drive/tav data/other"
  printf '[Other]\r\nKept=1\r\n' >"$drive/tav data/other/run.ini"
  chmod a-w "$drive/tav data/other/run.ini"
  ln -s "$drive/tav data/other/run.ini" "$drive/tav data/MySetting.ini"
  run_tool "/N:\"$profile_win\""
  expect_exit 1280
  expect_no_log powercfg.log
  expect_text "other file" "$(printf '[Other]\r\nKept=1\r')" "$(cat "$drive/tav data/other/run.ini")"
  [ -z "$(find "$drive/tav data/other/run.ini" -perm -u+w)" ] || note "the other file lost its read-only attribute"
  case_end

  case_begin "links: a linked user VARENTO: exit 1280, nothing run, nothing made or unprotected behind it"
  settings_file "$profile_win" "$profile_name"
  mkdir -p "$drive/tav data/elsewhere/TAV_POWERSAVE"
  printf '[Other]\r\nKept=1\r\n' >"$drive/tav data/elsewhere/TAV_POWERSAVE/MySetting.ini"
  chmod a-w "$drive/tav data/elsewhere/TAV_POWERSAVE/MySetting.ini"
  ln -s "$drive/tav data/elsewhere" "$user_local/VARENTO"
  run_tool "/N:\"$profile_win\""
  expect_exit 1280
  expect_no_log powercfg.log
  [ -z "$(find "$drive/tav data/elsewhere/TAV_POWERSAVE/MySetting.ini" -perm -u+w)" ] || note "the file behind the link lost its read-only attribute"
  [ "$(ls -A "$drive/tav data/elsewhere")" = TAV_POWERSAVE ] || note "made behind the link: $(ls -A "$drive/tav data/elsewhere")"
  case_end

  case_begin "links: a linked machine VARENTO: exit 1280, nothing run, nothing made behind it"
  settings_file "$profile_win" "$profile_name"
  mkdir -p "$drive/tav data/elsewhere"
  ln -s "$drive/tav data/elsewhere" "$drive/ProgramData/VARENTO"
  run_tool "/N:\"$profile_win\""
  expect_exit 1280
  expect_no_log powercfg.log
  [ -z "$(ls -A "$drive/tav data/elsewhere")" ] || note "made behind the link: $(ls -A "$drive/tav data/elsewhere")"
  case_end

  case_begin "short names: a read-only XML file and the task list named by 8.3 short paths are registered and deleted"
  local short_xml short_list
  mkdir -p "$drive/tav data/a long folder name"
  printf '<Task/>' >"$drive/tav data/a long folder name/task definition.xml"
  chmod a-w "$drive/tav data/a long folder name/task definition.xml"
  short_xml=$(short_path "$files_win\a long folder name\task definition.xml")
  printf '/TN:"Short" /XML:"%s"\n' "$short_xml" | write_ansi "$files_win\a long folder name\the task list.txt"
  short_list=$(short_path "$files_win\a long folder name\the task list.txt")
  [[ $short_xml == *"~"* && $short_list == *"~"* ]] || note "no short names: '$short_xml', '$short_list'"
  run_tool "/F:\"$short_list\""
  expect_exit 0
  expect_text "schtasks command lines" "schtasks /Create /TN \"Short\" /XML \"$short_xml\" /F" "$(log_of schtasks.log)"
  expect_gone "$files_win\a long folder name\task definition.xml"
  expect_gone "$files_win\a long folder name\the task list.txt"
  case_end

  case_begin "links: a failed record write keeps a plan found before the run"
  settings_file "$record_win" "$profile_name"
  run_tool "/N:\"$record_win\""
  guid=$(first_guid)
  clear_logs
  hold_file "$record_win"
  run_tool "/N:\"$record_win\""
  release "$holder_pid"
  expect_exit 1280
  expect_text "powercfg.exe commands" "$(guid_commands "$guid" 0 "${zero_values[@]}")" "$(log_of powercfg.log)"
  [ "$(store_plans | grep -cF "$(lower "$guid")|$plan_name")" -eq 1 ] || note "the found plan is gone: $(store_plans)"
  case_end
}

run_tree() {
  tree=$1
  local started=$SECONDS
  equipment=$dist/$tree/test-equipment
  local arch=win64 needed
  [ "$tree" = windows-x86 ] && arch=win32
  for needed in "$dist/$tree/TAV_PowerSaveSetting.exe" "$equipment"/{powercfg.exe,schtasks.exe,TAV_PowerSaveSuspend.exe,powrprof.dll,launcher.exe,main_window.exe,mutex_holder.exe,file_holder.exe}; do
    [ -f "$needed" ] || { fail "$tree: $needed present" "run scripts/build"; return; }
  done
  wine_new_prefix "$arch" "$work/$tree" \
    || { fail "$tree: Wine prefix ($arch) created"; return; }
  # Wine programs started from here: the stand-ins keep their state in
  # C:\standin-state, and our powrprof.dll beside the tool must win over
  # Wine's built-in one.
  export TAV_STANDIN_DIR=$state_win WINEDLLOVERRIDES="mscoree,mshtml=;powrprof=n,b"
  user_local=$(ls -d "$drive"/users/*/AppData/Local 2>/dev/null | grep -v '/users/Public/' | head -n1)
  [ -n "$user_local" ] || { fail "$tree: user's local application data folder"; return; }
  user_local_win="C:${user_local#"$drive"}"
  user_local_win=${user_local_win//\//\\}

  mkdir -p "$drive/equip"
  cp "$equipment"/{launcher.exe,main_window.exe,mutex_holder.exe,file_holder.exe} "$drive/equip/"
  message_log=$drive/equip/messages.log
  : >"$message_log"
  messages=0
  wine_background "${wine_env[@]}" "$wine" 'C:\equip\main_window.exe' --log 'C:\equip\messages.log' \
    --seconds 900 --ready 'C:\equip\window.ready'
  local window_pid=$wine_last_pid
  wait_for_file "$drive/equip/window.ready" || { fail "$tree: main window stand-in started"; return; }

  local group
  for group in ${TAV_WINE_GROUPS:-command_line settings_values plan record tasks links trace handoff mutex xp}; do
    "cases_$group"
  done

  release "$window_pid"
  wine_stop_prefix
  echo "-- $tree: $((SECONDS - started)) s"
}

# --- Main ------------------------------------------------------------------------

if [ -z "$wine_loader64" ] || ! command -v Xvfb >/dev/null || ! command -v iconv >/dev/null; then
  fail "Wine, Xvfb and iconv available" "$(wine_missing)"
  finish
fi
wine_begin
wine_start_x || { fail "private X server started"; finish; }
mkdir -p "$work/locale"
localedef -i ja_JP -f UTF-8 "$work/locale/$wine_locale" >/dev/null 2>&1 \
  && [ "$(LOCPATH=$work/locale LC_ALL=$wine_locale locale charmap 2>/dev/null)" = UTF-8 ] \
  || { fail "Japanese locale compiled" "localedef needs the package locales (scripts/install-deps)"; finish; }
wine_env=(env LOCPATH="$work/locale" LC_ALL=$wine_locale LANG=$wine_locale TZ=$wine_tz)
wine_select_trees ${TAV_WINE_TREES:-windows-x64 windows-x86}
for tree in "${wine_trees[@]}"; do
  run_tree "$tree"
done
finish
