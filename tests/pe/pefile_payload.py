#!/usr/bin/python3
# pefile_payload.py IMAGE...
# For each image, one line "IMAGE =HEX": the bytes of the resource "KORMIT"
# of type "FILESPACK" in its first language, as Debian's pefile maps them
# (it follows the Windows loader), in hex; "IMAGE -" where pefile finds none.
# Run by Debian's own python3, which holds pefile.
import sys

import pefile


def named(entries, name):
    for entry in entries:
        if entry.name is not None and str(entry.name).upper() == name:
            return entry
    return None


def payload(path):
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        kind = named(pe.DIRECTORY_ENTRY_RESOURCE.entries, "FILESPACK")
        name = named(kind.directory.entries, "KORMIT")
        leaf = name.directory.entries[0].data.struct
        return pe.get_data(leaf.OffsetToData, leaf.Size) if leaf.Size > 0 else b""
    except Exception:  # refused, or no such resource
        return None


for image in sys.argv[1:]:
    found = payload(image)
    print(image, "-" if found is None else "=" + found.hex())
