"""Time Database.add as the database grows.

One database grows to each size in turn; at each size the next `--window` adds are timed and
their mean is printed in microseconds. The cost of an add should not depend on how many records
the database already holds: the figures should stay flat across the sizes.

    PYTHONPATH=SITE python3 python/bench/add_records.py [--sizes 1000,10000,100000] [--window 1000]
"""
import argparse
import sys
import tempfile
import time

import lkmdb7


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="1000,10000,100000",
                        help="record counts at which to time adds (ascending)")
    parser.add_argument("--window", type=int, default=1000, help="adds timed at each size")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]

    with tempfile.TemporaryDirectory() as folder:
        db = lkmdb7.create(folder, "bench")
        count = 0

        def add() -> None:
            nonlocal count
            db.add("Web Login", [f"user{count}@example.org", f"pw{count}", "https://example.org"],
                   category="Mail" if count % 2 else "Bank", note="a note")
            count += 1

        print(f"{'records':>8}  {'µs per add':>10}")
        for size in sizes:
            while count < size:
                add()
            start = time.perf_counter()
            for _ in range(args.window):
                add()
            elapsed = time.perf_counter() - start
            print(f"{size:>8}  {elapsed / args.window * 1e6:>10.1f}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
