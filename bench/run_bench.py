#!/usr/bin/env python3
"""The whole check against the tools a user would otherwise use, on the same generated reports.

For each size (data rows on each table sheet) it generates a report, then times with several
repetitions (minimum and median, wall clock):
  - brantovel-check: the whole control run (check, log, stamp, saves);
  - LibreOffice headless loading the report and writing CSV (soffice --convert-to csv);
  - gnumeric's ssconvert converting it to CSV;
  - python3-xlrd opening it and reading every cell;
  - catdoc's xls2csv converting every sheet to CSV;
  - with --baseline, the whole control run of another build (an older commit) on the same files;
and prints a table with the file size, the times, the ratios peer/ours and the peak memory
(resident set) of each.

    python3 bench/run_bench.py [--build build] [--baseline OLD_BUILD] [--sizes 1000,10000,50000] [--reps 5]

Needs a built tree (brantovel-check, genreport, the data files) and, for the peers, the packages
tools/install-deps.sh bench installs (LibreOffice, gnumeric, python3-xlrd, catdoc).
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
    """Runs a command; returns (wall seconds, CPU seconds, peak resident set in MB, exit status)."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    elapsed = time.perf_counter() - start
    # The rusage of a waited-for child includes the descendants it waited for (soffice.bin).
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def timed(cmd, reps, prepare=None, cwd=None, env=None):
    """(min wall, median wall, peak RSS MB, min CPU) over `reps` runs."""
    times, cpus, rss = [], [], 0.0
    for _ in range(reps):
        if prepare:
            prepare()
        t, c, m, code = run(cmd, cwd, env)
        if code not in (0, 1):
            raise RuntimeError("%s exited with %d" % (cmd[0], code))
        times.append(t)
        cpus.append(c)
        rss = max(rss, m)
    return min(times), statistics.median(times), rss, min(cpus)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--baseline", help="another build folder whose brantovel-check is timed alongside")
    ap.add_argument("--sizes", default="1000,10000,50000")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--peer-reps", type=int, default=3)
    args = ap.parse_args()
    bindir = os.path.abspath(os.path.join(args.build, "bin"))
    py = "/usr/bin/python3"
    have = {"soffice": shutil.which("soffice"), "ssconvert": shutil.which("ssconvert"),
            "xlrd": subprocess.run([py, "-c", "import xlrd"], stderr=subprocess.DEVNULL).returncode == 0,
            "xls2csv": shutil.which("xls2csv")}
    baseline = os.path.abspath(os.path.join(args.baseline, "bin", "brantovel-check")) if args.baseline else None
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
        if baseline:
            line["baseline"] = timed([baseline, "--dir", d], args.reps, fresh)
        out = os.path.join(work, "out%d" % size)
        os.makedirs(out)
        if have["soffice"]:
            # One warm-up start so the profile exists; then the timed loads (each within 10 minutes).
            soffice = ["timeout", "600", "soffice", "-env:UserInstallation=file://" + profile, "--headless",
                       "--convert-to", "csv", "--outdir", out, pristine]
            run(soffice)
            line["soffice"] = timed(soffice, args.peer_reps)
        if have["ssconvert"]:
            line["ssconvert"] = timed(["ssconvert", "-S", pristine, os.path.join(out, "g_%n.csv")], args.peer_reps)
        if have["xlrd"]:
            line["xlrd"] = timed([py, "-c", XLRD_READ, pristine], args.peer_reps)
        if have["xls2csv"]:
            # Every sheet to CSV on standard output (-q0: no warnings; the output is discarded).
            line["xls2csv"] = timed(["xls2csv", "-q0", pristine], args.peer_reps)
        rows.append(line)
        print("done: %d rows" % size, file=sys.stderr)
    shutil.rmtree(work, ignore_errors=True)

    # Wall times on a busy machine mostly measure the wait for a core: the CPU times (user + system)
    # are printed beside them, and the ratios are given for both.
    peers = [p for p in ("baseline", "soffice", "ssconvert", "xlrd", "xls2csv") if any(p in r for r in rows)]
    head = "| rows | file MB | ours wall min / median s | ours CPU s | ours peak MB (× file) |"
    head += "".join(" %s wall min s | %s CPU s | %s / ours wall, CPU | %s peak MB |" % (p, p, p, p) for p in peers)
    print(head)
    print("|" + "---|" * (5 + 4 * len(peers)))
    for r in rows:
        o = r["ours"]
        cells = ["%d" % r["size"], "%.1f" % r["mb"], "%.3f / %.3f" % (o[0], o[1]), "%.3f" % o[3],
                 "%.0f (%.1f×)" % (o[2], o[2] / r["mb"])]
        for p in peers:
            if p in r:
                q = r[p]
                cells += ["%.2f" % q[0], "%.2f" % q[3], "%.1f×, %.1f×" % (q[0] / o[0], q[3] / o[3]), "%.0f" % q[2]]
            else:
                cells += ["–"] * 4
        print("| " + " | ".join(cells) + " |")
    # 50,000 rows against 10,000: how the whole check scales.
    by = {r["size"]: r for r in rows}
    if 10000 in by and 50000 in by:
        print("50,000 / 10,000 rows: %.2f× the wall time, %.2f× the CPU time"
              % (by[50000]["ours"][0] / by[10000]["ours"][0], by[50000]["ours"][3] / by[10000]["ours"][3]))


if __name__ == "__main__":
    main()
