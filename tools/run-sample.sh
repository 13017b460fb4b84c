#!/usr/bin/env bash
# Installs what is missing, builds the program into build/, and runs brantovel-check on a bundled
# sample report in a scratch folder (the shipped files are copied there first), so a newcomer sees
# a real check. Shares build/ with tools/test.sh: either can run first.
# tools/run-sample.sh: the sample with typical mistakes; tools/run-sample.sh clean: the same
# report with those cells corrected, which passes (try the save flow with it in the window).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh build
bash tools/configure.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target brantovel-check Brantovel data_files xlsdump

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brantovel-sample.XXXXXX")
cp build/bin/brantovel-check build/bin/elog.xls build/bin/readme.doc build/bin/*.bin "$scratch"/
sample=data/sample/zvit.xls
[ "${1:-}" = clean ] && sample=data/sample/clean/zvit.xls
# The period (B4 months, B5 year) is checked against today's date: set it for today in the copy.
m=$(date +%-m) y=$(date +%Y)
case $m in 3|4|5) months=3 ;; 6|7|8) months=6 ;; 9|10|11) months=9 ;; *) months=12 ;; esac
[ "$m" -le 2 ] && y=$((y - 1))
build/bin/xlsdump "$sample" -set 0 4 2 "$months" "$scratch"/period.xls
build/bin/xlsdump "$scratch"/period.xls -set 0 5 2 "$y" "$scratch"/zvit.xls
rm "$scratch"/period.xls
echo "Перевірка зразка звіту в $scratch"
status=0
"$scratch"/brantovel-check || status=$?
echo "Код завершення: $status (0 — помилок немає, 1 — знайдено помилки, 2 — перевірку не виконано)"
[ "$status" -le 1 ]
