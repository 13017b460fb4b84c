#!/usr/bin/env bash
# The Windows leg of the tests, for a machine with ../shared/toolchains (as CI has): cross-builds with
# the test programs (tools/build-windows.sh --tests), runs the unit, GUI (offscreen) and CLI suites under
# wine through ctest, then checks the programs from the unzipped package, in a folder whose name has
# Cyrillic letters and blanks, with nothing but wine itself:
#   - brantovel-check.exe on the sample report prints the findings of the Linux build (tests/golden/sample.tsv,
#     and the Linux program's own output when BRANTOVEL_LINUX_CHECK names it);
#   - brantovel-check.exe writes readable Ukrainian into a console;
#   - Brantovel.exe starts and keeps running on the offscreen platform;
#   - on wine's real Windows platform (under Xvfb) the window's font draws every Ukrainian letter.
# Without ../shared/toolchains it says so and stops with status 0.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
qt=${BRANTOVEL_QT_MINGW:-../shared/toolchains/qt6-mingw}
build=${BRANTOVEL_WIN_BUILD:-build-win}
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "test-windows: SKIPPED the Windows leg: no Qt for MinGW-w64 in $qt (../shared/toolchains is absent)."
    exit 0
fi
started=$(date +%s)
tools/build-windows.sh --tests

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/brantovel-win.XXXXXX")
# Wine prefixes: ctest's in the build folder (every test runs under LC_ALL=C.UTF-8), then one of its own for
# each later part, so that no two programs with different locales share one.
prefixes=("$root/$build/wineprefix")
new_prefix() {
    export WINEPREFIX
    WINEPREFIX=$(mktemp -d "$scratch/wineprefix.XXXXXX")
    prefixes+=("$WINEPREFIX")
}
cleanup() {
    local p
    for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
export WINEDEBUG=-all LC_ALL=C.UTF-8
unset WINEPREFIX WINEPATH

# 1. The suites (all but the interop and limits ones, which need Linux's readers or take long), checked
# like the Linux legs: every suite the cross-build registered must run and pass. With BRANTOVEL_RUN_RECORD
# (tools/test.sh) the counts join the closing totals.
junit="$root/$build/ctest-junit.xml"
record=${BRANTOVEL_RUN_RECORD:-$scratch/record}
rm -f "$junit"
ctest --test-dir "$build" --output-on-failure -j2 -LE 'interop|limits' --output-junit "$junit" \
    --test-output-size-passed 1000000 --test-output-size-failed 1000000 || true
python3 tools/check_run.py leg windows "$build" "$junit" "$record" 'interop|limits'

# 2. The package, unzipped where users put things.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
mkdir -p "$scratch/Робочий стіл"
(cd "$scratch/Робочий стіл" && cmake -E tar xf "$root/$build/Brantovel-$version-win64.zip")
app="$scratch/Робочий стіл/Brantovel-$version-win64"
# Nothing on wine's PATH: a DLL missing from the package fails here.
new_prefix

# 2a. The sample report: the Linux build's findings, row for row. The period rule follows today's date, so
# the two period cells are left out of the comparison with the golden log (made on 9 December 2026).
cp data/sample/zvit.xls "$app/zvit.xls"
status=0
"$wine" "$app/brantovel-check.exe" >"$scratch/wine.out" 2>"$scratch/wine.err" || status=$?
if [ "$status" != 1 ]; then
    echo "test-windows: brantovel-check.exe on the sample ended with $status, not 1:" >&2
    cat "$scratch/wine.err" >&2
    exit 1
fi
period='^Загальні дані	[45]	'
diff <(head -n -1 "$scratch/wine.out" | grep -v "$period") <(grep -v "$period" tests/golden/sample.tsv)
grep -qx "Знайдено помилок у звіті: [0-9]*\. Протокол: Z:.*\\\\zvit_log.xls" <(tail -n 1 "$scratch/wine.out")
[ -f "$app/zvit_log.xls" ]
if [ -n "${BRANTOVEL_LINUX_CHECK:-}" ]; then
    mkdir "$scratch/linux"
    cp "$app"/*.bin "$app/elog.xls" data/sample/zvit.xls "$scratch/linux/"
    "$BRANTOVEL_LINUX_CHECK" --dir "$scratch/linux" >"$scratch/linux.out" || true
    diff <(head -n -1 "$scratch/wine.out") <(head -n -1 "$scratch/linux.out")
fi
echo "test-windows: the sample under wine gives the Linux build's $(($(wc -l <"$scratch/wine.out") - 1)) findings"

# 2b. A console: wine's console shows what the program hands it; Ukrainian must arrive as Ukrainian.
script -qc "'$wine' '$app/brantovel-check.exe' --help" /dev/null </dev/null >"$scratch/console.out" 2>&1 || true
if ! sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$scratch/console.out" | grep -q "Використання:"; then
    echo "test-windows: the console shows no readable Ukrainian:" >&2
    head -c 400 "$scratch/console.out" | od -c | head -n 10 >&2
    exit 1
fi
echo "test-windows: brantovel-check.exe writes readable Ukrainian into a console"

# 2c. The window starts from the folder and keeps running (it stops only when closed): on wine's Windows
# platform under Xvfb with the package's own plugins, and on the offscreen platform (Qt's plugin folder
# lends the offscreen plugin, which the package does not carry).
starts() {
    local what=$1 pid
    shift
    "$@" >"$scratch/window.out" 2>&1 &
    pid=$!
    sleep 20
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "test-windows: Brantovel.exe ended at start on $what:" >&2
        cat "$scratch/window.out" >&2
        exit 1
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    echo "test-windows: Brantovel.exe starts on $what"
}
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$scratch/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.2; done
DISPLAY=:$(cat "$scratch/display") starts "wine's Windows platform" "$wine" "$app/Brantovel.exe"
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
QT_QPA_PLATFORM=offscreen starts "the offscreen platform" tools/wine-run.sh --plugin-dir "$qt/plugins" "$app/Brantovel.exe"

# 3. The fonts on wine's own Windows platform, whose GDI rasteriser loses glyphs that offscreen draws.
new_prefix
runtime=()
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    runtime+=(--dll-dir "$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")")
done
QT_QPA_PLATFORM=windows xvfb-run -a tools/wine-run.sh --dll-dir "$qt/bin" "${runtime[@]}" \
    "$build/tests/tst_mainwindow.exe" everyCaptionIsDrawn

echo "test-windows: the Windows leg passed in $(($(date +%s) - started)) s"
