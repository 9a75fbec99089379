#!/usr/bin/env python3
"""make bench: the uninstaller's size, its start and its run under Wine, each
against a floor program built the same way, and the run against the fake
machine. Prints one table (and writes it, with every sample, to build/bench/).

  bench/bench.py [--samples N] [--run-samples N] [--sizes 100,1000,5000]

Every time is a median of N samples; each ratio is ours over the floor's,
measured in the same Wine prefix and on the same virtual screen, the two sides
interleaved (ABBA) so that drift of the machine falls on both alike.
"""

import argparse
import json
import os
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import zevmachine  # noqa: E402

OUT = os.path.join(ROOT, "build", "bench")
OBJDUMP = "x86_64-w64-mingw32-objdump"

SIZE_GOAL = 100 * 1024
START_GOAL = 1.10
RUN_GOAL = 1.20
PER_FILE_GOAL = 1.10
LOGIC_GOAL = 11.0

# DLLs every Windows has, from 95 and NT 4 on, that the program may import.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll",
                "winspool.drv", "msvcrt.dll", "shell32.dll", "ole32.dll"}

FLOORS = ("start_floor.exe", "run_floor.exe", "run_floor_bar.exe")
UNMANAGED_REG = 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'

QUESTION = "Uninstaller"   # caption of the question box, ours and the floors'
COMPLETE = "Complete"      # caption of the completion box, ours and the run floor's
INSTALL_DIR = r"C:\BenchProduct\Files"
PROGRAM_DIR = r"C:\bench"
SETTLE_MS = 300            # between a box appearing and the key that answers it
# A program's first box in a fresh copy of the prefix may wait for what Wine
# starts for it (services, fonts); later ones come within a second or so.
FIRST_BOX_S = 300
BOX_S = 60

STRINGS_INI = """[STATIC]
DIALOG00=Uninstall Vantorin
DIALOG01=Are you Sure ?
MSGBOX00=Uninstall is Complete

[TITLE]
DIALOG=Uninstaller
MSGBOX=Complete
"""


class BenchError(Exception):
    pass


class Interrupted(BaseException):
    pass


def on_termination(signum, frame):
    raise Interrupted("signal %d" % signum)


def log(text):
    print("bench: " + text, file=sys.stderr, flush=True)


# ---------------------------------------------------------------- size

def imported_dlls(exe):
    out = subprocess.run([OBJDUMP, "-p", exe], check=True, stdout=subprocess.PIPE).stdout.decode()
    return re.findall(r"DLL Name: (\S+)", out)


def delay_loaded_dlls(exe, imported):
    """DLLs named in the file but not in its import table: those the program
    loads itself (LoadLibraryA) at their first use, which objdump -p cannot list."""
    with open(exe, "rb") as f:
        data = f.read()
    named = []
    for m in re.finditer(rb"(?<![\x21-\x7e])([A-Za-z0-9_]+\.(?:dll|DLL|drv|DRV))\x00", data):
        name = m.group(1).decode()
        if name.lower() not in {d.lower() for d in imported + named}:
            named.append(name)
    return named


def size_row(exe):
    size = os.path.getsize(exe)
    dlls = imported_dlls(exe)
    delayed = delay_loaded_dlls(exe, dlls)
    foreign = [d for d in dlls + delayed if d.lower() not in WINDOWS_DLLS]
    return {"bytes": size, "dlls": dlls, "delay_loaded": delayed, "foreign_dlls": foreign,
            "met": size <= SIZE_GOAL and not foreign}


# ---------------------------------------------------------------- the screen watcher

