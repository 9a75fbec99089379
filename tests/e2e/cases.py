"""The end-to-end cases: a product installed into a fresh Wine machine, the
uninstaller answered from the keyboard, the machine read back and compared.

Each case gets a Session (a prefix copy with its own wineserver, a virtual
screen, the program under test) and records what it found with check(); a case
passes when no check failed. A case is a function listed in CASES; one that
needs more of the machine than the harness gives every case (a locale, say)
says so with @environment(...). The cases run side by side, each in a process
of its own.
"""

import os
import random
import re
import shutil
import time

from zevmachine import (windows_path_of, MONITORS_KEY, OTHER_UNINSTALL_KEY, PRINTERS_KEY, PROBE as PROBE_EXE,
                        PROGRAM_BITS, UNINSTALL_KEY, Printer, Product, ProgramRun, compare, end_holder, hold_file,
                        install, listing_name, printer_ports, read_pixels, Snapshot)

with open(os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "VERSION")) as f:
    VERSION = f.read().strip()  # the program's, as its log's heading gives it


def environment(**variables):
    """Runs a case with these variables set for every process on its machine
    (Wine takes the system's code page from the locale: LANG, LC_ALL)."""
    def mark(case):
        case.environment = dict(variables)
        return case
    return mark


def environment_of(case):
    return getattr(case, "environment", {})


# ---------------------------------------------------------------- the products

# The product taken off. Its install directory is four levels deep; the
# directories are laid out so that each rule shows on its own: Drivers goes as
# the emptied parent of a PATHS entry, Queue as the parent of a STMPATHS entry,
# Suite, Print and Acme only with the install chain, C:\Spool (the root) stays
# although it ends up empty, and C:\Apps stays because the other product is in it.
ACME_FILE_LIST = r"""; Acme Print 4.2
[UNINSTALL]
PATH=C:\Apps\Acme\Print\Suite

[UnInstKey]
UnInstKey=AcmePrint

[LPR]
Monitor=Acme Port

[FILES]
FILE00=C:\Apps\Acme\Print\Suite\acprint.exe
FILE01=C:\Apps\Acme\Print\Suite\Help\acprint.chm
FILE02=C:\Apps\Acme\Print\Suite\Drivers\x64\acdrv.dll
FILE03=C:\windows\system32\acmemon.dll
FILE05=C:\windows\system32\acmeui.dll

[PATHS]
PATH00=C:\Apps\Acme\Print\Suite\Drivers\x64
PATH01=C:\Apps\Acme\Print\Suite\Help

[STMPATHS]
ROOT=C:\Spool\
PATH00=C:\spool\Outbox
PATH01=C:\Apps\Acme\Print\Suite\Queue\Jobs
"""

ACME_STRINGS = """[STATIC]
DIALOG00=Remove Acme Print 4.2
DIALOG01=Really remove it?
MSGBOX00=Acme Print is gone.

[TITLE]
DIALOG=Acme Print Setup
MSGBOX=Acme Print Setup Done
"""


def acme_product():
    return Product(
        name="Acme Print",
        files={
            r"C:\Apps\Acme\Print\Suite\acprint.exe": "acprint program\n",
            r"C:\Apps\Acme\Print\Suite\Help\acprint.chm": "acprint help\n",
            r"C:\Apps\Acme\Print\Suite\Drivers\x64\acdrv.dll": "acme driver\n",
            # Listed after the gap at FILE04: never read, so it stays.
            r"C:\windows\system32\acmeui.dll": "acme monitor ui\n",
            # Beside the listed ones, not listed.
            r"C:\windows\system32\acmemon.dll.bak": "an older acme port monitor\n",
        },
        dirs=[r"C:\Spool\Outbox", r"C:\Apps\Acme\Print\Suite\Queue\Jobs"],
        entry="AcmePrint",
        entry_values={"DisplayName": "Acme Print 4.2", "UninstallString": r"C:\windows\ZEVUnins.exe",
                      "QuietUninstallString": r'"C:\windows\ZEVUnins.exe" /S',
                      "DisplayIcon": r"C:\Apps\Acme\Print\Suite\acprint.exe,0", "Publisher": "Acme"},
        # A real port monitor (examples/monitor): the spooler loads it to delete its ports.
        monitor="Acme Port", monitor_driver="acmemon.dll", monitor_dll=r"C:\windows\system32\acmemon.dll",
        ports=["ACME1:", "ACME2:"],
        printers=[Printer("Acme Office", "ACME1:", description="second floor"),
                  Printer("Acme Label", "ACME1:"),
                  Printer("Acme Draft", "ACME2:")],
        file_list=ACME_FILE_LIST, strings=ACME_STRINGS)


def other_product():
    """Another product on the same machine, named close to the first one where
    a careless comparison would take it along. Nothing of it may change."""
    return Product(
        name="Other",
        files={
            r"C:\Apps\Other\other.exe": "other program\n",
            r"C:\Apps\Other\Data\labels.db": "labels\n",
            r"C:\Apps\AcmeTools\tool.exe": "a tool that is not Acme Print\n",
            r"C:\Spool2\Acme\waiting.job": "a job\n",
        },
        dirs=[r"C:\Apps\Other\Empty"],
        entry="AcmePrintViewer",
        entry_values={"DisplayName": "Acme Print Viewer", "UninstallString": r"C:\Apps\Other\other.exe /u",
                      "DisplayIcon": r"C:\Apps\Other\other.exe,0"},
        monitor="Other Port", monitor_driver="othmon.dll", ports=["OTH1:"],
        printers=[Printer("Other Label", "OTH1:"), Printer("Office Laser", "LPT2:")])


# ---------------------------------------------------------------- expectations

def with_parents(path, stop):
    """`path` and its parents below `stop`, as listing names."""
    out, parts = set(), listing_name(path).split("/")
    while parts and "/".join(parts) != listing_name(stop):
        out.add("/".join(parts))
        parts.pop()
    return out


def key(path):
    return path.lower()


def system_colour(snapshot, name):
    """A colour of the user's scheme (a whole export holds HKCU as HKEY_USERS\\<sid>)."""
    values = {}
    for k, v in snapshot.registry_ci().items():
        parts = k.split("\\")
        if (len(parts) == 4 and parts[0] == "hkey_users" and parts[1].startswith("s-1-5-21-")
                and parts[2:] == ["control panel", "colors"]):
            values = v
    raw = values.get(name)
    if raw is None:
        return None
    return tuple(int(v) for v in raw.strip('"').split())


def check_exact(session, what, actual, expected):
    missing, extra = expected - actual, actual - expected
    session.check(not missing, "%s: expected but not seen: %s" % (what, sorted(missing)))
    session.check(not extra, "%s: seen but not expected: %s" % (what, sorted(extra)))


def check_machine(session, before, after, files_gone=(), keys_gone=(), values_changed=None, keys_new=()):
    """Everything that changed is exactly what was expected to change."""
    changes = compare(before, after)
    check_exact(session, "files and directories gone", changes.files_gone, set(files_gone))
    check_exact(session, "files and directories new", changes.files_new, set())
    check_exact(session, "files changed", changes.files_changed, set())
    check_exact(session, "registry keys gone", changes.keys_gone, {key(k) for k in keys_gone})
    check_exact(session, "registry keys new", changes.keys_new, {key(k) for k in keys_new})
    expected_values = {(key(k), n): v for (k, n), v in (values_changed or {}).items()}
    actual_values = dict(changes.values_changed)
    for item in sorted(set(expected_values) | set(actual_values)):
        session.check(expected_values.get(item) == actual_values.get(item),
                      "registry value %s [%s]: expected %s, saw %s"
                      % (item[0], item[1], expected_values.get(item, "no change"),
                         actual_values.get(item, "no change")))
    return changes


def read_log(path):
    """A log's lines, each as its fields after the time: (outcome, kind, name, why)."""
    with open(path, "rb") as f:
        return [tuple(line.split("\t")[1:]) for line in f.read().decode("cp1252").split("\r\n") if line]


def check_untouched(session, before, after):
    """Nothing changed on the machine but what Wine's display driver does: it
    registers the virtual screen under Control\\Video when a program first
    shows a window in this session, which is not the program's doing."""
    changes = compare(before, after)
    for what in ("files_gone", "files_new", "files_changed", "keys_gone", "values_changed"):
        session.check(not getattr(changes, what), "%s: %s" % (what, sorted(getattr(changes, what))))
    new_keys = {k for k in changes.keys_new if "\\control\\video\\" not in k}
    session.check(not new_keys, "registry keys new: %s" % sorted(new_keys))


