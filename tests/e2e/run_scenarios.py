#!/usr/bin/env python3
"""Runs the built upgrader, unmodified, through the scenarios a user meets:
each one in a private network with local servers for its hosts, checked by
exit code, time to the end, files left, requests seen and what was started.

    run_scenarios.py --program build/jiyan-upgrader --probe-host H --notice-host H
                     --release-host H --package-host H [--only NAME] [--keep]
"""

import argparse
import dataclasses
import json
import random
import shutil
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import sandbox  # noqa: E402

TITLE = "自动升级器"  # a part of the window title, enough to find the window
INSTALLED = "22.00.32.22"
NEWER = "22.00.32.25"
OLDER = "22.00.32.20"
PACKAGE_DIR = "20100615"
NOTICE_PATH = "/tolvek/09update.txt"
PAGE_PATH = "/tolvek/tolvek.htm"
PACKAGE_PATH = f"/netver/10netver/{PACKAGE_DIR}/update.exe"
SLOW_RATE = 48 * 1024  # bytes per second where a download must be caught running


@dataclasses.dataclass
class Scenario:
    name: str
    settings: tuple  # start minimised, upgrade automatically, unconditional upgrade
    official: str = NEWER
    installed: str = INSTALLED
    unknown: tuple = ()  # roles left out of /etc/hosts
    package: str = "whole"  # whole | missing (404) | cut (the server closes halfway)
    slow: bool = False
    old_package: bool = False  # an update.exe from an earlier run lies beside the program
    during_download: str = ""  # "second copy" | "escape"
    # What must come of it.
    started: bool = False
    package_left: str = "absent"  # whole | partial | old | absent
    ends: tuple = ("start", 4.5, 10.0)  # anchor, earliest, latest (seconds after the anchor)
    fetched: tuple = ("notice", "page", "package")
    window: str = ""  # "tray" | "shown"
    folder: str = "client"  # the folder that holds the program


SCENARIOS = [
    Scenario("automatic upgrade, newer version", (False, True, False), started=True,
             package_left="whole", ends=("package sent", 0.8, 4.0)),
    Scenario("automatic upgrade, nothing newer", (False, True, False), official=INSTALLED,
             ends=("page", 4.5, 8.0), fetched=("notice", "page")),
    # The folder's name is not ASCII: the paths go through GBK and back.
    Scenario("unconditional upgrade, older official version", (False, False, True),
             official=OLDER, started=True, package_left="whole", ends=("package sent", 0.8, 4.0),
             folder="霁岩客户端"),
    # Start minimised is on: that the window still shows proves no settings were read.
    Scenario("no network", (True, True, False), unknown=("probe",), old_package=True,
             package_left="old", ends=("start", 4.5, 9.0), fetched=(), window="shown"),
    Scenario("package host unknown at the click", (False, True, False), unknown=("package",),
             old_package=True, package_left="old", ends=("page", 4.5, 8.0),
             fetched=("notice", "page")),
    Scenario("package answered with 404", (False, True, False), package="missing",
             old_package=True, ends=("package sent", 0.8, 4.0)),
    Scenario("package cut in the middle", (False, True, False), package="cut",
             package_left="partial", ends=("package sent", 0.8, 4.0)),
    Scenario("start minimised, nothing newer", (True, True, False), official=INSTALLED,
             ends=("page", 4.5, 8.0), fetched=("notice", "page"), window="tray"),
    Scenario("second copy during the download", (False, True, False), slow=True,
             during_download="second copy", started=True, package_left="whole",
             ends=("package sent", 0.8, 4.0)),
    Scenario("Esc during the download", (False, True, False), slow=True,
             during_download="escape", package_left="partial", ends=("action", 0.0, 3.5)),
]


def release_page(package_host: str, official: str) -> bytes:
    """A release page in the vendor's layout: the package table with its
    version cell, and two package links of which the first is the current one."""
    cell = ('<td><strong>2010网络版升级包</strong> </td>\r\n'
            '        <td align="center" bgcolor="#FFFFFF">%s</td>\r\n')
    text = (
        '<html>\r\n<head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">\r\n'
        "<title>霁岩杀毒2010网络版升级</title></head>\r\n<body>\r\n<table>\r\n"
        "<tr>\r\n        " + cell % official + "</tr>\r\n"
        f'<tr><td><a href="http://{package_host}/netver/10netver/{PACKAGE_DIR}/Update.exe">'
        "下载升级包</a></td></tr>\r\n"
        f'<tr><td><a href="http://{package_host}/netver/10netver/20091201/Update.exe">'
        "上一版本</a></td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n"
    )
    return sandbox.gbk(text)


def notice() -> bytes:
    return sandbox.gbk("2010网络版升级包已更新，请及时升级。")


# --------------------------------------------------------------------------
# One scenario, inside its namespace


