"""A private little world for the upgrader: its own network and name service,
local web servers standing in for its four hosts, an X display with a
notification area, a Wine prefix holding the installed version, and a fake
`wine` that records what it was asked to start.

Everything here runs inside a network and mount namespace (see enter()), so
nothing leaves the machine and the machine's own files are left alone.
"""

import dataclasses
import http.server
import json
import os
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import threading
import time
from pathlib import Path

SKIP = 77  # ctest's SKIP_RETURN_CODE

# --------------------------------------------------------------------------
# Namespaces


def namespace_command():
    """The unshare command that gives a private network and mount namespace,
    or None when this machine allows neither way."""
    candidates = [["unshare", "-n", "-m"]] if os.geteuid() == 0 else []
    candidates.append(["unshare", "-r", "-n", "-m"])
    for command in candidates:
        try:
            probe = subprocess.run(command + ["true"], capture_output=True, timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            continue
        if probe.returncode == 0:
            return command
    return None


def inside_namespace(root: Path, host_lines):
    """Loopback up, and a name service that knows only the given hosts and
    answers at once for any other name."""
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    etc = root / "etc"
    etc.mkdir(parents=True, exist_ok=True)
    (etc / "hosts").write_text("127.0.0.1 localhost\n" + "".join(f"127.0.0.1 {h}\n" for h in host_lines))
    (etc / "nsswitch.conf").write_text("hosts: files\n")
    (etc / "resolv.conf").write_text("")
    for name in ("hosts", "nsswitch.conf", "resolv.conf"):
        target = Path("/etc") / name
        if not target.exists():
            continue  # nothing to hide; glibc then falls back to files only
        subprocess.run(["mount", "--bind", str(etc / name), str(target)], check=True)


# --------------------------------------------------------------------------
# Web servers


@dataclasses.dataclass
class Resource:
    body: bytes
    status: int = 200
    rate: int = 0  # bytes per second, 0 for as fast as possible
    cut_after: int = -1  # close the connection after this many body bytes


@dataclasses.dataclass
class Request:
    host: str
    path: str
    headers: dict
    at: float
    sent: int = 0
    finished_at: float = 0.0
    complete: bool = False


class Web:
    """One server on 127.0.0.1:80 for every host; the Host header picks the
    site. It records every request and how much of each answer went out."""

    def __init__(self, sites):
        self.sites = sites  # {(host, path): Resource}
        self.requests = []
        self.lock = threading.Lock()
        self.first_bytes = threading.Event()  # some body of a slow answer is out
        web = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                web.serve(self)

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", 80), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def serve(self, handler):
        host = (handler.headers.get("Host") or "").split(":")[0].lower()
        request = Request(host, handler.path, dict(handler.headers.items()), time.monotonic())
        with self.lock:
            self.requests.append(request)
        resource = self.sites.get((host, handler.path))
        if resource is None:
            resource = Resource(b"<html><body>404</body></html>", status=404)
        body, status, headers = resource.body, resource.status, {}
        wanted = handler.headers.get("Range", "")
        if status == 200 and wanted.startswith("bytes=") and "-" in wanted:
            first = int(wanted[6:].split("-")[0] or 0)
            headers["Content-Range"] = f"bytes {first}-{len(body) - 1}/{len(body)}"
            body, status = body[first:], 206
        handler.send_response(status)
        handler.send_header("Content-Length", str(len(body)))
        handler.send_header("Content-Type", "application/octet-stream")
        for name, value in headers.items():
            handler.send_header(name, value)
        handler.end_headers()
        limit = len(body) if resource.cut_after < 0 else min(resource.cut_after, len(body))
        chunk = max(1, resource.rate // 10) if resource.rate else 65536
        try:
            while request.sent < limit:
                piece = body[request.sent : min(limit, request.sent + chunk)]
                handler.wfile.write(piece)
                handler.wfile.flush()
                request.sent += len(piece)
                if resource.rate:
                    self.first_bytes.set()
                    time.sleep(len(piece) / resource.rate)
            request.complete = limit == len(body)
        except OSError:
            pass  # the client went away
        request.finished_at = time.monotonic()
        if not request.complete:
            handler.close_connection = True
            try:
                handler.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def seen(self):
        with self.lock:
            return list(self.requests)

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# --------------------------------------------------------------------------
# Display


class Display:
    """Xvfb, and trayer as the notification-area host."""

    def __init__(self, root: Path, with_tray: bool, size="1024x768x24", existing=None):
        self.processes = []
        if existing:  # a display the user already has
            self.name = existing
            return
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write_end,),
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                byte = pipe.read(1)
                if not byte:
                    raise RuntimeError("Xvfb did not start")
                number += byte
        self.name = ":" + number.decode().strip()
        self.processes.append(self.xvfb)
        if with_tray:
            tray = subprocess.Popen(
                ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32"],
                env=self.env(),
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
            )
            self.processes.append(tray)
            self.wait_for(lambda: self.tray_window() is not None, 10)

    def env(self):
        return dict(os.environ, DISPLAY=self.name)

    def run(self, *args):
        result = subprocess.run(list(args), env=self.env(), capture_output=True, text=True)
        return result.stdout if result.returncode == 0 else ""

    @staticmethod
    def wait_for(condition, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.1)
        return False

    def visible_windows(self, title):
        return self.run("xdotool", "search", "--onlyvisible", "--name", title).split()

    def tray_window(self):
        ids = self.run("xdotool", "search", "--class", "trayer").split()
        return ids[0] if ids else None

    def tray_holds(self, program_name):
        """Whether an icon of the named program sits in the notification area."""
        for window in self.run("xdotool", "search", "--class", "trayer").split():
            tree = self.run("xwininfo", "-tree", "-id", window)
            if f'("{program_name}"' in tree:
                return True
        return False

    def press_escape(self, window):
        self.run("xdotool", "windowfocus", "--sync", window)
        self.run("xdotool", "key", "--window", window, "Escape")

    def screenshot(self, path: Path, window="root"):
        subprocess.run(["import", "-window", window, str(path)], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


# --------------------------------------------------------------------------
# The program's folder, prefix and fake wine

FAKE_WINE = """#!/bin/sh
# Records each start: the folder it was started in, every argument, and a copy
# of the file it was asked to run.
log="$UPGRADER_WINE_LOG"
n=$(ls "$log.d" 2>/dev/null | wc -l)
mkdir -p "$log.d/$n"
pwd > "$log.d/$n/cwd"
for arg in "$@"; do printf '%s\\n' "$arg"; done > "$log.d/$n/args"
[ -f "$1" ] && cp -- "$1" "$log.d/$n/file"
[ -n "$UPGRADER_WINE_RUNS" ] && [ -f "$1" ] && exec sh "$1"
exit 0
"""


def gbk(text: str) -> bytes:
    return text.encode("gbk")


def config_ini(minimise: bool, auto: bool, unconditional: bool) -> bytes:
    lines = [
        "[参数设置]",
        "最小化运行=" + ("真" if minimise else "假"),
        "自动升级=" + ("YES" if auto else "NO"),
        "无条件升级=" + ("YES" if unconditional else "NO"),
    ]
    return gbk("\r\n".join(lines) + "\r\n")


def system_reg(installed):
    text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
    if installed is not None:
        text += '[Software\\\\tolvek\\\\Kel] 1262304000\n"version"="%s"\n\n' % installed
    return text.encode()


class Installation:
    """A copy of the program in a folder of its own, with its prefix and PATH."""

    def __init__(self, root: Path, program: Path, folder="client"):
        self.folder = root / folder
        self.folder.mkdir(parents=True)
        self.program = self.folder / program.name
        shutil.copy2(program, self.program)
        self.prefix = root / "prefix"
        self.prefix.mkdir()
        self.bin = root / "bin"
        self.bin.mkdir()
        (self.bin / "wine").write_text(FAKE_WINE)
        (self.bin / "wine").chmod(0o755)
        self.wine_log = root / "wine"
        self.home = root / "home"
        self.home.mkdir()
        runtime = root / "runtime"
        runtime.mkdir(mode=0o700)
        self.runtime = runtime

    def write_registry(self, installed):
        (self.prefix / "system.reg").write_bytes(system_reg(installed))

    def env(self, display: Display, run_package=False):
        env = display.env()
        if "XAUTHORITY" not in env and (Path.home() / ".Xauthority").exists():
            env["XAUTHORITY"] = str(Path.home() / ".Xauthority")  # HOME changes below
        env.update(
            PATH=f"{self.bin}:{os.environ.get('PATH', '/usr/bin:/bin')}",
            WINEPREFIX=str(self.prefix),
            UPGRADER_WINE_LOG=str(self.wine_log),
            HOME=str(self.home),
            XDG_RUNTIME_DIR=str(self.runtime),
            QT_QPA_PLATFORM="xcb",
        )
        if run_package:
            env["UPGRADER_WINE_RUNS"] = "1"
        else:
            env.pop("UPGRADER_WINE_RUNS", None)
        return env

    def start(self, display: Display, cwd: Path, run_package=False):
        return subprocess.Popen([str(self.program)], cwd=cwd, env=self.env(display, run_package),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def starts(self):
        """What the fake wine was asked to start, in order."""
        folder = Path(str(self.wine_log) + ".d")
        if not folder.exists():
            return []
        result = []
        for entry in sorted(folder.iterdir(), key=lambda p: int(p.name)):
            file = entry / "file"
            result.append({
                "cwd": (entry / "cwd").read_text().strip(),
                "args": (entry / "args").read_text().splitlines(),
                "file": file.read_bytes() if file.exists() else None,
            })
        return result


def wait_exit(process, seconds):
    try:
        return process.wait(seconds)
    except subprocess.TimeoutExpired:
        process.send_signal(signal.SIGKILL)
        process.wait()
        return None


def reexec_inside(command, script: Path, args):
    """Runs `script args` in a fresh namespace and returns its exit code."""
    return subprocess.run(command + [sys.executable, str(script)] + list(args)).returncode


def dump(path: Path, value):
    path.write_text(json.dumps(value, indent=1, default=str))
