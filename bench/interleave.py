#!/usr/bin/python3
"""Times commands side by side: ROUNDS rounds, each running every command once, in an order
that rotates from round to round, so that a machine that speeds up or slows down over the
minutes affects them all alike. Writes hyperfine's JSON shape (results[i].mean, .min).

    interleave.py OUT.json ROUNDS WARMUP 'COMMAND' ['COMMAND' ...]
"""
import json
import statistics
import subprocess
import sys
import time

out, rounds, warmup, commands = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
times = [[] for _ in commands]
for r in range(warmup + rounds):
    for k in range(len(commands)):
        i = (k + r) % len(commands)
        start = time.perf_counter()
        subprocess.run(commands[i], shell=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        if r >= warmup:
            times[i].append(time.perf_counter() - start)
results = [{"command": c, "mean": statistics.mean(t), "median": statistics.median(t),
            "min": min(t), "times": t} for c, t in zip(commands, times)]
json.dump({"results": results}, open(out, "w"), indent=1)
