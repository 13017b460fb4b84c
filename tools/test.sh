#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite through ctest (leg "main", in build/);
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs every suite but
# the slow interop and limits ones (leg "sanitizers", in build-asan/). After each leg,
# tools/check_run.py checks that every suite the build registered ran and passed: a run that
# tested nothing, or fewer suites, fails. The last line adds up all legs:
#     Totals: N passed, N failed, N skipped
# Where ../shared/toolchains holds Qt for MinGW-w64 (as in CI), a third leg cross-builds for Windows and
# runs the suites and the unzipped package under wine (tools/test-windows.sh); otherwise it says it skipped.
# BRANTOVEL_SKIP_SANITIZERS=1 leaves out the second leg, BRANTOVEL_SKIP_WINDOWS=1 the third.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
jobs=$(nproc)
record=$(mktemp)
trap 'rm -f "$record"' EXIT
status=0

# build_tree DIR [CMAKE OPTION...]: configures DIR with the tests on, whatever an earlier configure
# of that folder said, and builds everything.
build_tree() {
    local dir=$1
    shift
    bash tools/configure.sh "$dir" -DBRANTOVEL_BUILD_TESTS=ON "$@"
    cmake --build "$dir" -j"$jobs"
}

# run_leg NAME DIR [EXCLUDED_LABELS]: runs ctest in DIR (suites whose labels match the regular
# expression EXCLUDED_LABELS left out) and checks the run. Another leg, such as a Windows build run
# under wine, is one more build_tree and run_leg.
run_leg() {
    local name=$1 dir=$2 excluded=${3:-}
    local junit="$PWD/$dir/ctest-junit.xml" filter=()
    [ -n "$excluded" ] && filter=(-LE "$excluded")
    rm -f "$junit"
    echo "== $name: ctest in $dir"
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "${filter[@]}" --output-junit "$junit" \
        --test-output-size-passed 1000000 --test-output-size-failed 1000000) || status=1
    /usr/bin/python3 tools/check_run.py leg "$name" "$dir" "$junit" "$record" "$excluded" || status=1
}

build_tree build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_leg main build

if [ "${BRANTOVEL_SKIP_SANITIZERS:-0}" != 1 ]; then
    build_tree build-asan -DCMAKE_BUILD_TYPE=Debug -DBRANTOVEL_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        run_leg sanitizers build-asan "interop|limits"
fi

# The Windows leg: a cross-build run under wine, where ../shared/toolchains holds Qt for MinGW-w64.
if [ "${BRANTOVEL_SKIP_WINDOWS:-0}" != 1 ] && [ -f ../shared/toolchains/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake ]; then
    echo "== windows: cross-build, suites and package under wine"
    BRANTOVEL_RUN_RECORD=$record bash tools/test-windows.sh || status=1
else
    echo "== windows: SKIPPED (no ../shared/toolchains/qt6-mingw beside the project, or BRANTOVEL_SKIP_WINDOWS=1)"
fi

/usr/bin/python3 tools/check_run.py total "$record" || status=1
exit $status
