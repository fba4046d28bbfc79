#!/usr/bin/python3
"""`cmake --install` into a fresh prefix puts the program, its desktop entry,
its icons, its AppStream metadata and its manual page where a desktop, a
software centre and man look for them, under the names the entry uses.

usage: install_check.py path/to/cmake path/to/build-dir"""

import configparser
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def png_size(path):
    with open(path, "rb") as png:
        header = png.read(24)
    check(header[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG image")
    return struct.unpack(">II", header[16:24])


def desktop_entry(path):
    result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stdout.strip(),
          f"desktop-file-validate {path}:\n{result.stdout}{result.stderr}")
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(path)
    return parser["Desktop Entry"]


def metainfo_files(prefix):
    """The AppStream files under share/metainfo/ of prefix: exactly one."""
    folder = os.path.join(prefix, "share", "metainfo")
    files = [os.path.join(folder, name) for name in sorted(os.listdir(folder))] \
        if os.path.isdir(folder) else []
    check(len(files) == 1, f"{folder} holds {files}, not one AppStream file")
    return files


def check_metainfo(prefix, desktop_id):
    path = metainfo_files(prefix)[0]
    component = ElementTree.parse(path).getroot()
    check(component.tag == "component" and component.get("type") == "desktop-application",
          f"{path} describes no desktop application")
    component_id = component.findtext("id")
    check(os.path.basename(path) == f"{component_id}.metainfo.xml",
          f"{path} is not named after its ID {component_id!r}")
    launchable = component.findtext("launchable[@type='desktop-id']")
    check(launchable == desktop_id,
          f"{path} launches {launchable!r}, the desktop entry is {desktop_id!r}")


def check_layout(prefix):
    program = os.path.join(prefix, "bin", "vormant")
    check(os.path.isfile(program) and os.access(program, os.X_OK),
          f"no executable program at {program}")

    share = os.path.join(prefix, "share")
    entry = desktop_entry(os.path.join(share, "applications", "vormant.desktop"))
    check(entry.get("Type") == "Application", "the desktop entry is no application")
    check(entry.get("Name") == "Vormant", f"the desktop entry is named {entry.get('Name')!r}")
    check(entry.get("Exec", "").split()[0] == os.path.basename(program),
          f"the desktop entry starts {entry.get('Exec')!r}, not the installed program")

    icon = entry.get("Icon", "")
    hicolor = os.path.join(share, "icons", "hicolor")
    for size in (16, 32):
        path = os.path.join(hicolor, f"{size}x{size}", "apps", f"{icon}.png")
        check(os.path.isfile(path), f"no {size} pixel icon at {path}")
        check(png_size(path) == (size, size),
              f"{path} is {png_size(path)} pixels, not {size} by {size}")
    scalable = os.path.join(hicolor, "scalable", "apps", f"{icon}.svg")
    check(os.path.isfile(scalable), f"no scalable icon at {scalable}")
    root = ElementTree.parse(scalable).getroot()
    check(root.tag == "{http://www.w3.org/2000/svg}svg", f"{scalable} is no SVG image")

    check_metainfo(prefix, "vormant.desktop")
    manual = os.path.join(share, "man", "man1", "vormant.1.gz")
    with gzip.open(manual, "rt", encoding="utf-8") as page:
        check(".TH VORMANT 1" in page.read(), f"{manual} is no manual page of vormant")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    cmake, build = sys.argv[1:]
    prefix = tempfile.mkdtemp(prefix="vormant-install-")
    try:
        result = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                                capture_output=True, text=True)
        check(result.returncode == 0, f"cmake --install failed:\n{result.stdout}{result.stderr}")
        check_layout(prefix)
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
