#!/usr/bin/env python3
"""Export throughput against iconv and cat, measured in one run.

    bench/export_compare.py OUTDIR [DICT [KEBU [RUNS]]]     prints JSON

DICT defaults to OUTDIR/real-cp932.dic, KEBU to build/bin/kebu, RUNS to 5.
Four commands, each run RUNS times in turn (kebu, iconv, cat, kebu, ...),
median wall time:
  kebu export   the code page 932 dictionary as UTF-8 into a file through
                standard output, as iconv and cat write theirs;
  kebu export   the same to a path: under a temporary name, flushed to the
                disk and renamed (what a user gets, and what no export
                failure can destroy);
  iconv         -f CP932 -t UTF-8 of a text file holding the same records
                (the export's own text, converted to code page 932 first);
  cat           the dictionary file into a file (what the disk allows).
"""
import json
import os
import statistics
import subprocess
import sys
import time


def timed(cmd, stdout=None):
    with open(stdout, "wb") if stdout else open(os.devnull, "wb") as sink:
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=sink)
        return time.perf_counter() - start


def interleaved(commands, runs):
    """Runs each (cmd, stdout) once per round, in turn; median per command."""
    times = [[] for _ in commands]
    for _ in range(runs):
        for i, (cmd, stdout) in enumerate(commands):
            times[i].append(timed(cmd, stdout))
    return [statistics.median(t) for t in times]


def main():
    out = sys.argv[1]
    dic = sys.argv[2] if len(sys.argv) > 2 else os.path.join(out, "real-cp932.dic")
    kebu = sys.argv[3] if len(sys.argv) > 3 else "build/bin/kebu"
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    exported = os.path.join(out, "export.txt")
    sjis = os.path.join(out, "export-cp932.txt")
    iconv_out = os.path.join(out, "iconv.txt")
    cat_out = os.path.join(out, "cat.dic")

    subprocess.run([kebu, "export", dic, exported], check=True)
    with open(sjis, "wb") as f:
        subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", "CP932", exported], check=True, stdout=f)

    t_kebu, t_path, t_iconv, t_cat = interleaved([
        ([kebu, "export", dic, "-"], exported),
        ([kebu, "export", dic, exported], None),
        (["iconv", "-f", "CP932", "-t", "UTF-8", sjis], iconv_out),
        (["cat", dic], cat_out),
    ], runs)
    mb = 1e6
    result = {
        "runs": runs,
        "dictionary": os.path.basename(dic),
        "records": sum(1 for line in open(exported, "rb") if line.startswith(b"[index=")),
        "dictionary_bytes": os.path.getsize(dic),
        "export_bytes": os.path.getsize(exported),
        "iconv_input_bytes": os.path.getsize(sjis),
        "iconv_output_bytes": os.path.getsize(iconv_out),
        "kebu_seconds": t_kebu,
        "kebu_path_seconds": t_path,
        "iconv_seconds": t_iconv,
        "cat_seconds": t_cat,
        "kebu_mb_s": os.path.getsize(exported) / t_kebu / mb,
        "kebu_path_mb_s": os.path.getsize(exported) / t_path / mb,
        "iconv_mb_s": os.path.getsize(iconv_out) / t_iconv / mb,
        "cat_mb_s": os.path.getsize(dic) / t_cat / mb,
    }
    for path in (sjis, iconv_out, cat_out):
        os.remove(path)
    json.dump(result, sys.stdout, indent=2)


if __name__ == "__main__":
    main()
