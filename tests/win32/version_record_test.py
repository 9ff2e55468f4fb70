#!/usr/bin/env python3
"""Reads the version record, string 1 and icon 1 back from Tarnlight.scr,
and the DLLs it imports. Usage: version_record_test.py Tarnlight.scr VERSION"""

import sys

import pefile

# Everything else (mfplat.dll among them) is loaded at run time, so that the
# program starts on a system without it.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "user32.dll",
               "shell32.dll"}


def main():
    path, version = sys.argv[1:3]
    pe = pefile.PE(path)
    expected = {"ProductName": "Tarnlight", "FileDescription": "Tarnlight",
                "FileVersion": version, "OriginalFilename": "Tarnlight.scr"}
    found = {k.decode(): v.decode() for info in pe.FileInfo[0]
             if info.Key == b"StringFileInfo" for table in info.StringTable
             if table.LangID.upper() == b"040904B0"
             for k, v in table.entries.items()}
    errors = [f"{k}: {found.get(k)!r}" for k, v in expected.items() if found.get(k) != v]
    strings = [block.directory.strings.get(1)
               for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries
               if kind.id == pefile.RESOURCE_TYPE["RT_STRING"]
               for block in kind.directory.entries]
    if "Tarnlight" not in strings:
        errors.append(f"string 1 is none of {strings!r}")
    # The icon's pixels are the unit tests'; here, that the file carries it.
    icons = [pe.get_data(lang.data.struct.OffsetToData, 8)[4:8]
             for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries
             if kind.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
             for group in kind.directory.entries if group.id == 1
             for lang in group.directory.entries]
    if icons != [b"\x01\x00\x10\x10"]:
        errors.append(f"icon 1 is {icons!r}, not one 16 x 16 image")
    imports = {d.dll.decode().lower() for d in pe.DIRECTORY_ENTRY_IMPORT}
    if not imports <= SYSTEM_DLLS:
        errors.append(f"imports {sorted(imports - SYSTEM_DLLS)}")
    print("\n".join(errors) or "version record, string 1, icon 1 and imports as expected")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
