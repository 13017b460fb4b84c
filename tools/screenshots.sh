#!/usr/bin/env bash
# Retakes the README's screenshots: the window runs under Xvfb with a small window manager (openbox), so every
# window has its frame and title. The program runs from a portable folder (the executable, the shipped files,
# translations/ and the sample report) on a desktop with no program for .doc, .xls or folders, as on the
# README's set-up: the check's findings then show in the program's own window.
#
# Usage: tools/screenshots.sh [--all DIR] [--clean REPORT]
#   writes docs/main-window.png, docs/findings-window.png, docs/folder-check.png (the folder check's dialog)
#   and docs/folder-reports.png (its reports in the program's window: the desktop opens no .xls);
#   --all DIR      also writes every other screen met on the way into DIR (for review, not committed);
#   --clean REPORT with --all: also checks REPORT (a report without findings) and shows the save dialog and
#                  the overwrite question.
set -euo pipefail
# Runs inside the virtual display (the script calls itself there).
session() {
    openbox --sm-disable &
    local wm=$!
    sleep 1
    # For the program, an empty registry of default applications: no program for .doc, .xls or folders.
    export XDG_DATA_HOME=$scratch/xdg XDG_DATA_DIRS=$scratch/xdg XDG_CONFIG_HOME=$scratch/xdg XDG_CONFIG_DIRS=$scratch/xdg
    # The save dialog starts in the home folder: a scratch one.
    export HOME=$scratch/home
    mkdir -p "$HOME"
    # wait_for TITLE: the id of the visible window with exactly that title, once it is drawn.
    wait_for() {
        local id
        id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1)
        sleep 0.7
        echo "$id"
    }
    # shot TITLE FILE: the window with its frame.
    shot() { import -window "$(wait_for "$1")" -frame "$2"; }
    review() { [ -z "$all" ] || shot "$1" "$all/$2"; }
    keys() { xdotool key --delay 150 "$@"; sleep 0.5; }

    "$app/Brantovel" 2>"$scratch/stderr.txt" &
    local pid=$!
    shot "Формування та контроль звітів" "$root/docs/main-window.png"
    # The keyboard order starts at "Вийти": two Tabs reach "Контроль звіту".
    keys Tab Tab Return
    review Brantovel question.png
    keys Return
    wait_for "Знайдені помилки у звіті" >/dev/null
    keys Down Down Down # a long message, shown in full below the list
    shot "Знайдені помилки у звіті" "$root/docs/findings-window.png"
    keys Escape
    # "Перевірити теку звітів…" (below the four buttons): a folder of four reports, the period proposed, the register.
    xdotool mousemove --window "$(wait_for "Формування та контроль звітів")" 110 150 click 1
    wait_for "Перевірка теки звітів" >/dev/null
    xdotool type --delay 20 "$scratch/reports"
    keys Tab Tab # past the period proposed, to the register
    xdotool type --delay 20 "$scratch/реєстр.csv"
    shot "Перевірка теки звітів" "$root/docs/folder-check.png"
    keys Return
    wait_for "Перевірені звіти" >/dev/null
    keys Down Down
    shot "Перевірені звіти" "$root/docs/folder-reports.png"
    keys Escape
    if [ -n "$all" ]; then
        shot "Формування та контроль звітів" "$all/after-check.png"
        keys Return # focus is on "Заповнити/Редагувати звіт"
        review Brantovel cannot-open.png
        keys Return # "Відкрити теку": there is no file manager either
        review Brantovel no-folder.png
        keys Return Escape Tab Tab Return # "Інструкція"
        review "Інструкція" instruction.png
        keys Escape
        if [ -n "$clean" ]; then
            cp "$clean" "$app/zvit.xls"
            cp "$clean" "$HOME/23456719.xls" # the proposed name is taken: the overwrite question
            keys Tab Tab Tab Return # from "Інструкція" round to "Контроль звіту"
            review Brantovel clean.png
            keys Return
            review "Збереження копії перевіреного звіту" save-dialog.png
            keys Return
            review Brantovel overwrite.png
            keys Return Escape
        fi
    fi
    kill "$pid" "$wm" 2>/dev/null || true
    wait "$pid" "$wm" 2>/dev/null || true
}
if [ "${1:-}" = --in-display ]; then
    session
    exit
fi

root=$(cd "$(dirname "$0")/.." && pwd)
all="" clean=""
while [ $# -gt 0 ]; do
    case "$1" in
    --all) all=$2; shift 2 ;;
    --clean) clean=$2; shift 2 ;;
    *) echo "Unknown argument: $1" >&2; exit 2 ;;
    esac
done

bash "$root/tools/install-deps.sh" build
bash "$root/tools/install-deps.sh" screenshots

build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target Brantovel data_files

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brantovel-shots.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
app=$scratch/Brantovel
mkdir -p "$app" "$scratch/xdg"
cp "$build"/bin/Brantovel "$build"/bin/*.xls "$build"/bin/*.bin "$build"/bin/readme.* "$app"/
cp -r "$build"/bin/translations "$app"/
cp "$root"/data/sample/zvit.xls "$app"/zvit.xls
# The folder of reports an office received: one with findings, two clean ones of one balance holder, one
# cut short in transit.
mkdir -p "$scratch/reports"
cp "$root"/data/sample/zvit.xls "$scratch/reports/20000002.xls"
cp "$root"/data/sample/clean/zvit.xls "$scratch/reports/23456719.xls"
cp "$root"/data/sample/clean/zvit.xls "$scratch/reports/23456719_2.xls"
head -c 3000 "$root"/data/sample/zvit.xls >"$scratch/reports/22049509.xls"
# The office's register of senders: the sample's balance holder, the one whose file was cut short, and one
# that sent nothing.
printf 'Код;Назва\r\n23456719;Державне підприємство «Укрбудінвест»\r\n22049509;КП «Житлосервіс»\r\n31000126;ТОВ «Світанок»\r\n' \
    >"$scratch/реєстр.csv"
[ -z "$all" ] || mkdir -p "$all"

export root all clean scratch app
xvfb-run -a -s "-screen 0 1000x700x24" bash "$0" --in-display
echo "Screenshots: $root/docs/main-window.png, $root/docs/findings-window.png, $root/docs/folder-check.png," \
    "$root/docs/folder-reports.png${all:+ and $all/}"
