#!/usr/bin/env python3
"""Checks that a ctest run ran every suite it was meant to, and adds up what the suites report.

    check_run.py leg NAME BUILD_DIR JUNIT RECORD [EXCLUDED_LABELS]
        Compares the suites the build registered (BUILD_DIR/tests/suites.txt, written by
        tests/CMakeLists.txt), less those whose labels match the regular expression
        EXCLUDED_LABELS, with the suites in ctest's JUnit report. Fails when a suite did not run,
        failed, or (a Qt Test suite) printed no totals. Prints the suites run, every skipped test
        with its reason and the leg's counts, and appends the counts to RECORD.
    check_run.py total RECORD
        Prints the counts of every leg and their sum as the closing line
        "Totals: N passed, N failed, N skipped"; fails when a leg failed or nothing passed.

The counts are Qt Test's own (each data row, and initTestCase/cleanupTestCase, counts as one
test); a suite that is not a Qt Test executable counts as one test.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

TOTALS = re.compile(r"^Totals: (\d+) passed, (\d+) failed, (\d+) skipped", re.M)
SKIP = re.compile(r"^SKIP\s*: (\S+?)\(([^)]*)\) (.*)$", re.M)


def leg(name, build_dir, junit, record, excluded):
    problems = []
    suites_file = os.path.join(build_dir, "tests", "suites.txt")
    if not os.path.exists(suites_file):
        print(f"{name}: {suites_file} is missing: the build was configured without its tests "
              "(BRANTOVEL_BUILD_TESTS=OFF)")
        expected = {}
        problems.append("no suite list")
    else:
        expected = {}
        with open(suites_file, encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    suite, _, labels = line.strip().partition(" ")
                    if not (excluded and any(re.search(excluded, lab) for lab in labels.split(","))):
                        expected[suite] = labels
    cases = {}
    if os.path.exists(junit):
        for case in ET.parse(junit).getroot().iter("testcase"):
            cases[case.get("name")] = case
    else:
        problems.append("no JUnit report")

    passed = failed = skipped = 0
    suites_ran = suites_passed = 0
    skips = []
    for suite in sorted(expected):
        case = cases.get(suite)
        status = case.get("status") if case is not None else "absent"
        if status not in ("run", "fail"):
            problems.append(f"{suite} did not run ({status})")
            continue
        suites_ran += 1
        out = case.findtext("system-out") or ""
        ok = status == "run" and case.find("failure") is None
        totals = TOTALS.findall(out)
        if totals:
            p, f_, s = (int(x) for x in totals[-1])
            passed, failed, skipped = passed + p, failed + f_, skipped + s
            skips += [f"{suite} {m[0].split('::')[-1]}{'(' + m[1] + ')' if m[1] else ''}: {m[2].strip()}"
                      for m in SKIP.findall(out)]
            ok = ok and f_ == 0
        elif suite.startswith("tst_"):
            problems.append(f"{suite} printed no Qt Test totals")
            failed += 1
            ok = False
        elif ok:
            passed += 1
        else:
            failed += 1
        if ok:
            suites_passed += 1
        else:
            problems.append(f"{suite} failed")

    print(f"{name}: {suites_ran} of {len(expected)} suites ran, {suites_passed} passed"
          + (f" (labels matching {excluded} left out)" if excluded else ""))
    for s in skips:
        print(f"{name}: skipped {s}")
    for p in problems:
        print(f"{name}: FAILED: {p}")
    if not expected:
        problems.append("no suite expected")
    print(f"{name}: {passed} passed, {failed} failed, {skipped} skipped")
    with open(record, "a", encoding="utf-8") as f:
        f.write(f"{name} {passed} {failed} {skipped} {len(problems)}\n")
    return 1 if problems or passed == 0 else 0


def total(record):
    passed = failed = skipped = bad = 0
    legs = 0
    if os.path.exists(record):
        with open(record, encoding="utf-8") as f:
            for line in f:
                name, p, f_, s, probs = line.split()
                legs += 1
                passed, failed, skipped, bad = passed + int(p), failed + int(f_), skipped + int(s), bad + int(probs)
    print(f"Totals: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if legs == 0 or bad or failed or passed == 0 else 0


def main(argv):
    if len(argv) >= 6 and argv[1] == "leg":
        return leg(argv[2], argv[3], argv[4], argv[5], argv[6] if len(argv) > 6 else "")
    if len(argv) == 3 and argv[1] == "total":
        return total(argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
