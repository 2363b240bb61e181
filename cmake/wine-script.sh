# Sourced by the test scripts that run Windows programs, with the script's own arguments
# (KIND PREFIX ...): re-runs the script inside that Wine session unless it already runs
# in it, and leaves with 77 (skipped) where the session cannot run its programs.
# Afterwards $wine runs a program under the session's Wine.
#   source "$here/../../cmake/wine-script.sh" "$@"
lark_script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ ${LARK_WINE_SESSION:-} != "$2" ]]; then
  exec "$lark_script_dir/wine-session.sh" "$1" "$2" "$0" "$@"
fi
if [[ -n ${LARK_WINE_SKIP:-} ]]; then
  echo "skipped: $LARK_WINE_SKIP"
  exit 77
fi
wine=$lark_script_dir/wine.sh
