#!/usr/bin/env bash
# Runs a program of the Windows build under wine: ctest's emulator for a tree cross-built on Linux
# (cmake/Windows.cmake passes the folders), and the Windows leg of the tests (tools/test-windows.sh).
#
# Usage: tools/wine-run.sh [--dll-dir DIR]... [--plugin-dir DIR] [--prefix DIR] [--] PROGRAM.exe [ARGS...]
#   --dll-dir     a folder for wine's PATH (Qt's DLLs, the MinGW runtime);
#   --plugin-dir  Qt's plugin folder (the offscreen platform of the GUI tests);
#   --prefix      the wine prefix to use when WINEPREFIX is not set. Wine keeps the user's locale in its
#                 prefix: programs started at the same time with different LC_ALL need different prefixes.
#
# Wine hands no QT_* variable of Linux to a Windows program (they are meant for the Linux Qt), only the
# same names with WINE in front: each QT_* variable set here (QT_QPA_PLATFORM=offscreen from ctest, say)
# is passed on that way. QT_FORCE_STDERR_LOGGING=1 keeps Qt's messages and QtTest's log on the standard
# streams; without a console attached (as under ctest) Qt would send them to the debugger.
set -uo pipefail
dll_dirs=() plugin_dir="" prefix=""
while [ $# -gt 0 ]; do
    case "$1" in
    --dll-dir) dll_dirs+=("$2"); shift 2 ;;
    --plugin-dir) plugin_dir=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--dll-dir DIR]... [--plugin-dir DIR] [--prefix DIR] [--] PROGRAM.exe [ARGS...]" >&2; exit 2; }
program=$1
shift

# A Linux path as wine sees it: drive Z: is the root folder.
windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64 # Debian's wine64 package keeps the loader off PATH
[ -x "$wine" ] || { echo "wine64 is not installed (tools/build-windows.sh installs it)" >&2; exit 2; }

path=""
for d in "${dll_dirs[@]}"; do path+="${path:+;}$(windows_path "$d")"; done
[ -z "$path" ] || export WINEPATH="$path${WINEPATH:+;$WINEPATH}"
[ -z "$plugin_dir" ] || export QT_PLUGIN_PATH="$(windows_path "$plugin_dir")"
if [ -z "${WINEPREFIX:-}" ] && [ -n "$prefix" ]; then
    mkdir -p "$prefix"
    export WINEPREFIX=$prefix
fi
export WINEDEBUG=${WINEDEBUG:--all}
export QT_FORCE_STDERR_LOGGING=1
# Qt's offscreen platform on Windows reads fonts from one folder only (QT_QPA_FONTDIR), not from the
# system: give it the Linux machine's TrueType fonts (Debian's fonts-dejavu-core, fonts-liberation) there.
if [ "${QT_QPA_PLATFORM:-}" = offscreen ] && [ -z "${QT_QPA_FONTDIR:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
    fonts="$WINEPREFIX/offscreen-fonts"
    if [ ! -d "$fonts" ]; then
        mkdir -p "$fonts.$$"
        ln -s /usr/share/fonts/truetype/*/*.ttf "$fonts.$$/" 2>/dev/null || true
        mv -T "$fonts.$$" "$fonts" 2>/dev/null || rm -rf "$fonts.$$" # another test may have made it meanwhile
    fi
    export QT_QPA_FONTDIR="$(windows_path "$fonts")"
fi
while IFS='=' read -r name _; do
    export "WINE$name=${!name}"
done < <(env | grep -E '^QT_[A-Za-z0-9_]*=')

exec "$wine" "$program" "$@"
