#!/usr/bin/env python3
"""Checks the program's resources as Windows will read them: the icon file against its
generator, and the compiled resource script (dialog, font name, icon group, version, manifest).
Run from anywhere: python3 tests/app/resources_test.py (needs i686-w64-mingw32-windres)."""

import importlib.util
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))
WINDRES = 'i686-w64-mingw32-windres'
with open(os.path.join(ROOT, 'VERSION')) as f:
    VERSION = f.read().strip()

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_JAPANESE = 0x0411

VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
RED = 9


def load_generator():
    spec = importlib.util.spec_from_file_location('make_icon', os.path.join(ROOT, 'tools', 'make_icon.py'))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def decode_icon_image(image):
    """Returns (size, palette, pixel(x, y)) where pixel gives a colour index or None if clear."""
    (header_size, width, height, planes, bits, compression, image_size) = struct.unpack_from('<IiiHHII', image)
    assert header_size == 40 and planes == 1 and compression == 0
    assert height == 2 * width, 'an icon bitmap counts colour and mask rows together'
    assert bits == 4
    palette = [struct.unpack_from('<BBBB', image, 40 + 4 * i) for i in range(16)]
    palette = [(r, g, b) for b, g, r, _ in palette]
    xor_stride = (width * 4 + 31) // 32 * 4
    and_stride = (width + 31) // 32 * 4
    xor_at = 40 + 64
    and_at = xor_at + xor_stride * width
    assert image_size == (xor_stride + and_stride) * width
    assert len(image) == and_at + and_stride * width

    def pixel(x, y):
        row = width - 1 - y  # rows are stored bottom-up
        if image[and_at + row * and_stride + x // 8] & (0x80 >> (x % 8)):
            return None
        byte = image[xor_at + row * xor_stride + x // 2]
        return byte >> 4 if x % 2 == 0 else byte & 0x0F

    return width, palette, pixel


class IconFile(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(ROOT, 'app', 'zevunins.ico'), 'rb') as f:
            self.data = f.read()

    def test_committed_icon_is_what_the_generator_draws(self):
        generator = load_generator()
        with tempfile.TemporaryDirectory() as tmp:
            target = os.path.join(tmp, 'icon.ico')
            subprocess.run(['python3', os.path.join(ROOT, 'tools', 'make_icon.py'), target], check=True)
            with open(target, 'rb') as f:
                self.assertEqual(f.read(), self.data, 'app/zevunins.ico is stale: run tools/make_icon.py')
        self.assertEqual(generator.PALETTE, VGA)

    def test_two_sixteen_colour_images_read_the_right_way_up(self):
        reserved, kind, count = struct.unpack_from('<HHH', self.data)
        self.assertEqual((reserved, kind, count), (0, 1, 2))
        sizes = []
        for i in range(count):
            w, h, colours, _, planes, bits, length, offset = struct.unpack_from('<BBBBHHII', self.data, 6 + 16 * i)
            self.assertEqual((w, colours, planes, bits), (h, 16, 1, 4))
            size, palette, pixel = decode_icon_image(self.data[offset:offset + length])
            self.assertEqual(size, w)
            self.assertEqual(palette, VGA)
            # The top corners are background; the cross reaches the bottom right corner.
            self.assertIsNone(pixel(0, 0))
            self.assertIsNone(pixel(size - 1, 0))
            self.assertEqual(pixel(size - 1, size - 1), RED)
            drawn = sum(pixel(x, y) is not None for y in range(size) for x in range(size))
            self.assertGreater(drawn, size * size // 3)
            sizes.append(size)
        self.assertEqual(sorted(sizes), [16, 32])


def read_res(path):
    """The records of a .res file: {(type, name, language): data}; ids only, as this script uses."""
    with open(path, 'rb') as f:
        data = f.read()
    records, at = [], 0
    while at < len(data):
        data_size, header_size = struct.unpack_from('<II', data, at)
        kind_marker, kind, name_marker, name = struct.unpack_from('<HHHH', data, at + 8)
        language = struct.unpack_from('<H', data, at + header_size - 10)[0]
        body = data[at + header_size:at + header_size + data_size]
        if data_size:
            assert kind_marker == 0xFFFF and name_marker == 0xFFFF, 'named resources are not expected'
            records.append(((kind, name, language), body))
        at += header_size + (data_size + 3) // 4 * 4
    return records


def read_sz(data, at):
    end = at
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[at:end].decode('utf-16-le'), end + 2


def read_sz_or_ord(data, at):
    if data[at:at + 2] == b'\xff\xff':
        return struct.unpack_from('<H', data, at + 2)[0], at + 4
    return read_sz(data, at)


@unittest.skipUnless(shutil.which(WINDRES), WINDRES + ' is not installed')
class CompiledScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        res = os.path.join(cls.tmp.name, 'resource.res')
        subprocess.run([WINDRES, '-I', ROOT, '-DZEV_VERSION=' + VERSION, '-DZEV_VERSION_NUMBERS=' + VERSION.replace('.', ','),
                        os.path.join(ROOT, 'app', 'resource.rc'), '-O', 'res', '-o', res],
                       check=True)
        cls.records = read_res(res)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def of_type(self, kind):
        return [(key, body) for key, body in self.records if key[0] == kind]

    def test_progress_dialog(self):
        dialogs = self.of_type(RT_DIALOG)
        self.assertEqual([key for key, _ in dialogs], [(RT_DIALOG, 102, LANG_JAPANESE)])
        t = dialogs[0][1]
        style, ex_style, items, x, y, cx, cy = struct.unpack_from('<IIHhhhh', t)
        # DS_MODALFRAME | DS_3DLOOK | DS_CENTER | WS_POPUP | WS_VISIBLE, plus DS_SETFONT for FONT.
        self.assertEqual(style, 0x80 | 0x4 | 0x800 | 0x80000000 | 0x10000000 | 0x40)
        self.assertEqual(style & 0x00C00000, 0, 'no caption')
        self.assertEqual(style & 0x00080000, 0, 'no system menu')
        self.assertEqual((ex_style, items, x, y, cx, cy), (0, 1, 200, 150, 163, 30))
        menu, at = read_sz_or_ord(t, 18)
        window_class, at = read_sz_or_ord(t, at)
        title, at = read_sz(t, at)
        self.assertEqual((menu, window_class, title), ('', '', ''))
        points = struct.unpack_from('<H', t, at)[0]
        face, at = read_sz(t, at + 2)
        self.assertEqual(points, 9)
        # MS P Gothic by its Japanese name; a wrong source encoding garbles exactly this.
        self.assertEqual([ord(c) for c in face],
                         [0xFF2D, 0xFF33, 0x0020, 0xFF30, 0x30B4, 0x30B7, 0x30C3, 0x30AF])
        at = (at + 3) // 4 * 4
        style, ex_style, x, y, cx, cy, control_id = struct.unpack_from('<IIhhhhH', t, at)
        control_class, at = read_sz_or_ord(t, at + 18)
        text, at = read_sz_or_ord(t, at)
        # WS_CHILD | WS_VISIBLE | WS_BORDER.
        self.assertEqual(style, 0x40000000 | 0x10000000 | 0x00800000)
        self.assertEqual((x, y, cx, cy, control_id), (7, 7, 149, 16, 1000))
        self.assertEqual(control_class.lower(), 'msctls_progress32')
        self.assertEqual(text, '')

    def test_icon_group_holds_both_sizes(self):
        groups = self.of_type(RT_GROUP_ICON)
        self.assertEqual([key[1] for key, _ in groups], [105])
        body = groups[0][1]
        _, kind, count = struct.unpack_from('<HHH', body)
        self.assertEqual((kind, count), (1, 2))
        icon_ids = {key[1]: b for key, b in self.of_type(RT_ICON)}
        sizes = []
        for i in range(count):
            w, h, colours, _, planes, bits, length, icon_id = struct.unpack_from('<BBBBHHIH', body, 6 + 14 * i)
            self.assertEqual((w, h, colours, bits), (w, w, 16, 4))
            self.assertEqual(len(icon_ids[icon_id]), length)
            sizes.append(w)
        self.assertEqual(sorted(sizes), [16, 32])

    def test_version_record(self):
        versions = self.of_type(RT_VERSION)
        self.assertEqual([key[:2] for key, _ in versions], [(RT_VERSION, 1)])
        body = versions[0][1]
        fixed = body.find(struct.pack('<I', 0xFEEF04BD))
        self.assertGreater(fixed, 0)
        file_ms, file_ls = struct.unpack_from('<II', body, fixed + 8)
        a, b, c, d = (int(n) for n in VERSION.split('.'))
        self.assertEqual((file_ms, file_ls), (a << 16 | b, c << 16 | d))
        for text in ('041103a4', 'Vantorin', 'Vantorin Print Uninstaller', 'ZEVUnins.exe', VERSION):
            self.assertIn(text.encode('utf-16-le'), body)
        self.assertIn('Translation'.encode('utf-16-le'), body)
        self.assertTrue(body.endswith(struct.pack('<HH', 0x0411, 932)), 'translation must match the string block')

    def test_one_manifest_asking_for_elevation_and_no_common_controls_6(self):
        manifests = self.of_type(RT_MANIFEST)
        self.assertEqual([key[:2] for key, _ in manifests], [(RT_MANIFEST, 1)])
        root = ET.fromstring(manifests[0][1])
        v1, v3 = '{urn:schemas-microsoft-com:asm.v1}', '{urn:schemas-microsoft-com:asm.v3}'
        compat = '{urn:schemas-microsoft-com:compatibility.v1}'
        levels = root.findall(f'.//{v3}requestedExecutionLevel')
        self.assertEqual([(e.get('level'), e.get('uiAccess')) for e in levels], [('requireAdministrator', 'false')])
        self.assertEqual(root.findall(f'.//{v1}dependency'), [])
        self.assertNotIn(b'Common-Controls', manifests[0][1])
        ids = {e.get('Id') for e in root.findall(f'.//{compat}supportedOS')}
        self.assertEqual(ids, {
            '{e2011457-1546-43c5-a5fe-008deee3d3f0}', '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',
            '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}', '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',
            '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'})


if __name__ == '__main__':
    unittest.main()