def check_box(session, xid, view, caption, text, buttons, icon):
    """The box on screen: its X window's name, the caption Windows holds, its
    one text, its buttons and whether it shows an icon."""
    session.check(session.machine.x_window_name(xid) == caption,
                  "X window name %r, expected %r" % (session.machine.x_window_name(xid), caption))
    session.check(view.caption == caption, "box caption %r, expected %r" % (view.caption, caption))
    session.check(view.count == 1, "%d windows captioned %r" % (view.count, caption))
    session.check(view.texts() == [text], "box %r shows %r, expected %r" % (caption, view.texts(), text))
    session.check(view.buttons() == buttons, "box %r has buttons %r, expected %r"
                  % (caption, view.buttons(), buttons))
    session.check(bool(view.icons()) == icon, "box %r %s an icon" % (caption, "lacks" if icon else "shows"))


def check_progress_bar(session, shot, view, snapshot, partly=True):
    """From the screenshot's pixels: the captionless dialog is painted in the
    dialog colour, and its bar is filled from the left in the selection colour
    (some but not all of its width when `partly`, none of it otherwise), the rest
    in the window colour. Returns the filled fraction."""
    fill, face, empty = (system_colour(snapshot, n) for n in ("Hilight", "ButtonFace", "Window"))
    if not session.check(None not in (fill, face, empty), "no system colours in the registry"):
        return None
    x, y, w, h = view.rect
    bx, by, bw, bh = view.bar_rect
    # The dialog's own face: the band above the bar, inside the frame.
    band = [p for row in read_pixels(shot, bx, y + 3, bw, max(1, by - y - 4)) for p in row]
    on_face = sum(1 for p in band if p == face)
    session.check(band and on_face >= 0.9 * len(band),
                  "progress dialog not painted: %d of %d pixels above the bar in the dialog colour %s"
                  " (most common: %s)" % (on_face, len(band), face, max(set(band), key=band.count)))
    # One row through the middle of the bar, inside its one-pixel border.
    row = read_pixels(shot, bx + 1, by + bh // 2, bw - 2, 1)[0]
    filled = 0
    while filled < len(row) and row[filled] == fill:
        filled += 1
    unfilled = [p for p in row[filled:] if p != empty]
    if partly:
        session.check(0 < filled < len(row), "bar filled %d of %d pixels, expected some but not all"
                      % (filled, len(row)))
    else:
        session.check(filled == 0, "bar filled %d of %d pixels, expected none" % (filled, len(row)))
    session.check(not unfilled, "%d pixels of the bar's empty part are not in the window colour %s: %s"
                  % (len(unfilled), empty, sorted(set(unfilled))[:4]))
    return filled / len(row) if row else None


# ---------------------------------------------------------------- the cases

def case_full_product(session):
    """Yes: everything the file list names goes; the rest of the machine stays."""
    m = session.machine
    acme, other = acme_product(), other_product()
    install(m, acme)
    install(m, other)
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, box = run.wait_for_box("Acme Print Setup", session.limit(60))
    check_box(session, xid, box, "Acme Print Setup", "Remove Acme Print 4.2\nReally remove it?",
              ["&Yes", "&No"], icon=True)
    session.screenshot("confirm", box)
    m.press(xid, "Return")

    # The first STMPATHS directory goes at the first of its ten attempts; from
    # then on the run pauses for seconds with the bar partly filled.
    outbox = m.unix_path(r"C:\Spool\Outbox")
    session.wait_until(lambda: not os.path.exists(outbox) or not run.running(), session.limit(60),
                       "C:\\Spool\\Outbox to go")
    view = m.read_progress_dialog()
    shot = session.screenshot("progress", view)
    session.check(view is not None, "no progress dialog on screen while the run pauses")
    if view is not None:
        session.check(not view.has_caption and view.caption == "",
                      "progress dialog has a caption: %r" % view.caption)
        fraction = check_progress_bar(session, shot, view, before)
        if fraction is not None:
            session.note("bar %.0f%% filled during the STMPATHS pause" % (100 * fraction))

    xid, box = run.wait_for_box("Acme Print Setup Done", session.limit(60))
    check_box(session, xid, box, "Acme Print Setup Done", "Acme Print is gone.", ["OK"], icon=False)
    session.screenshot("complete", box)
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)

    after = m.snapshot()
    check_full_product_gone(session, acme, before, after)


def check_full_product_gone(session, acme, before, after, keys_new=()):
    """After a run over the Acme product beside the other one: exactly Acme's
    files, directories, entry and monitor went, the monitor's DLL at once (the
    spooler let it go; nothing is left for the restart, or the session manager's
    value would have changed), and its printers print to LPT1:."""
    m = session.machine
    suite = r"C:\Apps\Acme\Print\Suite"
    gone = {listing_name(acme.monitor_dll, spooler=True)}
    gone |= {listing_name(p) for p in (suite + r"\acprint.exe", suite + r"\Help\acprint.chm",
                             suite + r"\Drivers\x64\acdrv.dll",
                             r"C:\Spool\Outbox", suite + r"\Drivers\x64", suite + r"\Drivers",
                             suite + r"\Help", suite + r"\Queue\Jobs", suite + r"\Queue",
                             r"C:\windows\ZEVFList.ini", r"C:\windows\ZEVUnins.ini")}
    gone |= with_parents(suite, r"C:\Apps")
    monitor = MONITORS_KEY + r"\Acme Port"
    check_machine(session, before, after, files_gone=gone,
                  keys_gone={UNINSTALL_KEY + r"\AcmePrint", monitor, monitor + r"\Ports",
                             monitor + r"\Ports\ACME1:", monitor + r"\Ports\ACME2:"},
                  values_changed={(PRINTERS_KEY + "\\" + p.name, "Port"): ('"%s"' % p.port, '"LPT1:"')
                                  for p in acme.printers}, keys_new=keys_new)
    # The same, as a person would look: where each printer prints now.
    ports = printer_ports(after)
    session.check(ports == {"Acme Office": "LPT1:", "Acme Label": "LPT1:", "Acme Draft": "LPT1:",
                            "Other Label": "OTH1:", "Office Laser": "LPT2:"}, "printer ports: %s" % ports)
    session.check(os.path.isdir(m.unix_path(r"C:\Spool")) and not os.listdir(m.unix_path(r"C:\Spool")),
                  "C:\\Spool (the STMPATHS root) should stay, empty")


def case_progress_before_first_step(session):
    """The progress dialog is painted from the moment it shows, not from the first
    step of its bar: here the run pauses in STMPATHS before any step."""
    m = session.machine
    install(m, Product(name="spool only", dirs=[r"C:\Spool\Outbox"],
                       file_list="[STMPATHS]\nROOT=C:\\Spool\\\nPATH00=C:\\Spool\\Outbox\n"))
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, _ = run.wait_for_box("Uninstaller", session.limit(60))
    m.press(xid, "Return")
    outbox = m.unix_path(r"C:\Spool\Outbox")
    session.wait_until(lambda: not os.path.exists(outbox) or not run.running(), session.limit(60),
                       "C:\\Spool\\Outbox to go")
    view = m.read_progress_dialog()
    shot = session.screenshot("progress", view)
    if session.check(view is not None, "no progress dialog on screen while the run pauses"):
        check_progress_bar(session, shot, view, before, partly=False)

    xid, _ = run.wait_for_box("Complete", session.limit(60))
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    check_machine(session, before, m.snapshot(),
                  files_gone={listing_name(r"C:\Spool\Outbox"), listing_name(r"C:\windows\ZEVFList.ini")})


def case_no(session):
    """No: the program ends with 1602, shows nothing more and changes nothing."""
    m = session.machine
    install(m, acme_product())
    install(m, other_product())
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, box = run.wait_for_box("Acme Print Setup", session.limit(60))
    check_box(session, xid, box, "Acme Print Setup", "Remove Acme Print 4.2\nReally remove it?",
              ["&Yes", "&No"], icon=True)
    session.screenshot("confirm", box)
    m.press(xid, "n")

    def question_answered():
        view = m.read_box("Acme Print Setup")
        return view is None or not view.visible or not run.running()
    session.wait_until(question_answered, session.limit(30), "the question to close")
    # Until the program ends, every dialog it shows is noted: there must be none
    # (a box would also hold the program open until answered).
    seen = set()
    deadline = session.deadline(30)
    while run.running() and not session.past(deadline):
        seen.update(w for w in m.visible_windows() if w[0] == "#32770")
    session.check(not seen, "windows shown after No: %s" % sorted(seen))
    session.check(not m.find_x_window("Acme Print Setup Done"), "completion box after No")
    status = run.wait(session.limit(10))
    session.check(status == 1602, "exit status %d, expected 1602" % status)
    check_machine(session, before, m.snapshot())


