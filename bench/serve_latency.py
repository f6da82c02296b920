#!/usr/bin/env python3
"""The time a user of tonemix-host serve waits after changing a value, as the page asks for it,
with the scene already loaded: the first coarse image (a render at 1/8 of the size, fetched as a
PNG), and the first full pass (one ray a pixel, fetched as a PNG), each from the moment the value
changed. Against the command line: tonemix-host render with the same values, the whole process
writing the PNG, less what a 1x1 render of the same scene costs (starting the program, loading the
module, reading the scene and building its hierarchy).

    serve_latency.py PROGRAM WIDTH HEIGHT ROUNDS [SCENE]
    serve_latency.py --idle PROGRAM CONNECTIONS

prints one line: coarse_ms full_ms render_ms read_ms, each the best of ROUNDS (the seed changes
every round, so no two renders are alike). --idle opens CONNECTIONS idle connections, half of them
with half a request, checks that a request is still answered, and prints: held resident_mib."""
import http.client
import json
import resource
import socket
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


def start_server(program, extra):
    server = subprocess.Popen([program, "serve", "--port", "0", "--no-token", *extra],
                              stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    port = int(line.split("127.0.0.1:")[1].split("/")[0])
    return server, port


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return -1


def idle(program, count):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    server, port = start_server(program, [])
    held = []
    try:
        for i in range(count):
            connection = socket.create_connection(("127.0.0.1", port))
            if i % 2 == 0:
                connection.sendall(b"GET /api/scenes HT")
            held.append(connection)
        time.sleep(0.5)
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        get(connection, "/api/scenes")
        print(f"{len(held)} {resident_mib(server.pid):.1f}")
    finally:
        for connection in held:
            connection.close()
        server.terminate()
        server.wait()


def command_seconds(program, scene, arguments, folder):
    start = time.perf_counter()
    subprocess.run([program, "render", *scene, *arguments, "-o", folder + "/render.png"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    if sys.argv[1] == "--idle":
        idle(sys.argv[2], int(sys.argv[3]))
        return
    program, width, height, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    scene = sys.argv[5:6]
    server, port = start_server(program, scene)
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port)
        scene_id = "builtin" if not scene else scene[0].rsplit("/", 1)[-1]
        base = "client=bench&scene=" + urllib.parse.quote(scene_id)
        coarse_size = f"width={max(1, width // 8)}&height={max(1, height // 8)}"
        full_size = f"width={width}&height={height}"
        render_and_fetch(connection, f"{base}&{full_size}")  # the scene read, the first request
        coarse, full, command, read = [], [], [], []
        with tempfile.TemporaryDirectory() as folder:
            # Taken in turn, so that a change in the machine's load falls on all alike.
            for round_ in range(rounds):
                values = "set=" + urllib.parse.quote(f"seed={1000 + round_}")
                start = time.perf_counter()
                render_and_fetch(connection, f"{base}&{coarse_size}&{values}")
                coarse.append(time.perf_counter() - start)
                start = time.perf_counter()
                render_and_fetch(connection, f"{base}&{full_size}&{values}")
                full.append(time.perf_counter() - start)
                seed = ["--set", f"seed={1000 + round_}"]
                command.append(command_seconds(
                    program, scene, ["--width", str(width), "--height", str(height), *seed],
                    folder))
                read.append(command_seconds(program, scene, ["--width", "1", "--height", "1",
                                                             *seed], folder))
    finally:
        server.terminate()
        server.wait()
    print(f"{min(coarse) * 1e3:.1f} {min(full) * 1e3:.1f} {min(command) * 1e3:.1f} "
          f"{min(read) * 1e3:.1f}")


main()
