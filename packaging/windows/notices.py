#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for the Windows zip: the copyright notices
and licence texts of the third-party code inside the DLLs it carries.

  notices.py --qt-licenses DIR --output FILE DLL...

Qt's part comes from what packaging/windows/build-qt kept of qtbase's source:
every qt_attribution.json (Qt's own record of the code it bundles, such as
PCRE2, HarfBuzz, double-conversion, md4c, libpng and zlib) with the licence
files beside it, and the list of qtbase's files the compiler read. An entry is
listed when its files were compiled into the Windows build. The DLLs that do
not come from Qt (the compiler's runtime) are looked up in the Debian packages
that installed them, whose copyright files are their notices; the texts those
files refer to in /usr/share/common-licenses follow at the end.
"""

import argparse
import fnmatch
import json
import os
import re
import subprocess

RULE = "=" * 78


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read().rstrip() + "\n"


def as_list(value):
    if value is None:
        return []
    return [value] if isinstance(value, str) else list(value)


def qt_entries(qtbase):
    """(directory of the attribution file, entry) for each bundled component
    whose files the compiler read."""
    with open(os.path.join(qtbase, "compiled-files.txt"), encoding="utf-8") as f:
        compiled = [line.strip() for line in f if line.strip()]
    for folder, _, names in sorted(os.walk(qtbase)):
        if "qt_attribution.json" not in names:
            continue
        rel = os.path.relpath(folder, qtbase)
        with open(os.path.join(folder, "qt_attribution.json"), encoding="utf-8") as f:
            data = json.loads(f.read(), strict=False)
        for entry in data if isinstance(data, list) else [data]:
            base = os.path.normpath(os.path.join(rel, entry.get("Path", ".")))
            files = entry.get("Files")
            files = files.split() if isinstance(files, str) else list(files or [])
            if files:
                patterns = [os.path.normpath(os.path.join(rel, f)) for f in files]
                patterns += [os.path.normpath(os.path.join(base, f)) for f in files]
                used = any(fnmatch.fnmatch(c, p) for c in compiled for p in patterns)
            else:
                used = any(c.startswith(base + "/") for c in compiled)
            if used:
                yield folder, entry


def qt_licence_texts(qtbase, folder, entry):
    files = entry.get("LicenseFiles") or as_list(entry.get("LicenseFile"))
    texts = [read(os.path.join(folder, f)) for f in files if os.path.isfile(os.path.join(folder, f))]
    if texts:
        return texts
    # No file of its own: the SPDX texts of the identifiers it names.
    for spdx in re.findall(r"[A-Za-z0-9.+-]+", entry.get("LicenseId", "")):
        path = os.path.join(qtbase, "LICENSES", spdx + ".txt")
        if spdx not in ("AND", "OR", "WITH") and os.path.isfile(path):
            texts.append(read(path))
    return texts


def qt_section(qtbase):
    out = []
    for folder, entry in qt_entries(qtbase):
        title = entry.get("Name", entry.get("Id", "?"))
        if entry.get("Version"):
            title += " " + entry["Version"]
        out += [RULE, title + " (inside Qt's DLLs)"]
        if entry.get("Homepage"):
            out.append(entry["Homepage"])
        out.append("")
        out += [line for c in as_list(entry.get("Copyright")) for line in c.splitlines()]
        out.append("License: " + entry.get("License", entry.get("LicenseId", "?")))
        for text in qt_licence_texts(qtbase, folder, entry):
            out += ["", text]
    return out


def package_of(path):
    for candidate in (os.path.realpath(path), path):
        result = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
        if result.returncode == 0:
            return result.stdout.split(":")[0]
    raise SystemExit(f"notices.py: no Debian package installed {path}")


def runtime_section(dlls):
    out, packages, common = [], {}, {}
    for dll in dlls:
        packages.setdefault(package_of(dll), []).append(os.path.basename(dll))
    for package, names in sorted(packages.items()):
        copyright_text = read(os.path.join("/usr/share/doc", package, "copyright"))
        out += [RULE, f"{', '.join(sorted(names))}: the compiler's runtime, from Debian's {package}",
                "", copyright_text]
        for name in re.findall(r"/usr/share/common-licenses/([A-Za-z0-9.+-]+)", copyright_text):
            path = os.path.realpath("/usr/share/common-licenses/" + name)
            if os.path.isfile(path):
                common.setdefault(path, []).append(name)
    for path, names in common.items():
        names = " and ".join(f"/usr/share/common-licenses/{n}" for n in dict.fromkeys(names))
        out += [RULE, f"The text referred to above as {names}", "", read(path)]
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qt-licenses", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("dlls", nargs="*")
    args = parser.parse_args()
    qt_prefix = os.path.realpath(os.path.join(args.qt_licenses, ".."))
    runtime = [d for d in args.dlls if not os.path.realpath(d).startswith(qt_prefix + "/")]
    lines = [
        "Third-party notices for the Quadrelink program for Windows",
        "",
        "Qt itself (Qt6*.dll, platforms\\, styles\\) is under the GNU LGPL version 3:",
        "its licence texts are in licenses\\Qt\\, and README.txt says where its",
        "sources are. The DLLs carry code of the projects below, whose licences ask",
        "that their notices travel with the binaries.",
        "",
    ]
    lines += qt_section(os.path.join(args.qt_licenses, "qtbase"))
    lines += runtime_section(runtime)
    with open(args.output, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines).rstrip() + "\n")


if __name__ == "__main__":
    main()