def case_no_ini_files(session):
    """Neither INI file: the default texts, and nothing on the machine changes."""
    m = session.machine
    install(m, other_product())
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, box = run.wait_for_box("Uninstaller", session.limit(60))
    check_box(session, xid, box, "Uninstaller", "Uninstall Vantorin\nAre you Sure ?", ["&Yes", "&No"],
              icon=True)
    session.screenshot("confirm", box)
    m.press(xid, "Return")
    xid, box = run.wait_for_box("Complete", session.limit(60))
    check_box(session, xid, box, "Complete", "Uninstall is Complete", ["OK"], icon=False)
    session.screenshot("complete", box)
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    check_machine(session, before, m.snapshot())


PERCENT_STRINGS = """[STATIC]
DIALOG00=Remove %s from %d printers (100%)
DIALOG01=%n%x%p ?
MSGBOX00=Done: %d%% of %s

[TITLE]
DIALOG=Setup %s
MSGBOX=%s Complete
"""


def case_percent_texts(session):
    """Texts with printf directives are shown exactly as written."""
    m = session.machine
    product = Product(name="percent", strings=PERCENT_STRINGS)
    install(m, product)
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, box = run.wait_for_box("Setup %s", session.limit(60))
    check_box(session, xid, box, "Setup %s", "Remove %s from %d printers (100%)\n%n%x%p ?",
              ["&Yes", "&No"], icon=True)
    session.screenshot("confirm", box)
    m.press(xid, "Return")
    xid, box = run.wait_for_box("%s Complete", session.limit(60))
    check_box(session, xid, box, "%s Complete", "Done: %d%% of %s", ["OK"], icon=False)
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    check_machine(session, before, m.snapshot(), files_gone={listing_name(r"C:\windows\ZEVUnins.ini")})


def case_entry_with_subkeys(session):
    """A programs-list entry with subkeys keeps its key, its subkeys and its other
    values; only the three values Windows lists it by go."""
    m = session.machine
    product = Product(
        name="entry", entry="AcmePrint",
        entry_values={"DisplayName": "Acme Print 4.2", "UninstallString": r"C:\windows\ZEVUnins.exe",
                      "DisplayIcon": r"C:\windows\ZEVUnins.exe,0", "DisplayVersion": "4.2",
                      "QuietUninstallString": r'"C:\windows\ZEVUnins.exe" /S',
                      "Publisher": "Acme"},
        entry_subkeys={"Components": {"Core": "installed"}},
        file_list="[UnInstKey]\nUnInstKey=AcmePrint\n")
    install(m, product)
    install(m, other_product())
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    xid, _ = run.wait_for_box("Uninstaller", session.limit(60))
    m.press(xid, "Return")
    xid, _ = run.wait_for_box("Complete", session.limit(60))
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    entry = UNINSTALL_KEY + r"\AcmePrint"
    values = product.entry_values
    check_machine(session, before, m.snapshot(), files_gone={listing_name(r"C:\windows\ZEVFList.ini")},
                  values_changed={(entry, name): ('"%s"' % values[name].replace("\\", "\\\\").replace('"', '\\"'), None)
                                  for name in ("DisplayName", "UninstallString", "DisplayIcon",
                                               "QuietUninstallString")})


# ---------------------------------------------------------------- faults on the machine and in the file list
# Each run goes to its end and shows the completion box whatever fails; what
# could be removed is removed and nothing else is. Each case notes which of its
# paths went and which stayed, and how long the run took from Yes to the box.

def run_through(session, question="Uninstaller", done="Complete", limit=60, before_box=None, status=0):
    """Starts the program, answers Yes, waits for the completion box and answers
    it; checks the exit status is `status`. `before_box` is called once the box
    is up, before it is answered. Returns the seconds from Yes to the completion box."""
    m = session.machine
    run = ProgramRun(m, session.exe)
    xid, _ = run.wait_for_box(question, session.limit(60))
    m.press(xid, "Return")
    answered = time.monotonic()
    xid, box = run.wait_for_box(done, session.limit(limit))
    took = time.monotonic() - answered
    if before_box is not None:
        before_box(box)
    m.press(xid, "Return")
    ended = run.wait(session.limit(30))
    session.check(ended == status, "exit status %d, expected %d" % (ended, status))
    session.note("run: %.1f s from Yes to the completion box" % took)
    return took


def note_outcome(session, before, after, paths):
    """Notes which of `paths` (Windows paths) went and which stayed."""
    went = [p for p in paths if listing_name(p) in before.files and listing_name(p) not in after.files]
    stayed = [p for p in paths if listing_name(p) in after.files]
    session.note("went: " + (", ".join(went) or "nothing"))
    session.note("stayed: " + (", ".join(stayed) or "nothing"))


FILE_LIST_NAME = r"C:\windows\ZEVFList.ini"


def age_file_list(machine, seconds=3600):
    """Dates the file list back as an installer's file would be: Wine re-parses
    a profile file younger than about two seconds on every read."""
    path = os.path.join(machine.windows_dir(), "ZEVFList.ini")
    then = time.time() - seconds
    os.utime(path, (then, then))


LOCKED_LIST = r"""[UNINSTALL]
PATH=C:\Apps\Acme

[FILES]
FILE00=C:\Apps\Acme\acprint.exe
FILE01=C:\Apps\Acme\acmemon.dll
FILE02=C:\Apps\Acme\Help\acprint.chm

[PATHS]
PATH00=C:\Apps\Acme\Help
"""


SESSION_MANAGER_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager"
RESTART_LINE = "Please restart Windows to finish removing the files that were in use."


def pending_deletions(snapshot):
    """The paths PendingFileRenameOperations deletes at the next restart (pairs
    of source and empty target), as the NT family keeps them: "\\??\\C:\\..."."""
    values = snapshot.registry_ci().get(key(SESSION_MANAGER_KEY), {})
    data = values.get("PendingFileRenameOperations")
    if data is None or not data.startswith("hex(7):"):
        return []
    texts = bytes.fromhex(data[len("hex(7):"):].replace(",", "")).decode("utf-16-le").split("\0")
    return [texts[i] for i in range(0, len(texts) - 1, 2) if texts[i] and texts[i + 1] == ""]


def pending_deletions_now(machine):
    """pending_deletions of the machine as it is, from its session manager's key alone."""
    return pending_deletions(Snapshot({}, machine.export_registry(SESSION_MANAGER_KEY)))


def check_scheduled(session, before, after, files_gone, scheduled, keys_gone=()):
    """The machine changed only as `files_gone` and `keys_gone` say, but for the
    session manager's list, which gained exactly `scheduled` (Windows paths), in order."""
    changes = compare(before, after)
    check_exact(session, "files and directories gone", changes.files_gone, set(files_gone))
    check_exact(session, "files and directories new", changes.files_new, set())
    check_exact(session, "keys gone", changes.keys_gone, {key(k) for k in keys_gone})
    other = {k for k in changes.values_changed if k != (key(SESSION_MANAGER_KEY), "PendingFileRenameOperations")}
    session.check(not other, "registry values changed besides the pending deletions: %s" % sorted(other))
    gained = pending_deletions(after)[len(pending_deletions(before)):]
    session.check(gained == ["\\??\\" + p for p in scheduled],
                  "pending deletions added %s, expected %s" % (gained, scheduled))


def case_file_in_use(session):
    """A listed file held open by another process that shares nothing: Windows
    is asked to delete it at the next restart (Wine records it in
    PendingFileRenameOperations), and with it the directories that stay only
    because of it; the completion box asks for a restart and the exit status is
    3010. The files before and after it and the emptied directory go now."""
    m = session.machine
    held = r"C:\Apps\Acme\acmemon.dll"
    install(m, Product(name="locked", files={r"C:\Apps\Acme\acprint.exe": "acprint program\n",
                                             held: "acme port monitor\n",
                                             r"C:\Apps\Acme\Help\acprint.chm": "acprint help\n"},
                       file_list=LOCKED_LIST))
    before = m.snapshot()
    holder = hold_file(m, held, seconds=600)
    still_held, shown = [], []

    def at_box(box):
        still_held.append(holder.poll() is None)
        shown.append(box.texts())
    run_through(session, before_box=at_box, status=3010)
    session.check(still_held == [True], "the file was let go before the run ended")
    session.check(shown == [["Uninstall is Complete\n" + RESTART_LINE]], "completion box showed %r" % shown)
    end_holder(holder)
    after = m.snapshot()
    check_scheduled(session, before, after,
                    {listing_name(p) for p in (r"C:\Apps\Acme\acprint.exe", r"C:\Apps\Acme\Help",
                                               r"C:\Apps\Acme\Help\acprint.chm", FILE_LIST_NAME)},
                    [held, r"C:\Apps\Acme", r"C:\Apps"])
    note_outcome(session, before, after, [r"C:\Apps\Acme\acprint.exe", held, r"C:\Apps\Acme\Help\acprint.chm",
                                          r"C:\Apps\Acme\Help", r"C:\Apps\Acme", r"C:\Apps"])


