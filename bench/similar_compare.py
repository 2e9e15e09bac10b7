#!/usr/bin/env python3
"""Suggestions and headword patterns at scale, side by side with sdcv and tre-agrep.

    bench/similar_compare.py            measures and prints the report
    bench/similar_compare.py --write    ... and puts it into docs/PERFORMANCE.md
                                        as the section "10. Suggestions and patterns"
    bench/similar_compare.py --runs 3   fewer repetitions (default 7)
    bench/similar_compare.py --no-wait  start at once, whatever the load (else it
                                        waits up to 15 minutes for a load below 2)

BUILD is $KEBU_BUILD_DIR or build-bench (configured with KEBU_BENCH=ON when it
has no CMakeCache.txt yet); the dictionaries are made in BUILD/compare as
bench/compare makes them: EDICT + ENAMDICT (Debian packages edict and
enamdict, EUC-JP) by tools/mkdic, code page 932 version 5 and BOCU-1 version
6, 1,008,760 records each. Beside each: its StarDict conversion
(`kebu convert --to stardict`) for sdcv, and its headwords as compared (the
search form of a version-6 headword), one a line, for tre-agrep.

Measured, each a median of the runs with the page cache warm:
  - similar_bench (bench/similar_bench.cpp): suggestions for misspelt keys
    of 5 to 11 units, patterns with a literal beginning, patterns that begin
    with `*` beside a full-text scan of the headwords alone;
  - `kebu lookup DICT KEY` (nothing found: the "did you mean" line) and
    `kebu lookup DICT KEY --similar` as whole commands, and their peak memory
    beside `kebu header`'s;
  - sdcv's fuzzy search (`/KEY`) and its wildcard search (the pattern) on the
    StarDict conversion, and `tre-agrep -2 -c KEY` over the headwords.
"""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.path.abspath(os.path.join(ROOT, os.environ.get("KEBU_BUILD_DIR", "build-bench")))
BIN = os.path.join(BUILD, "bin")
DATA = os.path.join(BUILD, "compare")
DOC = os.path.join(ROOT, "docs", "PERFORMANCE.md")
RUNS = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 7
DICS = [("real-1m.dic", "code page 932, version 5"), ("real-1m-v6.dic", "BOCU-1, version 6")]
# As bench/similar_bench.cpp has them.
KEYS = ["しんかんせ", "テレビゲーヌ", "東京国際空巷", "アイスクリーン", "日本語能力試検", "カレンダークロツク",
        "インターネットカフエー", "国際連合安全保証理事会"]
NARROWED = ["東京*", "カレンダ*", "イン*ネット", "日本語*試験"]
UNNARROWED = [("*駅", "駅"), ("*クロック", "クロック"), ("*ネット*", "ネット")]
# What each step of the design bought, counted once in instructions
# (callgrind), which a shared machine does not blur the way it blurs time.
HISTORY = """### What each change bought

Instructions of one whole search for suggestions, one thread
(`valgrind --tool=callgrind` of a small driver calling
`FindSimilarHeadwords`), in millions. Reading every record alone
(`DicCursor::NextRecord`, a loop and nothing else) takes 353 of them in
either dictionary; that part is the floor, and what two threads halve.

| step | 932 カレンダークロツク | 932 東京都庁舎前 | BOCU-1 東京都庁舎前 |
|---|---|---|---|
| banded dynamic programme, cell by cell; the rows of the units shared with the headword before kept; a row all above k ends every headword that begins so | 564 | | |
| the band's cells unrolled; code page 932 pairs from a table made once through the codec | 528 | | |
| a row in one SSE2 step (sixteen cells) | 473 | 641 | 723 |
| rows only for a headword with enough of the key's units (a unit the key lacks costs an edit: past k of them the headword, and every later one that begins so, is out); the shared beginning found inline; code page 932 decoded in the loop | 433 | 548 | 647 |
| code page 932: a headword must have the bytes of key length - k of the key's units (two for a kanji or a kana); BOCU-1 index keys decoded once | 381 | 426 | 641 |
| the shared beginning compared eight bytes a step | 379 | 420 | 626 |

Tried and dropped: counting the key's units over every byte of each code
page 932 headword (a bit per code) before the programme cost more than it
saved (557 M for 東京都庁舎前), since neighbours share most of their bytes and
the counting could not; the search form's length from the TAB's position
buys nothing in BOCU-1, whose units take one to three bytes. In BOCU-1 what
is left above reading is the decoding (a codec call a byte, about 25
instructions, some 1.8 million bytes a search) and some 150 instructions for
each of the 780,000 headwords that do not share their beginning with one
already ruled out: the headwords of EDICT and ENAMDICT are short and differ
early, and a band of distance 2 cannot rule out a headword before its third
unit. Record areas are passed over by their index keys only where both keys
begin with more than k units that the key lacks, which short areas of
English would often do and the 95-record areas of these Japanese
dictionaries hardly ever do.
"""
# Why the time targets are missed, from the counts above and a profile.
SHORTFALL = """### Where we fall short

The time targets of suggestions are missed, in process and as a command,
for two reasons. First, this machine: the other work on its two cores left
no core free for much of the run (see the load), so two threads seldom ran
at once (their wall time is at or above their CPU time, and often above one
thread's), and a command waited its turn. Second, the floor: reading every record alone, a
`DicCursor::NextRecord` loop that does nothing else, takes 353 M
instructions, about 48 ms of CPU here (`ParseRecord` finds every text of a
record, translations and all); on two free cores that is 24 ms of the 30
before a headword is looked at. Code page 932 adds 26 to 67 M instructions
(about 4 to 9 ms of CPU, so about 29 ms on two free cores; one run at a
load of 3.6 took 42 ms, 64 ms of CPU on two threads); BOCU-1 adds about
275 M:
decoding with the codec's byte-by-byte decoder (about 25 instructions a
byte, 1.8 million bytes) and the bookkeeping of the 780,000 headwords that
differ from the one before within their first three units, which a band of
distance 2 cannot rule out sooner. The distance itself, the dynamic
programme, is no longer in the profile (115 rows a search), so a
bit-parallel programme would buy nothing. What is left lies in the reader
and the codec: a walk of the record areas that reads headwords only, and a
BOCU-1 decoder that resumes from a state without a call a byte.
"""
LOAD_WAIT_S = 0 if "--no-wait" in sys.argv else 900  # wait this long at most for a load below 2
COMMANDS = []


