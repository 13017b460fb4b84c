#!/usr/bin/env bash
# Cross-builds Brantovel for 64-bit Windows on Debian 12 (Qt 6.4.2 for MinGW-w64 from
# ../shared/toolchains/qt6-mingw, Debian's MinGW-w64 compilers), then lays out the portable folder and
# zips it with CMake's install rules and CPack:
#   build-win/Brantovel-<version>-win64/       the folder as the user unzips it
#   build-win/Brantovel-<version>-win64.zip
# Installs what is missing first (MinGW-w64, Qt's host tools and translations, wine to run the results).
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
rm -rf "${build:?}/$name" "$build/$name.zip"
cmake --install "$build" --prefix "$build/$name"
(cd "$build" && cpack -G ZIP >/dev/null)

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
required = ['Brantovel.exe', 'brantovel-check.exe', 'Qt6Core.dll', 'Qt6Gui.dll', 'Qt6Widgets.dll',
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
