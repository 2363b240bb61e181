#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (sanitized), the same suite
# optimised under valgrind, a short run of each fuzz target, then the Windows suites of
# the x86_64 build under 64-bit Wine, of the i686 build under 32-bit Wine and of the ARM64
# build under ARM64 Wine (qemu-user), each tree in one session of its own. Where this
# machine cannot run 32-bit programs, or aarch64 ones, those suites are reported as
# skipped.
# A failing tree never stops the others: every tree is built and tested, then one line
# gives each tree's result (passed, failed or skipped) and time, and the command exits
# non-zero when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

how=$(bash cmake/can-run-32bit.sh --how 2>/dev/null)
case $how in
  natively | "via emulation")
    runs_32bit=yes
    echo "test.sh: this machine runs 32-bit programs $how"
    ;;
  *)
    runs_32bit=no
    echo "test.sh: this machine runs no 32-bit programs: the i686 suites are skipped"
    ;;
esac

results=()
failed=0
record() {  # NAME RESULT SECONDS [NOTE]
  results+=("$1 $2 ($(($3 / 60))m$(printf %02d $(($3 % 60)))s${4:+, $4})")
  [[ $2 == failed ]] && failed=1
}

started=$SECONDS
if python3 scripts/check_layers.py; then layers=passed; else layers=failed; fi
record layers "$layers" $((SECONDS - started))

# The Debian root that 32-bit Wine runs in is made (once per machine) while the trees
# build: it waits on the network and dpkg, the build on the two cores. A failure here is
# reported again, with its reason, by the first session that needs the root.
root_maker=""
if [[ $(id -u) -eq 0 ]]; then
  {
    [[ $runs_32bit == no ]] || cmake/wine-root.sh >/dev/null
    ! bash cmake/can-run-arm64.sh 2>/dev/null || cmake/wine-root.sh arm64 >/dev/null
  } &
  root_maker=$!
fi
# The trees in scripts/build.sh's order (win32 and winarm64 before win64, whose installers
# carry their DLLs), each built as far as it goes even when another did not build.
declare -A built
for preset in native release fuzz win32 winarm64 win64; do
  started=$SECONDS
  if { [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null; } &&
    cmake --build --preset "$preset" -- -k 0; then
    built[$preset]=yes
    echo "test.sh: built $preset in $((SECONDS - started)) s"
  else
    built[$preset]=no
    echo "test.sh: $preset did not build ($((SECONDS - started)) s); its suites run with what did"
  fi
done
[[ -z $root_maker ]] || wait "$root_maker" || true

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in native release fuzz win64 win32 winarm64; do
  started=$SECONDS
  case $preset in
    win64 | win32 | winarm64) cmake/wine-session.sh "$preset" "$PWD/build/$preset/wine" ctest --preset "$preset" 2>&1 | tee "$log" ;;
    *) ctest --preset "$preset" 2>&1 | tee "$log" ;;
  esac
  status=${PIPESTATUS[0]}
  # CTest counts a skipped test (exit 77) among the passed ones; a tree whose every test
  # was skipped is named skipped, never passed.
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -n1)
  skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")
  note=""
  if [[ ${built[$preset]} == no ]]; then
    result=failed note="did not build"
  elif [[ $status -ne 0 || -z $total ]]; then
    result=failed
  elif [[ $skipped -eq $total || ($preset == win32 && $runs_32bit == no) ]] ||
    grep -q "wine-session: .* the $preset tests are skipped" "$log"; then
    result=skipped
  else
    result=passed
    [[ $skipped -eq 0 ]] || note="$skipped skipped"
  fi
  record "$preset" "$result" $((SECONDS - started)) "$note"
done

summary=$(printf '%s, ' "${results[@]}")
echo "test.sh: ${summary%, }"
exit $failed