READ_ONLY_LIST = r"""[UNINSTALL]
PATH=C:\Apps\Acme

[FILES]
FILE00=C:\Apps\Acme\readme.txt
FILE01=C:\Apps\Acme\acprint.exe
"""


def case_read_only_file(session):
    """A listed file with the read-only attribute: DeleteFile refuses it (on
    Windows as under Wine), so the program clears the attribute and deletes it;
    the next file and the install directory go too."""
    m = session.machine
    read_only = r"C:\Apps\Acme\readme.txt"
    install(m, Product(name="read-only", files={read_only: "read me\n", r"C:\Apps\Acme\acprint.exe": "acprint\n"},
                       file_list=READ_ONLY_LIST))
    # Wine keeps a file's read-only attribute as the lack of write permission.
    os.chmod(m.unix_path(read_only), 0o444)
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in (read_only, r"C:\Apps\Acme\acprint.exe", FILE_LIST_NAME)}
                  | with_parents(r"C:\Apps\Acme", "C:"))
    note_outcome(session, before, after, [read_only, r"C:\Apps\Acme\acprint.exe", r"C:\Apps\Acme"])


FULL_DIR_LIST = r"""[UNINSTALL]
PATH=C:\Apps\Acme

[FILES]
FILE00=C:\Apps\Acme\acprint.exe

[PATHS]
PATH00=C:\Apps\Acme\Data
PATH01=C:\Apps\Acme\Logs
"""


def case_directory_not_empty(session):
    """A listed directory that still holds what the list does not name (a file
    and an empty subdirectory): it stays with all it holds, and so do its
    parents; the empty listed directory beside it goes."""
    m = session.machine
    data = r"C:\Apps\Acme\Data"
    install(m, Product(name="full dir", files={r"C:\Apps\Acme\acprint.exe": "acprint\n",
                                               data + r"\labels.db": "the user's labels\n"},
                       dirs=[data + r"\Templates", r"C:\Apps\Acme\Logs"], file_list=FULL_DIR_LIST))
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in (r"C:\Apps\Acme\acprint.exe", r"C:\Apps\Acme\Logs",
                                                        FILE_LIST_NAME)})
    note_outcome(session, before, after, [r"C:\Apps\Acme\acprint.exe", r"C:\Apps\Acme\Logs", data,
                                          data + r"\labels.db", data + r"\Templates", r"C:\Apps\Acme",
                                          r"C:\Apps"])


def case_printer_not_opened(session):
    """A printer on the monitor's port that the spooler lists but will not open:
    it is passed over and keeps its port; the other printer on that port moves
    to LPT1:, and the ports and the monitor go."""
    m = session.machine
    # Wine lists a printer by its Name value but opens it by its key's name: a
    # key named otherwise gives a printer EnumPrinters shows and OpenPrinter refuses.
    ghost = Printer("Acme Ghost", "ACME1:", key="Acme Ghost (old driver)")
    product = Product(name="printers", monitor="Acme Port", monitor_driver="acmemon.dll", ports=["ACME1:"],
                      printers=[Printer("Acme Office", "ACME1:"), ghost],
                      file_list="[LPR]\nMonitor=Acme Port\n")
    install(m, product)
    install(m, other_product())
    listed = {name: (port, opened, error) for name, port, opened, error in m.printers()}
    if not session.check(listed.get("Acme Ghost", ())[:2] == ("ACME1:", False),
                         "Wine does not give a printer it lists and cannot open: %s" % listed):
        return
    session.note("the spooler lists Acme Ghost on ACME1: and refuses to open it (error %d)"
                 % listed["Acme Ghost"][2])
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    monitor = MONITORS_KEY + r"\Acme Port"
    check_machine(session, before, after, files_gone={listing_name(FILE_LIST_NAME)},
                  keys_gone={monitor, monitor + r"\Ports", monitor + r"\Ports\ACME1:"},
                  values_changed={(PRINTERS_KEY + r"\Acme Office", "Port"): ('"ACME1:"', '"LPT1:"')})
    ports = printer_ports(after)
    session.note("printer ports after: " + ", ".join("%s=%s" % kv for kv in sorted(ports.items())))
    session.note("monitor Acme Port: %s" % ("gone" if monitor.lower() not in after.registry_ci() else "stayed"))


LONG_LIST_SIZE = 10000
# Seconds from Yes to the completion box. Measured here: about 16 s with the
# list aged (6 s of it Wine's wait on each window it hides without a window
# manager, as in every run); over 60 s with a list Wine takes as just written.
LONG_LIST_BOUND = 40


def case_long_file_list(session):
    """10,000 listed files (FILE00 … FILE9999, across the two- to four-digit
    keys) all go, then their emptied install directory; FILE10001 after the gap
    at FILE10000 is never read. The run has a time bound."""
    m = session.machine
    paths = [r"C:\Big\f%05d.dat" % i for i in range(LONG_LIST_SIZE)]
    after_gap = r"C:\windows\system32\big-after-gap.dat"
    lines = ["[UNINSTALL]", r"PATH=C:\Big", "", "[FILES]"]
    lines += ["FILE%02d=%s" % (i, p) for i, p in enumerate(paths)]
    lines.append("FILE%d=%s" % (LONG_LIST_SIZE + 1, after_gap))
    files = {p: "%d\n" % i for i, p in enumerate(paths)}
    files[after_gap] = "listed after the gap\n"
    install(m, Product(name="long list", files=files, file_list="\n".join(lines) + "\n"))
    age_file_list(m)
    before = m.snapshot()
    took = run_through(session, limit=LONG_LIST_BOUND * 4)
    session.check(took <= session.limit(LONG_LIST_BOUND), "the run took %.1f s, bound %d s"
                  % (took, session.limit(LONG_LIST_BOUND)))
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in paths + [r"C:\Big", FILE_LIST_NAME]})
    gone = sum(1 for p in paths if listing_name(p) not in after.files)
    session.note("%d of %d listed files went; C:\\Big %s; the file after the gap %s"
                 % (gone, len(paths), "went" if "Big" not in after.files else "stayed",
                    "stayed" if listing_name(after_gap) in after.files else "went"))


def case_empty_file_list(session):
    """A file list of 0 bytes: nothing to remove but the list itself."""
    m = session.machine
    install(m, Product(name="empty list", file_list=b""))
    install(m, other_product())
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    check_machine(session, before, after, files_gone={listing_name(FILE_LIST_NAME)})
    note_outcome(session, before, after, [FILE_LIST_NAME])


SMALL_LIST = r"""[UNINSTALL]
PATH=C:\Apps\Acme

[FILES]
FILE00=C:\Apps\Acme\acprint.exe
FILE01=C:\Apps\Acme\Help\acprint.chm

[PATHS]
PATH00=C:\Apps\Acme\Help
"""

SMALL_FILES = {r"C:\Apps\Acme\acprint.exe": "acprint program\n", r"C:\Apps\Acme\Help\acprint.chm": "help\n"}


def case_lf_line_ends(session):
    """Both INI files with bare LF line ends: every listed file and directory
    goes, and the texts are shown without a stray carriage return."""
    m = session.machine
    strings = "[STATIC]\nMSGBOX00=Acme Print is gone.\n\n[TITLE]\nDIALOG=Acme Setup\nMSGBOX=Acme Done\n"
    install(m, Product(name="LF", files=SMALL_FILES, file_list=SMALL_LIST.encode("ascii"),
                       strings=strings.encode("ascii")))
    before = m.snapshot()
    shown = []
    run_through(session, question="Acme Setup", done="Acme Done", before_box=lambda box: shown.extend(box.texts()))
    session.check(shown == ["Acme Print is gone."], "completion box shows %r" % shown)
    after = m.snapshot()
    gone = {listing_name(p) for p in SMALL_FILES} | {listing_name(FILE_LIST_NAME),
                                                     listing_name(r"C:\windows\ZEVUnins.ini")}
    check_machine(session, before, after, files_gone=gone | with_parents(r"C:\Apps\Acme\Help", "C:"))
    note_outcome(session, before, after, list(SMALL_FILES) + [r"C:\Apps\Acme\Help", r"C:\Apps\Acme", r"C:\Apps"])


