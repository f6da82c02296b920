#!/usr/bin/env python3
"""The time a user of tonemix-host serve waits after changing a value, as the page asks for it:
the first coarse image (a render at 1/8 of the size, fetched as a PNG), then the full one, each
from the moment the value changed. Against the command line: tonemix-host render with the same
values, the whole process, writing the PNG.

    serve_latency.py PROGRAM WIDTH HEIGHT ROUNDS

prints one line: coarse_ms full_ms render_ms, each the best of ROUNDS (the seed changes every
round, so no two renders are alike; a changed value starts renders anew in the server)."""
import http.client
import json
import subprocess
import sys
import tempfile
import time
import urllib.parse


def get(connection, target):
    connection.request("GET", target)
    response = connection.getresponse()
    body = response.read()
    if response.status != 200:
        sys.exit(f"serve_latency: {target}: status {response.status}: {body[:200]!r}")
    return body


def render_and_fetch(connection, query):
    answer = json.loads(get(connection, "/api/render?" + query))
    get(connection, "/api/image?id=" + answer["image"])


def main():
    program, width, height, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    server = subprocess.Popen([program, "serve", "--port", "0"], stdout=subprocess.PIPE, text=True)
    try:
        line = server.stdout.readline()
        port = int(line.split("127.0.0.1:")[1].split("/")[0])
        connection = http.client.HTTPConnection("127.0.0.1", port)
        coarse_size = f"width={max(1, width // 8)}&height={max(1, height // 8)}"
        full_size = f"width={width}&height={height}"
        render_and_fetch(connection, "client=bench&" + full_size)  # the first request's costs
        coarse, full, command = [], [], []
        with tempfile.TemporaryDirectory() as folder:
            # Taken in turn, so that a change in the machine's load falls on both alike.
            for round_ in range(rounds):
                values = "set=" + urllib.parse.quote(f"seed={1000 + round_}")
                start = time.perf_counter()
                render_and_fetch(connection, f"client=bench&{coarse_size}&{values}")
                coarse.append(time.perf_counter() - start)
                render_and_fetch(connection, f"client=bench&{full_size}&{values}")
                full.append(time.perf_counter() - start)
                start = time.perf_counter()
                subprocess.run([program, "render", "--width", str(width), "--height", str(height),
                                "--set", f"seed={1000 + round_}", "-o", folder + "/render.png"],
                               check=True, stdout=subprocess.DEVNULL)
                command.append(time.perf_counter() - start)
    finally:
        server.terminate()
        server.wait()
    print(f"{min(coarse) * 1e3:.1f} {min(full) * 1e3:.1f} {min(command) * 1e3:.1f}")


main()
