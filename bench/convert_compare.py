#!/usr/bin/env python3
"""Conversion and make times on the one-million-record dictionaries, side by
side with the tools that do the nearest job.

    bench/convert_compare.py [BUILD [RUNS]]          prints a Markdown table

BUILD is the build folder (default: $KEBU_BUILD_DIR or build); its bin/kebu
is measured. RUNS (default 5) rounds; in each round every command runs once,
in turn, so that the machine's load falls on all of them alike. Figures are
medians over the rounds: wall time, and CPU time (user + system, from the
kernel's accounting of the child) which the load of other programs does not
inflate.

Data, in BUILD/convert-bench (made once, reused):
  edict-enamdict.euc   /usr/share/edict/edict and enamdict (Debian packages
                       edict, enamdict) one after the other, EUC-JP;
  real-1m.dic          kebu make --replace (code page 932, version 5);
  real-1m-v6.dic       kebu make --encoding bocu1 (BOCU-1, version 6);
  real-1m.dict         the StarDict texts of real-1m.dic, uncompressed.

Compared:
  kebu make (both dictionaries)      with iconv -f EUC-JP -t UTF-8 of the input
  kebu convert --to stardict         with dictzip compressing real-1m.dict
  kebu convert --to tsv / --to jsonl with kebu export of the same dictionary
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                        else os.environ.get("KEBU_BUILD_DIR", os.path.join(ROOT, "build")))
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
KEBU = os.path.join(BUILD, "bin", "kebu")
DATA = os.path.join(BUILD, "convert-bench")


def path(name):
    return os.path.join(DATA, name)


def timed(argv, stdout=os.devnull, before=None):
    """Wall and CPU seconds of one run of argv."""
    if before:
        before()
    with open(stdout, "wb") as out:
        start = time.perf_counter()
        child = subprocess.Popen(argv, stdout=out)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"convert_compare: {' '.join(argv)} exited with {child.returncode}")
    return wall, usage.ru_utime + usage.ru_stime


def remove(target):
    def go():
        if os.path.isdir(target):
            shutil.rmtree(target)
        elif os.path.exists(target):
            os.remove(target)
    return go


def prepare():
    os.makedirs(DATA, exist_ok=True)
    source = path("edict-enamdict.euc")
    if not os.path.exists(source):
        with open(source + ".partial", "wb") as out:
            for part in ("/usr/share/edict/edict", "/usr/share/edict/enamdict"):
                with open(part, "rb") as f:
                    shutil.copyfileobj(f, out)
        os.replace(source + ".partial", source)
    for name, options in (("real-1m.dic", ["--replace"]),
                          ("real-1m-v6.dic", ["--encoding", "bocu1"])):
        if not os.path.exists(path(name)):
            subprocess.run([KEBU, "make", source, path(name)] + options, check=True)
    if not os.path.exists(path("real-1m.dict")):
        remove(path("sd"))()
        subprocess.run([KEBU, "convert", path("real-1m.dic"), "--to", "stardict", path("sd")],
                       check=True)
        with open(path("real-1m.dict"), "wb") as out:
            subprocess.run(["dictzip", "-d", "-c", path("sd/real-1m.dict.dz")], stdout=out,
                           check=True)


def commands():
    source = path("edict-enamdict.euc")
    out = path("out")
    rows = []
    for dic in ("real-1m.dic", "real-1m-v6.dic"):
        d = path(dic)
        rows += [
            (f"kebu convert {dic} --to stardict OUT", [KEBU, "convert", d, "--to", "stardict", out],
             None, remove(out)),
            (f"kebu convert {dic} --to tsv OUT", [KEBU, "convert", d, "--to", "tsv", out], None,
             remove(out)),
            (f"kebu convert {dic} --to jsonl OUT", [KEBU, "convert", d, "--to", "jsonl", out],
             None, remove(out)),
            (f"kebu export {dic} OUT", [KEBU, "export", d, out], None, remove(out)),
        ]
    rows += [
        ("dictzip -k real-1m.dict (the StarDict texts of real-1m.dic)",
         ["dictzip", "-k", "-f", path("real-1m.dict")], None, remove(path("real-1m.dict.dz"))),
        ("kebu make edict-enamdict.euc OUT --replace",
         [KEBU, "make", source, out, "--replace"], None, remove(out)),
        ("kebu make edict-enamdict.euc OUT --encoding bocu1",
         [KEBU, "make", source, out, "--encoding", "bocu1"], None, remove(out)),
        ("iconv -f EUC-JP -t UTF-8 edict-enamdict.euc", ["iconv", "-c", "-f", "EUC-JP", "-t",
                                                         "UTF-8", source], path("iconv.txt"), None),
    ]
    return rows


def main():
    if not os.path.exists(KEBU):
        sys.exit(f"convert_compare: no {KEBU}: build it first")
    prepare()
    rows = commands()
    times = {name: ([], []) for name, *_ in rows}
    load_start = os.getloadavg()[0]
    for _ in range(RUNS):
        for name, argv, stdout, before in rows:
            wall, cpu = timed(argv, stdout or os.devnull, before)
            times[name][0].append(wall)
            times[name][1].append(cpu)
    remove(path("out"))()
    remove(path("iconv.txt"))()
    remove(path("real-1m.dict.dz"))()
    load_end = os.getloadavg()[0]
    print(f"{time.strftime('%Y-%m-%d')}, {os.cpu_count()} cores, {os.uname().release}; "
          f"{RUNS} rounds; load average (1 minute) {load_start:.2f} at the start, "
          f"{load_end:.2f} at the end")
    print()
    print("| command | wall s (median) | CPU s (median) |")
    print("|---|---|---|")
    for name, *_ in rows:
        walls, cpus = times[name]
        print(f"| `{name}` | {statistics.median(walls):.2f} | {statistics.median(cpus):.2f} |")


if __name__ == "__main__":
    main()