def log(message):
    print(f"similar_compare: {message}", file=sys.stderr, flush=True)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build():
    run([os.path.join(ROOT, "scripts", "bootstrap"), "bench"])
    if not os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DKEBU_BENCH=ON", "-DKEBU_TESTS=OFF", "-DKEBU_VIEWER=OFF"], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", BUILD, "-j2", "--target", "kebu", "mkdic", "similar_bench"],
        stdout=subprocess.DEVNULL)


def make_data():
    os.makedirs(DATA, exist_ok=True)
    source = os.path.join(DATA, "edict-enamdict.euc")
    if not os.path.exists(source):
        with open(source + ".partial", "wb") as out:
            for part in ("/usr/share/edict/edict", "/usr/share/edict/enamdict"):
                with open(part, "rb") as f:
                    shutil.copyfileobj(f, out)
        os.replace(source + ".partial", source)
    kebu = os.path.join(BIN, "kebu")
    options = {"real-1m.dic": [], "real-1m-v6.dic": ["--encoding", "bocu1", "--version", "6"]}
    for name, extra in options.items():
        path = os.path.join(DATA, name)
        if not os.path.exists(path):
            log(f"making {name}")
            run([os.path.join(BIN, "mkdic"), "--edict", *extra, source, path + ".partial"],
                stdout=subprocess.DEVNULL)
            os.replace(path + ".partial", path)
        stardict = path + ".stardict"
        if not os.path.exists(stardict):
            log(f"converting {name} to StarDict")
            run([kebu, "convert", path, "--to", "stardict", stardict + ".partial", "--name", name[:-4]],
                stdout=subprocess.DEVNULL)
            os.replace(stardict + ".partial", stardict)
            # sdcv keeps an offset cache beside the index: made now, not timed.
            subprocess.run(sdcv(stardict, "/warm"), capture_output=True)
        headwords = path + ".headwords"
        if not os.path.exists(headwords):
            dump = run([kebu, "dump", path, "--json"], capture_output=True).stdout.decode("utf-8")
            with open(headwords + ".partial", "w", encoding="utf-8") as out:
                for line in dump.splitlines():
                    out.write(json.loads(line)["headword"].split("\t")[0] + "\n")
            os.replace(headwords + ".partial", headwords)


def sdcv(folder, query):
    return ["sdcv", "-n", "-x", "-0", "-1", "-2", folder, query]


def wait_for_quiet():
    deadline = time.time() + LOAD_WAIT_S
    load = os.getloadavg()[0]
    while load >= 2.0 and time.time() < deadline:
        log(f"load {load:.2f}: waiting for it to fall below 2")
        time.sleep(30)
        load = os.getloadavg()[0]
    return load


