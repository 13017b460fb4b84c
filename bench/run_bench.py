#!/usr/bin/env python3
"""The whole check against the tools a user would otherwise use, on the same generated reports.

For each size (data rows on each table sheet) it generates a report, then times with several
repetitions (minimum and median, wall clock):
  - brantovel-check: the whole control run (check, log, stamp, saves);
  - LibreOffice headless loading the report and writing CSV (soffice --convert-to csv);
  - gnumeric's ssconvert converting it to CSV;
  - python3-xlrd opening it and reading every cell;
and prints a table with the file size, the ratios peer/ours and our peak memory (resident set).

    python3 bench/run_bench.py [--build build] [--sizes 100,1000,10000,50000] [--reps 5]

Needs a built tree (brantovel-check, genreport, the data files) and, for the peers,
libreoffice-calc-nogui, gnumeric and python3-xlrd (installed by tools/install-deps.sh test,
gnumeric by hand: apt-get install gnumeric).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

XLRD_READ = r"""
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
n = 0
for s in b.sheets():
    for r in range(s.nrows):
        for v in s.row_values(r):
            n += 1
"""


def run(cmd, cwd=None, env=None):
    """Runs a command; returns (seconds, peak resident set in MB, exit status)."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    elapsed = time.perf_counter() - start
    return elapsed, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def timed(cmd, reps, prepare=None, cwd=None, env=None):
    times, rss = [], 0.0
    for _ in range(reps):
        if prepare:
            prepare()
        t, m, code = run(cmd, cwd, env)
        if code not in (0, 1):
            raise RuntimeError("%s exited with %d" % (cmd[0], code))
        times.append(t)
        rss = max(rss, m)
    return min(times), statistics.median(times), rss


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--sizes", default="100,1000,10000,50000")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--peer-reps", type=int, default=3)
    args = ap.parse_args()
    bindir = os.path.abspath(os.path.join(args.build, "bin"))
    py = "/usr/bin/python3"
    have = {"soffice": shutil.which("soffice"), "ssconvert": shutil.which("ssconvert"),
            "xlrd": subprocess.run([py, "-c", "import xlrd"], stderr=subprocess.DEVNULL).returncode == 0}
    rows = []
    work = tempfile.mkdtemp(prefix="brantovel-bench-")
    profile = os.path.join(work, "lo-profile")
    for size in [int(s) for s in args.sizes.split(",")]:
        d = os.path.join(work, "r%d" % size)
        os.makedirs(d)
        for f in os.listdir(bindir):
            if f.endswith(".bin") or f == "elog.xls":
                shutil.copy(os.path.join(bindir, f), d)
        pristine = os.path.join(work, "report-%d.xls" % size)
        subprocess.run([os.path.join(bindir, "genreport"), os.path.join(bindir, "zvit.xls"), pristine, str(size)],
                       check=True)
        report = os.path.join(d, "zvit.xls")
        fresh = lambda: shutil.copy(pristine, report)
        mb = os.path.getsize(pristine) / 1048576.0
        ours = timed([os.path.join(bindir, "brantovel-check"), "--dir", d], args.reps, fresh)
        line = {"size": size, "mb": mb, "ours": ours}
        out = os.path.join(work, "out%d" % size)
        os.makedirs(out)
        if have["soffice"]:
            # One warm-up start so the profile exists; then the timed loads.
            run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "csv",
                 "--outdir", out, pristine])
            line["soffice"] = timed(["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                                     "--convert-to", "csv", "--outdir", out, pristine], args.peer_reps)
        if have["ssconvert"]:
            line["ssconvert"] = timed(["ssconvert", "-S", pristine, os.path.join(out, "g_%n.csv")], args.peer_reps)
        if have["xlrd"]:
            line["xlrd"] = timed([py, "-c", XLRD_READ, pristine], args.peer_reps)
        rows.append(line)
        print("done: %d rows" % size, file=sys.stderr)
    shutil.rmtree(work, ignore_errors=True)

    peers = [p for p in ("soffice", "ssconvert", "xlrd") if any(p in r for r in rows)]
    head = "| rows | file MB | brantovel-check min / median s | peak RSS MB |"
    head += "".join(" %s min / median s | %s / ours |" % (p, p) for p in peers)
    print(head)
    print("|" + "---|" * (4 + 2 * len(peers)))
    for r in rows:
        o = r["ours"]
        cells = ["%d" % r["size"], "%.1f" % r["mb"], "%.3f / %.3f" % (o[0], o[1]), "%.0f" % o[2]]
        for p in peers:
            if p in r:
                cells += ["%.2f / %.2f" % (r[p][0], r[p][1]), "%.0f×" % (r[p][0] / o[0])]
            else:
                cells += ["–", "–"]
        print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