def case_utf8_bom(session):
    """A file list in UTF-8 with a byte-order mark, its first section right
    after the mark. Wine reads such a file as UTF-8 and drops the mark, so
    [FILES] is found and a name with an accent is read as written: everything
    listed goes."""
    m = session.machine
    accented = "C:\\Apps\\Acme\\caf\u00e9.txt"
    text = SMALL_LIST.replace("[UNINSTALL]\nPATH=C:\\Apps\\Acme\n\n", "")
    text = text.replace("[FILES]\n", "[FILES]\nFILE02=%s\n" % accented, 1) + "\n[UNINSTALL]\nPATH=C:\\Apps\\Acme\n"
    session.check(text.startswith("[FILES]"), "the list does not open with [FILES]")
    files = dict(SMALL_FILES)
    files[accented] = "a note\n"
    install(m, Product(name="BOM", files=files,
                       file_list=b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")))
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in files} | {listing_name(FILE_LIST_NAME)}
                  | with_parents(r"C:\Apps\Acme\Help", "C:"))
    note_outcome(session, before, after, list(files) + [r"C:\Apps\Acme\Help", r"C:\Apps\Acme", r"C:\Apps"])


def case_garbage_file_list(session):
    """A file list of random bytes (fixed seed): nothing is removed but the list
    itself; the other product beside it stays whole."""
    m = session.machine
    install(m, Product(name="garbage", file_list=random.Random(1602).randbytes(16384)))
    install(m, other_product())
    before = m.snapshot()
    run_through(session)
    after = m.snapshot()
    check_machine(session, before, after, files_gone={listing_name(FILE_LIST_NAME)})
    note_outcome(session, before, after, [FILE_LIST_NAME])


CASES = [
    ("full-product", case_full_product),
    ("progress-before-first-step", case_progress_before_first_step),
    ("no", case_no),
    ("no-ini-files", case_no_ini_files),
    ("percent-texts", case_percent_texts),
    ("entry-with-subkeys", case_entry_with_subkeys),
    ("file-in-use", case_file_in_use),
    ("read-only-file", case_read_only_file),
    ("directory-not-empty", case_directory_not_empty),
    ("printer-not-opened", case_printer_not_opened),
    ("long-file-list", case_long_file_list),
    ("empty-file-list", case_empty_file_list),
    ("lf-line-ends", case_lf_line_ends),
    ("utf8-bom", case_utf8_bom),
    ("garbage-file-list", case_garbage_file_list),
]


# ---------------------------------------------------------------- 64-bit Windows

WOW64_LIST = r"""[UnInstKey]
UnInstKey=AcmePrint

[FILES]
FILE00=C:\windows\system32\acmemon.dll
FILE01=C:\windows\system32\acmeui.dll
FILE02=C:\WINDOWS\System32\acmeres.dll
FILE03=C:\windows\system32\acmeheld.dll
"""


def case_64_bit_windows(session):
    """64-bit Windows, where the program sees a view of its own: files listed
    under system32 lie in the native system32 (a 64-bit monitor, one held open),
    in syswow64, and in both; an unlisted one lies beside them in each; the
    entry is in the registry view the program does not see by default (the
    64-bit one for the shipped 32-bit program). Run silently: every listed
    file goes from each directory where it lies, the held one at the restart
    under its native path, the entry goes, and the unlisted files stay."""
    m = session.machine
    native, wow = "windows/system32/", "windows/syswow64/"
    placed = {native + "acmemon.dll": "a 64-bit port monitor\n", wow + "acmeui.dll": "a 32-bit helper\n",
              native + "acmeres.dll": "resources, 64-bit\n", wow + "acmeres.dll": "resources, 32-bit\n",
              native + "acmeheld.dll": "held open\n",
              native + "acmemon.dll.bak": "not listed\n", wow + "acmemon.dll.bak": "not listed\n"}
    install(m, Product(name="64-bit Windows", entry="AcmePrint", entry_key=OTHER_UNINSTALL_KEY,
                       entry_values={"DisplayName": "Acme Print 4.2", "UninstallString": r"C:\windows\ZEVUnins.exe"},
                       file_list=WOW64_LIST))
    # Every 64-bit Windows has its SysWOW64; a prefix made without Wine's 32-bit half lacks it.
    os.makedirs(os.path.join(m.prefix, "drive_c", wow), exist_ok=True)
    for name, content in placed.items():
        with open(os.path.join(m.prefix, "drive_c", name), "w") as f:
            f.write(content)
    before = m.snapshot()
    holder = hold_file(m, r"C:\windows\system32\acmeheld.dll", seconds=600)
    log_path = os.path.join(m.prefix, "acme.log")
    status = ProgramRun(m, session.exe, '/S "/LOG=%s"' % windows_path_of(log_path)).wait(session.limit(120))
    end_holder(holder)
    with open(log_path, "rb") as f:
        session.note("%d-bit program, log:\n%s" % (PROGRAM_BITS, f.read().decode("cp1252")))
    session.check(status == 3010, "exit status %d, expected 3010" % status)
    after = m.snapshot()
    check_scheduled(session, before, after,
                    {native + "acmemon.dll", wow + "acmeui.dll", native + "acmeres.dll", wow + "acmeres.dll",
                     listing_name(FILE_LIST_NAME)},
                    [r"C:\windows\system32\acmeheld.dll"], keys_gone={OTHER_UNINSTALL_KEY + r"\AcmePrint"})
    session.note("PendingFileRenameOperations: %s" % pending_deletions(after))
    # What Windows' session manager does at the next start, Wine's wineboot does now.
    m.wine(["wineboot", "-r"], timeout=session.limit(120))
    session.check(not os.path.exists(os.path.join(m.prefix, "drive_c", native + "acmeheld.dll")),
                  "the held file is still in the native system32 after a restart")


CASES += [
    ("64-bit-windows", case_64_bit_windows),
]


# ---------------------------------------------------------------- what real Windows asks beyond Wine

def start_with_dll_overrides(session, overrides, arguments=""):
    """The uninstaller started with WINEDLLOVERRIDES extended by `overrides`;
    only its own process (and winprobe, which starts it) sees them."""
    m = session.machine
    plain_env = m.env
    m.env = lambda: dict(plain_env(), WINEDLLOVERRIDES=plain_env().get("WINEDLLOVERRIDES", "") + ";" + overrides)
    try:
        return ProgramRun(m, session.exe, arguments)
    finally:
        del m.env


def case_no_common_controls(session):
    """Without the common controls (Wine's comctl32 disabled) no progress dialog
    can be made: the run still happens, without a bar, and the completion box
    follows."""
    m = session.machine
    install(m, Product(name="no controls", files=SMALL_FILES, file_list=SMALL_LIST))
    install(m, other_product())
    before = m.snapshot()
    run = start_with_dll_overrides(session, "comctl32=")
    xid, _ = run.wait_for_box("Uninstaller", session.limit(60))
    m.press(xid, "Return")
    xid, _ = run.wait_for_box("Complete", session.limit(60))
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in SMALL_FILES} | {listing_name(FILE_LIST_NAME)}
                  | with_parents(r"C:\Apps\Acme\Help", r"C:\Apps"))
    note_outcome(session, before, after, list(SMALL_FILES) + [r"C:\Apps\Acme\Help", r"C:\Apps\Acme"])


def case_stopped_spooler(session):
    """The spooler not running (Wine's local print provider disabled: every call
    needing it answers 1722, and the service is stopped): the printers, ports and
    monitor go in the spooler's registry, the log says so, and the run ends 0."""
    m = session.machine
    install(m, acme_product())
    log_path = os.path.join(m.prefix, "stopped.log")
    status = start_with_dll_overrides(session, "localspl=", '/S "/LOG=%s"' % windows_path_of(log_path)).wait(
        session.limit(60))
    with open(log_path, "rb") as f:
        rows = [line.split("\t")[1:] for line in f.read().decode("cp1252").split("\r\n")]
    session.note("log:\n" + "\n".join("\t".join(row) for row in rows))
    session.check(status == 0, "exit status %d, expected 0" % status)
    for kind, name in (("moved", "Acme Draft"), ("removed", "ACME2:"), ("removed", "Acme Port")):
        session.check(any(row[0] == kind and row[2] == name and "spooler is not running" in row[3] for row in rows),
                      "the log lacks %s %s in the spooler's registry" % (kind, name))
    after = m.snapshot()
    session.check(MONITORS_KEY.lower() + r"\acme port" not in after.registry_ci(), "the monitor's key stayed")
    session.check(printer_ports(after).get("Acme Draft") == "LPT1:", "ports after: %r" % printer_ports(after))