class Run:
    def __init__(self, scenario: Scenario, root: Path, program: Path, hosts: dict):
        self.s, self.root, self.hosts = scenario, root, hosts
        self.problems, self.figures = [], {}
        rng = random.Random(scenario.name)
        size = 192 * 1024 + 321 if scenario.slow else 150_000
        # A Windows program's first bytes, so that the package is started through wine.
        self.package = b"MZ" + bytes(rng.getrandbits(8) for _ in range(size - 2))
        self.old = b"MZ an old package from an earlier run"
        self.config = sandbox.config_ini(*scenario.settings)

        known = [h for role, h in hosts.items() if role not in scenario.unknown]
        sandbox.inside_namespace(root, sorted(set(known)))
        resource = sandbox.Resource(self.package, rate=SLOW_RATE if scenario.slow else 0)
        if scenario.package == "missing":
            resource = sandbox.Resource(b"<html>404 Not Found</html>", status=404)
        elif scenario.package == "cut":
            resource.cut_after = 50_000  # not a multiple of the engine's buffer
        self.web = sandbox.Web({
            (hosts["notice"], NOTICE_PATH): sandbox.Resource(notice()),
            (hosts["release"], PAGE_PATH): sandbox.Resource(release_page(hosts["package"], scenario.official)),
            (hosts["package"], PACKAGE_PATH): resource,
        })
        self.display = sandbox.Display(root, with_tray=True)
        self.client = sandbox.Installation(root, program, scenario.folder)
        self.client.write_registry(scenario.installed)
        (self.client.folder / "config.ini").write_bytes(self.config)
        if scenario.old_package:
            (self.client.folder / "update.exe").write_bytes(self.old)

    def problem(self, text):
        self.problems.append(text)

    def execute(self):
        s = self.s
        started_at = time.monotonic()
        # Started from elsewhere: the program must still find its files beside itself.
        process = self.client.start(self.display, cwd=self.root)
        anchors = {"start": started_at}
        if s.window:
            self.check_window(process)
        if s.during_download:
            anchors["action"] = self.act_during_download(process)
        code = sandbox.wait_exit(process, 40)
        ended_at = time.monotonic()
        (self.root / "program.stderr").write_bytes(process.stderr.read())
        if code is None:
            self.problem("did not end within 40 s")
            return
        if code != 0:
            self.problem(f"exit code {code}, expected 0")
        self.check_requests(anchors)
        self.check_end(anchors, ended_at)
        self.check_files()
        self.check_started()

    def check_window(self, process):
        if not self.display.wait_for(lambda: self.web_seen("page") or process.poll() is not None or
                                     self.display.visible_windows(TITLE), 10):
            self.problem("the window never showed")
        time.sleep(1.5)  # the queued clicks have run by now
        if process.poll() is not None:
            self.problem("ended before the window could be looked at")
            return
        shown = bool(self.display.visible_windows(TITLE))
        if self.s.window == "shown" and not shown:
            self.problem("window not shown")
        if self.s.window == "tray":
            if shown:
                self.problem("window still on screen, expected in the notification area")
            if not self.display.tray_holds(self.client.program.name):
                self.problem("no icon in the notification area")
        self.display.screenshot(self.root / "window.png")

    def act_during_download(self, process):
        if not self.display.wait_for(lambda: self.package_request() is not None and
                                     self.package_request().sent >= 64 * 1024, 20):
            self.problem("the download never got going")
            return time.monotonic()
        self.display.screenshot(self.root / "downloading.png")
        if self.s.during_download == "escape":
            windows = self.display.visible_windows(TITLE)
            if not windows:
                self.problem("no window to press Esc in")
                return time.monotonic()
            acted_at = time.monotonic()
            self.display.press_escape(windows[0])
            return acted_at
        acted_at = time.monotonic()
        second = self.client.start(self.display, cwd=self.client.folder)
        code = sandbox.wait_exit(second, 10)
        took = time.monotonic() - acted_at
        self.figures["second copy ended after"] = round(took, 2)
        if code != 0:
            self.problem(f"second copy: exit code {code}, expected 0 at once")
        elif took > 3:
            self.problem(f"second copy took {took:.1f} s to end")
        if process.poll() is not None:
            self.problem("the first copy ended with the second")
        return acted_at

    def roles(self):
        names = {
            (self.hosts["notice"], NOTICE_PATH): "notice",
            (self.hosts["release"], PAGE_PATH): "page",
            (self.hosts["package"], PACKAGE_PATH): "package",
        }
        return [(names.get((r.host, r.path), f"{r.host}{r.path}"), r) for r in self.web.seen()]

    def web_seen(self, role):
        return any(name == role for name, _ in self.roles())

    def package_request(self):
        for name, request in self.roles():
            if name == "package":
                return request
        return None

    def check_requests(self, anchors):
        seen = self.roles()
        names = tuple(name for name, _ in seen)
        if names != self.s.fetched:
            self.problem(f"requests {names}, expected {self.s.fetched}")
        for name, request in seen:
            if name == "page":
                anchors["page"] = request.at
            if name == "package":
                anchors["package sent"] = request.finished_at

    def check_end(self, anchors, ended_at):
        anchor, earliest, latest = self.s.ends
        if anchor not in anchors:
            self.problem(f"no moment '{anchor}' to time the end from")
            return
        after = ended_at - anchors[anchor]
        self.figures[f"ended after {anchor}"] = round(after, 2)
        self.figures["ran for"] = round(ended_at - anchors["start"], 2)
        if not earliest <= after <= latest:
            self.problem(f"ended {after:.2f} s after {anchor}, expected {earliest}..{latest} s")

    def check_files(self):
        folder = self.client.folder
        expected = {self.client.program.name, "config.ini"}
        if self.s.package_left != "absent":
            expected.add("update.exe")
        left = {p.name for p in folder.iterdir()}
        if left != expected:
            self.problem(f"files left {sorted(left)}, expected {sorted(expected)}")
        if (folder / "config.ini").read_bytes() != self.config:
            self.problem("config.ini changed")
        package = folder / "update.exe"
        if not package.exists():
            return
        data = package.read_bytes()
        kind = self.s.package_left
        if kind == "whole" and data != self.package:
            self.problem("update.exe differs from the package served")
        if kind == "old" and data != self.old:
            self.problem("the old update.exe was changed")
        if kind == "partial":
            same = next((i for i, (a, b) in enumerate(zip(data, self.package)) if a != b), len(data))
            self.figures["partial update.exe holds"] = same
            if len(data) != len(self.package):
                self.problem(f"partial update.exe has {len(data)} bytes, expected the full size")
            elif same == 0 or same == len(data) or data[same:].strip(b"\0"):
                self.problem("partial update.exe is not the package's beginning followed by zeros")

    def check_started(self):
        starts = self.client.starts()
        if not self.s.started:
            if starts:
                self.problem(f"started {[st['args'] for st in starts]}, expected nothing")
            return
        if len(starts) != 1:
            self.problem(f"started {len(starts)} times, expected once")
            return
        if starts[0]["file"] != self.package:
            self.problem(f"started {starts[0]['args']}, which is not the downloaded package")

    def close(self):
        self.display.close()
        self.web.close()


