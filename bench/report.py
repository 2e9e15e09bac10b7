#!/usr/bin/env python3
"""Renders docs/PERFORMANCE.md from the JSON that the benchmarks wrote.

    bench/report.py LOOKUP_JSON EXPORT_JSON [VIEWER_JSON]
"""
import datetime
import json
import os
import platform
import sys


def machine():
    cpu = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{os.cpu_count()} cores, {cpu}, {platform.system()} {platform.release()}"


def medians(path):
    data = json.load(open(path))
    rows = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            rows[b["run_name"]] = b
    return rows


def fmt_time(b):
    return f'{b["real_time"]:.3g} {b["time_unit"]}'


def lookup_section(path):
    rows = medians(path)
    targets = {
        "open": ("at most 1 ms", lambda t: t <= 1e6),
        "open_first_lookup": ("", None),
        "prefix_lookup": ("at most 20 µs", lambda t: t <= 20e3),
        "empty_key_10000": ("at most 10 ms", lambda t: t <= 10e6),
        "full_dump": ("", None),
    }
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
    out = ["## Lookup (in process)", "",
           "`build/bin/lookup_bench`, median of 5 repetitions; the dictionaries are "
           "EDICT + ENAMDICT made by `tools/mkdic`.", "",
           "| benchmark | dictionary | median | extra | target | met |",
           "|---|---|---|---|---|---|"]
    for name, b in rows.items():
        kind, dic = name.split("/", 1)
        dic = dic.split("/")[0]
        target, check = targets.get(kind, ("", None))
        ns = b["real_time"] * scale[b["time_unit"]]
        extra = ""
        if "hits/lookup" in b:
            extra = f'{b["hits/lookup"]:.1f} hits per lookup'
        if "records/s" in b:
            extra = f'{b["records/s"] / 1e6:.2f} M records/s'
        met = "" if check is None else ("yes" if check(ns) else "NO")
        out.append(f"| {kind} | {dic} | {fmt_time(b)} | {extra} | {target} | {met} |")
    return out


def export_section(path):
    e = json.load(open(path))
    ratio = e["kebu_mb_s"] / e["iconv_mb_s"]
    return ["## Export against iconv and cat", "",
            f'`bench/export_compare.py`: {e["records"]:,} records; median of 5 runs each, '
            "all reading from and writing to the same disk (page cache warm).", "",
            "| command | input | output | median time | output MB/s |",
            "|---|---|---|---|---|",
            f'| `kebu export real-cp932.dic out.txt` | {e["dictionary_bytes"]:,} B | '
            f'{e["export_bytes"]:,} B | {e["kebu_seconds"]:.3f} s | {e["kebu_mb_s"]:.0f} |',
            f'| `iconv -f CP932 -t UTF-8` (the same records as text) | {e["iconv_input_bytes"]:,} B | '
            f'{e["iconv_output_bytes"]:,} B | {e["iconv_seconds"]:.3f} s | {e["iconv_mb_s"]:.0f} |',
            f'| `cat real-cp932.dic` | {e["dictionary_bytes"]:,} B | {e["dictionary_bytes"]:,} B | '
            f'{e["cat_seconds"]:.3f} s | {e["cat_mb_s"]:.0f} |',
            "",
            f"Export / iconv: **{ratio:.2f}x** (target: at least 1.0x)."]


def main():
    lines = ["# Performance", "",
             f"Measured on {machine()}, {datetime.date.today().isoformat()}, by `bench/run`.",
             "Numbers vary on this shared 2-core machine; the ratios measured in one run "
             "are what counts.", ""]
    lines += lookup_section(sys.argv[1]) + [""]
    lines += export_section(sys.argv[2]) + [""]
    for extra in sys.argv[3:]:
        if os.path.exists(extra):
            lines += open(extra).read().splitlines() + [""]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
