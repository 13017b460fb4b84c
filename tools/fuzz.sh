#!/usr/bin/env bash
# Builds a fuzz target with clang's libFuzzer (+ ASan/UBSan) and runs it for SECONDS (default 600),
# seeded with the project's workbooks and the shared corpus. TARGET is "xls" (default: the workbook
# reader and writer) or "check" (the whole check of a report, which must name the cell of every
# stop). Crashing inputs land in tests/fuzz/crashes/; keep each, renamed after what broke, in
# tests/fuzz/regressions/ (or tests/fuzz/regressions-check/ for the check).
# Usage: tools/fuzz.sh [SECONDS] [xls|check]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
target=${2:-xls}
bash tools/install-deps.sh fuzz
out=build-fuzz
mkdir -p "$out" tests/fuzz/crashes "$out/corpus-$target"
srcs="src/xls/error.cpp src/xls/filekind.cpp src/xls/savefile.cpp src/xls/workbook.cpp
      src/xls/cfb/compoundfile.cpp src/xls/cfb/cfblayout.cpp src/xls/cfb/fileimage.cpp
      src/xls/biff/records.cpp src/xls/biff/strings.cpp
      src/xls/crypt/rc4.cpp src/xls/crypt/filepass.cpp src/xls/crypt/workbookcipher.cpp
      src/xls/book/book.cpp src/xls/book/globals.cpp src/xls/book/sst.cpp src/xls/book/cellread.cpp
      src/xls/book/celltable.cpp src/xls/book/hyperlinks.cpp src/xls/book/rowheight.cpp src/xls/book/layout.cpp
      src/xls/book/readback.cpp
      src/sheet/locale.cpp src/sheet/valuetext.cpp src/validate/numberformat.cpp"
case "$target" in
    xls) srcs="$srcs tests/fuzz/fuzz_xls.cpp" ;;
    check)
        srcs="$srcs src/sheet/msexcel.cpp src/log/log.cpp src/validate/helpers.cpp src/validate/readings.cpp
              src/validate/validid.cpp src/check/debts.cpp src/check/general.cpp src/check/heading.cpp
              src/check/lists.cpp src/check/premises.cpp src/check/provobj.cpp src/check/rowrules.cpp
              src/check/tenants.cpp src/check/totals.cpp src/run/checkreport.cpp tests/fuzz/fuzz_check.cpp"
        ;;
    *) echo "usage: $0 [SECONDS] [xls|check]" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
clang++-14 -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -DFUZZ_LIST_DIR="\"$PWD/data\"" -Isrc $(pkg-config --cflags Qt6Core) $srcs $(pkg-config --libs Qt6Core) \
    -o "$out/fuzz_$target"
seeds=("$out/corpus-$target" tests/fixtures data data/sample data/sample/clean tests/fuzz/regressions)
[ -d ../shared/corpus/xls ] && seeds+=(../shared/corpus/xls)
ASAN_OPTIONS=detect_leaks=1 "$out/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=200000 -artifact_prefix=tests/fuzz/crashes/ -print_final_stats=1 "${seeds[@]}"
