#!/usr/bin/env python3
"""Reads the resources of the built TarnwickInstaller.exe straight from its PE file: the icon group
of eight sizes, the manifest's promises and the version 1.0.0. Needs no Wine."""

import struct
import sys
import unittest

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
PROGRAM = None


class PeResources:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        if struct.unpack_from("<H", self.data, optional)[0] != 0x20B:
            raise ValueError("not a 64-bit image")
        self.root_rva = struct.unpack_from("<I", self.data, optional + 112 + 2 * 8)[0]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", self.data, table + 40 * i) for i in range(sections)]
        self.root = self.offset(self.root_rva)

    def offset(self, rva):
        for virtual_size, virtual_address, raw_size, raw_pointer in self.sections:
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return raw_pointer + rva - virtual_address
        raise ValueError("RVA %#x lies in no section" % rva)

    def entries(self, directory):
        named, ids = struct.unpack_from("<12xHH", self.data, directory)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            yield name, target

    def resources(self, kind):
        """{id: bytes} of every resource of that type (first language of each)."""
        found = {}
        for type_id, type_target in self.entries(self.root):
            if type_id != kind:
                continue
            for name_id, name_target in self.entries(self.root + (type_target & 0x7FFFFFFF)):
                _, language_target = next(self.entries(self.root + (name_target & 0x7FFFFFFF)))
                rva, size = struct.unpack_from("<II", self.data, self.root + language_target)
                found[name_id] = self.data[self.offset(rva):self.offset(rva) + size]
        return found


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeResources(PROGRAM)

    def test_one_icon_group_of_eight_sizes_whose_images_are_all_there(self):
        groups = self.pe.resources(RT_GROUP_ICON)
        self.assertEqual(len(groups), 1)
        group = next(iter(groups.values()))
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((kind, count), (1, 8))
        images = self.pe.resources(RT_ICON)
        sizes = []
        for i in range(count):
            width, height, _, _, _, bits, length, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            sizes.append(width or 256)
            self.assertEqual(width, height)
            self.assertEqual(bits, 32)
            self.assertIn(image_id, images)
            self.assertEqual(len(images[image_id]), length)
        self.assertEqual(sorted(sizes), [16, 20, 24, 32, 40, 48, 64, 256])

    def test_the_manifest_asks_for_what_the_program_relies_on(self):
        manifests = self.pe.resources(RT_MANIFEST)
        self.assertIn(1, manifests)
        text = manifests[1].decode("utf-8")
        for promise in ('level="asInvoker"', ">PerMonitorV2<", ">UTF-8</activeCodePage>",
                        'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"):
            self.assertIn(promise, " ".join(text.split()))

    def test_the_version_is_1_0_0(self):
        versions = self.pe.resources(RT_VERSION)
        self.assertEqual(len(versions), 1)
        block = next(iter(versions.values()))
        fixed = block.find(struct.pack("<I", 0xFEEF04BD))
        self.assertGreater(fixed, 0)
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", block, fixed + 8)
        self.assertEqual((file_ms, file_ls, product_ms, product_ls), (0x10000, 0, 0x10000, 0))
        self.assertIn("1.0.0".encode("utf-16-le"), block)


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main(verbosity=1)
