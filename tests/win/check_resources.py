#!/usr/bin/env python3
"""Reads the resources of the built TarnwickInstaller.exe straight from its PE file: the icon group
of eight sizes, the manifest's promises and the version 1.0.0, which must be the project's VERSION
when that is given. Needs no Wine.

  check_resources.py PROGRAM [PROJECT_VERSION]"""

import struct
import sys
import unittest

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
PROGRAM = None
PROJECT_VERSION = None


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


def aligned(offset):
    return (offset + 3) & ~3


def version_nodes(block, offset, end):
    """(key, value, offset of the children, end) of each VS_VERSIONINFO-style node in [offset, end)."""
    while offset + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        if length == 0:
            return
        key_end = offset + 6
        while block[key_end:key_end + 2] not in (b"\0\0", b""):
            key_end += 2
        value = aligned(key_end + 2)
        value_size = value_length * 2 if kind == 1 else value_length
        yield (block[offset + 6:key_end].decode("utf-16-le"), block[value:value + value_size],
               aligned(value + value_size), offset + length)
        offset = aligned(offset + length)


def version_strings(block):
    """{name: value} of the StringFileInfo tables of a VS_VERSIONINFO block."""
    found = {}
    for _, _, infos, root_end in version_nodes(block, 0, len(block)):
        for info, _, tables, info_end in version_nodes(block, infos, root_end):
            if info != "StringFileInfo":
                continue
            for _, _, strings, table_end in version_nodes(block, tables, info_end):
                for name, value, _, _ in version_nodes(block, strings, table_end):
                    found[name] = value.decode("utf-16-le").rstrip("\0")
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

    def test_the_version_resource_is_the_projects_version(self):
        if PROJECT_VERSION is None:
            self.skipTest("no project version given")
        block = next(iter(self.pe.resources(RT_VERSION).values()))
        fixed = block.find(struct.pack("<I", 0xFEEF04BD))
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", block, fixed + 8)
        major, minor, patch = (int(part) for part in PROJECT_VERSION.split("."))
        numbers = ((major << 16) | minor, patch << 16)
        self.assertEqual(((file_ms, file_ls), (product_ms, product_ls)), (numbers, numbers))
        strings = version_strings(block)
        self.assertEqual((strings.get("FileVersion"), strings.get("ProductVersion")),
                         (PROJECT_VERSION, PROJECT_VERSION))


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        PROJECT_VERSION = sys.argv.pop(1)
    unittest.main(verbosity=1)
