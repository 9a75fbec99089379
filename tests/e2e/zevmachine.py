"""A throwaway Windows machine under Wine for the end-to-end cases and the demo.

Prepares and copies Wine prefixes, runs a virtual screen and a prefix's own
wineserver, installs a product (files, directories, the two INI files, its
programs-list entry, a print monitor's ports and printers), reads the machine
back (every file under drive_c, a whole registry export) and drives the
uninstaller's windows (xdotool for X windows and keys, winprobe.exe for the
controls and texts Windows holds, and for the program's whole exit status);
winprobe also holds a file open against deletion and shows the printers as
the spooler gives them.

Every process started here is a child whose id is kept; stop() ends it by that
id, and the owners call stop() in a finally block.
"""

import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE = os.environ.get("WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver")
PROBE = os.path.join(ROOT, "build", "win64", "winprobe.exe")

# The program's bitness (ZEV_PROGRAM_BITS, 64 unless told). On 64-bit Windows a
# 32-bit program sees the 32-bit views: C:\windows\system32 is the machine's
# C:\windows\syswow64, and HKLM\Software its Software\Wow6432Node. A product
# is laid out as on 64-bit Windows: a file listed under system32 lies in the
# native system32 (drive_c/windows/system32), where a 64-bit installer, or a
# 32-bit one through Sysnative, puts it; its programs-list entry is in the
# program's own view unless a case says otherwise. Paths and keys are named as
# the program sees them and translated here.
PROGRAM_BITS = int(os.environ.get("ZEV_PROGRAM_BITS", "64"))
UNINSTALL_KEY_64 = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall"
UNINSTALL_KEY_32 = r"HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
UNINSTALL_KEY, OTHER_UNINSTALL_KEY = ((UNINSTALL_KEY_32, UNINSTALL_KEY_64) if PROGRAM_BITS == 32
                                      else (UNINSTALL_KEY_64, UNINSTALL_KEY_32))
# The example product's port monitor, built for the program's bitness: under Wine
# the spooler runs inside the uninstaller and loads the monitor there, from the
# uninstaller's own system directory (syswow64 for the 32-bit program). On 64-bit
# Windows the spooler is 64-bit and the monitor a 64-bit DLL in the native one.
MONITOR_DLL = os.path.join(ROOT, "build", "win%d" % PROGRAM_BITS, "vpmon.dll")
PRINT_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print"
MONITORS_KEY = PRINT_KEY + r"\Monitors"
PRINTERS_KEY = PRINT_KEY + r"\Printers"

HASHED_SIZE = 1 << 20

# A fresh prefix asks for Mono and Gecko, and writes menu entries into the real
# home directory; nothing here needs either.
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=,winemenubuilder.exe=d"}

# Set in the prepared prefix. There is no window manager on the virtual screen:
# with its windows unmanaged, Wine draws their frames and captions itself, as
# Windows does, and hides a window at once instead of waiting two seconds for a
# manager's answer (wait_for_withdrawn_state). Without UseTakeFocus Wine follows
# the X keyboard focus itself (WineMachine.bring_forward).
PREPARED_SETTINGS = {r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": {"Managed": "N", "UseTakeFocus": "N"}}
# Wine's own fonts (Debian's fonts-wine: Marlett draws the caption buttons, MS
# Sans Serif and Tahoma the texts) are looked for in C:\windows\Fonts, which
# wineboot leaves empty here; the prepared prefix gets a copy.
WINE_FONTS = os.path.normpath(os.path.join(os.path.dirname(WINE), "..", "..", "share", "wine", "fonts"))
# Written last into a prepared prefix; a prefix without this stamp (half made, or
# made to older settings) is made again.
PREPARED_STAMP = ".zev-prepared"
PREPARED_VERSION = "unmanaged windows, focus followed, Wine's fonts"

# Files of the prepared prefix under drive_c at least this large (Wine's own
# DLLs and programs: over 90% of its 700 MB) are hard-linked into each copy
# instead of copied. Wine never writes into them, and a case only deletes files
# or writes files of its own (install() replaces a file instead of writing into it).
LINKED_SIZE = 64 * 1024


class MachineError(Exception):
    pass


def _say(log, text):
    if log:
        log(text)


def _end(proc, grace=5.0):
    """Ends one child by its id: TERM, then KILL if it does not go."""
    if proc is None or proc.poll() is not None:
        return
    try:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)
    except ProcessLookupError:
        pass


# ---------------------------------------------------------------- virtual screen

# The desktop colour of Windows' classic scheme, painted on the screen's root so
# that a screenshot's margin shows where a window ends.
DESKTOP_COLOUR = "#3a6ea5"
SHOT_MARGIN = 16


@dataclass
class Shot:
    """A screenshot: its file, and where its top left corner is on the screen."""
    path: str
    origin: tuple = (0, 0)


