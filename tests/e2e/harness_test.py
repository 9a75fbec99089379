#!/usr/bin/env python3
"""The end-to-end harness's own ground, checked without Wine: a machine copied
from the prepared prefix shares only what nothing writes into, and a cropped
screenshot is read back in screen coordinates.
Run from anywhere: python3 tests/e2e/harness_test.py (needs ImageMagick)."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import zevmachine  # noqa: E402
from zevmachine import Product  # noqa: E402


def write(path, data, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)


class PrefixCopy(unittest.TestCase):
    def test_a_copy_links_only_wines_large_files_and_a_case_never_writes_through_a_link(self):
        big = b"MZ" + bytes(zevmachine.LINKED_SIZE)
        with tempfile.TemporaryDirectory() as top:
            base, copy = os.path.join(top, "base"), os.path.join(top, "copy")
            dll = os.path.join("drive_c", "windows", "system32", "wide.dll")
            write(os.path.join(base, dll), big)
            write(os.path.join(base, "drive_c", "windows", "win.ini"), b"[windows]\r\n")
            write(os.path.join(base, "system.reg"), big)  # the server rewrites it: never shared
            write(os.path.join(base, "wineserver"), b"tag", mode=0o400)
            os.makedirs(os.path.join(base, "dosdevices"))
            os.symlink("../drive_c", os.path.join(base, "dosdevices", "c:"))
            os.mkdir(copy)
            zevmachine.copy_prefix(base, copy)

            def same_file(rel):
                return os.stat(os.path.join(base, rel)).st_ino == os.stat(os.path.join(copy, rel)).st_ino

            self.assertTrue(same_file(dll))
            self.assertFalse(same_file("system.reg"))
            self.assertFalse(same_file(os.path.join("drive_c", "windows", "win.ini")))
            self.assertEqual(os.readlink(os.path.join(copy, "dosdevices", "c:")), "../drive_c")
            self.assertEqual(os.stat(os.path.join(copy, "wineserver")).st_mode & 0o777, 0o400)

            # A product installed over a linked file leaves the prepared prefix as it was.
            machine = zevmachine.WineMachine(copy)
            zevmachine.install(machine, Product(name="over", files={r"C:\windows\system32\wide.dll": "ours\n"}))
            with open(os.path.join(copy, dll), "rb") as f:
                self.assertEqual(f.read(), b"ours\n")
            with open(os.path.join(base, dll), "rb") as f:
                self.assertEqual(f.read(), big)


class Screenshots(unittest.TestCase):
    def test_a_cropped_shot_is_read_in_screen_coordinates(self):
        size, window = (320, 200), (250, 30, 60, 40)  # near the right edge: the margin is cut there
        x, y, w, h = window
        with tempfile.TemporaryDirectory() as top:
            whole, path = os.path.join(top, "screen.png"), os.path.join(top, "shot.png")
            subprocess.run(["convert", "-size", "%dx%d" % size, "xc:" + zevmachine.DESKTOP_COLOUR,
                            "-fill", "#ff0000", "-draw", "rectangle %d,%d %d,%d" % (x, y, x + w - 1, y + h - 1),
                            "-fill", "#00ff00", "-draw", "point %d,%d" % (x + w - 1, y + h - 1), whole], check=True)
            self.assertEqual(zevmachine.shown_area(whole), window)
            shot = zevmachine.crop(whole, path, zevmachine.shown_area(whole), 16, size)
            self.assertEqual(shot.origin, (x - 16, y - 16))
            out = subprocess.run(["identify", "-format", "%wx%h", path], check=True, stdout=subprocess.PIPE)
            self.assertEqual(out.stdout.decode(), "%dx%d" % (size[0] - (x - 16), h + 32))
            corner = zevmachine.read_pixels(shot, x - 1, y - 1, 2, 2)
            self.assertEqual(corner[0][0], (0x3a, 0x6e, 0xa5))
            self.assertEqual(corner[1][1], (255, 0, 0))
            self.assertEqual(zevmachine.read_pixels(shot, x + w - 1, y + h - 1, 1, 1), [[(0, 255, 0)]])


if __name__ == "__main__":
    unittest.main()