def run_inside(args):
    scenario = next(s for s in SCENARIOS if s.name == args.inside)
    root = Path(args.root)
    hosts = {"probe": args.probe_host, "notice": args.notice_host,
             "release": args.release_host, "package": args.package_host}
    run = Run(scenario, root, Path(args.program), hosts)
    try:
        run.execute()
    except Exception as error:  # a broken harness must show as a failed scenario
        run.problem(f"harness error: {error!r}")
    finally:
        run.close()
    sandbox.dump(root / "result.json", {"problems": run.problems, "figures": run.figures})
    return 0


# --------------------------------------------------------------------------
# The table, from outside


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    for role in ("probe", "notice", "release", "package"):
        parser.add_argument(f"--{role}-host", required=True)
    parser.add_argument("--only", help="run the scenarios whose name contains this")
    parser.add_argument("--keep", action="store_true", help="keep the scenario folders")
    parser.add_argument("--inside", help=argparse.SUPPRESS)
    parser.add_argument("--root", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.inside:
        return run_inside(args)

    missing = [tool for tool in ("unshare", "ip", "mount", "Xvfb", "trayer", "xdotool", "xwininfo", "import")
               if shutil.which(tool) is None]
    if missing:
        print(f"SKIP: missing tools {missing}; scripts/setup installs them")
        return sandbox.SKIP
    command = sandbox.namespace_command()
    if command is None:
        print("SKIP: this machine allows no private network namespace "
              "(neither 'unshare -n -m' as root nor 'unshare -r -n -m' with user namespaces)")
        return sandbox.SKIP
    if not Path(args.program).is_file():
        print(f"FAIL: no program at {args.program}")
        return 1

    failed = 0
    base = Path(tempfile.mkdtemp(prefix="upgrader-e2e-"))
    selected = [s for s in SCENARIOS if not args.only or args.only in s.name]
    for number, scenario in enumerate(selected):
        root = base / f"{number:02d}"
        root.mkdir()
        passthrough = ["--program", str(Path(args.program).resolve())]
        for role in ("probe", "notice", "release", "package"):
            passthrough += [f"--{role}-host", getattr(args, f"{role}_host")]
        sandbox.reexec_inside(command, Path(__file__).resolve(),
                              passthrough + ["--inside", scenario.name, "--root", str(root)])
        result_file = root / "result.json"
        result = json.loads(result_file.read_text()) if result_file.exists() else {
            "problems": ["the scenario runner died"], "figures": {}}
        figures = ", ".join(f"{k} {v}" for k, v in result["figures"].items())
        if result["problems"]:
            failed += 1
            print(f"FAIL {scenario.name} ({figures}) in {root}")
            for text in result["problems"]:
                print(f"     - {text}")
        else:
            print(f"pass {scenario.name} ({figures})")
        sys.stdout.flush()
    if failed == 0 and not args.keep:
        shutil.rmtree(base, ignore_errors=True)
    print(f"{len(selected) - failed} of {len(selected)} scenarios passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