class VirtualScreen:
    """An Xvfb server on a display number it picks itself (-displayfd)."""

    def __init__(self, width=1024, height=768):
        self.size = (width, height)
        self.proc = None
        self.display = None

    def start(self, timeout=20):
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % self.size,
                 "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        deadline = time.monotonic() + timeout
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            os.set_blocking(pipe.fileno(), False)
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self.proc.poll() is not None:
                    self.stop()
                    raise MachineError("Xvfb did not start")
                chunk = pipe.read()
                if chunk:
                    number += chunk
                else:
                    time.sleep(0.05)
        self.display = ":" + number.decode().strip()
        # ImageMagick's display sets the root's background and ends; it gives
        # status 1 even then, so its status says nothing.
        subprocess.run(["display", "-display", self.display, "-window", "root", "-size", "%dx%d" % self.size,
                        "xc:" + DESKTOP_COLOUR], timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def stop(self):
        _end(self.proc)
        self.proc = None

    def screenshot(self, path, window=None, margin=SHOT_MARGIN):
        """The screen into `path`, cropped to `window` (a WindowView or an
        (x, y, width, height) in screen coordinates) with `margin` around it, or
        to all that differs from the desktop when no window is named."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        whole = path + ".screen.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", whole],
                       check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            return crop(whole, path, getattr(window, "rect", window) or shown_area(whole), margin, self.size)
        finally:
            if os.path.exists(whole):
                os.unlink(whole)


def crop(whole, path, rect, margin, size):
    """The screenshot `whole` of a screen of `size` into `path`, cropped to `rect`
    (x, y, width, height) with `margin` around it where the screen has room;
    uncropped when `rect` is None."""
    if not rect:
        shutil.copyfile(whole, path)
        return Shot(path)
    x, y, w, h = rect
    left, top = max(0, x - margin), max(0, y - margin)
    right, bottom = min(size[0], x + w + margin), min(size[1], y + h + margin)
    subprocess.run(["convert", whole, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                    "+repage", path], check=True, timeout=30)
    return Shot(path, (left, top))


def shown_area(picture):
    """(x, y, width, height) of all in a screenshot that is not the desktop, or
    None for a bare desktop."""
    result = subprocess.run(["convert", picture, "-format", "%@", "info:"], check=True, timeout=30,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    m = re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", result.stdout.decode())
    if not m:
        return None
    w, h, x, y = (int(v) for v in m.groups())
    return None if (w, h) == (1, 1) or w == 0 else (x, y, w, h)


def read_pixels(shot, x, y, width, height):
    """Rows of (r, g, b) of one rectangle of the screen, in screen coordinates,
    from a screenshot that holds it, through ImageMagick."""
    x, y = x - shot.origin[0], y - shot.origin[1]
    result = subprocess.run(["convert", shot.path, "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                             "-depth", "8", "txt:-"], check=True, timeout=60, stdout=subprocess.PIPE)
    rows = [[None] * width for _ in range(height)]
    for line in result.stdout.decode().splitlines():
        m = re.match(r"(\d+),(\d+): \((\d+),(\d+),(\d+)", line)
        if m:
            px, py, r, g, b = (int(v) for v in m.groups())
            if px < width and py < height:
                rows[py][px] = (r, g, b)
    return rows


# ---------------------------------------------------------------- Wine prefixes

def _server_sockets(prefix):
    """Where a prefix's wineserver may listen: <tmp>/<tag>/server-<dev>-<inode>/socket,
    the tag written by the server into the prefix's `wineserver` file."""
    try:
        with open(os.path.join(prefix, "wineserver")) as f:
            tag = f.read().strip()
    except OSError:
        return []
    st = os.stat(prefix)
    where = os.path.join(tag, "server-%x-%x" % (st.st_dev, st.st_ino), "socket")
    return [os.path.join(tmp, where) for tmp in {"/tmp", tempfile.gettempdir()}]


class WineMachine:
    """One Wine prefix and the wineserver this object started for it. `environment`
    is set for every process run in it, over the harness's own (a locale, say)."""

    def __init__(self, prefix, display=None, environment=None):
        self.prefix = os.path.abspath(prefix)
        self.display = display
        self.environment = dict(environment or {})
        self.server = None
        self.children = []

    # -- environment and processes

    def env(self):
        env = dict(os.environ)
        env.update(WINE_ENV)
        env.update(self.environment)
        env["WINEPREFIX"] = self.prefix
        if self.display:
            env["DISPLAY"] = self.display
        else:
            env.pop("DISPLAY", None)
        return env

    def start(self, timeout=20):
        # Started here, in the foreground, so that its id is ours; a wine command
        # run before its socket exists would start a server of its own.
        self.server = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env(),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while True:
            if any(os.path.exists(sock) for sock in _server_sockets(self.prefix)):
                return self
            if self.server.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise MachineError("wineserver did not start for " + self.prefix)
            time.sleep(0.05)

    def keep_desktop(self, timeout=120):
        """Starts Wine's desktop and keeps it up while the machine runs. Each
        desktop Wine starts sets the display's devices up again in the registry
        (class keys, a display adapter under a new GUID); one started between
        two snapshots of a case would show as the program's doing."""
        proc = self._probe_child(["desktop"], "ready", timeout, "start the desktop")
        self.children.append(proc)
        return self

    def _probe_child(self, args, ready, timeout, what):
        """winprobe with `args` as a child, once it has printed `ready`."""
        fd, output = tempfile.mkstemp(prefix="probe.", dir=self.prefix)
        try:
            proc = subprocess.Popen([WINE, PROBE] + list(args), env=self.env(), cwd=self.prefix, stdout=fd,
                                    stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        finally:
            os.close(fd)
        deadline = time.monotonic() + timeout
        while True:
            with open(output, "rb") as f:
                if f.read().startswith(ready.encode()):
                    os.unlink(output)
                    return proc
            if proc.poll() is not None or time.monotonic() > deadline:
                _end(proc)
                raise MachineError("winprobe could not %s (status %s)" % (what, proc.returncode))
            time.sleep(0.05)

    def stop(self):
        for child in self.children:
            _end(child)
        self.children = []
        if self.server is not None and self.server.poll() is None:
            # Ask our own server (this prefix only) to end its clients and save the
            # registry, then end it by its id.
            subprocess.run([WINESERVER, "-k"], env=self.env(), timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                self.server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        _end(self.server)
        self.server = None
        # A client the server did not take down (services wine started for this
        # prefix) outlives its server; each is found by its id and ended.
        for pid in prefix_processes(self.prefix):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def wine(self, args, timeout=60, check=True):
        """Runs a Windows program to its end; returns (status, stdout bytes).
        Output goes through a file, not a pipe: wine leaves service processes
        behind that would hold a pipe open long after the program ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.Popen([WINE] + list(args), env=self.env(), cwd=self.prefix,
                                    stdout=out, stderr=err, stdin=subprocess.DEVNULL)
            try:
                status = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                _end(proc)
                raise MachineError("wine %s: no end after %ds" % (" ".join(args), timeout))
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read(), err.read()
        if check and status != 0:
            raise MachineError("wine %s: status %d\n%s" % (" ".join(args), status,
                                                           stderr.decode(errors="replace")))
        return status, stdout

    # -- paths

    def unix_path(self, windows_path):
        drive, _, rest = windows_path.partition(":")
        if drive.upper() != "C" or not rest.startswith("\\"):
            raise MachineError("not a path on drive C: " + windows_path)
        return os.path.join(self.prefix, "drive_c", *machine_parts(windows_path))

    def windows_dir(self):
        return os.path.join(self.prefix, "drive_c", "windows")

    # -- registry

    def ansi_code_page(self):
        """The Python codec of the machine's ANSI code page, which Wine takes from the locale."""
        return "cp932" if self.environment.get("LANG", "").startswith("ja_JP") else "cp1252"

    def import_reg(self, text):
        # A REGEDIT4 file is read in the ANSI code page; names beyond Latin-1 go
        # in regedit's Unicode form, which every locale reads alike.
        try:
            text.encode("latin-1")
            encoding = "latin-1"
        except UnicodeEncodeError:
            text = text.replace("REGEDIT4", "Windows Registry Editor Version 5.00", 1)
            encoding = "utf-16"
        with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=self.prefix, delete=False,
                                         encoding=encoding, newline="\r\n") as f:
            f.write(text)
            name = f.name
        try:
            self.wine(["regedit", "/S", name])
        finally:
            os.unlink(name)

    def export_registry(self, key=None, attempts=3):
        """The whole registry (or one subtree) as {key: {value name: exported data}};
        key paths as regedit writes them. regedit gives up on a key that Wine
        deletes while it reads it (the display's devices, set up again by each
        desktop Wine starts): tried again."""
        fd, name = tempfile.mkstemp(suffix=".reg", dir=self.prefix)
        os.close(fd)
        try:
            for attempt in range(attempts):
                status, _ = self.wine(["regedit", "/E", name] + ([key] if key else []), timeout=120,
                                      check=attempt == attempts - 1)
                if status == 0:
                    break
            with open(name, "rb") as f:
                data = f.read()
        finally:
            os.unlink(name)
        return parse_reg_export(data.decode("utf-16"))

    # -- files

    def listing(self):
        """Every entry under drive_c: 'dir', 'link -> target' or 'file <size> <sha256>'
        (Wine's own large DLLs by size and modification time instead)."""
        top = os.path.join(self.prefix, "drive_c")
        entries = {}
        for dirpath, dirnames, filenames in os.walk(top):
            rel_dir = os.path.relpath(dirpath, top)
            for name in dirnames + filenames:
                path = os.path.join(dirpath, name)
                rel = name if rel_dir == "." else os.path.join(rel_dir, name)
                if os.path.islink(path):
                    entries[rel] = "link -> " + os.readlink(path)
                elif os.path.isdir(path):
                    entries[rel] = "dir"
                else:
                    st = os.lstat(path)
                    if st.st_size <= HASHED_SIZE:
                        with open(path, "rb") as f:
                            digest = hashlib.sha256(f.read()).hexdigest()
                    else:
                        digest = "mtime %d" % st.st_mtime_ns
                    entries[rel] = "file %d %s" % (st.st_size, digest)
        return entries

    def snapshot(self):
        return Snapshot(self.listing(), self.export_registry())

    # -- the screen as seen from Windows and from X

    def find_x_window(self, caption):
        """X ids of windows named exactly `caption` (xdotool matches a regex, ignoring case)."""
        pattern = "^" + re.sub(r"([][.^$*+?(){}|\\])", r"\\\1", caption) + "$"
        result = subprocess.run(["xdotool", "search", "--name", pattern], env=self.env(), timeout=20,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ids = result.stdout.decode().split()
        return [w for w in ids if self.x_window_name(w) == caption]

    def x_window_name(self, window):
        result = subprocess.run(["xdotool", "getwindowname", window], env=self.env(), timeout=20,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return result.stdout.decode("utf-8", errors="replace").rstrip("\n")

    def bring_forward(self, window):
        """Gives `window` the keyboard focus, as a click elsewhere and back on it
        would. Unmanaged, a program's first window becomes the foreground only
        after Wine has activated it, and stays painted inactive; the focus moved
        to the desktop and back makes Wine activate it again."""
        xdotool = lambda *args: subprocess.run(["xdotool"] + list(args), env=self.env(), timeout=20,
                                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
        root = xdotool("search", "--maxdepth", "0", "--name", "").stdout.split()[0]
        xdotool("windowfocus", "--sync", root)
        xdotool("windowfocus", "--sync", window)

    def press(self, window, key):
        """Presses and releases `key` on the keyboard with `window` holding the
        focus, as a person would. The keys go to the focus through the server
        (XTEST), not to `window` itself: a box that closes on the press is gone
        by the release, and a release sent to it would fail and leave the key
        down, repeating into the next box."""
        xdotool = lambda *args: subprocess.run(["xdotool"] + list(args), env=self.env(), timeout=20,
                                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
        # Unmanaged windows get the focus from Wine itself when they show.
        if xdotool("getwindowfocus").stdout.decode().strip() != window:
            xdotool("windowfocus", "--sync", window)
        xdotool("key", key)

    def probe(self, args, timeout=30):
        status, out = self.wine([PROBE] + list(args), timeout=timeout, check=False)
        if status not in (0, 3):
            raise MachineError("winprobe %s: status %d" % (" ".join(args), status))
        return status, out.decode(self.ansi_code_page(), errors="replace")

    def read_box(self, caption):
        """The dialog captioned `caption` as Windows holds it, or None."""
        status, out = self.probe(["box", caption])
        return parse_window_dump(out) if status == 0 else None

    def read_progress_dialog(self):
        status, out = self.probe(["progress"])
        return parse_window_dump(out) if status == 0 else None

    def printers(self):
        """[(name, port, opened, error)] for each printer the spooler lists, with
        whether OpenPrinter with all access took it (and its error if not)."""
        _, out = self.probe(["printers"])
        found = []
        for line in out.splitlines():
            if line.startswith("printer|"):
                _, name, port, state, error = line.split("|", 4)
                found.append((unescape(name), unescape(port), state == "opened", int(error)))
        return found

    def visible_windows(self):
        """(class, caption) of every visible top-level window."""
        _, out = self.probe(["list"])
        found = []
        for line in out.splitlines():
            if line.startswith("top|"):
                _, cls, caption = line.split("|", 2)
                found.append((cls, unescape(caption)))
        return found


def windows_path_of(unix_path):
    """The Z: path under which Wine sees a file of this machine."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class ProgramRun:
    """The uninstaller, started through winprobe so that its whole exit status
    (1602 does not fit a Linux exit status) is read back."""

    def __init__(self, machine, exe, arguments=None, command_line=None, unseen=False, start_in=None, trace=None):
        """With `command_line`, that whole line is given to CreateProcess as it
        is, the program's name written as it says (`exe` is then unused).
        `unseen` starts it on a window station no one can see, `start_in` in
        that Windows directory; `trace` (WINEDEBUG's channels) has Wine's
        trace of the run kept in `self.trace_path`."""
        self.machine = machine
        fd, self.output = tempfile.mkstemp(prefix="run.", dir=machine.prefix)
        if command_line is None:
            command_line = '"%s"' % windows_path_of(exe) + (" " + arguments if arguments else "")
        if unseen or start_in:
            command = [WINE, PROBE, "start", "unseen" if unseen else "seen", start_in or "-", command_line]
        else:
            command = [WINE, PROBE, "runline", command_line]
        env = machine.env()
        self.trace_path = None
        if trace:
            env = dict(env, WINEDEBUG=trace)
            self.trace_path = self.output + ".trace"
        err = open(self.trace_path, "wb") if trace else subprocess.DEVNULL
        try:
            self.proc = subprocess.Popen(command, env=env, cwd=machine.prefix, stdout=fd, stderr=err,
                                         stdin=subprocess.DEVNULL)
        finally:
            os.close(fd)
            if trace:
                err.close()
        machine.children.append(self.proc)
        self.started = time.monotonic()

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout):
        """The program's exit status; MachineError when it has not ended in time."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise MachineError("the uninstaller did not end within %ds" % timeout)
        return self.exit_status()

    def exit_status(self):
        with open(self.output, "rb") as f:
            for line in f.read().decode(errors="replace").splitlines():
                if line.startswith("exit "):
                    return int(line.split()[1])
        raise MachineError("winprobe gave no exit status")

    def wait_for_box(self, caption, timeout):
        """Waits for a window named `caption`; returns (X window id, what Windows
        holds in it). Fails early when the program ends first."""
        deadline = time.monotonic() + timeout
        while True:
            ids = self.machine.find_x_window(caption)
            if ids:
                view = self.machine.read_box(caption)
                if view is not None and view.visible:
                    self.machine.bring_forward(ids[0])
                    return ids[0], view
            if not self.running():
                raise MachineError("the uninstaller ended (status %s) before a box %r appeared"
                                   % (self.exit_status(), caption))
            if time.monotonic() > deadline:
                raise MachineError("no box %r within %ds; on screen: %s"
                                   % (caption, timeout, self.machine.visible_windows()))
            time.sleep(0.2)


def hold_file(machine, windows_path, seconds, timeout=30, how="hold"):
    """Starts winprobe holding `windows_path` open with no sharing (`how`
    "load": loaded as a module, as a running program or a loaded DLL is), in the
    machine's prefix; returns the process once the file is held. Ended with the
    machine, or earlier by end_holder()."""
    fd, output = tempfile.mkstemp(prefix="hold.", dir=machine.prefix)
    try:
        proc = subprocess.Popen([WINE, PROBE, how, windows_path, str(int(seconds))], env=machine.env(),
                                cwd=machine.prefix, stdout=fd, stderr=subprocess.DEVNULL,
                                stdin=subprocess.DEVNULL)
    finally:
        os.close(fd)
    machine.children.append(proc)
    deadline = time.monotonic() + timeout
    while True:
        with open(output, "rb") as f:
            if f.read().startswith(b"held"):
                return proc
        if proc.poll() is not None:
            raise MachineError("winprobe could not hold %s (status %d)" % (windows_path, proc.returncode))
        if time.monotonic() > deadline:
            raise MachineError("winprobe did not hold %s within %ds" % (windows_path, timeout))
        time.sleep(0.05)


def end_holder(proc):
    _end(proc)


def prefix_processes(prefix):
    """Ids of this user's processes running with WINEPREFIX=prefix."""
    wanted = b"WINEPREFIX=" + os.fsencode(prefix)
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                if wanted in f.read().split(b"\0"):
                    with open("/proc/%s/stat" % entry) as st:
                        if st.read().split(") ")[-1].startswith("Z"):
                            continue  # already ended, waiting for its parent
                    found.append(int(entry))
        except OSError:
            continue
    return found


def is_prepared(base):
    try:
        with open(os.path.join(base, PREPARED_STAMP)) as f:
            return f.read().strip() == PREPARED_VERSION
    except OSError:
        return False


def prepare_prefix(base, log=None, timeout=180):
    """Makes the prepared prefix at `base` once (wineboot and PREPARED_SETTINGS);
    later calls reuse it. Built aside and renamed into place, so a run beside this
    one never sees half of it."""
    base = os.path.abspath(base)
    if is_prepared(base):
        return base
    os.makedirs(os.path.dirname(base), exist_ok=True)
    staging = tempfile.mkdtemp(prefix="prefix-staging.", dir=os.path.dirname(base))
    _say(log, "preparing a Wine prefix in %s (once)" % base)
    # Made on a screen: the first program there sets up the desktop's devices
    # (keys under Enum\HID, files in windows\inf) in the background; made here,
    # they are not set up in the middle of a case.
    screen = VirtualScreen()
    machine = WineMachine(staging)
    try:
        machine.display = screen.start().display
        machine.start()
        machine.wine(["wineboot", "-i"], timeout=timeout)
        machine.import_reg(reg_text(list(PREPARED_SETTINGS.items())))
        fonts = os.path.join(staging, "drive_c", "windows", "Fonts")
        if os.path.isdir(WINE_FONTS):
            for name in os.listdir(WINE_FONTS):
                shutil.copy2(os.path.join(WINE_FONTS, name), fonts)
        settle(machine, timeout)
    except BaseException:
        machine.stop()
        screen.stop()
        shutil.rmtree(staging, ignore_errors=True)
        raise
    machine.stop()
    screen.stop()
    # The user folders point at the real home directory; a throwaway machine gets
    # folders of its own.
    users = os.path.join(staging, "drive_c", "users")
    for dirpath, dirnames, _ in os.walk(users):
        for name in dirnames:
            path = os.path.join(dirpath, name)
            if os.path.islink(path):
                os.unlink(path)
                os.mkdir(path)
    with open(os.path.join(staging, PREPARED_STAMP), "w") as f:
        f.write(PREPARED_VERSION + "\n")
    if os.path.isdir(base):
        # Made to older settings: set aside, then removed.
        old = tempfile.mkdtemp(prefix="prefix-old.", dir=os.path.dirname(base))
        os.rename(base, os.path.join(old, "prefix"))
        shutil.rmtree(old, ignore_errors=True)
    try:
        os.rename(staging, base)
    except OSError:
        shutil.rmtree(staging, ignore_errors=True)  # another run made it meanwhile
    return base


def settle(machine, timeout):
    """Waits until what Wine sets up in the background is done: the same
    snapshot twice, a second apart."""
    deadline = time.monotonic() + timeout
    last = machine.snapshot()
    while True:
        time.sleep(1)
        now = machine.snapshot()
        if compare(last, now) == Changes():
            return
        if time.monotonic() > deadline:
            raise MachineError("the prepared prefix did not settle within %ds" % timeout)
        last = now


def copy_prefix(base, dest):
    """Copies the prepared prefix `base` into the empty directory `dest`: the
    registry and the small files copied, the large files under drive_c linked
    (LINKED_SIZE). The copy gets its own server: the socket directory differs
    by the copy's inode."""
    base, dest = os.path.abspath(base), os.path.abspath(dest)
    drive = os.path.join(base, "drive_c")
    directories = []
    for dirpath, dirnames, filenames in os.walk(base):
        target_dir = os.path.join(dest, os.path.relpath(dirpath, base))
        for name in dirnames + filenames:
            source, target = os.path.join(dirpath, name), os.path.join(target_dir, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), target)
            elif os.path.isdir(source):
                os.mkdir(target)
                directories.append((source, target))
            elif os.lstat(source).st_size >= LINKED_SIZE and dirpath.startswith(drive):
                try:
                    os.link(source, target)
                except OSError:  # another file system
                    shutil.copy2(source, target)
            else:
                shutil.copy2(source, target)
    for source, target in reversed(directories):
        shutil.copystat(source, target)
    shutil.copystat(base, dest)
    return dest


# ---------------------------------------------------------------- registry text

def parse_reg_export(text):
    """A regedit export as {key path: {value name: data as exported}}."""
    keys = {}
    current = None
    pending = None
    for raw in text.splitlines():
        line = raw.rstrip("\r")
        if pending is not None:
            pending[1].append(line.strip())
            if not line.endswith("\\"):
                name, parts = pending
                keys[current][name] = "".join(p.rstrip("\\") for p in parts)
                pending = None
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys[current] = {}
        elif current is not None and (line.startswith('"') or line.startswith("@=")):
            name, data = _split_value_line(line)
            if data.endswith("\\"):
                pending = (name, [data])
            else:
                keys[current][name] = data
    return keys


def _split_value_line(line):
    if line.startswith("@="):
        return "@", line[2:]
    i = 1
    while i < len(line):
        if line[i] == "\\":
            i += 2
            continue
        if line[i] == '"':
            break
        i += 1
    name = line[1:i].replace('\\"', '"').replace("\\\\", "\\")
    return name, line[i + 2:]


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_text(keys):
    """REGEDIT4 text for [(key path, {name: str, int (DWORD) or bytes (binary)})]."""
    lines = ["REGEDIT4", ""]
    for key, values in keys:
        lines.append("[%s]" % key)
        for name, value in values.items():
            if isinstance(value, int):
                data = "dword:%08x" % value
            elif isinstance(value, bytes):
                data = "hex:" + ",".join("%02x" % b for b in value)
            else:
                data = reg_string(value)
            lines.append("%s=%s" % (reg_string(name), data))
        lines.append("")
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- snapshots

@dataclass
class Snapshot:
    files: dict
    registry: dict

    def registry_ci(self):
        return {k.lower(): v for k, v in self.registry.items()}


@dataclass
class Changes:
    files_gone: set = field(default_factory=set)
    files_new: set = field(default_factory=set)
    files_changed: set = field(default_factory=set)
    keys_gone: set = field(default_factory=set)
    keys_new: set = field(default_factory=set)
    # (key, value name): (before, after); None for a value that is not there
    values_changed: dict = field(default_factory=dict)


# Wine keeps the system parameters it does not save under this key and writes it
# on its own, whatever program runs (it appeared between the two snapshots of a
# run answered No): Wine's session state, not the machine's settings.
VOLATILE_KEYS = re.compile(r"hkey_users\\[^\\]+\\software\\wine\\temporary system parameters(\\|$)")


def compare(before, after):
    """What differs between two snapshots; registry keys compared without case,
    as Windows names them."""
    changes = Changes()
    changes.files_gone = set(before.files) - set(after.files)
    changes.files_new = set(after.files) - set(before.files)
    changes.files_changed = {p for p in set(before.files) & set(after.files)
                             if before.files[p] != after.files[p]}
    b = {k: v for k, v in before.registry_ci().items() if not VOLATILE_KEYS.match(k)}
    a = {k: v for k, v in after.registry_ci().items() if not VOLATILE_KEYS.match(k)}
    changes.keys_gone = set(b) - set(a)
    changes.keys_new = set(a) - set(b)
    for key in set(b) & set(a):
        for name in set(b[key]) | set(a[key]):
            old, new = b[key].get(name), a[key].get(name)
            if old != new:
                changes.values_changed[(key, name)] = (old, new)
    return changes


# ---------------------------------------------------------------- what winprobe prints

@dataclass
class WindowView:
    cls: str = ""
    visible: bool = False
    has_caption: bool = False
    caption: str = ""
    rect: tuple = ()
    bar_rect: tuple = ()
    count: int = 1
    children: list = field(default_factory=list)  # dicts: cls, id, visible, icon, text

    def texts(self):
        """Texts of the visible static controls that show text."""
        return [c["text"] for c in self.children
                if c["cls"].lower() == "static" and c["visible"] and c["icon"] == "-" and c["text"]]

    def buttons(self):
        return [c["text"] for c in self.children if c["cls"].lower() == "button" and c["visible"]]

    def icons(self):
        return [c for c in self.children if c["icon"] == "icon" and c["visible"]]


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x":
                out.append(chr(int(text[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def parse_window_dump(text):
    view = WindowView()
    for line in text.splitlines():
        if line.startswith("window|"):
            _, cls, visible, caption_style, caption = line.split("|", 4)
            view.cls, view.visible = cls, visible == "visible"
            view.has_caption, view.caption = caption_style == "caption", unescape(caption)
        elif line.startswith("child|"):
            _, cls, ident, visible, icon, child_text = line.split("|", 5)
            view.children.append({"cls": cls, "id": int(ident), "visible": visible == "visible",
                                  "icon": icon, "text": unescape(child_text)})
        elif line.startswith(("rect ", "bar ", "count ")):
            word, *numbers = line.split()
            numbers = tuple(int(n) for n in numbers)
            if word == "rect":
                view.rect = numbers
            elif word == "bar":
                view.bar_rect = numbers
            else:
                view.count = numbers[0]
    return view


# ---------------------------------------------------------------- products

@dataclass
class Printer:
    name: str
    port: str
    driver: str = "Generic / Text Only"
    description: str = ""
    key: str = None  # the printer's key under PRINTERS_KEY; its name when None

    def key_name(self):
        return self.name if self.key is None else self.key

    def registry_values(self):
        # The level-2 record as Wine's spooler keeps it, every value present, so
        # that writing the record back has nothing of its own to add.
        return {
            "Name": self.name, "Share Name": "", "Port": self.port, "Printer Driver": self.driver,
            "Description": self.description, "Location": "", "Separator File": "",
            "Print Processor": "winprint", "Datatype": "RAW", "Parameters": "",
            "Attributes": 0x00000040, "Priority": 1, "Default Priority": 0,
            "StartTime": 0, "UntilTime": 0, "Status": 0,
            "Default DevMode": self.devmode(),
        }

    def devmode(self):
        # DEVMODEA: the device name, two version words, then its size
        # (156 bytes, no driver extra); every setting left zero.
        name = self.name.encode("cp1252")[:31].ljust(32, b"\0")
        return name + struct.pack("<HHHH", 0, 0, 156, 0) + bytes(156 - 40)


@dataclass
class Product:
    """What an installer put on a machine. Paths are Windows paths on drive C."""
    name: str
    files: dict = field(default_factory=dict)          # path: content (bytes or str)
    dirs: list = field(default_factory=list)           # directories, empty unless files fill them
    entry: str = ""                                    # programs-list key name
    entry_key: str = UNINSTALL_KEY                     # where it is: UNINSTALL_KEY_64 or _32
    entry_values: dict = field(default_factory=dict)
    entry_subkeys: dict = field(default_factory=dict)  # subkey name: values
    monitor: str = ""
    monitor_driver: str = ""
    # Where the monitor's DLL is listed (C:\windows\system32\<monitor_driver>),
    # when the product has a real one (MONITOR_DLL); None when the monitor is
    # only its keys.
    monitor_dll: str = None
    monitor_ui_dll: str = None  # the monitor's UI DLL, built beside it (vpmonui.dll)
    ports: list = field(default_factory=list)
    printers: list = field(default_factory=list)       # Printer
    # ZEVFList.ini and ZEVUnins.ini, written when not None: text in the system's
    # code page with CRLF line ends, bytes as they are.
    file_list: object = None
    strings: object = None

    def registry_keys(self):
        keys = []
        if self.entry:
            base = self.entry_key + "\\" + self.entry
            keys.append((base, self.entry_values))
            for sub, values in self.entry_subkeys.items():
                keys.append((base + "\\" + sub, values))
        if self.monitor:
            base = MONITORS_KEY + "\\" + self.monitor
            keys.append((base, {"Driver": self.monitor_driver} if self.monitor_driver else {}))
            keys.append((base + "\\Ports", {}))
            for port in self.ports:
                keys.append((base + "\\Ports\\" + port, {}))
        for printer in self.printers:
            keys.append((PRINTERS_KEY + "\\" + printer.key_name(), printer.registry_values()))
        return keys


def install(machine, product):
    """Puts `product` on the machine: directories, files, the two INI files and its keys."""
    for d in product.dirs:
        os.makedirs(machine.unix_path(d), exist_ok=True)
    for path, content in product.files.items():
        target = machine.unix_path(path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if os.path.lexists(target):
            os.unlink(target)  # it may be linked to the prepared prefix's copy
        with open(target, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)
    # A listed DLL built here (vpxmon.dll, vpmonui.dll) is that one; another
    # name takes the monitor that has DeletePort only (vpmon.dll).
    for listed in filter(None, (product.monitor_dll, product.monitor_ui_dll)):
        target = os.path.join(machine.prefix, "drive_c", *machine_parts(listed, spooler=True))
        if os.path.lexists(target):
            os.unlink(target)
        built = os.path.join(os.path.dirname(MONITOR_DLL), listed.rsplit("\\", 1)[-1].lower())
        shutil.copyfile(built if os.path.exists(built) else MONITOR_DLL, target)
    for name, text in (("ZEVFList.ini", product.file_list), ("ZEVUnins.ini", product.strings)):
        if isinstance(text, bytes):
            with open(os.path.join(machine.windows_dir(), name), "wb") as f:
                f.write(text)
        elif text is not None:
            with open(os.path.join(machine.windows_dir(), name), "w", encoding="cp1252",
                      newline="\r\n") as f:
                f.write(text)
    keys = product.registry_keys()
    if keys:
        machine.import_reg(reg_text(keys))


def printer_ports(snapshot):
    """{printer key name: Port} from a snapshot's printer keys."""
    prefix = PRINTERS_KEY.lower() + "\\"
    ports = {}
    for key, values in snapshot.registry.items():
        rest = key.lower()
        if rest.startswith(prefix) and "\\" not in key[len(prefix):]:
            port = values.get("Port")
            ports[key[len(prefix):]] = None if port is None else unescape_reg_string(port)
    return ports


def unescape_reg_string(data):
    if data.startswith('"') and data.endswith('"'):
        return data[1:-1].replace('\\"', '"').replace("\\\\", "\\")
    return data


def machine_parts(windows_path, spooler=False):
    """The names below C:\\ of a path as the program sees it, where the machine
    keeps it: a file under system32 in the native one, but for a DLL the spooler
    loads (`spooler`), which under Wine lies in the uninstaller's own."""
    parts = [p for p in windows_path.split("\\")[1:] if p]
    if spooler and PROGRAM_BITS == 32 and [p.lower() for p in parts[:2]] == ["windows", "system32"]:
        parts[1] = "syswow64"
    return parts


def listing_name(windows_path, spooler=False):
    """A path on C: as Snapshot.files names it."""
    return "/".join(machine_parts(windows_path, spooler))


def describe_product(product, snapshot, out):
    """What `product` has on the machine in `snapshot`, as a person would look for it."""
    reg = snapshot.registry_ci()
    out("  files and directories:")
    paths = sorted(set(product.dirs) | set(product.files), key=str.lower)
    paths += [r"C:\windows\ZEVFList.ini", r"C:\windows\ZEVUnins.ini"]
    for path in paths:
        out("    %-8s %s" % ("present" if listing_name(path) in snapshot.files else "gone", path))
    if product.monitor_dll:
        out("    %-8s %s (the monitor's DLL)" % ("present" if listing_name(product.monitor_dll, spooler=True)
                                                 in snapshot.files else "gone", product.monitor_dll))
    if product.entry:
        key = (product.entry_key + "\\" + product.entry).lower()
        values = reg.get(key)
        out("  programs-list entry %s: %s" % (
            product.entry, "gone" if values is None else
            ", ".join("%s=%s" % (n, v) for n, v in sorted(values.items())) or "(no values)"))
    if product.monitor:
        key = (MONITORS_KEY + "\\" + product.monitor).lower()
        ports = sorted(k.rsplit("\\", 1)[1] for k in snapshot.registry if k.lower().startswith(key + "\\ports\\"))
        out("  print monitor %s: %s" % (product.monitor, "gone" if key not in reg else
                                        "ports " + (", ".join(ports) or "(none)")))
    ports = printer_ports(snapshot)
    for printer in product.printers:
        out("  printer %-24s port %s" % (printer.name, ports.get(printer.key_name(), "(printer gone)")))


# ---------------------------------------------------------------- from the shell

def main(argv):
    """zevmachine.py prepare TEMPLATE | copy TEMPLATE DEST: the prepared prefix
    made once, or copied into the empty directory DEST (made once first)."""
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    if len(argv) == 2 and argv[0] == "prepare":
        prepare_prefix(argv[1], log=lambda t: print("zevmachine: " + t, file=sys.stderr), timeout=600)
    elif len(argv) == 3 and argv[0] == "copy":
        copy_prefix(prepare_prefix(argv[1], log=lambda t: print("zevmachine: " + t, file=sys.stderr),
                                   timeout=600), argv[2])
    else:
        print(main.__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
