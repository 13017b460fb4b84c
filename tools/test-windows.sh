#!/usr/bin/env bash
# The Windows leg of the tests, for a machine with ../shared/toolchains (as CI has): cross-builds with
# the test programs (tools/build-windows.sh --tests), runs the unit, GUI (offscreen) and CLI suites under
# wine through ctest, then checks the programs from the unzipped package, in a folder whose name has
# Cyrillic letters and blanks, with nothing but wine itself:
#   - brantovel-check.exe on the sample report prints the findings of the Linux build (tests/golden/sample.tsv,
#     and the Linux program's own output when BRANTOVEL_LINUX_CHECK names it);
#   - brantovel-check.exe writes readable Ukrainian into a console;
#   - Brantovel.exe starts and keeps running on the offscreen platform;
#   - on wine's real Windows platform (under Xvfb) the window's font draws every Ukrainian letter, and the
#     title bar's menu holds "Про програму…", which opens the About window;
#   - the installer, silently (/S) in a fresh prefix: refuses Windows 7; installs the package, the Start-menu
#     shortcut and the uninstall entry; after a check in the installed folder (a filled report, its log and a
#     copy the user saved) refuses to upgrade while the report is open, while Brantovel.exe runs or into a
#     folder it cannot write, each time changing nothing; upgrades to a newer build (one list changed)
#     keeping the user's three files byte for byte; refuses to uninstall while Brantovel.exe runs; uninstalls,
#     leaving exactly the user's three files.
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
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
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
    for p in "${prefixes[@]}"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done
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
# ctest starts two programs at once in one prefix: made beforehand, no test races another one making it
# (wine then fails with "chdir to …/server-…: No such file or directory"). Its server is let go before
# ctest starts: one kept up with "wineserver -p" made a finished test hang as it exited, run after run.
mkdir -p "${prefixes[0]}"
WINEPREFIX=${prefixes[0]} "$wine" wineboot --init >/dev/null 2>&1 || true
WINEPREFIX=${prefixes[0]} "$wineserver" -w
# Wine itself now and then keeps a finished program from exiting: a suite gets 2 minutes (the slowest
# takes under one) and, when it fails, one more try, which ctest's output shows. A suite that fails
# twice fails the leg.
ctest --test-dir "$build" --output-on-failure -j2 -LE 'interop|limits' --output-junit "$junit" \
    --timeout 120 --repeat until-pass:2 \
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
# Wine gives the program a console of its own here, as a double-click would; with its input from /dev/null it
# does not wait for Enter (2c checks that wait).
script -qc "'$wine' '$app/brantovel-check.exe' --help </dev/null" /dev/null </dev/null >"$scratch/console.out" 2>&1 || true
sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$scratch/console.out" >"$scratch/console.txt"
if ! grep -q "Використання:" "$scratch/console.txt"; then
    echo "test-windows: the console shows no readable Ukrainian:" >&2
    head -c 400 "$scratch/console.out" | od -c | head -n 10 >&2
    exit 1
fi
echo "test-windows: brantovel-check.exe writes readable Ukrainian into a console"

# 2c. A double-click: started alone in a console of its own, brantovel-check.exe checks the report, says
# what it did and keeps the window open until Enter (from a shell, as in 2a, it ends at once). Wine shares
# the first console a new prefix opens this way with the starter, so the program may end at once the first
# time; the second start must wait.
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$scratch/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.2; done
waited=0
for _ in 1 2; do
    rm -f "$app/zvit_log.xls"
    DISPLAY=:$(cat "$scratch/display") "$wine" start /wait /unix "$app/brantovel-check.exe" >/dev/null 2>&1 &
    console=$!
    for _ in $(seq 60); do [ -f "$app/zvit_log.xls" ] && break; sleep 0.5; done
    sleep 3
    if [ -f "$app/zvit_log.xls" ] && kill -0 "$console" 2>/dev/null; then
        waited=1
        break
    fi
    wait "$console" 2>/dev/null || true
done
if [ "$waited" != 1 ]; then
    echo "test-windows: brantovel-check.exe in a console of its own did not check, or did not wait for Enter" >&2
    exit 1
fi
DISPLAY=:$(cat "$scratch/display") xdotool key Return
for _ in $(seq 20); do kill -0 "$console" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$console" 2>/dev/null; then
    echo "test-windows: brantovel-check.exe did not close its window on Enter" >&2
    exit 1
fi
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
echo "test-windows: brantovel-check.exe started as by a double-click checks the report and closes on Enter"

# 2d. The window starts from the folder and keeps running (it stops only when closed): on wine's Windows
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
    WINEPREFIX=$WINEPREFIX "$wineserver" -k 2>/dev/null || true
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
    "$build/tests/tst_mainwindow.exe" everyCaptionIsDrawn aboutWindow