class Watch:
    """bench/boxwatch, listening before the program starts; its lines by kind."""

    def __init__(self, machine, steps, timeout):
        self.proc = subprocess.Popen([args.boxwatch, "--timeout", str(timeout)] + steps,
                                     env=machine.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        machine.children.append(self.proc)
        line = self.proc.stdout.readline().decode()
        if not line.startswith("ready "):
            raise BenchError("boxwatch did not start: " + self.proc.stderr.read().decode())

    def events(self, timeout):
        try:
            out, err = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            zevmachine._end(self.proc)
            raise BenchError("boxwatch did not finish")
        if self.proc.returncode != 0:
            raise BenchError("boxwatch: " + err.decode().strip())
        found = {}
        for line in out.decode().splitlines():
            word, *rest = line.split()
            found.setdefault(word, []).append(float(rest[-1]))
        return found


def start_program(machine, exe_name):
    exe = PROGRAM_DIR + "\\" + exe_name
    proc = subprocess.Popen([zevmachine.WINE, exe], env=machine.env(), cwd=machine.prefix,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    machine.children.append(proc)
    return proc


def wait_exit(machine, proc, timeout=60):
    try:
        status = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise BenchError("a program did not end within %d s" % timeout)
    machine.children.remove(proc)
    return status


# ---------------------------------------------------------------- start

def watched(machine, exe_name, steps, timeout, what):
    """Runs the program while boxwatch takes `steps`; its events and exit status.
    A failure says which program it was and whether it was still running."""
    watch = Watch(machine, steps, timeout)
    started = time.monotonic()
    proc = start_program(machine, exe_name)
    try:
        events = watch.events(timeout=timeout + 10)
    except BenchError as e:
        state = "still running" if proc.poll() is None else "ended with status %d" % proc.returncode
        raise BenchError("%s, %s: %s (the program %s)" % (exe_name, what, e, state))
    return started, events, wait_exit(machine, proc)


def start_sample(machine, exe_name, timeout=BOX_S):
    """Seconds from the program's start to its question box on the screen."""
    started, events, _ = watched(machine, exe_name, ["wait=" + QUESTION, "sleep=%d" % SETTLE_MS, "key=n"],
                                 timeout, "start")
    return events["seen"][0] - started


# ---------------------------------------------------------------- run

def file_list(count):
    lines = ["[UNINSTALL]", "PATH=" + INSTALL_DIR, "", "[FILES]"]
    lines += ["FILE%02d=%s\\f%05d.dat" % (i, INSTALL_DIR, i) for i in range(count)]
    return "\n".join(lines) + "\n"


def install_product(machine, count, list_text):
    """The listed files and both INI files, the INI files an hour old: Wine
    parses a profile file younger than about 2 s again on every read."""
    target = machine.unix_path(INSTALL_DIR)
    os.makedirs(target, exist_ok=True)
    for i in range(count):
        with open(os.path.join(target, "f%05d.dat" % i), "wb") as f:
            f.write(b"x")
    hour_ago = time.time() - 3600
    for name, text in (("ZEVFList.ini", list_text), ("ZEVUnins.ini", STRINGS_INI)):
        path = os.path.join(machine.windows_dir(), name)
        with open(path, "w", encoding="cp1252", newline="\r\n") as f:
            f.write(text)
        os.utime(path, (hour_ago, hour_ago))


def left_over(machine, count):
    target = machine.unix_path(INSTALL_DIR)
    files = len(os.listdir(target)) if os.path.isdir(target) else 0
    inis = [n for n in ("ZEVFList.ini", "ZEVUnins.ini") if os.path.exists(os.path.join(machine.windows_dir(), n))]
    return files, inis


def run_sample(machine, exe_name, count, list_text):
    """Seconds from the answer Yes to the completion box on the screen."""
    install_product(machine, count, list_text)
    _, events, status = watched(machine, exe_name, ["wait=" + QUESTION, "sleep=%d" % SETTLE_MS, "key=Return",
                                                    "wait=" + COMPLETE, "sleep=%d" % SETTLE_MS, "key=Return"],
                                300, "%d files" % count)
    files, inis = left_over(machine, count)
    if status != 0 or files or inis:
        raise BenchError("%s with %d files: status %d, %d files and %s left" % (exe_name, count, status, files, inis))
    return events["seen"][1] - events["key"][0]


# ---------------------------------------------------------------- side by side

def interleaved(samples, *sides):
    """Each side's times; the sides take turns, and the order of the turns is
    reversed every other round (ABBA), so that drift falls on all alike."""
    times = [[] for _ in sides]
    order = list(range(len(sides)))
    for i in range(samples):
        for k in (order if i % 2 == 0 else order[::-1]):
            times[k].append(sides[k]())
    return times


def compared(mine, theirs, goal):
    m, f = statistics.median(mine), statistics.median(theirs)
    return {"ours": m, "floor": f, "ratio": m / f, "met": m / f <= goal,
            "ours_samples": mine, "floor_samples": theirs}


def wine_rows(program, floors_dir):
    rows = {}
    work = tempfile.mkdtemp(prefix="wine.", dir=OUT)
    prefix = os.path.join(work, "prefix")
    os.mkdir(prefix)
    screen = zevmachine.VirtualScreen()
    machine = None
    try:
        zevmachine.prepare_prefix(args.prefix, log=log, timeout=600)
        zevmachine.copy_prefix(args.prefix, prefix)
        screen.start()
        machine = zevmachine.WineMachine(prefix, screen.display).start()
        # Without a window manager Wine waits 2 s on every window it hides for
        # the manager's answer (wait_for_withdrawn_state): a cost of this screen,
        # not of either program. Unmanaged, windows come and go as on a desktop.
        machine.import_reg(UNMANAGED_REG)
        # Wine starts a desktop (explorer) for the first program on the screen,
        # closes it soon after the last one ends and starts it again for the
        # next, setting the display's devices up each time; a program's first
        # window waits for that. Held up for the whole bench, as Windows' desktop
        # always is, it is ready before anything is timed.
        machine.keep_desktop()
        programs = machine.unix_path(PROGRAM_DIR)
        os.makedirs(programs)
        for exe in (program,) + tuple(os.path.join(floors_dir, f) for f in FLOORS):
            shutil.copy(exe, programs)
        ours = os.path.basename(program)

        # The first programs in a prefix start its services; none of that is
        # measured, and the first may take long.
        for i, name in enumerate((ours, "start_floor.exe", ours, "start_floor.exe")):
            start_sample(machine, name, FIRST_BOX_S if i == 0 else BOX_S)

        log("start: %d samples a side" % args.samples)
        mine, theirs = interleaved(args.samples, lambda: start_sample(machine, ours),
                                   lambda: start_sample(machine, "start_floor.exe"))
        rows["start"] = compared(mine, theirs, START_GOAL)

        rows["run"] = {}
        for count in args.sizes:
            log("run: %d files, %d samples a side" % (count, args.run_samples))
            text = file_list(count)
            mine, theirs, bar = interleaved(args.run_samples, lambda: run_sample(machine, ours, count, text),
                                            lambda: run_sample(machine, "run_floor.exe", count, text),
                                            lambda: run_sample(machine, "run_floor_bar.exe", count, text))
            row = compared(mine, theirs, RUN_GOAL)
            row["bar_floor"] = statistics.median(bar)
            row["bar_floor_samples"] = bar
            row["ratio_to_bar_floor"] = row["ours"] / row["bar_floor"]
            rows["run"][count] = row
    finally:
        if machine is not None:
            machine.stop()
        screen.stop()
        left = zevmachine.prefix_processes(prefix)
        shutil.rmtree(work, ignore_errors=True)
        if left:
            raise BenchError("processes left behind: %s" % left)
    return rows


# ---------------------------------------------------------------- logic alone

def logic_rows(logic_bench):
    """Google Benchmark's median of each size, the two sizes' repetitions in random interleaving."""
    out = subprocess.run([logic_bench, "--benchmark_repetitions=%d" % args.logic_samples,
                          "--benchmark_enable_random_interleaving=true", "--benchmark_format=json",
                          "--benchmark_min_time=0.5"],
                         check=True, stdout=subprocess.PIPE).stdout.decode()
    runs = json.loads(out)["benchmarks"]
    seconds = {}
    for run in runs:
        if run.get("run_type") == "iteration" and "error_occurred" not in run:
            count = int(run["run_name"].split("/")[1])
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
            seconds.setdefault(count, []).append(run["real_time"] * scale)
    if set(seconds) != {10000, 100000} or any(len(v) != args.logic_samples for v in seconds.values()):
        raise BenchError("the logic benchmark gave no result for every size: " + out[-500:])
    small, large = statistics.median(seconds[10000]), statistics.median(seconds[100000])
    return {"10000": small, "100000": large, "ratio": large / small, "met": large / small <= LOGIC_GOAL,
            "samples": {str(k): v for k, v in seconds.items()}}


def per_file(run):
    """Seconds each listed file adds, the slope from the shortest list to the
    longest: the dialog's and the program's fixed costs fall out of it."""
    sizes = sorted(run)
    small, large = run[sizes[0]], run[sizes[-1]]
    slope = {side: (large[side] - small[side]) / (sizes[-1] - sizes[0]) for side in ("ours", "floor", "bar_floor")}
    slope["ratio"] = slope["ours"] / slope["floor"]
    slope.update({"from": sizes[0], "to": sizes[-1], "met": slope["ratio"] <= PER_FILE_GOAL})
    return slope


# ---------------------------------------------------------------- the table

def machine_line():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    wine = subprocess.run([zevmachine.WINE, "--version"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout.decode().strip()
    return "%d cores (nproc), %s, %s, Linux %s" % (os.cpu_count(), model, wine, platform.release())


def ms(seconds):
    return "%.0f ms" % (seconds * 1000) if seconds >= 0.1 else "%.1f ms" % (seconds * 1000)


def table(results):
    yes = {True: "yes", False: "NO"}
    rows = [("what", "ours", "floor", "ratio", "goal", "met")]
    size = results["size"]
    rows.append(("size of build/win32/ZEVUnins.exe", "%d B" % size["bytes"], "", "",
                 "<= %d B" % SIZE_GOAL, yes[size["met"]]))
    rows.append(("  imported DLLs", ", ".join(size["dlls"]), "", "", "Windows' own", yes[not size["foreign_dlls"]]))
    rows.append(("  DLLs loaded at first use", ", ".join(size["delay_loaded"]) or "none", "", "", "Windows' own",
                 yes[not size["foreign_dlls"]]))
    if "start" in results:
        s = results["start"]
        rows.append(("start to question box (win64, Wine)", ms(s["ours"]), ms(s["floor"]),
                     "%.2f" % s["ratio"], "<= %.2f" % START_GOAL, yes[s["met"]]))
        for count, r in sorted(results["run"].items()):
            rows.append(("Yes to completion box, %d files" % count, ms(r["ours"]), ms(r["floor"]),
                         "%.2f" % r["ratio"], "<= %.2f" % RUN_GOAL, yes[r["met"]]))
        for count, r in sorted(results["run"].items()):
            rows.append(("  same, floor with our progress dialog, %d" % count, ms(r["ours"]), ms(r["bar_floor"]),
                         "%.2f" % r["ratio_to_bar_floor"], "", ""))
    lg = results["logic"]
    rows.append(("logic on the fake, 10,000 files", ms(lg["10000"]), "", "", "", ""))
    rows.append(("logic on the fake, 100,000 files", ms(lg["100000"]), "", "%.2f x" % lg["ratio"],
                 "<= %.0f x" % LOGIC_GOAL, yes[lg["met"]]))
    if "per_file" in results:
        p = results["per_file"]
        rows.append(("run time per listed file, %d to %d" % (p["from"], p["to"]), "%.3f ms" % (p["ours"] * 1000),
                     "%.3f ms" % (p["floor"] * 1000), "%.2f" % p["ratio"], "<= %.2f" % PER_FILE_GOAL, yes[p["met"]]))
        rows.append(("  same, floor with our progress dialog", "%.3f ms" % (p["ours"] * 1000),
                     "%.3f ms" % (p["bar_floor"] * 1000), "%.2f" % (p["ours"] / p["bar_floor"]), "", ""))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    lines = ["| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |" for r in rows]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    return "\n".join(lines)


def main():
    global args
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program32", default=os.path.join(ROOT, "build", "win32", "ZEVUnins.exe"))
    parser.add_argument("--program64", default=os.path.join(ROOT, "build", "win64", "ZEVUnins.exe"))
    parser.add_argument("--floors", default=os.path.join(ROOT, "build", "win64"),
                        help="where start_floor.exe and run_floor.exe are")
    parser.add_argument("--logic-bench", default=os.path.join(ROOT, "build", "bench-host", "logic_bench"))
    parser.add_argument("--boxwatch", default=os.path.join(ROOT, "build", "bench-host", "boxwatch"))
    parser.add_argument("--prefix", default=os.path.join(ROOT, "build", "e2e", "prefix"))
    parser.add_argument("--samples", type=int, default=21, help="start samples a side")
    parser.add_argument("--run-samples", type=int, default=5, help="run samples a side, each size")
    parser.add_argument("--logic-samples", type=int, default=5)
    parser.add_argument("--sizes", default="100,1000,5000")
    parser.add_argument("--no-wine", action="store_true", help="size and logic only")
    args = parser.parse_args()
    args.sizes = [int(s) for s in args.sizes.split(",")]
    args.prefix = os.path.abspath(args.prefix)
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_termination)
    os.makedirs(OUT, exist_ok=True)

    started = time.monotonic()
    results = {"machine": machine_line(), "size": size_row(args.program32)}
    results["size64"] = size_row(args.program64)
    try:
        if not args.no_wine:
            results.update(wine_rows(args.program64, args.floors))
            if len(results["run"]) > 1:
                results["per_file"] = per_file(results["run"])
        log("logic on the fake")
        results["logic"] = logic_rows(args.logic_bench)
    except Interrupted as e:
        log("interrupted (%s)" % e)
        return 130
    except (BenchError, zevmachine.MachineError, subprocess.CalledProcessError) as e:
        log("failed: %s" % e)
        return 1

    text = table(results)
    summary = "machine: %s\nbench took %.0f s" % (results["machine"], time.monotonic() - started)
    print(text)
    print(summary)
    with open(os.path.join(OUT, "results.json"), "w") as f:
        json.dump(results, f, indent=1)
    with open(os.path.join(OUT, "table.md"), "w") as f:
        f.write(text + "\n\n" + summary + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