def ping_progress_dialog(machine):
    """(answered, milliseconds, X window) for the progress dialog, None when none is up."""
    status, out = machine.probe(["ping"])
    if status != 0:
        return None
    words = dict(line.split(None, 1) for line in out.splitlines() if " " in line)
    answered = "answered" in words
    return answered, int(words.get("answered", words.get("unanswered", "0"))), words.get("xwindow", "0")


def case_dialog_keeps_answering(session):
    """The run holds the dialog's thread for seconds in each STMPATHS entry.
    Asked during such a pause as Windows asks before it calls a window "Not
    Responding" (WM_NULL, SendMessageTimeout with SMTO_ABORTIFHUNG, 1 s), the
    progress dialog answers; Esc and Alt+F4 sent to it change nothing, and the
    run goes on to its end."""
    m = session.machine
    outbox = r"C:\Spool\Acme\Outbox"
    install(m, Product(name="answering", files=SMALL_FILES, dirs=[outbox],
                       file_list=SMALL_LIST + "\n[STMPATHS]\nROOT=C:\\Spool\\\nPATH00=%s\n" % outbox))
    before = m.snapshot()
    run = ProgramRun(m, session.exe)
    xid, _ = run.wait_for_box("Uninstaller", session.limit(60))
    m.press(xid, "Return")
    # Outbox goes at the first of its ten attempts; ten seconds of pauses follow.
    session.wait_until(lambda: not os.path.exists(m.unix_path(outbox)) or not run.running(), session.limit(60),
                       "C:\\Spool\\Acme\\Outbox to go")
    first = ping_progress_dialog(m)
    if session.check(first is not None, "no progress dialog during the pause"):
        answered, took, xwindow = first
        session.check(answered, "the progress dialog did not answer within 1 s during a pause")
        session.note("answered: %s, after %d ms" % (answered, took))
        session.check(xwindow != "0", "the progress dialog's X window is unknown")
        if xwindow != "0":
            for keys in ("Escape", "alt+F4"):
                m.press(xwindow, keys)
            second = ping_progress_dialog(m)
            session.check(second is not None and second[0],
                          "after Esc and Alt+F4 the progress dialog is gone or does not answer: %s" % (second,))
            session.check(run.running(), "the program ended after Esc and Alt+F4")

    xid, _ = run.wait_for_box("Complete", session.limit(60))
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)
    after = m.snapshot()
    check_machine(session, before, after,
                  files_gone={listing_name(p) for p in list(SMALL_FILES) + [outbox, r"C:\Spool\Acme", FILE_LIST_NAME]}
                  | with_parents(r"C:\Apps\Acme\Help", "C:"))


CASES += [
    ("no-common-controls", case_no_common_controls),
    ("stopped-spooler", case_stopped_spooler),
    ("dialog-keeps-answering", case_dialog_keeps_answering),
]


# ---------------------------------------------------------------- for the people who deploy the product

EVENT_SOURCE_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\EventLog\Application\ZEVUnins"


def event_strings(trace_path):
    """The strings of the events the run wrote, as Wine's ReportEventW stub
    traces them (WINEDEBUG=+eventlog)."""
    with open(trace_path, "rb") as f:
        trace = f.read().decode("utf-8", errors="replace")
    return re.findall(r":eventlog:ReportEventW L\"(.*)\"", trace)