def median_time(cmd, env=None, ok=(0,)):
    """Median wall time (ms) of the command, its output read through a pipe."""
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        done = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        times.append(time.perf_counter() - start)
        if done.returncode not in ok:
            raise RuntimeError(f"{' '.join(cmd)} exited with {done.returncode}")
    return statistics.median(times) * 1000


def similar_bench():
    cmd = [os.path.join(BIN, "similar_bench"), f"--benchmark_repetitions={RUNS}",
           "--benchmark_report_aggregates_only=true", "--benchmark_format=json",
           "--benchmark_min_time=0.1"]
    env = {**os.environ, "KEBU_BENCH_DICS": ":".join(os.path.join(DATA, d) for d, _ in DICS)}
    COMMANDS.append("KEBU_BENCH_DICS=real-1m.dic:real-1m-v6.dic " + " ".join(
        [os.path.relpath(cmd[0], ROOT)] + cmd[1:]))
    out = run(cmd, env=env, capture_output=True, text=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/process_time", "").replace("/real_time", "")
        results[name] = {"real": b["real_time"], "cpu": b["cpu_time"],
                         "count": b.get("found", b.get("hits", 0))}
    return results


def peak_kb(cmd):
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True).stderr.strip().splitlines()[-1]
    return int(out)


def sdcv_count(folder, query):
    out = subprocess.run(sdcv(folder, query), capture_output=True, text=True).stdout
    found = re.search(r"Found (\d+) items", out)
    return int(found.group(1)) if found else 0


def verdict(ok):
    return "yes" if ok else "NO"


def against(theirs_ms, ours_ms):
    """How much faster (or slower) we are than the other tool."""
    if theirs_ms >= ours_ms:
        return f"{theirs_ms / ours_ms:,.1f}x faster"
    return f"{ours_ms / theirs_ms:,.1f}x slower"


