#!/usr/bin/env python3
"""wine_serve.py LINUX_BUILD WINDOWS_BUILD: the Windows program's serve under wine answers its
parameters as its describe --json gives them, and a render whose PNG is the Linux program's byte
for byte. The server is ended however the check ends."""
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import urllib.request


def address_of(server, seconds):
    """The port serve prints in its first line, or None when it prints none in time."""
    found = {}

    def read():
        for line in server.stdout:
            match = re.match(r"serving http://127\.0\.0\.1:(\d+)/", line.replace("\r", ""))
            if match:
                found["port"] = match.group(1)
                return

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    reader.join(seconds)
    return found.get("port")


def get(port, target):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{target}", timeout=120) as answer:
        return answer.read()


def main():
    linux_build, windows_build = sys.argv[1], sys.argv[2]
    program = os.path.join(windows_build, "tonemix-host.exe")
    server = subprocess.Popen(["wine", program, "serve", "--port", "0", "--no-token"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        port = address_of(server, 60)
        if port is None:
            print("serve printed no address in 60 s")
            return 1
        failed = False
        reply = get(port, "/api/parameters").decode().replace("\r", "")
        expected = subprocess.run(["wine", program, "describe", "--json"], capture_output=True,
                                  text=True, check=True).stdout.replace("\r", "")
        if reply != expected:
            print(f"serve answered: {reply[:200]}")
            failed = True
        render = json.loads(get(port, "/api/render?width=64&set=samples%3D4"))
        served = get(port, f"/api/image?id={render['image']}")
        with tempfile.TemporaryDirectory() as folder:
            linux_png = os.path.join(folder, "linux.png")
            subprocess.run([os.path.join(linux_build, "tonemix-host"), "render", "--width", "64",
                            "--set", "samples=4", "-o", linux_png], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(linux_png, "rb") as file:
                if file.read() != served:
                    print("the render served under wine differs from the Linux program's")
                    failed = True
        if not failed:
            print(f"serve under wine answered on port {port}: its parameters, and the Linux "
                  "program's render")
        return 1 if failed else 0
    finally:
        server.terminate()
        try:
            server.wait(30)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


if __name__ == "__main__":
    sys.exit(main())
