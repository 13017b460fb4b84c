#!/usr/bin/env bash
# Configures the build folder DIR: Ninja for a new folder (one configured before keeps its
# generator), ccache as the compiler launcher when it is installed.
# Usage: tools/configure.sh DIR [CMAKE OPTION...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
opts=()
[ -f "$dir/CMakeCache.txt" ] || opts+=(-G Ninja)
command -v ccache >/dev/null && opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" "${opts[@]}" "$@"