# 4. The installer, as an office's IT person uses it: silently (/S) into a fresh prefix. Wine's new prefix
# says it is Windows 7, which the installer refuses, changing nothing; then the prefix says Windows 10.
new_prefix
setup="$root/$build/Brantovel-$version-setup.exe"
status=0
"$wine" "$setup" /S || status=$?
localappdata=$("$wine" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
inst=$("$wine" winepath.exe -u "$localappdata\\Programs\\Brantovel" | tr -d '\r')
if [ "$status" != 2 ] || [ -e "$inst" ]; then
    echo "test-windows: the installer on Windows 7 ended with $status or left $inst behind" >&2
    exit 1
fi
"$wine" winecfg.exe /v win10
"$wine" "$setup" /S
startmenu=$("$wine" winepath.exe -u "$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" | tr -d '\r')
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brantovel'
registry() { "$wine" reg.exe query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k { print $3 }'; }
# Every file of the package, byte for byte, and the uninstaller; the Start-menu shortcut; the entry of
# "Apps and features" with the version.
if diff -r "$root/$build/Brantovel-$version-win64" "$inst" | grep -v "^Only in $inst: uninstall.exe$"; then
    echo "test-windows: the installed folder differs from the package (above)" >&2
    exit 1
fi
[ -f "$inst/uninstall.exe" ] && [ -f "$startmenu/Контроль звіту про оренду.lnk" ]
[ "$(registry DisplayVersion)" = "$version" ]
echo "test-windows: the installer installs the package into $localappdata\\Programs\\Brantovel"

# The check in the installed folder, a filled report (the sample), the log, and a copy the user saved.
cp data/sample/zvit.xls "$inst/zvit.xls"
status=0
"$wine" "$inst/brantovel-check.exe" >/dev/null 2>&1 || status=$?
[ "$status" = 1 ] && [ -f "$inst/zvit_log.xls" ]
cp "$inst/zvit.xls" "$inst/23456719.xls"
users_files() { (cd "$inst" && sha256sum zvit.xls zvit_log.xls 23456719.xls); }
mine=$(users_files)
program=$(cd "$inst" && find . -type f ! -name zvit.xls ! -name zvit_log.xls ! -name 23456719.xls | sort)

# A newer build: the next version, with one list changed, so that the upgrade shows it replaced the lists.
newer="${version%.*}.$((${version##*.} + 1))"
mkdir "$scratch/newer"
cp -r "$root/$build/Brantovel-$version-win64" "$scratch/newer/stage"
printf 'Новий район\r\n' >>"$scratch/newer/stage/SR.bin"
mkdir "$scratch/newer/lists"
python3 tools/installer_lists.py "$scratch/newer/stage" "$scratch/newer/lists"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$newer" -DSTAGE="$scratch/newer/stage" -DLISTS="$scratch/newer/lists" \
    -DICON="$root/src/gui/brantovel.ico" -DOUTFILE="$scratch/newer/Brantovel-$newer-setup.exe" tools/installer.nsi
upgrade="$scratch/newer/Brantovel-$newer-setup.exe"
snapshot() { (cd "$inst" && find . -type f -exec sha256sum {} + | sort); }

# Refused upgrades leave every file as it was: the report open in another program (held as Excel holds
# it), Brantovel.exe running, a folder that cannot be written.
cat >"$scratch/hold.c" <<'EOF'
#include <windows.h>
#include <stdlib.h>
// Holds a file open for reading and denies others writing, as Excel does with an open workbook.
int wmain(int argc, wchar_t** argv)
{
    HANDLE h = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    Sleep((DWORD)_wtoi(argv[2]) * 1000);
    return 0;
}
EOF
x86_64-w64-mingw32-gcc-posix -municode -o "$scratch/hold.exe" "$scratch/hold.c"
refused() {
    local what=$1 before status=0
    shift
    before=$(snapshot)
    "$wine" "$@" || status=$?
    if [ "$status" != 2 ] || [ "$(snapshot)" != "$before" ]; then
        echo "test-windows: $what: the installer ended with $status (not 2) or changed the folder" >&2
        exit 1
    fi
    echo "test-windows: $what: refused, nothing changed"
}
"$wine" "$scratch/hold.exe" "$("$wine" winepath.exe -w "$inst/zvit.xls" | tr -d '\r')" 40 &
holder=$!
sleep 5
refused "an upgrade while the report is open" "$upgrade" /S
"$wine" taskkill.exe /f /im hold.exe >/dev/null 2>&1 || true
wait "$holder" 2>/dev/null || true
xvfb-run -a "$wine" "$inst/Brantovel.exe" >/dev/null 2>&1 &
window=$!
sleep 15
refused "an upgrade while Brantovel.exe runs" "$upgrade" /S
refused "an uninstall while Brantovel.exe runs" "$inst/uninstall.exe" /S "_?=$("$wine" winepath.exe -w "$inst" | tr -d '\r')"
"$wine" taskkill.exe /f /im Brantovel.exe >/dev/null 2>&1 || true
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
# /proc takes no new folder, not even from root; NSIS itself would silently replace a path it finds
# malformed (a folder inside a file) with the installed one.
refused "an install into a folder that cannot be written" "$upgrade" /S "/D=Z:\\proc\\Brantovel"

# The upgrade: the user's report, log and copy byte for byte as they were; the program replaced.
"$wine" "$upgrade" /S
if [ "$(users_files)" != "$mine" ]; then
    echo "test-windows: the upgrade changed the user's files" >&2
    exit 1
fi
cmp "$inst/SR.bin" "$scratch/newer/stage/SR.bin"
[ "$(registry DisplayVersion)" = "$newer" ]
echo "test-windows: the upgrade to $newer replaced the program and kept the report, the log and the copy"

# The uninstall: the user's files stay, byte for byte; every program file, the shortcut and the entry go.
"$wine" "$inst/uninstall.exe" /S
"$wineserver" -w
left=$(cd "$inst" && find . -type f | sort)
if [ "$(users_files)" != "$mine" ] || [ "$left" != "$(printf './23456719.xls\n./zvit.xls\n./zvit_log.xls')" ]; then
    echo "test-windows: after the uninstall the folder holds:" >&2
    echo "$left" >&2
    exit 1
fi
[ ! -e "$startmenu/Контроль звіту про оренду.lnk" ] && [ -z "$(registry DisplayVersion)" ]
echo "test-windows: the uninstall removed the $(echo "$program" | wc -l) program files and kept the user's three"

echo "test-windows: the Windows leg passed in $(($(date +%s) - started)) s"
