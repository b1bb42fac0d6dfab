#!/usr/bin/env python3
"""windows-deploy.py --dest DIR --search DIR... [--plugins DIR --plugin KIND/NAME.dll...]
[--library NAME.dll...] [--list FILE] PROGRAM.exe...

Puts beside the programs the DLLs they load that Windows does not have: every DLL named in the
import tables of the programs, of the given Qt plugins and of those DLLs in turn, found in the
search folders (Qt's bin folder, the compiler's runtime). A DLL found in none of them is the
system's own and stays out. The plugins go to DIR/KIND/. Copies only what changed, and prints
the deployed files, one per line, relative to DIR (or writes them to FILE)."""
import argparse
import os
import shutil
import struct
import subprocess
import sys


def imports_of(path):
    """The DLL names in the import table of a PE file."""
    with open(path, "rb") as file:
        data = file.read()
    if data[:2] != b"MZ":
        sys.exit(f"windows-deploy: {path} is not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"windows-deploy: {path} is not a Windows program")
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    sections = []
    table = optional + optional_size
    for i in range(sections_count):
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        sections.append((rva, max(size, raw_size), raw))

    def offset(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        sys.exit(f"windows-deploy: {path}: damaged import table")

    names = []
    if import_rva == 0:
        return names
    entry = offset(import_rva)
    while entry + 20 <= len(data):
        name_rva = struct.unpack_from("<I", data, entry + 12)[0]
        if name_rva == 0:
            break
        start = offset(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode("ascii"))
        entry += 20
    return names


def find(name, search):
    for folder in search:
        for candidate in os.listdir(folder):
            if candidate.lower() == name.lower():
                return os.path.join(folder, candidate)
    return None


STRIP = None


def copy(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    if (os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(source)
            and (STRIP or os.path.getsize(target) == os.path.getsize(source))):
        return
    shutil.copy2(source, target)
    if STRIP:
        subprocess.run([STRIP, "--strip-unneeded", target], check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[1])
    parser.add_argument("--dest", required=True)
    parser.add_argument("--search", action="append", default=[])
    parser.add_argument("--plugins", default="")
    parser.add_argument("--plugin", action="append", default=[])
    parser.add_argument("--library", action="append", default=[],
                        help="a DLL of the search folders to put there too, with what it loads")
    parser.add_argument("--list", help="a file that receives the list of deployed files")
    parser.add_argument("--strip", help="the strip program: the copies lose their symbols")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    global STRIP
    STRIP = args.strip
    search = [folder for folder in args.search if os.path.isdir(folder)]

    deployed = []
    pending = list(args.programs)
    for plugin in args.plugin:
        source = os.path.join(args.plugins, plugin)
        if not os.path.isfile(source):
            sys.exit(f"windows-deploy: the plugin {source} is missing")
        copy(source, os.path.join(args.dest, plugin))
        deployed.append(plugin.replace(os.sep, "/"))
        pending.append(source)
    seen = set()
    for name in args.library:
        source = find(name, search)
        if source is None:
            sys.exit(f"windows-deploy: {name} is in none of the search folders")
        seen.add(name.lower())
        copy(source, os.path.join(args.dest, os.path.basename(source)))
        deployed.append(os.path.basename(source))
        pending.append(source)
    while pending:
        for name in imports_of(pending.pop()):
            if name.lower() in seen:
                continue
            seen.add(name.lower())
            source = find(name, search)
            if source is None:
                continue  # the system's own
            copy(source, os.path.join(args.dest, os.path.basename(source)))
            deployed.append(os.path.basename(source))
            pending.append(source)
    text = "".join(name + "\n" for name in sorted(deployed))
    if args.list:
        with open(args.list, "w") as file:
            file.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
