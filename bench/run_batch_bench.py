#!/usr/bin/env python3
"""A folder check as a receiving office runs it: COUNT generated reports in one folder, checked by
`brantovel-check --batch` with one report at a time and with as many as there are cores.

For each number of jobs it times several runs (wall clock, minimum and median) and prints the
reports per second, the processor time (user + system), the cores used (processor time / wall
time) and the peak memory (resident set) of the whole run.

    python3 bench/run_batch_bench.py [--build build] [--count 500] [--reps 3] [--jobs 1,0]

`--jobs 0` is the default of brantovel-check: one report per core. Needs a built tree
(brantovel-check, genreport and the data files beside them).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def run(cmd):
    """Runs a command; returns (wall seconds, processor seconds, peak resident set in MB, exit status)."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--count", type=int, default=500)
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--jobs", default="1,0")
    args = ap.parse_args()
    bindir = os.path.abspath(os.path.join(args.build, "bin"))
    work = tempfile.mkdtemp(prefix="brantovel-batch-bench-")
    try:
        folder = os.path.join(work, "reports")
        os.makedirs(folder)
        subprocess.run([os.path.join(bindir, "genreport"), "--folder", os.path.join(bindir, "zvit.xls"), folder,
                        str(args.count)], check=True)
        files = [os.path.join(folder, f) for f in os.listdir(folder)]
        mb = sum(os.path.getsize(f) for f in files) / 1048576.0
        biggest = max(os.path.getsize(f) for f in files) / 1048576.0
        print("%d reports, %.0f MB in all, the largest %.1f MB; %d cores" % (len(files), mb, biggest, os.cpu_count()))
        print()
        print("| jobs | wall s min / median | reports/s | processor s | cores used | peak RSS MB |")
        print("|---|---|---|---|---|---|")
        for jobs in [int(j) for j in args.jobs.split(",")]:
            walls, cpus, rss = [], [], 0.0
            for k in range(args.reps):
                out = os.path.join(work, "out-%d-%d" % (jobs, k))
                cmd = [os.path.join(bindir, "brantovel-check"), "--batch", folder, "--out", out, "--dir", bindir]
                if jobs:
                    cmd += ["--jobs", str(jobs)]
                wall, cpu, peak, status = run(cmd)
                if status not in (0, 1):
                    raise RuntimeError("brantovel-check exited with %d" % status)
                walls.append(wall)
                cpus.append(cpu)
                rss = max(rss, peak)
                shutil.rmtree(out, ignore_errors=True)
            best = min(walls)
            cpu = cpus[walls.index(best)]
            print("| %s | %.2f / %.2f | %.0f | %.2f | %.1f | %.0f |" % (
                jobs or "default", best, statistics.median(walls), len(files) / best, cpu, cpu / best, rss))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
