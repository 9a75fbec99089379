#!/usr/bin/env python3
"""Runs the end-to-end cases (tests/e2e/cases.py) against one build of the
uninstaller: each case in a fresh copy of a prepared Wine prefix, on a virtual
screen of its own, answered from the keyboard.

  scripts/e2e.py [--exe build/win64/ZEVUnins.exe] [--prefix build/e2e/prefix]
                 [--case NAME ...] [--time-scale N] [--keep]

--prefix names the prepared prefix the cases copy; it is made (wineboot) when
missing. --time-scale stretches every wait, for a build run through emulation.
Screenshots go to build/e2e/shots/<case>/.
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import cases  # noqa: E402
import zevmachine  # noqa: E402


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

    def screenshot(self, name):
        path = self.screen.screenshot(os.path.join(self.shots_dir, name + ".png"))
        self.shots.append(path)
        return path


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
        machine = zevmachine.WineMachine(prefix, screen.display).start()
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
    parser.add_argument("--time-scale", type=float, default=1.0)
    parser.add_argument("--case-limit", type=int, default=180, help="seconds a case may take")
    parser.add_argument("--keep", action="store_true", help="keep each case's prefix copy")
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.prefix = os.path.abspath(args.prefix)
    args.out = os.path.abspath(args.out)
    for path, what in ((args.exe, "program"), (zevmachine.PROBE, "probe (make build-win64)")):
        if not os.path.isfile(path):
            print("e2e: no %s at %s" % (what, path), file=sys.stderr)
            return 2
    bits = pe_bits(args.exe)
    if bits != zevmachine.PROGRAM_BITS:
        print("e2e: %s is a %s-bit program; run it with ZEV_PROGRAM_BITS=%s" % (args.exe, bits, bits),
              file=sys.stderr)
        return 2

    signal.signal(signal.SIGALRM, on_alarm)
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_termination)

    selected = [(n, f) for n, f in cases.CASES if not args.case or n in args.case]
    print("e2e: %s, prefix %s" % (os.path.relpath(args.exe, ROOT), os.path.relpath(args.prefix, ROOT)))
    started = time.monotonic()
    os.makedirs(args.out, exist_ok=True)
    work_root = tempfile.mkdtemp(prefix="run.", dir=args.out)
    failed = []
    try:
        zevmachine.prepare_prefix(args.prefix, log=lambda t: print("e2e: " + t), timeout=600)
        for index, (name, function) in enumerate(selected, 1):
            case_started = time.monotonic()
            failures, session = run_case(name, function, args, work_root)
            took = time.monotonic() - case_started
            print("[%d/%d] %-26s %s  %5.1f s" % (index, len(selected), name, "FAIL" if failures else "ok", took))
            for note in session.notes if session else []:
                print("        " + note)
            for shot in session.shots if session else []:
                print("        screenshot " + os.path.relpath(shot, ROOT))
            for failure in failures:
                print("        FAIL " + failure.replace("\n", "\n             "))
            if failures:
                failed.append(name)
    except Interrupted as e:
        print("e2e: interrupted (%s)" % e, file=sys.stderr)
        return 130
    finally:
        if not args.keep:
            shutil.rmtree(work_root, ignore_errors=True)
    print("e2e: %d passed, %d failed in %.1f s%s" % (len(selected) - len(failed), len(failed),
                                                     time.monotonic() - started,
                                                     "" if not failed else " (" + ", ".join(failed) + ")"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
