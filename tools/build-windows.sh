#!/usr/bin/env bash
# Cross-builds Brantovel for 64-bit Windows on Debian 12 (Qt 6.4.2 for MinGW-w64 from
# ../shared/toolchains/qt6-mingw, Debian's MinGW-w64 compilers), then lays out the portable folder and
# zips it with CMake's install rules and CPack:
#   build-win/Brantovel-<version>-win64/       the folder as the user unzips it
#   build-win/Brantovel-<version>-win64.zip
#   build-win/Brantovel-<version>-setup.exe    the per-user installer (tools/installer.nsi)
# Installs what is missing first (MinGW-w64, Qt's host tools and translations, NSIS, wine to run the results).
#
# Usage: tools/build-windows.sh [--tests]
#   --tests  also builds the test programs (tools/test-windows.sh runs them under wine)
# Environment: BRANTOVEL_QT_MINGW (the Qt folder), BRANTOVEL_WIN_BUILD (the build folder, default build-win).
set -euo pipefail
cd "$(dirname "$0")/.."
with_tests=0
[ "${1:-}" = --tests ] && with_tests=1
qt=${BRANTOVEL_QT_MINGW:-../shared/toolchains/qt6-mingw}
build=${BRANTOVEL_WIN_BUILD:-build-win}
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "build-windows: no Qt for MinGW-w64 in $qt (../shared/toolchains/qt6-mingw): cannot cross-build." >&2
    exit 2
fi
qt=$(cd "$qt" && pwd)
root=$(pwd)

# What the cross-build needs on the build machine, only what is missing; wine64 runs the results.
bash tools/install-deps.sh "$([ "$with_tests" = 1 ] && echo windows-tests || echo windows)"

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DBRANTOVEL_BUILD_TESTS=ON
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
if [ "$with_tests" = 1 ]; then
    cmake --build "$build" -j"$jobs"
else
    cmake --build "$build" -j"$jobs" --target Brantovel brantovel-check data_files
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Brantovel-$version-win64
rm -rf "${build:?}/$name" "$build/$name.zip" "$build/Brantovel-$version-setup.exe"
cmake --install "$build" --prefix "$build/$name"
# No symbols in what users get: the programs and the MinGW runtime DLLs lose their symbol tables and debug
# information (Qt's DLLs come stripped and are shipped unchanged).
for f in Brantovel.exe brantovel-check.exe libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    x86_64-w64-mingw32-strip --strip-unneeded "$build/$name/$f"
done
# Texts as Notepad reads them everywhere: Windows line ends (before Windows 10 1809 it shows bare "\n" ends
# as one line) and a UTF-8 byte order mark (without one an older Notepad may take Ukrainian for ANSI).
find "$build/$name" -name '*.txt' -exec sed -i -e '1s/^\xef\xbb\xbf//' -e '1s/^/\xef\xbb\xbf/' -e 's/\r*$/\r/' {} +
# The zip holds the folder as laid out and stripped, under one top folder.
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")

# What a user gets: the zip must hold the folder exactly as installed.
python3 - "$build/$name.zip" "$build/$name" <<'EOF'
import os, sys, zipfile
zip_path, folder = sys.argv[1:]
name = os.path.basename(folder)
in_zip = sorted(n[len(name) + 1:] for n in zipfile.ZipFile(zip_path).namelist() if not n.endswith('/'))
on_disk = sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, '/')
                 for d, _, files in os.walk(folder) for f in files)
if in_zip != on_disk:
    sys.exit(f"build-windows: {zip_path} and {folder} differ: {sorted(set(in_zip) ^ set(on_disk))}")
required = ['LICENSE.txt', 'THIRD-PARTY-NOTICES.txt', 'README.txt', 'Brantovel.exe', 'brantovel-check.exe', 'Qt6Core.dll', 'Qt6Gui.dll', 'Qt6Widgets.dll',
            'libstdc++-6.dll', 'libgcc_s_seh-1.dll', 'libwinpthread-1.dll', 'platforms/qwindows.dll',
            'styles/qwindowsvistastyle.dll', 'translations/qtbase_uk.qm', 'zvit.xls', 'elog.xls', 'zvedennya.xls', 'readme.doc',
            'GUOZ.bin', 'CMK.bin', 'KYIV.bin', 'ZFB.bin', 'MAYNO.bin', 'SR.bin']
if os.path.exists('data/readme.html'):  # the instruction's HTML twin, where data/ ships it
    required.append('readme.html')
lacking = [f for f in required if f not in in_zip]
if lacking:
    sys.exit(f"build-windows: {zip_path} lacks {lacking}")
size = os.path.getsize(zip_path)
print(f"{zip_path}: {len(in_zip)} files, {size / 1048576:.1f} MiB "
      f"({sum(os.path.getsize(os.path.join(folder, f)) for f in on_disk) / 1048576:.1f} MiB unpacked)")
for f in in_zip:
    print(f"  {f}")
EOF

# The per-user installer: the same folder, with lists of exactly the files it installs (the uninstaller
# removes those and no other), built with Debian's makensis for 64-bit Windows.
lists="$build/installer"
rm -rf "$lists"
mkdir -p "$lists"
python3 tools/installer_lists.py "$build/$name" "$lists"
setup="$build/Brantovel-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$root/$build/$name" -DLISTS="$root/$lists" \
    -DICON="$root/src/gui/brantovel.ico" -DOUTFILE="$root/$setup" tools/installer.nsi
python3 -c "import os, sys; print(f'{sys.argv[1]}: {os.path.getsize(sys.argv[1]) / 1048576:.1f} MiB')" "$setup"
