#!/usr/bin/python3
"""Reads the version record, string table and icon back from Tarnlight.scr."""

import sys

import pefile

EXPECTED = {"ProductName": "Tarnlight", "FileDescription": "Tarnlight",
            "Comments": "Tarnlight", "InternalName": "Tarnlight",
            "FileVersion": "1.00", "ProductVersion": "1.00",
            "OriginalFilename": "Tarnlight.scr"}


def string_one(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_STRING"]:
            continue
        for block in kind.directory.entries:
            if block.id != 1:  # strings 0..15
                continue
            entry = block.directory.entries[0]
            data = pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size)
            pos, texts = 0, []
            for _ in range(16):
                n = int.from_bytes(data[pos:pos + 2], "little")
                texts.append(data[pos + 2:pos + 2 + 2 * n].decode("utf-16-le"))
                pos += 2 + 2 * n
            return texts[1]
    return None


def resource(pe, kind_name):
    """The data of the first resource of this kind, or None."""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE[kind_name]:
            entry = kind.directory.entries[0].directory.entries[0]
            return pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size)
    return None


def icon_errors(pe):
    """The file's icon must be one 16 x 16 image of 16 colours."""
    group, image = resource(pe, "RT_GROUP_ICON"), resource(pe, "RT_ICON")
    if not group or not image:
        return ["no icon resource"]
    count = int.from_bytes(group[4:6], "little")
    width, height, colours = group[6], group[7], group[8]
    bits = int.from_bytes(group[12:14], "little")
    header = [int.from_bytes(image[i:i + 4], "little") for i in (0, 4, 8)]
    errors = []
    if (count, width, height, colours, bits) != (1, 16, 16, 16, 4):
        errors.append(f"icon group {(count, width, height, colours, bits)}")
    if header != [40, 16, 32] or int.from_bytes(image[14:16], "little") != 4:
        errors.append(f"icon image header {header}")
    return errors


def main():
    pe = pefile.PE(sys.argv[1])
    found, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                if table.LangID == b"040904B0" or table.LangID == b"040904b0":
                    found = {k.decode(): v.decode() for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    errors = [f"{k}: {found.get(k)!r}" for k, v in EXPECTED.items() if found.get(k) != v]
    if [t.decode() if isinstance(t, bytes) else t for t in translations] != ["0x0409 0x04b0"]:
        errors.append(f"translation {translations}")
    if string_one(pe) != "Tarnlight":
        errors.append(f"string 1 is {string_one(pe)!r}")
    errors += icon_errors(pe)
    imports = sorted(d.dll.decode().lower() for d in pe.DIRECTORY_ENTRY_IMPORT)
    system = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll",
              "msvcrt.dll", "ole32.dll", "oleaut32.dll", "user32.dll", "shell32.dll"}
    if not set(imports) <= system:
        errors.append(f"imports {imports}")
    print("\n".join(errors) or "version record, string 1, icon and imports as expected")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
