"""The built Bootstrapper.exe itself: its size, hardening, imports and the resources it
carries."""

from __future__ import annotations

import struct
from pathlib import Path

import pefile
import pytest

import winehost

# DLLs every Windows has. msi.dll is loaded at run time by full path, never imported:
# an imported DLL that is not a KnownDLL is searched for beside the program first.
ALLOWED_IMPORTS = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"}
# Functions the program looks up at run time instead, so that it starts on Windows 2000.
LATER_THAN_WINDOWS_2000 = {b"SetDefaultDllDirectories", b"SetDllDirectoryA", b"SetDllDirectoryW",
                           b"GetTickCount64", b"InitializeCriticalSectionEx", b"FlsAlloc"}

LANG_NEUTRAL = 0x000
LANG_GERMAN_GERMANY = 0x407

SIZE_LIMIT = 24576
RESOURCES = Path(__file__).resolve().parents[2] / "res"


@pytest.fixture(scope="module")
def exe():
    path = winehost.build_file(winehost.find_build_dir(), "Bootstrapper.exe")
    pe = pefile.PE(str(path))
    yield pe
    pe.close()


def resources(pe, type_id):
    """{(id, language): bytes} of one resource type."""
    found = {}
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != type_id:
            continue
        for name in entry.directory.entries:
            for lang in name.directory.entries:
                data = lang.data.struct
                found[(name.id, lang.id)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def test_is_a_32_bit_gui_program(exe):
    assert exe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
    assert exe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]


def test_fits_its_size_limit(exe):
    assert len(exe.__data__) <= SIZE_LIMIT


def test_keeps_aslr_and_dep_and_is_terminal_server_aware(exe):
    flags = exe.OPTIONAL_HEADER.DllCharacteristics
    assert flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]
    assert flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]
    # Remote Desktop hosts apply no compatibility handling to the program.
    assert flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE"]
    # Without relocations the loader cannot move the image, whatever the flag says.
    assert not exe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    assert exe.DIRECTORY_ENTRY_BASERELOC


def test_version_information_of_the_default_branding(exe):
    strings = {key.decode(): value.decode("utf-8")
               for info in exe.FileInfo[0] for table in getattr(info, "StringTable", [])
               for key, value in table.entries.items()}
    assert strings == {
        "CompanyName": "Bootstrapper Project",
        "FileDescription": "Setup bootstrapper",
        "FileVersion": "1.0.0",
        "InternalName": "Bootstrapper",
        "LegalCopyright": "Copyright (C) Bootstrapper Project",
        "OriginalFilename": "Bootstrapper.exe",
        "ProductName": "Bootstrapper",
        "ProductVersion": "1.0.0",
    }
    fixed = exe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010000, 0)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00010000, 0)


def test_imports_only_dlls_every_windows_has(exe):
    dlls = {entry.dll.decode().upper() for entry in exe.DIRECTORY_ENTRY_IMPORT}
    assert dlls <= ALLOWED_IMPORTS, f"unexpected imports: {sorted(dlls - ALLOWED_IMPORTS)}"
    functions = {imp.name for entry in exe.DIRECTORY_ENTRY_IMPORT for imp in entry.imports}
    assert not functions & LATER_THAN_WINDOWS_2000


def test_manifest_requests_administrator_rights_and_nothing_else(exe):
    manifests = resources(exe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
    assert list(manifests) == [(1, LANG_NEUTRAL)]
    text = manifests[(1, LANG_NEUTRAL)].decode("utf-8")
    assert 'level="requireAdministrator"' in text and 'uiAccess="false"' in text
    assert "<trustInfo" in text
    for other in ("<dependency", "<compatibility", "<application", "dpiAware"):
        assert other not in text


@pytest.mark.parametrize("group, size, bits, source", [(107, 32, 4, "application_large.ico"),
                                                       (108, 16, 8, "application_small.ico")])
def test_icon_groups_hold_one_image_each(exe, group, size, bits, source):
    groups = resources(exe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    data = next(v for (gid, _), v in groups.items() if gid == group)
    reserved, kind, count = struct.unpack_from("<HHH", data)
    assert (reserved, kind, count) == (0, 1, 1)
    width, height, colours, _, planes, bit_count, _, icon_id = struct.unpack_from("<BBBBHHIH", data, 6)
    assert (width, height, bit_count) == (size, size, bits)
    assert colours == (16 if bits == 4 else 0)
    icons = resources(exe, pefile.RESOURCE_TYPE["RT_ICON"])
    image = next(v for (iid, _), v in icons.items() if iid == icon_id)
    header_width, header_height, _, header_bits = struct.unpack_from("<iiHH", image, 4)
    assert (header_width, header_height, header_bits) == (size, 2 * size, bits)
    # The default build carries the icons of res/ unchanged.
    ico = (RESOURCES / source).read_bytes()
    image_size, image_offset = struct.unpack_from("<II", ico, 14)
    assert image == ico[image_offset:image_offset + image_size]


def string_table(exe):
    """{id: text} of the language-neutral string table."""
    strings = {}
    for (block, lang), data in resources(exe, pefile.RESOURCE_TYPE["RT_STRING"]).items():
        assert lang == LANG_NEUTRAL
        offset = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", data, offset)
            offset += 2
            if length:
                strings[(block - 1) * 16 + index] = data[offset:offset + 2 * length].decode("utf-16-le")
            offset += 2 * length
    return strings


def test_string_table_holds_the_dialog_texts_in_utf16(exe):
    assert string_table(exe) == {
        103: "Wählen Sie eine Setup-Sprache aus",
        104: "OK",
        105: "Abbrechen",
        106: "Choose your setup language",
        107: "OK",
        108: "Cancel",
        109: "Wählen Sie die Sprache dieser Installation aus der unten aufgeführten Auswahl aus.",
        110: "Choose one of the setup languages below.",
    }


def test_language_dialog_template(exe):
    dialogs = resources(exe, pefile.RESOURCE_TYPE["RT_DIALOG"])
    assert list(dialogs) == [(129, LANG_GERMAN_GERMANY)]
    data = dialogs[(129, LANG_GERMAN_GERMANY)]
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data)
    assert (version, signature, help_id) == (1, 0xFFFF, 0)
    assert ex_style == 0x00040000  # WS_EX_APPWINDOW
    # WS_POPUP WS_VISIBLE WS_CAPTION WS_SYSMENU DS_MODALFRAME DS_SETFONT DS_FIXEDSYS DS_CENTER DS_SYSMODAL
    assert style == 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40 | 0x08 | 0x800 | 0x02
    assert (count, x, y, cx, cy) == (4, 0, 0, 252, 73)
    title = "Dialog".encode("utf-16-le")
    font = struct.pack("<HHBB", 8, 400, 0, 1) + "MS Shell Dlg".encode("utf-16-le") + b"\0\0"
    # no menu, the standard class, the title, then the font
    assert data[26:30] == b"\0\0\0\0"
    assert data[30:30 + len(title) + 2] == title + b"\0\0"
    assert data[30 + len(title) + 2:].startswith(font)
