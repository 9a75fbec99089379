#!/usr/bin/env python3
"""The demo: installs the example product (examples/ZEVFList.ini and
examples/ZEVUnins.ini) into a throwaway Wine machine, shows what it put there,
runs the uninstaller and shows what remains and what went; then does the
same silently (/S /LOG=<file>) in a second throwaway machine and shows the log.

With DISPLAY set the uninstaller appears on that screen and its boxes are
answered there, by the person watching; without it, it runs on a virtual screen,
is answered Yes from the keyboard, and screenshots of each box and of the
progress dialog are kept under build/demo/shots/.

  scripts/demo.py [--exe build/win64/ZEVUnins.exe]
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

import zevmachine  # noqa: E402
from zevmachine import Printer, Product  # noqa: E402

EXAMPLES = os.path.join(ROOT, "examples")


class Interrupted(BaseException):
    pass


def on_termination(signum, frame):
    raise Interrupted("signal %d" % signum)


def read_profile(text):
    """{section: {key: value}} with names in lower case, as Windows reads a
    profile file: blanks and one pair of surrounding quotes dropped."""
    sections, current = {}, None
    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1:line.index("]")].strip().lower(), {})
        elif current is not None and "=" in line:
            name, value = line.split("=", 1)
            value = value.strip()
            if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
                value = value[1:-1]
            current.setdefault(name.strip().lower(), value)
    return sections


def numbered(section, stem):
    """STEM00, STEM01, ... up to the first missing or empty one."""
    values, n = [], 0
    while section.get("%s%02d" % (stem.lower(), n)):
        values.append(section["%s%02d" % (stem.lower(), n)])
        n += 1
    return values


# The examples a demo can take: the folder with the two files, the code page
# they are written in, and the locale of the machine they are removed from.
EXAMPLE_KINDS = {
    "": (EXAMPLES, "cp1252", {}),
    "ja": (os.path.join(EXAMPLES, "ja"), "cp932", {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}),
}
EXAMPLE = EXAMPLE_KINDS[""]


def example_product():
    """The example product as its installer would have left it: the files and
    directories its file list names, its programs-list entry, its print monitor
    (the real one of examples/monitor, as the listed vpxmon.dll and its UI DLL
    vpmonui.dll) with two ports
    and a printer on each, and the two INI files."""
    folder, codec, _ = EXAMPLE
    with open(os.path.join(folder, "ZEVFList.ini"), encoding=codec) as f:
        file_list = f.read()
    with open(os.path.join(folder, "ZEVUnins.ini"), encoding=codec) as f:
        strings = f.read()
    listed = read_profile(file_list)
    files = {path: "%s, as the Vantorin Print installer left it\r\n" % path.rsplit("\\", 1)[-1]
             for path in numbered(listed.get("files", {}), "FILE")}
    # Every directory the lists name, with the parents the uninstaller may take
    # along or must leave (the STMPATHS root among them).
    stmpaths = listed.get("stmpaths", {})
    named = [listed.get("uninstall", {}).get("path", "")] + numbered(listed.get("paths", {}), "PATH") \
        + numbered(stmpaths, "PATH") + [stmpaths.get("root", "")]
    dirs = set()
    for path in filter(None, named):
        parts = path.rstrip("\\").split("\\")
        dirs.update("\\".join(parts[:n]) for n in range(2, len(parts) + 1))
    # The monitor's DLL is the built one, not a text file: where the spooler loads it.
    monitor_dll = next((p for p in files if p.lower() == r"c:\windows\system32\vpxmon.dll"), None)
    ui_dll = next((p for p in files if p.lower() == r"c:\windows\system32\vpmonui.dll"), None)
    files.pop(monitor_dll, None)
    files.pop(ui_dll, None)
    entry = listed.get("uninstkey", {}).get("uninstkey", "VantorinPrint")
    monitor = listed.get("lpr", {}).get("monitor", "Vantorin Port")
    return Product(
        name="Vantorin Print", files=files, dirs=sorted(dirs),
        entry=entry,
        entry_values={"DisplayName": "Vantorin Print", "UninstallString": r"C:\windows\ZEVUnins.exe",
                      "QuietUninstallString": r'"C:\windows\ZEVUnins.exe" /S',
                      "DisplayIcon": r"C:\Program Files\Vantorin\Print\vprint.exe,0",
                      "Publisher": "Vantorin", "DisplayVersion": "2.1"},
        monitor=monitor, monitor_driver="vpxmon.dll", monitor_dll=monitor_dll,
        monitor_ui_dll=ui_dll, ports=["VPORT1:", "VPORT2:"],
        printers=[Printer("Vantorin Print Office", "VPORT1:", description="Vantorin Print on the office queue"),
                  Printer("Vantorin Print Labels", "VPORT2:"),
                  Printer("Office Laser", "LPT2:", description="not part of Vantorin Print")],
        file_list=file_list.encode(codec).replace(b"\n", b"\r\n"),
        strings=strings.encode(codec).replace(b"\n", b"\r\n")), read_profile(strings)


def show_changes(before, after, out):
    changes = zevmachine.compare(before, after)
    for path in sorted(changes.files_gone, key=str.lower):
        out("    removed  C:\\" + path.replace("/", "\\"))
    for key in sorted(changes.keys_gone):
        out("    deleted  " + next(k for k in before.registry if k.lower() == key))
    for (key, name), (old, new) in sorted(changes.values_changed.items()):
        shown = next(k for k in after.registry if k.lower() == key)
        out("    changed  %s [%s]: %s -> %s" % (shown, name, old, "(removed)" if new is None else new))
    others = changes.files_new | changes.files_changed | changes.keys_new
    if others:
        out("    also: %s" % sorted(others))


def run_on_virtual_screen(machine, screen, exe, texts, product, shots_dir, say):
    caption = texts.get("title", {}).get("dialog") or "Uninstaller"
    done_caption = texts.get("title", {}).get("msgbox") or "Complete"
    run = zevmachine.ProgramRun(machine, exe)
    xid, box = run.wait_for_box(caption, 60)
    say("  the question (%r): %r" % (caption, "\n".join(box.texts())))
    shots = [screen.screenshot(os.path.join(shots_dir, "1-confirm.png"), box).path]
    say("  answering Yes (Return)")
    machine.press(xid, "Return")
    # The STMPATHS directories hold the progress dialog on screen for seconds.
    listed = read_profile(product.file_list.decode(EXAMPLE[1]))
    stm = [machine.unix_path(p) for p in numbered(listed.get("stmpaths", {}), "PATH")]
    deadline = time.monotonic() + 60
    while stm and os.path.exists(stm[0]) and run.running() and time.monotonic() < deadline:
        time.sleep(0.05)
    progress = machine.read_progress_dialog()
    if progress is not None:
        shots.append(screen.screenshot(os.path.join(shots_dir, "2-progress.png"), progress).path)
    xid, box = run.wait_for_box(done_caption, 120)
    say("  the completion box (%r): %r" % (done_caption, "\n".join(box.texts())))
    shots.append(screen.screenshot(os.path.join(shots_dir, "3-complete.png"), box).path)
    machine.press(xid, "Return")
    return run.wait(30), shots


def run_silently(base, work, display, exe, say):
    """The example product in a second throwaway machine, removed as a
    deployment tool would: /S /LOG=<file>, no window, the exit status and the log."""
    prefix = os.path.join(work, "prefix-silent")
    os.mkdir(prefix)
    zevmachine.copy_prefix(base, prefix)
    machine = zevmachine.WineMachine(prefix, display, EXAMPLE[2]).start()
    try:
        product, _ = example_product()
        zevmachine.install(machine, product)
        log_path = os.path.join(work, "deploy logs", "vantorin.log")
        os.makedirs(os.path.dirname(log_path), exist_ok=True)
        before = machine.snapshot()

        # What a run would do, first: the plan, and nothing touched.
        plan_path = os.path.join(work, "deploy logs", "vantorin-plan.log")
        arguments = '/S /WHATIF "/LOG=%s"' % zevmachine.windows_path_of(plan_path)
        say("\n== What a run would do, as an administrator asks before pushing it to a fleet (a second machine)")
        say("  ZEVUnins.exe %s" % arguments)
        status = zevmachine.ProgramRun(machine, exe, arguments).wait(600)
        say("  exit status %d" % status)
        with open(plan_path, "rb") as f:
            for line in f.read().decode(EXAMPLE[1], errors="replace").splitlines():
                say("    " + line)
        changes = zevmachine.compare(before, machine.snapshot())
        touched = [what for what in ("files_gone", "files_new", "files_changed", "keys_gone", "keys_new",
                                     "values_changed") if getattr(changes, what)]
        say("  the machine: %s" % ("unchanged" if not touched else "CHANGED: " + ", ".join(touched)))

        arguments = '/S "/LOG=%s"' % zevmachine.windows_path_of(log_path)
        say("\n== A silent run, as a deployment tool starts it (the same machine)")
        say("  ZEVUnins.exe %s" % arguments)
        status = zevmachine.ProgramRun(machine, exe, arguments).wait(600)
        say("  exit status %d%s" % (status, {0: " (done)", 3010: " (done; a restart finishes it)"}.get(status, "")))
        after = machine.snapshot()
        say("  the log:")
        with open(log_path, "rb") as f:
            for line in f.read().decode(EXAMPLE[1], errors="replace").splitlines():
                say("    " + line)
        say("  what went, and what changed:")
        show_changes(before, after, say)
        # The monitor notes each port it deletes through XcvDataPort, and its UI
        # DLL each process that loads it: the uninstaller must be in no such line.
        record = os.path.join(machine.windows_dir(), "vpmon.log")
        lines = open(record, "rb").read().decode(EXAMPLE[1], "replace").splitlines() if os.path.exists(record) else []
        say("  the monitor's own record (C:\\windows\\vpmon.log):")
        for line in lines:
            say("    " + line)
        loaded = [line for line in lines if line.startswith("UI DLL loaded into") and "ZEVUnins" in line]
        say("  the monitor's UI DLL was %s into the uninstaller (its record names every process that loads it)"
            % ("LOADED" if loaded else "never loaded"))
    finally:
        machine.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "win64", "ZEVUnins.exe"))
    parser.add_argument("--prefix", default=os.path.join(ROOT, "build", "e2e", "prefix"),
                        help="the prepared prefix the throwaway machine is copied from")
    parser.add_argument("--example", choices=sorted(EXAMPLE_KINDS), default="",
                        help="ja: the Japanese product of examples/ja, on a Japanese machine (code page 932)")
    args = parser.parse_args()
    global EXAMPLE
    EXAMPLE = EXAMPLE_KINDS[args.example]
    exe = os.path.abspath(args.exe)
    for path in (exe, zevmachine.PROBE, zevmachine.MONITOR_DLL):
        if not os.path.isfile(path):
            print("demo: %s is missing (make build-win64)" % path, file=sys.stderr)
            return 2
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_termination)

    say = print
    started = time.monotonic()
    out_dir = os.path.join(ROOT, "build", "demo")
    shots_dir = os.path.join(out_dir, "shots")
    os.makedirs(out_dir, exist_ok=True)
    shutil.rmtree(shots_dir, ignore_errors=True)
    work = tempfile.mkdtemp(prefix="machine.", dir=out_dir)
    display = os.environ.get("DISPLAY")
    screen = None if display else zevmachine.VirtualScreen()
    machine = None
    try:
        base = zevmachine.prepare_prefix(os.path.abspath(args.prefix), log=lambda t: say("demo: " + t), timeout=600)
        prefix = os.path.join(work, "prefix")
        os.mkdir(prefix)
        zevmachine.copy_prefix(base, prefix)
        if screen:
            screen.start()
        machine = zevmachine.WineMachine(prefix, display or screen.display, EXAMPLE[2]).start()
        if display:
            # A person's own screen has a window manager to manage the windows.
            machine.import_reg(zevmachine.reg_text([(key, dict.fromkeys(values, "Y")) for key, values
                                                    in zevmachine.PREPARED_SETTINGS.items()]))

        machine.keep_desktop()
        product, texts = example_product()
        zevmachine.install(machine, product)
        before = machine.snapshot()
        say("\n== What Vantorin Print put on the machine (a throwaway Wine prefix, %s)"
            % os.path.relpath(prefix, ROOT))
        zevmachine.describe_product(product, before, say)

        say("\n== Running %s" % os.path.relpath(exe, ROOT))
        if display:
            say("  on your screen (DISPLAY=%s): answer its boxes there." % display)
            run = zevmachine.ProgramRun(machine, exe)
            status, shots = run.wait(600), []
        else:
            say("  on a virtual screen (%s), answered from the keyboard" % screen.display)
            status, shots = run_on_virtual_screen(machine, screen, exe, texts, product, shots_dir, say)
        say("  exit status %d%s" % (status, {0: " (completed)", 1602: " (answered No)"}.get(status, "")))
        for shot in shots:
            say("  screenshot %s" % os.path.relpath(shot, ROOT))

        after = machine.snapshot()
        say("\n== What remains of Vantorin Print")
        zevmachine.describe_product(product, after, say)
        say("\n== What went, and what changed")
        show_changes(before, after, say)
        machine.stop()
        machine = None

        run_silently(base, work, display or screen.display, exe, say)
    except Interrupted as e:
        print("demo: interrupted (%s)" % e, file=sys.stderr)
        return 130
    finally:
        if machine is not None:
            machine.stop()
        if screen:
            screen.stop()
        shutil.rmtree(work, ignore_errors=True)
    say("\ndemo: done in %.0f s; the throwaway machine is gone" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
