#!/usr/bin/python3
"""`cpack -G DEB` makes a Debian package that installs like desktop software:
the control fields are right, the files land where a desktop finds them in an
unpacked root, the AppStream metadata and the desktop entry validate, and
lintian reports no errors.

usage: package_check.py path/to/cpack path/to/build-dir version

Exits 77 (skipped) where no Debian package can be made: no dpkg-deb or
dpkg-shlibdeps. The package is made in a temporary directory."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from install_check import Failure, check, check_layout, metainfo_files

SKIP = 77

# The libraries whose packages carry what the program loads without the
# linker seeing it: the xcb platform plugin, the TLS backends, the CUPS
# print plugin.
NEEDED = ("libqt6gui6", "libqt6network6", "libqt6printsupport6", "libqt6widgets6")


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    check(result.returncode == 0,
          f"{' '.join(command)} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result.stdout


def control_fields(deb):
    fields = {}
    name = None
    for line in run(["dpkg-deb", "--field", deb]).splitlines():
        if line[:1] in (" ", "\t") and name:
            fields[name] += "\n" + line
        elif ":" in line:
            name, value = line.split(":", 1)
            fields[name] = value.strip()
    return fields


def depends_names(depends):
    return {re.split(r"[\s(]", alternative.strip())[0]
            for item in depends.split(",") for alternative in item.split("|")}


def check_control(deb, version, arch):
    fields = control_fields(deb)
    print(run(["dpkg-deb", "--info", deb]))
    check(fields.get("Package") == "vormant", f"the package is named {fields.get('Package')!r}")
    check(fields.get("Version") == version,
          f"the package has version {fields.get('Version')!r}, the project {version}")
    check(fields.get("Architecture") == arch, f"the package is for {fields.get('Architecture')!r}")
    missing = [name for name in NEEDED if name not in depends_names(fields.get("Depends", ""))]
    check(not missing, f"Depends lacks {missing}: {fields.get('Depends')!r}")


def check_contents(deb):
    listing = run(["dpkg-deb", "--contents", deb])
    for line in listing.splitlines():
        mode, owner, _, _, _, path = line.split(None, 5)
        check(owner == "root/root", f"{path} belongs to {owner}, not root/root")
        check(path.startswith("./usr/"), f"{path} is outside /usr")
        check(mode[0] != "d" or mode == "drwxr-xr-x", f"directory {path} has mode {mode}")


def check_appstream(root, version):
    files = metainfo_files(os.path.join(root, "usr"))
    release = ElementTree.parse(files[0]).getroot().find("releases/release")
    check(release is not None and release.get("version") == version,
          f"the newest AppStream release is {release.get('version') if release is not None else None}, "
          f"the package {version}")
    result = subprocess.run(["appstreamcli", "validate", "--no-net", "--explain", files[0]],
                            capture_output=True, text=True)
    check(result.returncode == 0,
          f"appstreamcli validate --no-net {files[0]}:\n{result.stdout}{result.stderr}")
    # The metainfo file, its desktop entry and its icon together, as a
    # software centre reads them from an installed system.
    result = subprocess.run(["appstreamcli", "validate-tree", "--no-net", root],
                            capture_output=True, text=True)
    check(result.returncode == 0,
          f"appstreamcli validate-tree --no-net {root}:\n{result.stdout}{result.stderr}")


def check_doc(root):
    doc = os.path.join(root, "usr", "share", "doc", "vormant")
    with open(os.path.join(doc, "copyright"), encoding="utf-8") as copyright_file:
        first = copyright_file.readline().strip()
    check(first == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
          f"{doc}/copyright is not in the machine-readable format: {first!r}")
    check(os.path.isfile(os.path.join(doc, "changelog.gz")), f"no changelog.gz in {doc}")


def check_lintian(deb):
    result = subprocess.run(["lintian", "--no-cfg", "--fail-on", "error", deb],
                            capture_output=True, text=True)
    print(f"lintian {os.path.basename(deb)}:\n{result.stdout}{result.stderr}", end="")
    errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
    check(result.returncode == 0 and not errors,
          f"lintian failed ({result.returncode}):\n" + "\n".join(errors or [result.stderr]))


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    cpack, build, version = sys.argv[1:]
    for tool in ("dpkg-deb", "dpkg-shlibdeps"):
        if not shutil.which(tool):
            print(f"SKIP: no {tool} here, so no Debian package can be made")
            return SKIP
    for tool, package in (("lintian", "lintian"), ("appstreamcli", "appstream"),
                          ("desktop-file-validate", "desktop-file-utils"), ("file", "file")):
        if not shutil.which(tool):
            print(f"FAIL: {tool} is missing: install {package} (tools/debian-packages-test.txt)",
                  file=sys.stderr)
            return 1
    arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                          text=True).stdout.strip()
    work = tempfile.mkdtemp(prefix="vormant-package-")
    try:
        run([cpack, "-G", "DEB", "-B", work, "--config", os.path.join(build, "CPackConfig.cmake")],
            cwd=build)
        debs = glob.glob(os.path.join(work, "*.deb"))
        expected = os.path.join(work, f"vormant_{version}_{arch}.deb")
        check(debs == [expected], f"cpack made {debs}, not {expected}")
        print(f"{os.path.basename(expected)}: {os.path.getsize(expected)} bytes")
        check_control(expected, version, arch)
        check_contents(expected)

        root = os.path.join(work, "root")
        run(["dpkg-deb", "-x", expected, root])
        check_layout(os.path.join(root, "usr"))
        check_appstream(root, version)
        check_doc(root)
        check_lintian(expected)
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