def case_silent_with_log(session):
    """/S /LOG=<file> over the whole product, started from inside the install
    directory as a shortcut's "Start in" would: no window ever appears, the
    machine changes exactly as in the interactive run, the exit status is 0,
    the log, in a directory with a blank in its name, names every item, and
    one Application event says how it went, from a source registered with
    Windows' own message file."""
    m = session.machine
    acme, other = acme_product(), other_product()
    install(m, acme)
    install(m, other)
    # Wine has no EventCreate.exe of its own: any program stands in for it.
    for system in ("system32", "syswow64"):
        if os.path.isdir(os.path.join(m.windows_dir(), system)):
            shutil.copyfile(session.exe, os.path.join(m.windows_dir(), system, "EventCreate.exe"))
    before = m.snapshot()
    log_dir = os.path.join(m.prefix, "deploy logs")
    os.makedirs(log_dir, exist_ok=True)
    log_path = os.path.join(log_dir, "acme.log")
    with open(log_path, "wb") as f:
        f.write(b"an earlier run\r\n")
    baseline = set(m.visible_windows())

    suite = r"C:\Apps\Acme\Print\Suite"
    run = ProgramRun(m, session.exe, '/s "/LOG=%s"' % windows_path_of(log_path), start_in=suite, trace="+eventlog")
    appeared = set()
    while run.running():
        appeared |= set(m.visible_windows()) - baseline
        time.sleep(0.2)
    status = run.wait(session.limit(30))
    session.check(not appeared, "windows appeared during a silent run: %s" % sorted(appeared))
    session.check(status == 0, "exit status %d, expected 0" % status)

    after = m.snapshot()
    check_full_product_gone(session, acme, before, after, keys_new={EVENT_SOURCE_KEY})
    source = after.registry_ci().get(key(EVENT_SOURCE_KEY), {})
    message_file = bytes.fromhex(source.get("EventMessageFile", "hex(2):").split(":")[1].replace(",", ""))
    session.check(message_file.decode("utf-16-le") == "%SystemRoot%\\System32\\EventCreate.exe\0"
                  and source.get("TypesSupported") == "dword:00000007", "the event source's values: %r" % source)
    strings = event_strings(run.trace_path)
    session.note("the event's strings:\n" + "\n".join(strings))
    session.check(strings[1:] == ["Acme Print 4.2", "0: done", windows_path_of(log_path).replace("\\", "\\\\")],
                  "the event's strings: %r" % strings)
    with open(log_path, "rb") as f:
        log = f.read().decode("cp1252")
    session.note("log:\n" + log)
    lines = log.split("\r\n")
    session.check(lines[0] == "an earlier run" and lines[-1] == "", "the log was not appended to: %r" % lines[:2])
    # Every line: the time to the millisecond, then what became of what, tab-separated.
    rows = [line.split("\t") for line in lines[1:-1]]
    session.check(all(len(row) == 5 and re.match(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}$", row[0]) for row in rows),
                  "lines out of the layout: %r" % [row for row in rows if len(row) != 5][:3])
    items = [tuple(row[1:4]) for row in rows if len(row) == 5]
    session.check(rows[0][1:] == ["started", "program", "ZEVUnins " + VERSION, "silent"], "log heading %r" % rows[0])
    session.check(rows[-1][1:] == ["exit", "status", "0", "done"], "closing line %r" % rows[-1])
    session.check(items[1][:2] == ("info", "windows") and "NT family" in items[1][2], "Windows line %r" % (items[1],))
    session.check(items[2] == ("info", "file list", r"C:\windows\ZEVFList.ini"), "file list line %r" % (items[2],))
    session.check(items[3] == ("info", "strings file", r"C:\windows\ZEVUnins.ini"), "strings line %r" % (items[3],))
    session.check(items[4] == ("info", "log file", windows_path_of(log_path)), "log file line %r" % (items[4],))
    suite = r"C:\Apps\Acme\Print\Suite"
    # The entry is looked for in both registry views; the log names the one it was in.
    session.check(any(row[1:4] == ["removed", "programs entry", "AcmePrint"] and row[4].endswith("-bit view")
                      for row in rows), "the log does not say the entry was removed")
    # The ports go through the spooler, which has the monitor's DLL delete each
    # one's key, before the monitor itself.
    for expected in [("removed", "port", "ACME1:"), ("removed", "port", "ACME2:"),
                     ("removed", "monitor", "Acme Port")] + \
            [("removed", "file", p) for p in (suite + r"\acprint.exe", suite + r"\Help\acprint.chm",
                                              suite + r"\Drivers\x64\acdrv.dll", r"C:\windows\system32\acmemon.dll",
                                              r"C:\windows\ZEVFList.ini", r"C:\windows\ZEVUnins.ini")] + \
            [("removed", "directory", p) for p in (suite + r"\Drivers\x64", suite + r"\Drivers", suite + r"\Help",
                                                   r"C:\spool\Outbox", suite + r"\Queue\Jobs", suite + r"\Queue",
                                                   suite, r"C:\Apps\Acme\Print", r"C:\Apps\Acme")] + \
            [("kept", "directory", r"C:\Apps")]:
        session.check(expected in items, "the log lacks %r" % (expected,))
    moves = {row[3]: row[4] for row in rows if row[1:3] == ["moved", "printer"]}
    for printer, port in (("Acme Office", "ACME1:"), ("Acme Label", "ACME1:"), ("Acme Draft", "ACME2:")):
        session.check(moves.get(printer) == "from %s to LPT1:" % port, "printer %s: %r" % (printer, moves.get(printer)))
    # Nothing failed, and each directory is told once, with what finally became of it.
    failed = [item for item in items if item[0] == "failed"]
    session.check(not failed, "failed: %r" % failed)
    dirs = [item[2].lower() for item in items if item[1] == "directory"]
    session.check(len(dirs) == len(set(dirs)), "directories told more than once: %r" % dirs)
    session.check(items[-1] == ("exit", "status", "0"), "closing line %r" % (rows[-1],))


def case_usage_and_unknown_switch(session):
    """/? shows the usage box and touches nothing; an unknown switch shows the
    same box naming it first and ends with 87; with /S no box appears at all."""
    m = session.machine
    install(m, acme_product())
    before = m.snapshot()
    for arguments, named, expected in (("/?", None, 0), ("-Quiet", "-Quiet", 87)):
        run = ProgramRun(m, session.exe, arguments)
        xid, box = run.wait_for_box("Acme Print Setup", session.limit(60))
        text = "\n".join(box.texts())
        session.screenshot("usage" if named is None else "unknown-switch")
        session.check("/LOG=file" in text and "3010" in text and "87" in text, "usage box shows %r" % text)
        if named is None:
            session.check("Unknown switch" not in text, "usage box names a switch: %r" % text)
        else:
            session.check(text.startswith("Unknown switch: %s\n" % named), "box does not name %s: %r" % (named, text))
        session.check(box.buttons() == ["OK"], "usage box buttons %r" % box.buttons())
        m.press(xid, "Return")
        status = run.wait(session.limit(30))
        session.check(status == expected, "%s: exit status %d, expected %d" % (arguments, status, expected))
    baseline = set(m.visible_windows())
    run = ProgramRun(m, session.exe, "/S /bogus")
    appeared = set()
    while run.running():
        appeared |= set(m.visible_windows()) - baseline
        time.sleep(0.2)
    session.check(not appeared, "windows appeared with /S and a bad switch: %s" % sorted(appeared))
    status = run.wait(session.limit(30))
    session.check(status == 87, "/S /bogus: exit status %d, expected 87" % status)
    check_untouched(session, before, m.snapshot())


def case_one_copy_log_and_what_if(session):
    """A second copy started while the first waits at its question exits 1618
    and touches nothing, with a line in its own log; once the first has been
    ended abnormally it blocks nobody; a log that cannot be written ends the
    run with 1622 before anything is touched; /WHATIF writes what a run would
    do and touches nothing either."""
    m = session.machine
    install(m, acme_product())
    before = m.snapshot()
    first = ProgramRun(m, session.exe)
    first.wait_for_box("Acme Print Setup", session.limit(60))

    log_path = os.path.join(m.prefix, "second.log")
    status = ProgramRun(m, session.exe, '/S "/LOG=%s"' % windows_path_of(log_path)).wait(session.limit(30))
    session.check(status == 1618, "second copy: exit status %d, expected 1618" % status)
    lines = read_log(log_path)
    session.check(lines[-1][:3] == ("exit", "status", "1618") and lines[-1][3].startswith("another copy"),
                  "the second copy's log ends %r" % (lines[-1],))

    m.wine(["taskkill", "/F", "/IM", "ZEVUnins.exe"], check=False)
    first.wait(session.limit(30))
    status = ProgramRun(m, session.exe, r'/S "/LOG=C:\no such dir\run.log"').wait(session.limit(30))
    session.check(status == 1622, "a log that cannot be written: exit status %d, expected 1622" % status)

    plan_path = os.path.join(m.prefix, "plan.log")
    status = ProgramRun(m, session.exe, '/S /WHATIF "/LOG=%s"' % windows_path_of(plan_path)).wait(session.limit(30))
    session.check(status == 0, "/WHATIF: exit status %d, expected 0" % status)
    told = [line[:3] for line in read_log(plan_path)]
    session.note("the plan:\n" + "\n".join("\t".join(line) for line in told))
    suite = r"C:\Apps\Acme\Print\Suite"
    for expected in [("would remove", "programs entry", "AcmePrint"), ("would move", "printer", "Acme Office"),
                     ("would remove", "port", "ACME1:"), ("would remove", "monitor", "Acme Port"),
                     ("would remove", "file", suite + r"\acprint.exe"), ("would remove", "directory", suite),
                     ("would remove", "directory", r"C:\Apps"), ("exit", "status", "0")]:
        session.check(expected in told, "the plan lacks %r" % (expected,))

    # Where no one can see the question (a service's window station), nothing
    # waits for an answer: the run ends at once with 1621, its log says why.
    unseen_path = os.path.join(m.prefix, "unseen.log")
    run = ProgramRun(m, session.exe, '"/LOG=%s"' % windows_path_of(unseen_path), unseen=True, trace="+eventlog")
    status = run.wait(session.limit(30))
    session.check(status == 1621, "no one to answer: exit status %d, expected 1621" % status)
    with open(unseen_path, "rb") as f:
        session.note("the log where no one can see:\n" + f.read().decode("cp1252"))
    lines = read_log(unseen_path)
    session.check(lines[-1][:3] == ("exit", "status", "1621") and "/S" in lines[-1][3],
                  "the unseen run's log ends %r" % (lines[-1],))
    session.check(not event_strings(run.trace_path), "an event for a run that touched nothing")

    check_untouched(session, before, m.snapshot())


CASES += [
    ("silent-with-log", case_silent_with_log),
    ("usage-and-unknown-switch", case_usage_and_unknown_switch),
    ("one-copy-log-and-what-if", case_one_copy_log_and_what_if),
]


# ---------------------------------------------------------------- Japanese Windows

JAPANESE = {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}
EXAMPLES_JA = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                           "examples", "ja")


def japanese_product():
    """The Japanese example product (examples/ja, its files in code page 932):
    names whose second byte is 0x5C (ソ 表 能 十) or 0x7C (ポ), and an entry
    named 印刷機能, which ends in 94 5C."""
    def example(name):
        with open(os.path.join(EXAMPLES_JA, name), "rb") as f:
            return f.read()
    home = "C:\\Program Files\\ヴァントリン\\印刷機能"
    return Product(
        name="ヴァントリン印刷機能",
        files={home + "\\vprint.exe": "vprint\n", home + "\\説明書.hlp": "help\n",
               home + "\\設定表\\ソフト.ini": "[s]\n", home + "\\設定表\\十.dat": "data\n"},
        dirs=["C:\\スプール\\ヴァントリン\\ジョブ一覧表"],
        entry="ヴァントリン印刷機能",
        entry_values={"DisplayName": "ヴァントリン印刷機能", "UninstallString": r"C:\windows\ZEVUnins.exe",
                      "QuietUninstallString": r'"C:\windows\ZEVUnins.exe" /S'},
        monitor="ヴァントリン ポート", monitor_driver="vpxmon.dll", ports=["ポート表1:"],
        monitor_dll=r"C:\windows\system32\vpxmon.dll", monitor_ui_dll=r"C:\windows\system32\vpmonui.dll",
        printers=[Printer("Vantorin Office", "ポート表1:")],
        file_list=example("ZEVFList.ini"), strings=example("ZEVUnins.ini"))


def unrelated_japanese_product():
    """Beside it, names a byte-wise reading would confuse with the product's:
    a directory under ROOT, a tree whose names end in 0x5C, an entry that
    starts with the product's entry name, and a printer on another port."""
    return Product(
        name="other",
        files={"C:\\ソフト\\表示\\other.exe": "other\n", "C:\\スプール\\他社\\job.dat": "job\n",
               "C:\\Program Files\\ヴァントリン表\\keep.txt": "keep\n"},
        entry="ヴァントリン印刷機能ビューア",
        entry_values={"DisplayName": "ビューア", "UninstallString": r"C:\ソフト\表示\other.exe"},
        printers=[Printer("Other Office", "LPT2:")])


