#!/usr/bin/env python3
"""Runs the benchmark program once and prints the results and the target ratios as Markdown.

Every ratio comes from this one run. Usage: bench/report.py BENCH_BINARY [benchmark flags...]
With --benchmark_repetitions=N, each figure is the median of N repetitions.
Times are CPU time for work that only computes (the cipher, the checksum, packing, listing,
loads beside SQLite's select) and wall-clock time for work that waits for the disk (saves,
SQLite's insert, the import, which ends in a save); the tables show both.
"""
import json
import subprocess
import sys
import tempfile


def run(binary, flags):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([binary, f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        *flags], check=True, stdout=subprocess.DEVNULL)
        return json.load(open(out.name))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    data = run(sys.argv[1], sys.argv[2:])
    # With --benchmark_repetitions=N each benchmark is run N times in turn; the median of those
    # runs stands for it, which steadies the ratios on a machine whose speed wanders.
    by = {}
    for b in data["benchmarks"]:
        name = b["run_name"] if "run_name" in b else b["name"]
        name = name.replace("/real_time", "")
        if b.get("run_type", "iteration") == "aggregate":
            if b.get("aggregate_name") == "median":
                by[name] = b
        elif name not in by:
            by[name] = b

    def get(name, field="cpu_time"):
        b = by.get(name)
        if b is None:
            return None
        value = b[field]
        unit = b.get("time_unit", "ns")
        if field in ("cpu_time", "real_time"):
            value *= {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[unit]  # in ms
        return value

    def rate(name):
        b = by.get(name)
        return b and b.get("bytes_per_second")

    print(f"Run: {data['context']['date']}, {data['context']['num_cpus']} CPUs, "
          f"load average {', '.join(f'{x:.1f}' for x in data['context'].get('load_avg', []))}\n")
    print("| benchmark | wall ms | CPU ms | per record (wall) | counters |")
    print("|---|---:|---:|---:|---|")
    for name, b in by.items():
        extra = {k: v for k, v in b.items() if k in (
            "bytes_per_second", "peak_bytes", "file_bytes", "kept_bytes", "peak_over_file")}
        counters = ", ".join(
            f"{k}={v / 2**20:.0f} MiB/s" if k == "bytes_per_second" else
            f"{k}={v:.2f}" if k == "peak_over_file" else f"{k}={v / 2**20:.1f} MiB"
            for k, v in extra.items())
        n = name.split("/")[1] if "/" in name else ""
        per = (f"{get(name, 'real_time') * 1000 / int(n):.2f} us"
               if n.isdigit() and "items_per_second" in b else "")
        print(f"| {name} | {get(name, 'real_time'):.4g} | {get(name):.4g} | {per} | {counters} |")

    rows = []

    def ratio(label, value, target, better):
        if value is None:
            rows.append((label, "not measured", f"{target:g}", "-"))
            return
        ok = value >= target if better == "high" else value <= target
        rows.append((label, f"{value:.2f}", f"{'>=' if better == 'high' else '<='} {target:g}",
                     "met" if ok else "NOT met"))

    def div(a, b):
        return None if a is None or b is None or b == 0 else a / b

    ratio("Blowfish / OpenSSL, 64 KiB (throughput)",
          div(rate("BM_BlowfishEncrypt/65536"), rate("BM_OpenSslBfEcbEncrypt/65536")), 2.5, "high")
    ratio("CRC-16 sliced / byte-at-a-time, 64 KiB (throughput)",
          div(rate("BM_Crc16Sliced/65536"), rate("BM_Crc16ByteAtATime/65536")), 4, "high")
    ratio("load 100k / SQLite select 100k (CPU)",
          div(get("BM_Load/100000"), get("BM_SqliteSelect/100000")), 1.0, "low")
    ratio("save 100k after one edit, flushed / SQLite insert 100k (wall)",
          div(get("BM_Save/100000", "real_time"), get("BM_SqliteInsert/100000", "real_time")),
          0.6, "low")
    ratio("first save 100k after a load, flushed / SQLite insert 100k (wall)",
          div(get("BM_SaveAfterLoad/100000", "real_time"),
              get("BM_SqliteInsert/100000", "real_time")), 0.6, "low")
    for op in ("Load", "Save", "SaveAfterLoad"):
        per = [div(get(f"BM_{op}/{n}"), n) for n in (1000, 10000, 100000)]
        if None not in per:
            ratio(f"{op} per record, max / min over 1k-100k (CPU)", max(per) / min(per), 1.5, "low")
    ratio("listing 100k by index / one walk (wall)",
          div(get("BM_ListViewByIndex/100000", "real_time"), get("BM_ListWalk/100000", "real_time")),
          2.0, "low")
    # The import's own save packs and enciphers every record, as the first save after a load does.
    ratio("lkmdb import 100k / first save 100k after a load (wall)",
          div(get("BM_Import/100000", "real_time"), get("BM_SaveAfterLoad/100000", "real_time")),
          3.0, "low")
    b = by.get("BM_LoadPeakMemory/100000/iterations:1")
    ratio("peak heap of a 100k load / file size", b and b.get("peak_over_file"), 4.0, "low")

    print("\n| target | measured | wanted | |")
    print("|---|---:|---:|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")


if __name__ == "__main__":
    main()
