#!/usr/bin/python3
"""Runs the benchmark program once and prints the results and the target ratios as Markdown.

Every ratio comes from this one run. Usage:
    bench/report.py [--cold-runs=K] [--cold-sizes=N,N,...] [--svg=PATH] BENCH_BINARY [flags...]
The flags after the binary go to Google Benchmark; with --benchmark_repetitions=N each figure is
the median of N repetitions. After the warm benchmarks, the cold loads run: lkmdb7_cold (beside
the benchmark binary) loads each size once per fresh process, the engine's file and SQLite's in
turn, K times (default 5), and the median of the K stands. --cold-runs=0 skips them. The figure
(time per record and memory per file byte against the number of records) goes to PATH, by
default docs/performance.svg; --svg= (empty) draws none. The figure needs matplotlib, which
Debian installs for its own /usr/bin/python3 (python3-matplotlib), hence the first line.
Times are CPU time for work that only computes (the cipher, the checksum, packing, listing,
loads beside SQLite's select) and wall-clock time for work that waits for the disk (saves,
SQLite's insert, the import, which ends in a save); the tables show both.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile

SIZES = (1000, 10000, 100000)


def run(binary, flags):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([binary, f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        *flags], check=True, stdout=subprocess.DEVNULL)
        return json.load(open(out.name))


def run_cold(cold_binary, sizes, runs):
    """{(store, n): {field: median}}, each run a fresh process; the file sizes by (store, n)."""
    results = {}
    files = {}
    with tempfile.TemporaryDirectory(prefix="lkmdb7-cold-") as folder:
        for n in sizes:
            subprocess.run([cold_binary, "prepare", folder, str(n)], check=True)
            files[("engine", n)] = os.path.join(folder, f"db{n}", "LockmeraDatabase.lkb")
            files[("sqlite", n)] = os.path.join(folder, f"sql{n}.db")
        samples = {}
        for _ in range(runs):
            for n in sizes:
                for store in ("engine", "sqlite"):
                    out = subprocess.run([cold_binary, store, files[(store, n)], str(n)],
                                         check=True, capture_output=True, text=True).stdout
                    samples.setdefault((store, n), []).append(json.loads(out))
        sizes_of = {key: os.path.getsize(path) for key, path in files.items()}
    for key, rows in samples.items():
        results[key] = {field: statistics.median(r[field] for r in rows) for field in rows[0]}
    return results, sizes_of


def draw(path, by_n, cold, file_bytes):
    """Time per record and memory per file byte against the record count, engine beside SQLite."""
    try:
        import matplotlib
    except ImportError:
        sys.exit("drawing the figure needs matplotlib (Debian: python3-matplotlib, for "
                 "/usr/bin/python3); --svg= draws none")
    matplotlib.use("svg")
    import matplotlib.pyplot as plt
    matplotlib.rcParams["svg.hashsalt"] = "lkmdb7"  # the same figure gives the same file
    fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4))
    for label, series, style in by_n["time"]:
        xs = [n for n, v in series if v is not None]
        if xs:
            left.plot(xs, [v for _, v in series if v is not None], style, label=label)
    left.set(xscale="log", xlabel="records", ylabel="CPU time per record (us)",
             title="Load and save, per record")
    left.set_ylim(bottom=0)
    left.legend(fontsize="small")
    for store, label, style in (("engine", "engine, fresh process", "o-"),
                                ("sqlite", "SQLite, fresh process", "s--")):
        xs = [n for n in SIZES if (store, n) in cold]
        right.plot(xs, [(cold[(store, n)]["peak_rss"] - cold[(store, n)]["start_rss"])
                        / file_bytes[(store, n)] for n in xs], style, label=label)
    xs, ys = zip(*by_n["heap"]) if by_n["heap"] else ((), ())
    if xs:
        right.plot(xs, ys, "^:", label="engine, peak heap (warm)")
    right.set(xscale="log", xlabel="records", ylabel="bytes per byte of its own file",
              title="Memory a load adds, per file byte")
    right.set_ylim(bottom=0)
    right.legend(fontsize="small")
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})


def main():
    args = sys.argv[1:]
    cold_runs = 5
    cold_sizes = SIZES
    svg = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "performance.svg")
    while args and args[0].startswith("--"):
        option, _, value = args.pop(0).partition("=")
        if option == "--cold-runs":
            cold_runs = int(value)
        elif option == "--cold-sizes":
            cold_sizes = tuple(int(v) for v in value.split(","))
        elif option == "--svg":
            svg = value
        else:
            sys.exit(__doc__)
    if not args:
        sys.exit(__doc__)
    data = run(args[0], args[1:])
    # With --benchmark_repetitions=N each benchmark is run N times in turn; the median of those
    # runs stands for it, which steadies the ratios on a machine whose speed wanders.
    by = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            # A failed benchmark measured nothing: its ratios read "not measured".
            print(f"{b['name']}: FAILED: {b.get('error_message', '')}", file=sys.stderr)
            continue
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
            "bytes_per_second", "peak_bytes", "file_bytes", "kept_bytes", "peak_over_file",
            "kept_bytes_per_record", "kept_blocks_per_record")}
        counters = ", ".join(
            f"{k}={v / 2**20:.0f} MiB/s" if k == "bytes_per_second" else
            f"{k}={v:.2f}" if k == "peak_over_file" else
            f"{k}={v:.1f}" if k.endswith("_per_record") else f"{k}={v / 2**20:.1f} MiB"
            for k, v in extra.items())
        n = name.split("/")[1] if "/" in name else ""
        per = (f"{get(name, 'real_time') * 1000 / int(n):.2f} us"
               if n.isdigit() and "items_per_second" in b else "")
        print(f"| {name} | {get(name, 'real_time'):.4g} | {get(name):.4g} | {per} | {counters} |")

    cold, cold_files = {}, {}
    if cold_runs > 0:
        cold_binary = os.path.join(os.path.dirname(args[0]), "lkmdb7_cold")
        cold, cold_files = run_cold(cold_binary, cold_sizes, cold_runs)
        print(f"\nFresh processes, median of {cold_runs} each (file sizes: engine's and SQLite's "
              "own):\n")
        print("| records | load CPU ms | load wall ms | SQLite CPU ms | SQLite wall ms | "
              "first listing CPU ms | walk CPU ms | peak RSS MiB (at start) | "
              "SQLite peak RSS MiB (at start) | file MiB | SQLite file MiB |")
        print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
        mib = 2**20
        for n in cold_sizes:
            e, q = cold[("engine", n)], cold[("sqlite", n)]
            print(f"| {n} | {e['load_cpu_ms']:.4g} | {e['load_ms']:.4g} | {q['load_cpu_ms']:.4g} | "
                  f"{q['load_ms']:.4g} | {e['list_cpu_ms']:.4g} | {e['walk_cpu_ms']:.4g} | "
                  f"{e['peak_rss'] / mib:.1f} ({e['start_rss'] / mib:.1f}) | "
                  f"{q['peak_rss'] / mib:.1f} ({q['start_rss'] / mib:.1f}) | "
                  f"{cold_files[('engine', n)] / mib:.1f} | {cold_files[('sqlite', n)] / mib:.1f} |")

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

    def cold_get(store, n, field):
        return cold.get((store, n), {}).get(field)

    ratio("Blowfish / OpenSSL, 64 KiB (throughput)",
          div(rate("BM_BlowfishEncrypt/65536"), rate("BM_OpenSslBfEcbEncrypt/65536")), 2.5, "high")
    ratio("CRC-16 sliced / byte-at-a-time, 64 KiB (throughput)",
          div(rate("BM_Crc16Sliced/65536"), rate("BM_Crc16ByteAtATime/65536")), 4, "high")
    ratio("load 100k / SQLite select 100k, warm (CPU)",
          div(get("BM_Load/100000"), get("BM_SqliteSelect/100000")), 0.8, "low")
    ratio("load 100k / SQLite select 100k, fresh process (CPU)",
          div(cold_get("engine", 100000, "load_cpu_ms"), cold_get("sqlite", 100000, "load_cpu_ms")),
          0.8, "low")
    ratio("load 100k / SQLite select 100k, fresh process (wall)",
          div(cold_get("engine", 100000, "load_ms"), cold_get("sqlite", 100000, "load_ms")),
          0.8, "low")
    ratio("peak resident memory of a fresh 100k load / file size",
          div(cold_get("engine", 100000, "peak_rss"), cold_files.get(("engine", 100000))),
          3.0, "low")
    b = by.get("BM_LoadPeakMemory/100000/iterations:1")
    ratio("peak heap of a 100k load / file size (warm)", b and b.get("peak_over_file"), 2.5, "low")
    ratio("save 100k after one edit, flushed / SQLite insert 100k (wall)",
          div(get("BM_Save/100000", "real_time"), get("BM_SqliteInsert/100000", "real_time")),
          0.4, "low")
    ratio("first save 100k after a load, flushed / SQLite insert 100k (wall)",
          div(get("BM_SaveAfterLoad/100000", "real_time"),
              get("BM_SqliteInsert/100000", "real_time")), 0.6, "low")
    # The import's own save packs and enciphers every record, as the first save after a load does.
    ratio("lkmdb import 100k / first save 100k after a load (wall)",
          div(get("BM_Import/100000", "real_time"), get("BM_SaveAfterLoad/100000", "real_time")),
          2.0, "low")
    ratio("listing 100k by index / one walk, warm (wall)",
          div(get("BM_ListViewByIndex/100000", "real_time"), get("BM_ListWalk/100000", "real_time")),
          1.5, "low")
    ratio("first listing 100k by index after a load / one walk, fresh process (CPU)",
          div(cold_get("engine", 100000, "list_cpu_ms"), cold_get("engine", 100000, "walk_cpu_ms")),
          1.5, "low")
    for op in ("Load", "Save", "SaveAfterLoad"):
        per = [div(get(f"BM_{op}/{n}"), n) for n in SIZES]
        if None not in per:
            ratio(f"{op} per record, max / min over 1k-100k (CPU)", max(per) / min(per), 1.3, "low")

    print("\n| target | measured | wanted | |")
    print("|---|---:|---:|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")

    if svg:
        per_record = {}
        for label, name in (("engine load, warm", "BM_Load"),
                            ("SQLite select, warm", "BM_SqliteSelect"),
                            ("engine first save after a load", "BM_SaveAfterLoad"),
                            ("SQLite insert", "BM_SqliteInsert")):
            per_record[label] = [(n, div(get(f"{name}/{n}"), n / 1000)) for n in SIZES]
        for store, label in (("engine", "engine load, fresh process"),
                             ("sqlite", "SQLite select, fresh process")):
            per_record[label] = [(n, div(cold_get(store, n, "load_cpu_ms"), n / 1000))
                                 for n in SIZES]
        styles = ["o-", "s--", "o-", "s--", "o-", "s--"]
        colours = ["C0", "C0", "C2", "C2", "C1", "C1"]
        time_series = [(label, series, colours[i][0:2] + styles[i])
                       for i, (label, series) in enumerate(per_record.items())]
        heap = []
        for n in SIZES:
            b = by.get(f"BM_LoadPeakMemory/{n}/iterations:1")
            if b and b.get("peak_over_file"):
                heap.append((n, b["peak_over_file"]))
        draw(svg, {"time": time_series, "heap": heap}, cold, cold_files)
        print(f"\nFigure: {svg}")


if __name__ == "__main__":
    main()