@environment(**JAPANESE)
def case_japanese_product(session):
    """Japanese Windows (code page 932): the boxes show the strings file's
    Japanese texts as written, everything listed goes, ROOT and everything
    unrelated stay."""
    m = session.machine
    product, other = japanese_product(), unrelated_japanese_product()
    install(m, product)
    install(m, other)
    before = m.snapshot()

    run = ProgramRun(m, session.exe)
    caption = "ヴァントリン印刷機能 アンインストーラ"
    xid, box = run.wait_for_box(caption, session.limit(60))
    session.check(box.caption == caption, "question caption %r" % box.caption)
    session.check(box.texts() == ["ヴァントリン印刷機能をアンインストールします。\nよろしいですか？"],
                  "question text %r" % box.texts())
    session.check(len(box.buttons()) == 2, "question buttons %r" % box.buttons())
    session.screenshot("confirm", box)
    m.press(xid, "Return")  # the default button, Yes, whatever its label
    xid, box = run.wait_for_box("完了", session.limit(90))
    session.check(box.texts() == ["ヴァントリン印刷機能を削除しました。"], "completion text %r" % box.texts())
    session.screenshot("complete", box)
    m.press(xid, "Return")
    status = run.wait(session.limit(30))
    session.check(status == 0, "exit status %d, expected 0" % status)

    # The monitor's record: its port went through its Xcv interface, and its UI DLL never loaded.
    with open(os.path.join(m.windows_dir(), "vpmon.log"), "rb") as f:
        record = f.read().decode("cp932").splitlines()
    os.unlink(os.path.join(m.windows_dir(), "vpmon.log"))  # the monitor's, not the product's
    session.check(record == ["port deleted through XcvDataPort: ポート表1:"], "the monitor's record: %r" % record)
    after = m.snapshot()
    home = "C:\\Program Files\\ヴァントリン\\印刷機能"
    gone = {listing_name(p, spooler=True) for p in (product.monitor_dll, product.monitor_ui_dll)}
    gone |= {listing_name(p) for p in list(product.files) + [
        home + "\\設定表", home, "C:\\Program Files\\ヴァントリン",
        "C:\\スプール\\ヴァントリン\\ジョブ一覧表", "C:\\スプール\\ヴァントリン",
        r"C:\windows\ZEVFList.ini", r"C:\windows\ZEVUnins.ini"]}
    monitor = MONITORS_KEY + "\\ヴァントリン ポート"
    check_machine(session, before, after, files_gone=gone,
                  keys_gone={UNINSTALL_KEY + "\\ヴァントリン印刷機能", monitor, monitor + r"\Ports",
                             monitor + "\\Ports\\ポート表1:"},
                  values_changed={(PRINTERS_KEY + r"\Vantorin Office", "Port"): ('"ポート表1:"', '"LPT1:"')})
    session.check(os.path.isdir(m.unix_path("C:\\スプール")), "ROOT C:\\スプール should stay")


CASES += [
    ("japanese-product", case_japanese_product),
]


# ---------------------------------------------------------------- what the run reports

HELD_LIST = r"""[UNINSTALL]
PATH=C:\Apps\Acme

[FILES]
FILE00=C:\Apps\Acme\acprint.exe
FILE01=C:\Apps\Acme\acmemon.dll
FILE02=\\fileserver\deploy\shared\acme.dll
"""


def case_held_files_at_restart(session):
    """A loaded DLL (DeleteFile refuses it with 5, MoveFile renames it) is moved
    aside and its new name goes at the restart, so a next version installed
    before the restart keeps its file through `wineboot -r`. A held file on a
    share (Wine's dosdevices/unc) cannot go at a restart, which Windows carries
    out before the network is up: it fails, and the run ends with 1603."""
    m = session.machine
    held = r"C:\Apps\Acme\acmemon.dll"
    with open(PROBE_EXE, "rb") as f:
        module = f.read()
    install(m, Product(name="held", files={r"C:\Apps\Acme\acprint.exe": "acprint\n", held: module},
                       file_list=HELD_LIST))
    share = os.path.join(m.prefix, "netshare")
    os.makedirs(os.path.join(share, "shared"), exist_ok=True)
    with open(os.path.join(share, "shared", "acme.dll"), "w") as f:
        f.write("on the share\n")
    os.makedirs(os.path.join(m.prefix, "dosdevices", "unc", "fileserver"), exist_ok=True)
    os.symlink(share, os.path.join(m.prefix, "dosdevices", "unc", "fileserver", "deploy"))
    loader = hold_file(m, held, seconds=600, how="load")
    holder = hold_file(m, r"\\fileserver\deploy\shared\acme.dll", seconds=600)

    run = ProgramRun(m, session.exe, r"/S /LOG=C:\held.log")
    status = run.wait(session.limit(60))
    session.check(status == 1603, "exit status %d, expected 1603" % status)
    aside = held + ".zevdel"
    session.check(not os.path.exists(m.unix_path(held)), "the loaded DLL's name is not free")
    session.check(os.path.exists(m.unix_path(aside)), "the loaded DLL was not moved aside")
    pending = pending_deletions_now(m)
    session.check(pending == ["\\??\\" + aside, r"\??\C:\Apps\Acme", r"\??\C:\Apps"],
                  "pending deletions %s" % pending)
    lines = read_log(m.unix_path(r"C:\held.log"))
    session.note("log:\n" + "\n".join("\t".join(line) for line in lines))
    for expected in (("at restart", "file", held, "in use, error 5; moved aside to %s, which goes at the next restart"
                      % aside),
                     ("failed", "file", r"\\fileserver\deploy\shared\acme.dll", "in use, on a network share, error 32")):
        session.check(expected in lines, "the log lacks %r" % (expected,))
    session.check(lines[-1][:3] == ("exit", "status", "1603"), "closing line %r" % (lines[-1],))

    # The next version goes in before the restart; the restart takes only the old one.
    with open(m.unix_path(held), "w") as f:
        f.write("next version\n")
    end_holder(loader)
    end_holder(holder)
    m.wine(["wineboot", "-r"], timeout=120)
    session.check(not os.path.exists(m.unix_path(aside)), "the moved-aside DLL survived the restart")
    with open(m.unix_path(held)) as f:
        session.check(f.read() == "next version\n", "the next version's file did not survive the restart")
    session.check(os.path.exists(os.path.join(share, "shared", "acme.dll")), "the share's file went")


def case_command_line_and_compatibility_mode(session):
    """Started unquoted from a directory whose name has a byte of 0x80 or more
    (C:\\Données), as batch files and deployment tools start it, the program
    reads /S and /LOG= and removes the product; quoted, with the switch right
    after the closing quote, it reads /S too. Under a Windows 98 compatibility
    mode (GetVersion says 95 family, the machine is NT) a held file goes
    through the session manager's list, not WININIT.INI, which NT never reads."""
    m = session.machine
    home = m.unix_path(r"C:\Données")
    os.makedirs(home, exist_ok=True)
    shutil.copyfile(session.exe, os.path.join(home, "ZEVUnins.exe"))
    program = r"C:\Données\ZEVUnins.exe"
    baseline = set(m.visible_windows())
    for number, line in enumerate((program + r" /S /LOG=C:\names.log", '"%s"/S' % program)):
        install(m, Product(name="acme%d" % number, files={r"C:\Apps\Acme\acprint.exe": "acprint\n"},
                           file_list=LOCKED_LIST))
        status = ProgramRun(m, None, command_line=line).wait(session.limit(60))
        session.check(status == 0, "%s: exit status %d, expected 0" % (line, status))
        session.check(not os.path.exists(m.unix_path(r"C:\Apps")), "%s: the product stayed" % line)
    session.check(set(m.visible_windows()) == baseline, "a window appeared: %s" % (set(m.visible_windows()) - baseline))
    session.check(read_log(m.unix_path(r"C:\names.log"))[-1][:3] == ("exit", "status", "0"),
                  "the log was not written")

    m.import_reg('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\ZEVUnins.exe]\n"Version"="win98"\n')
    held = r"C:\Apps\Acme\acmemon.dll"
    install(m, Product(name="compat", files={held: "monitor\n"}, file_list="[FILES]\nFILE00=%s\n" % held))
    holder = hold_file(m, held, seconds=600)
    status = ProgramRun(m, None, command_line=program + r" /S /LOG=C:\compat.log").wait(session.limit(60))
    end_holder(holder)
    session.check(status == 3010, "compatibility mode: exit status %d, expected 3010" % status)
    lines = read_log(m.unix_path(r"C:\compat.log"))
    session.check("(95 family)" in lines[1][2], "Windows version line %r" % (lines[1],))
    session.check("\\??\\" + held in pending_deletions_now(m), "the held file is not in the session manager's list")
    session.check(not os.path.exists(os.path.join(m.windows_dir(), "WININIT.INI")), "WININIT.INI was written")


CASES += [
    ("held-files-at-restart", case_held_files_at_restart),
    ("command-line-and-compatibility-mode", case_command_line_and_compatibility_mode),
]
