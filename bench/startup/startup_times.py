#!/usr/bin/env python3
"""How long a program takes from exec to exit when it does next to nothing: the cost of
loading its libraries. Runs each command in turn, ROUNDS times, interleaved, and prints the
median wall time of each, in milliseconds.

    bench/startup/startup_times.py [BUILD] [ROUNDS]

BUILD defaults to ./build. A command whose program is missing is left out.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 9
scratch = tempfile.mkdtemp()

commands = {
    "zenvira-cli --version": [f"{build}/bin/zenvira-cli", "--version"],
    # An address it refuses at once: start, parse, answer, exit.
    "zv-download-once ftp://x": [f"{build}/bench/downloader/zv-download-once", "ftp://x", scratch, "z.bin"],
    "aria2c --version": ["aria2c", "--version"],
    "curl --version": ["curl", "--version"],
}
commands = {name: argv for name, argv in commands.items()
            if os.path.exists(argv[0]) or shutil.which(argv[0])}

times = {name: [] for name in commands}
for _ in range(rounds + 1):  # the first round warms the page cache and is not counted
    for name, argv in commands.items():
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        times[name].append(time.perf_counter() - start)
shutil.rmtree(scratch, ignore_errors=True)

for name, samples in times.items():
    print(f"{name:28} {statistics.median(samples[1:]) * 1000:6.1f} ms")
