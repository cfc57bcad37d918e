# Shared by the Wine test suites (sourced, not run): result counting, a
# private X server, throw-away Wine prefixes kept alive by their server, and
# starting Windows programs. A suite sources this file from the repository
# root and calls wine_begin before anything else of Wine.
#
# Everything lives under one mktemp folder that is removed on exit; no
# suite touches ~/.wine or any other prefix.

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+ -- $2}"; failed=$((failed + 1)); }
# Prints which trees ran under Wine (once they were chosen) and the closing
# line, and ends the suite: non-zero when anything failed. A skipped tree is
# never counted.
finish() {
  if [ "$wine_trees_chosen" = yes ]; then
    echo "Under Wine: ${wine_trees[*]:-no tree} ran${wine_trees_skipped[*]:+; ${wine_trees_skipped[*]} skipped: $TAV_32BIT_REASON}"
  fi
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# --- Trees ----------------------------------------------------------------------

# Whether this machine runs 32-bit code: the test command's one probe, run
# here only when a suite is started on its own.
source scripts/probe-32bit
wine_trees=()
wine_trees_skipped=()
wine_trees_chosen=no

# Sets `wine_trees` to those of the given trees that can run under Wine here.
# The x86 tree needs a machine that runs 32-bit code; where it does not, the
# tree is skipped with a SKIP line. Where it does, a missing wine32 fails.
wine_select_trees() {
  local tree
  wine_trees_chosen=yes
  for tree in "$@"; do
    if [ "$tree" = windows-x86 ] && [ "$TAV_RUNS_32BIT" != yes ]; then
      echo "SKIP windows-x86 under Wine: $TAV_32BIT_REASON"
      wine_trees_skipped+=("$tree")
    elif [ "$tree" = windows-x86 ] && [ -z "$wine_loader32" ]; then
      fail "windows-x86: wine32 installed" "this machine runs 32-bit code; scripts/install-deps test installs it"
    else
      wine_trees+=("$tree")
    fi
  done
}

# --- Wine and X ---------------------------------------------------------------

# Wine's loaders and server. wine_loader32 is empty without wine32.
wine_loader64=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || command -v wine || true)
wine_loader32=$([ -x /usr/lib/wine/wine ] && echo /usr/lib/wine/wine || true)
wine_server=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# What of the Wine test set is missing here, for a failure message: Wine is
# part of it (scripts/install-deps test), so no Wine suite passes without it.
wine_missing() {
  local missing=""
  [ -n "$wine_loader64" ] || missing="Wine (wine64) is not installed"
  command -v Xvfb >/dev/null || missing="${missing:+$missing; }Xvfb is not installed"
  command -v iconv >/dev/null || missing="${missing:+$missing; }iconv is not installed"
  echo "${missing:-nothing}; scripts/install-deps test installs the test set"
}

work=""
# A command prefix for every Wine program that a suite starts, e.g.
# (env LC_ALL=...); empty by default.
wine_env=()
wine_xvfb_pid=""
wine_prefixes=()
wine_background_pids=()

wine_cleanup() {
  local pid prefix
  for pid in "${wine_background_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for prefix in "${wine_prefixes[@]}"; do WINEPREFIX=$prefix "$wine_server" -k 2>/dev/null; done
  [ -n "$wine_xvfb_pid" ] && kill "$wine_xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "$work" ] && rm -rf "$work"
}

# The suite's temporary folder ($work) and its removal on exit.
wine_begin() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tav-wine.XXXXXX")
  trap wine_cleanup EXIT
  export WINEDEBUG=-all
  # No Mono or Gecko installers: they would be fetched from the network.
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

# A private X server on a free display (Wine creates windows only with one).
wine_start_x() {
  Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x16 3>"$work/display" 2>/dev/null &
  wine_xvfb_pid=$!
  local _
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || return 1
  export DISPLAY=:$(head -n1 "$work/display")
}

# A command for `loader` that starts it without address space randomisation
# when the system allows that. Wine 8 now and then fails to start a process
# ("failed to map the shared user data", STATUS_CONFLICTING_ADDRESSES) when
# randomisation has put something where the page of shared user data goes:
# measured here at about one start in two thousand, and the end-to-end suite
# starts several thousand programs. Children inherit the setting, so every
# program of the run gets the same, working layout every time.
wine_command_for() {
  local loader=$1 wrapper=$work/$(basename "$1")-fixed-layout
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    printf '#!/bin/sh\nexec setarch %s -R "%s" "$@"\n' "$(uname -m)" "$loader" >"$wrapper"
    chmod +x "$wrapper"
    echo "$wrapper"
  else
    echo "$loader"
  fi
}

# A new prefix at `folder` for `arch` (win64 or win32): exports WINEPREFIX and
# WINEARCH, sets `wine` to the command of the matching loader and `drive` to
# drive C:, boots the prefix and keeps its server running until
# wine_stop_prefix or exit.
wine_new_prefix() {
  local arch=$1 folder=$2 loader
  export WINEPREFIX=$folder WINEARCH=$arch
  if [ "$arch" = win32 ]; then loader=$wine_loader32; else loader=$wine_loader64; fi
  [ -n "$loader" ] && [ -x "$loader" ] || return 1
  wine=$(wine_command_for "$loader")
  wine_prefixes+=("$folder")
  # The persistent server first: "wineserver -p" cannot make a server that is
  # already running (as one is just after wineboot) persistent.
  mkdir -p "$folder"
  "${wine_env[@]}" "$wine_server" -p || return 1
  "${wine_env[@]}" "$wine" wineboot -i >/dev/null 2>&1 || return 1
  drive=$WINEPREFIX/drive_c
  [ -d "$drive/windows" ]
}

# Ends the current prefix's server and the programs still running in it.
wine_stop_prefix() {
  "$wine_server" -k 2>/dev/null
  "$wine_server" -w 2>/dev/null
}

# Starts a command in the background and remembers it for the clean-up;
# `wine_last_pid` is its process id.
wine_background() {
  "$@" >/dev/null 2>&1 &
  wine_last_pid=$!
  wine_background_pids+=("$wine_last_pid")
}

# Waits up to `tenths` tenths of a second (default 100) for a file to exist.
wait_for_file() {
  local path=$1 tenths=${2:-100} _
  for _ in $(seq "$tenths"); do [ -e "$path" ] && return 0; sleep 0.1; done
  [ -e "$path" ]
}

# The number of lines of the main window stand-in's log `file` once it holds
# at least `want` (the finished message is posted, so it may arrive after the
# tool ended), read a little later to catch any extra message: whatever the
# tool posted is in the window's queue before the tool ends, and the window
# logs each message as it takes it from the queue.
message_lines() {
  local file=$1 want=$2 _
  for _ in $(seq 200); do [ "$(wc -l <"$file")" -ge "$want" ] && break; sleep 0.05; done
  sleep 0.15
  wc -l <"$file"
}
