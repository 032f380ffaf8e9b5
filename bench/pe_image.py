"""What the benchmark reads from a PE file's bytes (PE32 or PE32+): its numbered
resources (first language, each as the bytes the loader would hand out), the DLLs
it imports and its machine. Every offset and size is checked against the file before it is used; a
malformed file raises ValueError.
"""
import struct

RT_ICON = 3
RT_RCDATA = 10
RT_GROUP_ICON = 14

_IMPORT_DIRECTORY = 1
_RESOURCE_DIRECTORY = 2
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B
MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
# Where the data directory count lies in each kind of optional header: PE32+ has
# 64-bit image base and stack and heap sizes, 16 bytes more.
_DIRECTORY_COUNT_FIELD = {PE32_MAGIC: 92, PE32_PLUS_MAGIC: 108}


def _unpack(fmt, data, offset):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise ValueError(f"{fmt} at {offset} lies outside the {len(data)} bytes")
    return struct.unpack_from(fmt, data, offset)


class _Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        (pe,) = _unpack("<I", data, 0x3C)
        if _unpack("4s", data, pe)[0] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, self.link_time, optional_size = _unpack("<HHI8xH2x", data, pe + 4)
        optional = pe + 24
        (self.magic,) = _unpack("<H", data, optional)
        if self.magic not in _DIRECTORY_COUNT_FIELD:
            raise ValueError(f"optional header magic {self.magic:#x} is neither PE32 nor PE32+")
        count_field = optional + _DIRECTORY_COUNT_FIELD[self.magic]
        directories = _unpack("<I", data, count_field)[0]
        if directories <= _RESOURCE_DIRECTORY:
            raise ValueError("no resource directory entry")
        self.import_rva, self.import_size = _unpack("<II", data, count_field + 4 + 8 * _IMPORT_DIRECTORY)
        self.rsrc_rva, self.rsrc_size = _unpack("<II", data, count_field + 4 + 8 * _RESOURCE_DIRECTORY)
        table = optional + optional_size
        self.sections = [_unpack("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva, size):
        """File offset of size bytes at rva, which must lie in one section's raw data."""
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva and rva + size <= address + min(virtual_size or raw_size, raw_size):
                start = raw_offset + rva - address
                if start + size <= len(self.data):
                    return start
        raise ValueError(f"{size} bytes at RVA {rva:#x} are not in the file")


def _entries(image, base, directory):
    named, numbered = _unpack("<12xHH", image.data, base + directory)
    for i in range(named + numbered):
        name, target = _unpack("<II", image.data, base + directory + 16 + 8 * i)
        if not name & 0x80000000:
            yield name, target


def kind(data):
    """(optional header magic, machine) of the file: PE32_MAGIC with MACHINE_I386 for
    what users get."""
    image = _Image(data)
    return image.magic, image.machine


def link_time(data):
    """The link time stamp in the file header (0 when the linker wrote none)."""
    return _Image(data).link_time


def resources(data):
    """{type: {id: bytes}} of the file's numbered resources, first language of each."""
    image = _Image(data)
    if image.rsrc_size == 0:
        return {}
    base = image.offset(image.rsrc_rva, image.rsrc_size)
    found = {}
    for kind, kind_target in _entries(image, base, 0):
        if not kind_target & 0x80000000:
            continue
        for number, number_target in _entries(image, base, kind_target & 0x7FFFFFFF):
            if not number_target & 0x80000000:
                continue
            languages = list(_entries(image, base, number_target & 0x7FFFFFFF))
            if not languages or languages[0][1] & 0x80000000:
                continue
            rva, size = _unpack("<II", data, base + languages[0][1])
            start = image.offset(rva, size)
            found.setdefault(kind, {})[number] = data[start:start + size]
    return found


def imported_dlls(data):
    """The names of the DLLs the file imports from, in the order of its import table."""
    image = _Image(data)
    names = []
    if image.import_size == 0:
        return names
    while True:
        descriptor = image.offset(image.import_rva + 20 * len(names), 20)
        name_rva, first_thunk = _unpack("<12xII", data, descriptor)
        if name_rva == 0 and first_thunk == 0:
            return names
        start = image.offset(name_rva, 1)
        end = data.find(b"\0", start)
        if end < 0:
            raise ValueError("an imported DLL's name runs past the end of the file")
        names.append(data[start:end].decode("ascii", errors="replace"))


def icon_group_images(group):
    """The RT_ICON ids that an RT_GROUP_ICON resource names."""
    count = _unpack("<4xH", group, 0)[0]
    return [_unpack("<12xH", group, 6 + 14 * i)[0] for i in range(count)]
