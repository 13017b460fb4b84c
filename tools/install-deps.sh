#!/usr/bin/env bash
# Installs the Debian 12 packages Brantovel needs that are missing, and says which.
# Usage: tools/install-deps.sh [build|test|data|fuzz|bench|windows|windows-tests|screenshots]
#   build  compiling the program and its tests (tools/run-sample.sh)
#   test   build, and the independent readers the tests compare with (tools/test.sh; the default)
#   data   regenerating data/ and tests/fixtures/ (tools/make_data.py, tests/fixtures/make_fixtures.py)
#   fuzz   the libFuzzer target (tools/fuzz.sh)
#   bench  the peers bench/run_bench.py times the check against, and valgrind for profiles
#   windows        the cross-build for Windows (tools/build-windows.sh); windows-tests also runs it under
#                  wine with a virtual display (tools/test-windows.sh)
#   screenshots    the README's pictures (tools/screenshots.sh)
# When another apt or dpkg holds the package manager's lock, waits for it (15 minutes at most).
set -euo pipefail

# One list per purpose: a package goes into the list of what uses it.
build_pkgs=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
            fonts-dejavu-core fonts-liberation) # the window's fonts, also for the offscreen GUI tests
test_pkgs=(python3 python3-xlrd python3-msoffcrypto-tool libreoffice-calc-nogui)
data_pkgs=(python3 python3-xlwt python3-uno libreoffice-calc-nogui libreoffice-writer-nogui fonts-liberation gnumeric
           poppler-utils) # pdftoppm: the printed pages of the form and the instruction, as pictures
fuzz_pkgs=(clang-14 libclang-rt-14-dev pkg-config qt6-base-dev)
bench_pkgs=(python3 python3-xlrd libreoffice-calc-nogui gnumeric catdoc valgrind)
windows_pkgs=(cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev-tools qt6-translations-l10n wine64 ccache nsis
              python3)
windows_test_pkgs=(xvfb xauth xdotool) # the window on wine's Windows platform; Enter for the double-clicked console
screenshot_pkgs=(xvfb xauth openbox imagemagick xdotool x11-utils)

mode=${1:-test}
case "$mode" in
    build) pkgs=("${build_pkgs[@]}") ;;
    test) pkgs=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
    data) pkgs=("${data_pkgs[@]}") ;;
    fuzz) pkgs=("${fuzz_pkgs[@]}") ;;
    bench) pkgs=("${build_pkgs[@]}" "${bench_pkgs[@]}") ;;
    windows) pkgs=("${windows_pkgs[@]}") ;;
    windows-tests) pkgs=("${windows_pkgs[@]}" "${windows_test_pkgs[@]}") ;;
    screenshots) pkgs=("${screenshot_pkgs[@]}") ;;
    *) echo "usage: $0 [build|test|data|fuzz|bench|windows|windows-tests|screenshots]" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps ($mode): all ${#pkgs[@]} packages are installed"
    exit 0
fi

# apt-get with the lock wait: DPkg::Lock::Timeout covers dpkg's lock during installs; the package
# lists' lock (apt-get update) and the archives' lock have no such option, so a run that failed on
# a lock is tried again until the deadline. Any other failure ends the script at once.
deadline=$((SECONDS + 900))
apt_get() {
    local err status
    err=$(mktemp)
    while :; do
        status=0
        apt-get -o DPkg::Lock::Timeout=900 "$@" 2>"$err" || status=$?
        cat "$err" >&2
        if [ $status -eq 0 ] || ! grep -q 'Could not get lock\|Unable to lock\|Unable to acquire' "$err" ||
            [ $SECONDS -ge $deadline ]; then
            rm -f "$err"
            return $status
        fi
        echo "install-deps: another apt holds the package manager's lock; trying again in 10 s"
        sleep 10
    done
}

echo "install-deps ($mode): installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
echo "install-deps ($mode): installed ${missing[*]}"
