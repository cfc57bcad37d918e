# Sourced by the scripts that build a CMake tree of this project, so that all
# configure and build a tree the same way.
#
# cmake_tree [--source DIR] [--log] TREE [CMAKE-OPTION...] [-- TARGET...]
#   Configures TREE from DIR (both relative to the project root; DIR defaults
#   to the root) with the options given, its output dropped, then builds the
#   targets (default: all) with two jobs. The build's output is shown, or with
#   --log written to TREE/build.log, whose last 40 lines are shown if it fails.
#   A failure ends the script with "<script>: configuring TREE failed" or
#   "<script>: building TREE failed".

tav_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

cmake_tree() {
  local source=$tav_root log=no script=${0##*/}
  while :; do
    case $1 in
      --source) source=$tav_root/$2; shift 2 ;;
      --log) log=yes; shift ;;
      *) break ;;
    esac
  done
  local tree=$1 options=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -eq 0 ] || shift
  cmake -S "$source" -B "$tav_root/$tree" "${options[@]}" >/dev/null \
    || { echo "$script: configuring $tree failed" >&2; exit 1; }
  local make=(make -C "$tav_root/$tree" -j2 --no-print-directory "$@")
  if [ $log = yes ]; then
    "${make[@]}" >"$tav_root/$tree/build.log" 2>&1 \
      || { tail -n 40 "$tav_root/$tree/build.log"; false; }
  else
    "${make[@]}"
  fi || { echo "$script: building $tree failed" >&2; exit 1; }
}
