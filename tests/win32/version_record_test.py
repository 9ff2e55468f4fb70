#!/usr/bin/env python3
"""Reads the version record and string 1 back from Tarnlight.scr, and the
DLLs it imports. Usage: version_record_test.py Tarnlight.scr VERSION"""

import sys

import pefile

SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "user32.dll",
               "shell32.dll"}


def string_one(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE["RT_STRING"]:
            for block in kind.directory.entries:
                if 1 in block.directory.strings:
                    return block.directory.strings[1]
    return None


def main():
    path, version = sys.argv[1:3]
    pe = pefile.PE(path)
    expected = {"ProductName": "Tarnlight", "FileDescription": "Tarnlight",
                "Comments": "Tarnlight", "InternalName": "Tarnlight",
                "FileVersion": version, "ProductVersion": version,
                "OriginalFilename": "Tarnlight.scr"}
    found, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                if table.LangID.upper() == b"040904B0":
                    found = {k.decode(): v.decode() for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    errors = [f"{k}: {found.get(k)!r}" for k, v in expected.items() if found.get(k) != v]
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [int(n) for n in version.split(".")]
    for field in ("FileVersionMS", "ProductVersionMS"):
        value = getattr(fixed, field)
        if [value >> 16, value & 0xFFFF] != numbers[:2]:
            errors.append(f"{field} {value:#x}")
    if [t.decode() if isinstance(t, bytes) else t for t in translations] != ["0x0409 0x04b0"]:
        errors.append(f"translation {translations}")
    if string_one(pe) != "Tarnlight":
        errors.append(f"string 1 is {string_one(pe)!r}")
    imports = {d.dll.decode().lower() for d in pe.DIRECTORY_ENTRY_IMPORT}
    if not imports <= SYSTEM_DLLS:
        errors.append(f"imports {sorted(imports - SYSTEM_DLLS)}")
    print("\n".join(errors) or "version record, string 1 and imports as expected")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