def report():
    build()
    make_data()
    load_start = wait_for_quiet()
    started = time.time()
    log("similar_bench")
    ours = similar_bench()
    cores = os.cpu_count() or 1
    kebu = os.path.join(BIN, "kebu")
    sections = []
    for name, what in DICS:
        dic = os.path.join(DATA, name)
        stardict = dic + ".stardict"
        headwords = dic + ".headwords"
        log(f"commands, sdcv and tre-agrep on {name}")
        rows = []
        for key in KEYS:
            one = ours[f"similar/{name}/{key}/threads:1"]
            many = ours.get(f"similar/{name}/{key}/threads:{cores}", one)
            command = median_time([kebu, "lookup", dic, key])
            listing = median_time([kebu, "lookup", dic, key, "--similar"])
            fuzzy = median_time(sdcv(stardict, "/" + key))
            agrep = median_time(["tre-agrep", "-2", "-c", key, headwords], ok=(0, 1))
            best = min(fuzzy, agrep)
            rows.append(
                f"| {key} ({len(key)}) | {int(many['count'])} | {one['real']:.1f} ({one['cpu']:.1f}) | "
                f"{many['real']:.1f} ({many['cpu']:.1f}) | {verdict(many['real'] <= 30)} | "
                f"{command:.0f} | {verdict(command <= 60)} | {listing:.0f} | "
                f"{fuzzy:.0f} ({sdcv_count(stardict, '/' + key)}) | {agrep:.0f} | "
                f"{command / fuzzy:.2f}x | {command / agrep:.2f}x | {verdict(command < best)} |")
        base = peak_kb([kebu, "header", dic])
        peak = max(peak_kb([kebu, "lookup", dic, key]) for key in KEYS)
        patterns = []
        for pattern in NARROWED:
            p = ours[f"pattern/{name}/{pattern}/threads:{cores}"]
            glob = median_time(sdcv(stardict, pattern))
            patterns.append(
                f"| `{pattern}` | {int(p['count']):,} | {p['real']:.3f} ({p['cpu']:.3f}) | "
                f"{verdict(p['real'] <= 2)} | {glob:.0f} ({sdcv_count(stardict, pattern)}) | "
                f"{against(glob, p['real'])} |")
        for pattern, text in UNNARROWED:
            p = ours[f"pattern/{name}/{pattern}/threads:{cores}"]
            first = ours[f"first100/{name}/{pattern}/threads:{cores}"]
            h = ours[f"headwords/{name}/{text}/threads:{cores}"]
            glob = median_time(sdcv(stardict, pattern))
            patterns.append(
                f"| `{pattern}` | {int(p['count']):,} | {p['real']:.1f} ({p['cpu']:.1f}); headwords "
                f"holding {text}: {h['real']:.1f} ({h['cpu']:.1f}); the first 100: "
                f"{first['real']:.1f} | {verdict(p['cpu'] <= h['cpu'] * 1.1)} | "
                f"{glob:.0f} ({sdcv_count(stardict, pattern)}) | {against(glob, p['real'])}; "
                f"the first 100: {against(glob, first['real'])} |")
        sections.append(
            f"### {name} ({what})\n\n"
            "Suggestions. Targets: in process at most 30 ms (all cores); `kebu lookup DICT KEY` "
            "(nothing found, so the \"did you mean\" line) at most 60 ms; at most 10 MB of extra "
            "memory. The ratios are `kebu lookup`'s time over the other tool's (below 1: we are "
            "faster).\n\n"
            "| key (units) | found | in process, 1 thread ms (CPU) | all cores ms (CPU) | met | "
            "kebu lookup ms | met | kebu lookup --similar ms | sdcv /KEY ms (items) | "
            "tre-agrep -2 -c ms | / sdcv | / tre-agrep | faster than both |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n" + "\n".join(rows) +
            f"\n\nPeak memory of `kebu lookup {name} KEY` (the largest over the keys): "
            f"{peak / 1024:.1f} MiB, {(peak - base) / 1024:.1f} MiB more than `kebu header` "
            f"({verdict((peak - base) / 1024 <= 10)}).\n\n"
            "Patterns. Targets: a literal beginning of two units or more at most 2 ms; a pattern "
            "that begins with `*` no slower than a full-text scan of the headwords alone (CPU "
            "time, within 10%). sdcv lists at most 100 matches; we list 10,000 and count every "
            "one (the window's first page), and beside that the time to the first 100.\n\n"
            "| pattern | hits | ScanHeadwordPattern, all cores ms (CPU) | met | sdcv ms (items) | "
            "against sdcv |\n|---|---|---|---|---|---|\n" + "\n".join(patterns) + "\n")
    load_end = os.getloadavg()[0]
    uname = os.uname()
    cpu = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    sdcv_version = subprocess.run(["sdcv", "--version"], capture_output=True, text=True).stdout.split("\n")[0]
    agrep_version = subprocess.run(["tre-agrep", "--version"], capture_output=True, text=True).stdout.split("\n")[0]
    return (
        "## 10. Suggestions and patterns\n\n"
        f"Measured on {cores} cores ({cpu}), Linux {uname.release}, {time.strftime('%Y-%m-%d')}, by "
        f"`bench/similar_compare.py` in {time.time() - started:.0f} s; load average (1 minute) "
        f"{load_start:.2f} at the start and {load_end:.2f} at the end. Each figure is the median "
        f"of {RUNS} runs, page cache warm; in-process figures are wall time with the CPU time of "
        "the whole process in brackets (on a machine shared with other work the wall time of "
        "two threads can be no better than one's). "
        f"{sdcv_version} searches the StarDict conversion of the same dictionary "
        "(`kebu convert --to stardict`): `/KEY` is its fuzzy search, a pattern its wildcard "
        f"search. {agrep_version} reads the headwords as compared, one a line, and counts the "
        "lines that hold a match within two errors (anywhere in the line, so it counts more "
        "than the whole-headword matches we list).\n\n" + "\n".join(sections) +
        "\n" + SHORTFALL + "\n" + HISTORY + "\nCommands:\n\n" + "".join(f"    {c}\n" for c in COMMANDS) +
        "    kebu lookup real-1m.dic KEY; kebu lookup real-1m.dic KEY --similar\n"
        "    sdcv -n -x -0 -1 -2 real-1m.dic.stardict /KEY; ... PATTERN\n"
        "    tre-agrep -2 -c KEY real-1m.dic.headwords\n"
        "    /usr/bin/time -f %M kebu lookup real-1m.dic KEY; ... kebu header real-1m.dic\n")


def write_section(section):
    with open(DOC, encoding="utf-8") as f:
        doc = f.read()
    pattern = re.compile(r"^## 10. Suggestions and patterns\n.*?(?=^## |\Z)", re.S | re.M)
    if pattern.search(doc):
        doc = pattern.sub(lambda _: section + "\n", doc)
    else:
        doc = doc.rstrip("\n") + "\n\n" + section
    with open(DOC, "w", encoding="utf-8") as f:
        f.write(doc)


def main():
    section = report()
    print(section)
    if "--write" in sys.argv:
        write_section(section)
        log(f"wrote the section into {os.path.relpath(DOC, ROOT)}")


if __name__ == "__main__":
    main()
