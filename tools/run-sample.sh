#!/usr/bin/env bash
# Installs what is missing, builds, and runs brantovel-check on the bundled sample report in a
# scratch folder (the shipped files are copied there first), so a newcomer sees a real check.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRANTOVEL_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)" --target brantovel-check Brantovel data_files

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brantovel-sample.XXXXXX")
cp build/bin/brantovel-check build/bin/elog.xls build/bin/readme.doc build/bin/*.bin "$scratch"/
cp data/sample/zvit.xls "$scratch"/zvit.xls
echo "Перевірка зразка звіту в $scratch"
status=0
"$scratch"/brantovel-check || status=$?
echo "Код завершення: $status (0 — помилок немає, 1 — знайдено помилки, 2 — перевірку не виконано)"
[ "$status" -le 1 ]
