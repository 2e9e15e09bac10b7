#!/usr/bin/env python3
"""Export throughput against iconv and cat, measured in one run.

    bench/export_compare.py OUTDIR     prints JSON

Three commands, each run 5 times, median wall time:
  kebu export   the code page 932 dictionary to a UTF-8 file;
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


def timed(cmd, runs=5, stdout=None):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        with open(stdout, "wb") if stdout else open(os.devnull, "wb") as sink:
            subprocess.run(cmd, check=True, stdout=sink)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    out = sys.argv[1]
    dic = os.path.join(out, "real-cp932.dic")
    exported = os.path.join(out, "export.txt")
    sjis = os.path.join(out, "export-cp932.txt")
    iconv_out = os.path.join(out, "iconv.txt")
    cat_out = os.path.join(out, "cat.dic")
    kebu = "build/bin/kebu"

    subprocess.run([kebu, "export", dic, exported], check=True)
    with open(sjis, "wb") as f:
        subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", "CP932", exported], check=True, stdout=f)

    t_kebu = timed([kebu, "export", dic, exported])
    t_iconv = timed(["iconv", "-f", "CP932", "-t", "UTF-8", sjis], stdout=iconv_out)
    t_cat = timed(["cat", dic], stdout=cat_out)
    mb = 1e6
    result = {
        "records": sum(1 for line in open(exported, "rb") if line.startswith(b"[index=")),
        "dictionary_bytes": os.path.getsize(dic),
        "export_bytes": os.path.getsize(exported),
        "iconv_input_bytes": os.path.getsize(sjis),
        "iconv_output_bytes": os.path.getsize(iconv_out),
        "kebu_seconds": t_kebu,
        "iconv_seconds": t_iconv,
        "cat_seconds": t_cat,
        "kebu_mb_s": os.path.getsize(exported) / t_kebu / mb,
        "iconv_mb_s": os.path.getsize(iconv_out) / t_iconv / mb,
        "cat_mb_s": os.path.getsize(dic) / t_cat / mb,
    }
    for path in (sjis, iconv_out, cat_out):
        os.remove(path)
    json.dump(result, sys.stdout, indent=2)


if __name__ == "__main__":
    main()
