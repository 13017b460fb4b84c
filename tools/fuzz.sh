#!/usr/bin/env bash
# Builds the workbook fuzz target with clang's libFuzzer (+ ASan/UBSan) and runs it for SECONDS
# (default 600), seeded with the project's workbooks and the shared corpus. Crashing inputs land in
# tests/fuzz/crashes/; keep each, renamed after what broke, in tests/fuzz/regressions/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
bash tools/install-deps.sh fuzz
out=build-fuzz
mkdir -p "$out" tests/fuzz/crashes "$out/corpus"
srcs="src/xls/error.cpp src/xls/filekind.cpp src/xls/savefile.cpp src/xls/workbook.cpp
      src/xls/cfb/compoundfile.cpp src/xls/cfb/cfblayout.cpp src/xls/cfb/fileimage.cpp
      src/xls/biff/records.cpp src/xls/biff/strings.cpp
      src/xls/crypt/rc4.cpp src/xls/crypt/filepass.cpp src/xls/crypt/workbookcipher.cpp
      src/xls/book/book.cpp src/xls/book/globals.cpp src/xls/book/sst.cpp src/xls/book/cellread.cpp
      src/xls/book/celltable.cpp src/xls/book/hyperlinks.cpp src/xls/book/rowheight.cpp src/xls/book/layout.cpp
      src/xls/book/readback.cpp
      src/sheet/locale.cpp src/sheet/valuetext.cpp src/validate/numberformat.cpp tests/fuzz/fuzz_xls.cpp"
# shellcheck disable=SC2086
clang++-14 -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc $(pkg-config --cflags Qt6Core) $srcs $(pkg-config --libs Qt6Core) -o "$out/fuzz_xls"
seeds=("$out/corpus" tests/fixtures data data/sample tests/fuzz/regressions)
[ -d ../shared/corpus/xls ] && seeds+=(../shared/corpus/xls)
ASAN_OPTIONS=detect_leaks=1 "$out/fuzz_xls" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=200000 -artifact_prefix=tests/fuzz/crashes/ -print_final_stats=1 "${seeds[@]}"
