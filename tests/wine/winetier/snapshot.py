"""What a scenario's machine holds, read from outside Wine: the registry as
Wine's wineserver saved it, and the file tree of drive C: with each file's
size, content hash and read-only/hidden attributes. Two snapshots compare
into what disappeared, what appeared and what changed."""

import hashlib
import os
import re

# Registry files of a prefix and the root each one holds.
REGISTRY_FILES = (("system.reg", "HKLM"), ("user.reg", "HKCU"))

# Values Wine rewrites on every start, whatever a program does: the drivers
# it loads at start-up stamp their device keys anew.
VOLATILE_VALUES = (
    re.compile(r"^hklm\\system\\currentcontrolset\\control\\class\\\{[^}]+\}\\\d{4}\\driverdatedata$"),
    re.compile(r"^hklm\\system\\currentcontrolset\\control\\class\\\{[^}]+\}\\\d{4}\\driverdate$"),
    re.compile(r"^hklm\\hardware\\"),
    re.compile(r"^hkcu\\software\\wine\\"),
    re.compile(r"^hklm\\software\\wine\\"),
)

# Folders below drive_c that Wine itself writes while programs run.
VOLATILE_PATHS = (
    re.compile(r"^c:\\windows\\temp(\\|$)"),
    re.compile(r"^c:\\users\\[^\\]+\\temp(\\|$)"),
    re.compile(r"^c:\\users\\[^\\]+\\appdata\\local\\temp(\\|$)"),
)


def _unescape_key(text):
    return text.replace("\\\\", "\\")


def read_registry(prefix):
    """Return {lower-cased path: (display path, data)}: one entry per key
    (data None) and one per value ("<key>\\<name>", name "@" for the default
    value). Time stamps are left out."""
    entries = {}
    for file_name, root in REGISTRY_FILES:
        path = os.path.join(prefix, file_name)
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8", errors="surrogateescape") as handle:
            lines = handle.read().split("\n")
        key = None
        pending = ""
        for raw in lines:
            line = pending + raw.strip() if pending else raw
            if line.endswith(",\\"):
                pending = line[:-1]
                continue
            pending = ""
            if line.startswith("["):
                end = line.rfind("]")
                key = root + "\\" + _unescape_key(line[1:end])
                entries[key.lower()] = (key, None)
            elif key is None or not line or line.startswith(("#", ";")):
                continue
            elif line.startswith("@="):
                entries[(key + "\\@").lower()] = (key + "\\@", line[2:])
            elif line.startswith('"'):
                match = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
                if match:
                    name = match.group(1).replace('\\"', '"').replace("\\\\", "\\")
                    display = key + "\\" + name
                    entries[display.lower()] = (display, match.group(2))
    # Wine writes a key only when it has values or no subkeys: the keys on
    # the way to the written ones exist all the same.
    for path, (display, data) in list(entries.items()):
        if data is None:
            parts = display.split("\\")
            for length in range(2, len(parts)):
                parent = "\\".join(parts[:length])
                entries.setdefault(parent.lower(), (parent, None))
    return {path: value for path, value in entries.items()
            if not any(pattern.search(path) for pattern in VOLATILE_VALUES)}


def _dos_attributes(path, stat):
    bits = []
    if not stat.st_mode & 0o222:
        bits.append("R")
    try:
        raw = os.getxattr(path, "user.DOSATTRIB", follow_symlinks=False)
        value = int(raw.decode("ascii", "replace").strip("\0").split("0x")[-1] or "0", 16)
        if value & 0x2:
            bits.append("H")
        if value & 0x4:
            bits.append("S")
    except (OSError, ValueError):
        pass
    return "".join(bits)


def read_files(prefix):
    """Return {lower-cased Windows path: (Windows path, description)} for
    every folder and file under drive_c."""
    drive = os.path.join(prefix, "drive_c")
    entries = {}
    for folder, dirs, files in os.walk(drive):
        dirs.sort()
        relative = os.path.relpath(folder, drive)
        base = "C:" if relative == "." else "C:\\" + relative.replace("/", "\\")
        for name in dirs:
            path = base + "\\" + name
            entries[path.lower()] = (path, "<dir>")
        for name in sorted(files):
            full = os.path.join(folder, name)
            path = base + "\\" + name
            stat = os.lstat(full)
            if os.path.islink(full):
                description = "-> " + os.readlink(full)
            else:
                # Small files are hashed; hashing the 600 MB of DLLs of
                # every prefix would cost more than the rest of the tier,
                # and no scenario writes to a large file.
                description = "%d bytes %s" % (stat.st_size, _dos_attributes(full, stat))
                if stat.st_size < 65536:
                    with open(full, "rb") as handle:
                        description += " sha1:" + hashlib.sha1(handle.read()).hexdigest()[:12]
            entries[path.lower()] = (path, description)
    return {path: value for path, value in entries.items()
            if not any(pattern.search(path) for pattern in VOLATILE_PATHS)}


class Difference:
    """Entries gone, new and changed between two readings."""

    def __init__(self, before, after):
        self.gone = {k: before[k] for k in before if k not in after}
        self.new = {k: after[k] for k in after if k not in before}
        self.changed = {k: (before[k], after[k]) for k in before
                        if k in after and before[k][1] != after[k][1]}


def difference(before, after):
    return Difference(before, after)
