#!/usr/bin/env python3
"""The whole road of an automatic upgrade, on a bundled release server: the
program starts, shows the notice and both versions, finds that an upgrade is
needed, downloads the package with its progress, starts it and ends.

Runs inside a private network, so the program's own host names reach the
servers here and nothing leaves the machine. On a display of your own (DISPLAY
set) you watch it; without one it runs on a virtual display and saves a
screenshot of each stage.
"""

import argparse
import os
import re
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "tests" / "e2e"))
import sandbox  # noqa: E402

ASSETS = REPO / "scripts" / "demo-release"
INSTALLED = "22.00.32.22"
PACKAGE_PATH = "/netver/10netver/20100615/update.exe"
RATE = 64 * 1024  # slow enough to watch the progress


def hosts_from_cache(build: Path):
    cache = (build / "CMakeCache.txt").read_text()
    hosts = {}
    for role in ("probe", "notice", "release", "package"):
        found = re.search(rf"^UPGRADER_{role.upper()}_HOST:STRING=(.*)$", cache, re.M)
        hosts[role] = found.group(1).strip()
    return hosts


def demo_package() -> bytes:
    """The bundled package script, padded like a real installer's payload."""
    script = (ASSETS / "update.exe").read_bytes()
    lines = [b"# payload %06d " % n + b"." * 60 for n in range(4500)]
    return script + b"\n".join(lines) + b"\n"


def say(text):
    print(text, flush=True)


def inside(args):
    root = Path(args.root)
    hosts = hosts_from_cache(Path(args.build))
    sandbox.inside_namespace(root, sorted(set(hosts.values())))
    page = (ASSETS / "tolvek.htm").read_bytes().replace(b"down.tolvek.com", hosts["package"].encode())
    package = demo_package()
    web = sandbox.Web({
        (hosts["notice"], "/tolvek/09update.txt"): sandbox.Resource((ASSETS / "09update.txt").read_bytes()),
        (hosts["release"], "/tolvek/tolvek.htm"): sandbox.Resource(page),
        (hosts["package"], PACKAGE_PATH): sandbox.Resource(package, rate=RATE),
    })
    # A display reached over the network is out of reach from in here.
    own_display = os.environ.get("DISPLAY", "")
    if args.virtual or not own_display.startswith(":"):
        own_display = None
    display = sandbox.Display(root, with_tray=not own_display, existing=own_display)
    shots = Path(args.shots) if not own_display else None
    client = sandbox.Installation(root, Path(args.program))
    client.write_registry(INSTALLED)
    (client.folder / "config.ini").write_bytes(sandbox.config_ini(False, True, False))

    say(f"release server: notice, release page (official version 22.00.32.25) and a "
        f"{len(package) // 1024} KB package, served at {RATE // 1024} KB/s")
    say(f"client folder:  {client.folder} (installed version {INSTALLED}, automatic upgrade on)")
    started = time.monotonic()
    process = client.start(display, cwd=client.folder, run_package=True)

    def clock():
        return f"{time.monotonic() - started:5.1f} s"

    def shoot(name):
        if shots is None:
            return
        windows = display.visible_windows("自动升级器")
        if windows:
            display.screenshot(shots / name, window=windows[0])
            say(f"{clock()}  screenshot {shots / name}")

    def package_sent():
        for request in web.seen():
            if request.path == PACKAGE_PATH:
                return request
        return None

    display.wait_for(lambda: display.visible_windows("自动升级器") or process.poll() is not None, 30)
    say(f"{clock()}  the window is shown: notice, both versions, 需要升级！")
    time.sleep(0.6)
    shoot("1-check.png")
    for share, name in ((0.35, "2-downloading.png"), (0.75, "3-downloading.png")):
        display.wait_for(lambda: (package_sent() and package_sent().sent >= share * len(package))
                         or process.poll() is not None, 30)
        time.sleep(1.1)  # let a tick of the progress timer show it
        say(f"{clock()}  downloading: {package_sent().sent if package_sent() else 0} of {len(package)} bytes")
        shoot(name)
    display.wait_for(lambda: (package_sent() and package_sent().finished_at) or process.poll() is not None, 30)
    say(f"{clock()}  the package has arrived; the program starts it and ends")
    time.sleep(0.4)
    shoot("4-handed-over.png")
    code = sandbox.wait_exit(process, 20)
    say(f"{clock()}  the program ended with exit code {code}")

    for start in client.starts():
        say(f"wine was asked to start {' '.join(start['args'])} (in {start['cwd']})")
    log = root / "package.log"
    if log.exists():
        say(log.read_text().strip())
    update = client.folder / "update.exe"
    same = update.exists() and update.read_bytes() == package
    say(f"update.exe beside the program: {'identical to the package served' if same else 'missing or different'}")
    say("requests the servers saw: " + ", ".join(f"{r.host}{r.path}" for r in web.seen()))
    display.close()
    web.close()
    return 0 if code == 0 and same else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=str(REPO / "build" / "jiyan-upgrader"))
    parser.add_argument("--build", default=str(REPO / "build"))
    parser.add_argument("--virtual", action="store_true", help="use a virtual display even if DISPLAY is set")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--root", help=argparse.SUPPRESS)
    parser.add_argument("--shots", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.inside:
        return inside(args)

    command = sandbox.namespace_command()
    if command is None:
        say("The demo needs a private network namespace: run it as root, or allow user namespaces.")
        return 1
    root = Path(tempfile.mkdtemp(prefix="upgrader-demo-"))
    shots = root / "screenshots"
    shots.mkdir()
    forwarded = ["--inside", "--root", str(root), "--shots", str(shots),
                 "--program", args.program, "--build", args.build]
    if args.virtual:
        forwarded.append("--virtual")
    code = sandbox.reexec_inside(command, Path(__file__).resolve(), forwarded)
    if any(shots.iterdir()):
        say(f"screenshots of each stage: {shots}")
    return code


if __name__ == "__main__":
    sys.exit(main())
