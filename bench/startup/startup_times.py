#!/usr/bin/env python3
"""How long a program takes from exec to exit when it does next to nothing: the cost of
loading its libraries. Then a whole download of a 1000-byte file from a server on 127.0.0.1,
where the start is most of the time. Runs each command in turn, ROUNDS times, interleaved,
and prints the median wall time of each, in milliseconds.

    bench/startup/startup_times.py [BUILD] [ROUNDS]

BUILD defaults to ./build. A command whose program is missing is left out.
"""
import functools
import http.server
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 9
scratch = tempfile.mkdtemp()
site = os.path.join(scratch, "site")
out = os.path.join(scratch, "out")
os.makedirs(site)
os.makedirs(out)
with open(os.path.join(site, "small.bin"), "wb") as f:
    f.write(os.urandom(1000))


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=site))
threading.Thread(target=server.serve_forever, daemon=True).start()
small = f"http://127.0.0.1:{server.server_address[1]}/small.bin"
once = f"{build}/bench/downloader/zv-download-once"

commands = {
    "zenvira-cli --version": [f"{build}/bin/zenvira-cli", "--version"],
    # An address it refuses at once: start, parse, answer, exit.
    "zv-download-once ftp://x": [once, "ftp://x", out, "z.bin"],
    "aria2c --version": ["aria2c", "--version"],
    "curl --version": ["curl", "--version"],
    "zv-download-once, 1000 bytes": [once, small, out, "z.bin"],
    "aria2c, 1000 bytes": ["aria2c", "-q", "--allow-overwrite=true", "-d", out, "-o", "a.bin", small],
    "curl, 1000 bytes": ["curl", "-s", "-o", os.path.join(out, "c.bin"), small],
}
commands = {name: argv for name, argv in commands.items()
            if os.path.exists(argv[0]) or shutil.which(argv[0])}

environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", no_proxy="127.0.0.1", NO_PROXY="127.0.0.1")
times = {name: [] for name in commands}
for _ in range(rounds + 1):  # the first round warms the page cache and is not counted
    for name, argv in commands.items():
        for leftover in os.listdir(out):
            os.remove(os.path.join(out, leftover))
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=environment)
        times[name].append(time.perf_counter() - start)
server.shutdown()
shutil.rmtree(scratch, ignore_errors=True)

for name, samples in times.items():
    print(f"{name:30} {statistics.median(samples[1:]) * 1000:6.1f} ms")
