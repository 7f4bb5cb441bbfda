"""Reads the parts of a PE image the release needs: the header fields that
say where it loads (machine, time stamp, OS and subsystem versions) and the
functions it imports, by DLL."""
import struct

# Data directory indexes.
IMPORTS, DELAY_IMPORTS = 1, 13


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, count, self.timestamp = struct.unpack_from("<HHI", data, self.pe + 4)
        opt_size = struct.unpack_from("<H", data, self.pe + 20)[0]
        self.opt = self.pe + 24
        self.pe32plus = struct.unpack_from("<H", data, self.opt)[0] == 0x20B
        self.os_version = struct.unpack_from("<HH", data, self.opt + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, self.opt + 48)
        self.subsystem = struct.unpack_from("<H", data, self.opt + 68)[0]
        dirs = self.opt + (112 if self.pe32plus else 96)
        ndirs = struct.unpack_from("<I", data, dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) if i < ndirs else (0, 0)
                     for i in range(16)]
        self.sections = []
        for i in range(count):
            s = self.opt + opt_size + 40 * i
            name = self._section_name(data[s:s + 8].rstrip(b"\0").decode("latin-1"))
            vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((name, va, max(vsize, rawsize), raw, rawsize))

    def _section_name(self, raw):
        """Names longer than 8 bytes are "/N": offset N in the COFF string
        table, which follows the symbol table."""
        if not raw.startswith("/") or not raw[1:].isdigit():
            return raw
        symbols, nsymbols = struct.unpack_from("<II", self.data, self.pe + 12)
        at = symbols + 18 * nsymbols + int(raw[1:])
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    # Offset in the file of the header's TimeDateStamp.
    @property
    def timestamp_offset(self):
        return self.pe + 8

    def off(self, rva):
        for _, va, size, raw, _ in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address 0x%x outside every section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")

    def section_names(self):
        return [s[0] for s in self.sections]

    def imports(self):
        """{"kernel32.dll": {"CreateFileW", "#12" (by ordinal), ...}}, DLL names
        in lower case."""
        rva = self.dirs[IMPORTS][0]
        result = {}
        o = self.off(rva) if rva else None
        width, flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while o is not None:
            lookup, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, o)
            if not (lookup or name or thunk):
                break
            funcs = result.setdefault(self.cstr(name).lower(), set())
            t = self.off(lookup or thunk)
            while True:
                entry = struct.unpack_from("<Q" if width == 8 else "<I", self.data, t)[0]
                if not entry:
                    break
                funcs.add("#%d" % (entry & 0xFFFF) if entry & flag else self.cstr((entry & 0x7FFFFFFF) + 2))
                t += width
            o += 20
        return result

    def has_delay_imports(self):
        return self.dirs[DELAY_IMPORTS][0] != 0


def checksum_offset(image):
    """Offset of the optional header's CheckSum field."""
    return image.opt + 64


def pe_checksum(data, skip):
    """The PE image checksum: 16-bit words summed with the carry folded back,
    the checksum field itself (at `skip`) counted as zero, plus the length."""
    total = 0
    padded = data + (b"\0" if len(data) % 2 else b"")
    words = memoryview(padded).cast("H")
    for i, w in enumerate(words):
        if skip <= 2 * i < skip + 4:
            continue
        total += w
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def set_timestamp(data, seconds):
    """The image with its header time stamp set to `seconds` and its checksum
    (if it carries one) made right again."""
    image = PeImage(data)
    out = bytearray(data)
    struct.pack_into("<I", out, image.timestamp_offset, seconds)
    at = checksum_offset(image)
    if struct.unpack_from("<I", out, at)[0]:
        struct.pack_into("<I", out, at, pe_checksum(bytes(out), at))
    return bytes(out)
