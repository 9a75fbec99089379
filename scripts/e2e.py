#!/usr/bin/env python3
"""Runs the end-to-end cases (tests/e2e/cases.py) against one build of the
uninstaller: each case in its own copy of a prepared Wine prefix, with its own
wineserver and virtual screen, answered from the keyboard; JOBS cases at a time.

  scripts/e2e.py [--exe build/win64/ZEVUnins.exe] [--prefix build/e2e/prefix]
                 [--case NAME ...] [--jobs N] [--time-scale N] [--keep]

--prefix names the prepared prefix the cases copy; it is made (wineboot) when
missing. --time-scale stretches every wait, for a build run through emulation. Each case runs in a process of its own, with the
environment it declares (cases.environment). Screenshots go to
build/e2e/shots/<case>/, each cropped to the window it shows.
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import cases  # noqa: E402
import zevmachine  # noqa: E402

# Seconds each case took in the last run, to start the longest first next time;
# before a first run (a fresh clone), the times kept in tests/e2e.
TIMES_FILE = "case-times.json"
KEPT_TIMES = os.path.join(ROOT, "tests", "e2e", TIMES_FILE)


class CaseFailed(Exception):
    pass


class Interrupted(BaseException):
    pass


def on_alarm(signum, frame):
    raise CaseFailed("the case did not finish within its time limit")


def on_termination(signum, frame):
    raise Interrupted("signal %d" % signum)


class Session:
    """What a case works with, and what it found."""

    def __init__(self, name, exe, machine, screen, shots_dir, time_scale):
        self.name = name
        self.exe = exe
        self.machine = machine
        self.screen = screen
        self.shots_dir = shots_dir
        self.time_scale = time_scale
        self.failures = []
        self.notes = []
        self.shots = []

    def check(self, condition, message):
        if not condition:
            self.failures.append(message)
        return bool(condition)

    def note(self, message):
        self.notes.append(message)

    def limit(self, seconds):
        return seconds * self.time_scale

    def deadline(self, seconds):
        return time.monotonic() + self.limit(seconds)

    @staticmethod
    def past(deadline):
        return time.monotonic() > deadline

    def wait_until(self, predicate, timeout, what):
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise CaseFailed("waited %ds for %s" % (timeout, what))
            time.sleep(0.05)

    def screenshot(self, name, window=None):
        """The screen, cropped to `window` (a box or dialog as read from Windows,
        or its (x, y, width, height)) with a margin, or to whatever it shows."""
        shot = self.screen.screenshot(os.path.join(self.shots_dir, name + ".png"), window)
        self.shots.append(shot.path)
        return shot


# ---------------------------------------------------------------- one case, in a process of its own

def run_case(name, function, args, work_root):
    shots_dir = os.path.join(args.out, "shots", name)
    shutil.rmtree(shots_dir, ignore_errors=True)
    work = tempfile.mkdtemp(prefix=name + ".", dir=work_root)
    prefix = os.path.join(work, "prefix")
    os.mkdir(prefix)
    screen = zevmachine.VirtualScreen()
    machine = None
    session = None
    error = None
    try:
        signal.alarm(int(args.case_limit * args.time_scale))
        zevmachine.copy_prefix(args.prefix, prefix)
        screen.start()
        machine = zevmachine.WineMachine(prefix, screen.display, cases.environment_of(function)).start()
        machine.keep_desktop()
        session = Session(name, args.exe, machine, screen, shots_dir, args.time_scale)
        function(session)
    except (CaseFailed, zevmachine.MachineError) as e:
        error = str(e)
    except Exception as e:  # a fault of the harness shows as the case's failure, with its cause
        error = "%s: %s" % (type(e).__name__, e)
    finally:
        signal.alarm(0)
        if machine is not None:
            machine.stop()
        screen.stop()
        left = zevmachine.prefix_processes(prefix)
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    failures = (session.failures if session else []) + ([error] if error else [])
    if left:
        failures.append("processes left behind: %s" % left)
    return failures, session


def on_first_termination(signum, frame):
    # Ctrl-C reaches the runner and every case at once, and the runner then asks
    # each case to end: the first signal starts the clean-up, the rest wait for it.
    for other in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(other, signal.SIG_IGN)
    raise Interrupted("signal %d" % signum)


def worker(args):
    """Runs the one case --worker names and writes what it found to --result."""
    signal.signal(signal.SIGALRM, on_alarm)
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_first_termination)
    function = dict(cases.CASES)[args.worker]
    started = time.monotonic()
    try:
        failures, session = run_case(args.worker, function, args, args.work)
    except Interrupted as e:
        failures, session = ["interrupted (%s)" % e], None
    result = {"failures": failures, "notes": session.notes if session else [],
              "shots": session.shots if session else [], "seconds": time.monotonic() - started}
    with open(args.result, "w") as f:
        json.dump(result, f)
    return 0


# ---------------------------------------------------------------- the cases, JOBS at a time

class Running:
    """One case's worker process, started with the same options as this run."""

    def __init__(self, name, args, work_root):
        self.name = name
        self.result = os.path.join(work_root, name + ".result.json")
        self.log = os.path.join(work_root, name + ".log")
        command = [sys.executable, os.path.abspath(__file__), "--worker", name, "--result", self.result,
                   "--work", work_root, "--exe", args.exe, "--prefix", args.prefix, "--out", args.out,
                   "--time-scale", str(args.time_scale), "--case-limit", str(args.case_limit)]
        if args.keep:
            command.append("--keep")
        with open(self.log, "wb") as log:
            self.proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        self.started = time.monotonic()

    def outcome(self):
        try:
            with open(self.result) as f:
                return json.load(f)
        except (OSError, ValueError):
            with open(self.log, errors="replace") as f:
                output = f.read()[-2000:]
            return {"failures": ["the case's process ended (status %s) without a result:\n%s"
                                 % (self.proc.returncode, output)], "notes": [], "shots": [],
                    "seconds": time.monotonic() - self.started}

    def stop(self):
        """Asks the worker by its id to end; it stops its machine and screen first."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=90)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def longest_first(selected, times_path):
    """The cases that took longest last time start first, so that no long case
    is left to run alone at the end; cases without a time keep their order, first."""
    last = {}
    for path in (times_path, KEPT_TIMES):
        try:
            with open(path) as f:
                last = json.load(f)
            break
        except (OSError, ValueError):
            continue
    return sorted(selected, key=lambda case: -last.get(case[0], float("inf")))


def report(index, total, name, environment, outcome):
    failures = outcome["failures"]
    shown = name + "".join(" %s=%s" % kv for kv in sorted(environment.items()))
    print("[%d/%d] %-26s %s  %5.1f s" % (index, total, shown, "FAIL" if failures else "ok", outcome["seconds"]))
    for note in outcome["notes"]:
        print("        " + note)
    for shot in outcome["shots"]:
        print("        screenshot " + os.path.relpath(shot, ROOT))
    for failure in failures:
        print("        FAIL " + failure.replace("\n", "\n             "))
    sys.stdout.flush()


def run_all(selected, args):
    os.makedirs(args.out, exist_ok=True)
    work_root = tempfile.mkdtemp(prefix="run.", dir=args.out)
    times_path = os.path.join(args.out, TIMES_FILE)
    waiting = longest_first(selected, times_path)
    running, failed, times, done = [], [], {}, 0
    try:
        while waiting or running:
            while waiting and len(running) < args.jobs:
                name, _ = waiting.pop(0)
                running.append(Running(name, args, work_root))
            time.sleep(0.1)
            for case in [c for c in running if c.proc.poll() is not None]:
                running.remove(case)
                outcome = case.outcome()
                done += 1
                report(done, len(selected), case.name, cases.environment_of(dict(cases.CASES)[case.name]),
                       outcome)
                times[case.name] = round(outcome["seconds"], 1)
                if outcome["failures"]:
                    failed.append(case.name)
    finally:
        for case in running:
            case.stop()
        if not args.keep:
            shutil.rmtree(work_root, ignore_errors=True)
    if len(times) == len(selected) == len(cases.CASES):
        with open(times_path, "w") as f:
            json.dump(times, f, indent=1, sort_keys=True)
    return failed


def pe_bits(path):
    """32 or 64, from the machine field of a Windows program's PE header."""
    with open(path, "rb") as f:
        header = f.read(4096)
    offset = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[offset + 4:offset + 6], "little")
    return {0x14C: 32, 0x8664: 64}.get(machine)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "win64", "ZEVUnins.exe"))
    parser.add_argument("--prefix", default=os.path.join(ROOT, "build", "e2e", "prefix"))
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "e2e"))
    parser.add_argument("--case", action="append", choices=[n for n, _ in cases.CASES])
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("E2E_JOBS", "2")),
                        help="cases run at a time (E2E_JOBS, 2 unless told)")
    parser.add_argument("--time-scale", type=float, default=1.0)
    parser.add_argument("--case-limit", type=int, default=180, help="seconds a case may take")
    parser.add_argument("--keep", action="store_true", help="keep each case's prefix copy")
    parser.add_argument("--worker", help=argparse.SUPPRESS)
    parser.add_argument("--result", help=argparse.SUPPRESS)
    parser.add_argument("--work", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.prefix = os.path.abspath(args.prefix)
    args.out = os.path.abspath(args.out)
    if args.worker:
        return worker(args)

    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_termination)
    for path, what in ((args.exe, "program"), (zevmachine.PROBE, "probe (make build-win64)"),
                       (zevmachine.MONITOR_DLL, "example port monitor (make build)")):
        if not os.path.isfile(path):
            print("e2e: no %s at %s" % (what, path), file=sys.stderr)
            return 2
    bits = pe_bits(args.exe)
    if bits != zevmachine.PROGRAM_BITS:
        print("e2e: %s is a %s-bit program; run it with ZEV_PROGRAM_BITS=%s" % (args.exe, bits, bits),
              file=sys.stderr)
        return 2

    selected = [(n, f) for n, f in cases.CASES if not args.case or n in args.case]
    args.jobs = max(1, min(args.jobs, len(selected)))
    print("e2e: %s, prefix %s, %d case%s at a time" % (os.path.relpath(args.exe, ROOT),
                                                       os.path.relpath(args.prefix, ROOT), args.jobs,
                                                       "" if args.jobs == 1 else "s"))
    sys.stdout.flush()
    started = time.monotonic()
    try:
        zevmachine.prepare_prefix(args.prefix, log=lambda t: print("e2e: " + t), timeout=600)
        failed = run_all(selected, args)
    except Interrupted as e:
        print("e2e: interrupted (%s)" % e, file=sys.stderr)
        return 130
    print("e2e: %d passed, %d failed in %.1f s%s" % (len(selected) - len(failed), len(failed),
                                                     time.monotonic() - started,
                                                     "" if not failed else " (" + ", ".join(failed) + ")"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
