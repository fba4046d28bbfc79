#!/usr/bin/env python3
"""The layers' rules that the compiler's include paths alone do not enforce.

Each layer (util <- platform <- engine <- printing <- app) sees only its own
headers and those below it, through include directories of its own. These
ways around that are refused here:
  - an include whose path steps up a folder ("../app/frmMain.h",
    <platform/../app/Module1.h>): it reaches any file from any layer;
  - a QtWidgets header, in any spelling (<QWidget>, <QtWidgets/QWidget>,
    <qwidget.h>, <QtWidgets>), in engine/, printing/ or util/: widgets are
    made by the window (app/) and by the controls that stand for the
    platform's (platform/), nowhere else;
  - an extern declaration of a variable that no source of the same layer
    defines: that is a name of another layer, reached without its header;
  - a call from the engine's notes into the hints, the evidence or the MX
    look-ups: notes only write, and the engine chooses a hint after its note.

  check-layers.py ROOT WIDGETS_INCLUDE_DIR        check the tree at ROOT
  check-layers.py --self-test ROOT WIDGETS_DIR    plant each escape once in a
                                                  copy and see it refused
"""
import os
import re
import shutil
import sys
import tempfile

LAYERS = ["util", "platform", "engine", "printing", "app"]
WITHOUT_WIDGETS = {"util", "engine", "printing"}
SOURCE_ENDINGS = (".h", ".cpp")

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)
EXTERN = re.compile(r'^\s*extern\s+(?!"C")(?!template\b)([^;{(]+);', re.M)
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)
NOTES = ("engine/Notes.h", "engine/Notes.cpp")
CHOOSES_HINTS = re.compile(r"\b(Hints|RunEvidence|MxLookup)::\w+\s*\(")


def sources(root, layer):
    top = os.path.join(root, layer)
    for folder, _, names in os.walk(top):
        for name in sorted(names):
            if name.endswith(SOURCE_ENDINGS):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as f:
                    yield os.path.relpath(path, root), COMMENT.sub("", f.read())


def widget_headers(widgets_dir):
    names = {n for n in os.listdir(widgets_dir)}
    return {n.lower() for n in names} | {"qtwidgets"}


def is_widget_header(path, widgets):
    parts = path.replace("\\", "/").split("/")
    if parts[0].lower() == "qtwidgets":
        return True
    return len(parts) == 1 and parts[0].lower() in widgets


def declared_name(declaration):
    # The declarator's name: the last identifier before an array bound.
    head = declaration.split("[")[0].split("=")[0]
    names = re.findall(r"[A-Za-z_]\w*", head)
    return names[-1] if names else ""


def defines(text, name):
    for line in text.splitlines():
        if re.match(r"\s*(extern|return)\b", line):
            continue
        if re.search(r"[\w>&*]\s+(\w+::)*" + re.escape(name) + r"\s*(\[|=|;|\{)", line):
            return True
    return False


def check(root, widgets_dir):
    widgets = widget_headers(widgets_dir)
    problems = []
    for layer in LAYERS:
        files = list(sources(root, layer))
        definitions = [text for path, text in files if path.endswith(".cpp")]
        for path, text in files:
            for include in INCLUDE.findall(text):
                if ".." in include.replace("\\", "/").split("/"):
                    problems.append(f"{path}: includes {include}, a path out of its folder")
                if layer in WITHOUT_WIDGETS and is_widget_header(include, widgets):
                    problems.append(f"{path}: includes the widget header {include}")
            for declaration in EXTERN.findall(text):
                name = declared_name(declaration)
                if not any(defines(d, name) for d in definitions):
                    problems.append(
                        f"{path}: extern {name}, which no source of {layer}/ defines")
            if path.replace(os.sep, "/") in NOTES and CHOOSES_HINTS.search(text):
                problems.append(f"{path}: a note that chooses hints; notes only write")
    return problems


# Each escape: the layer file it goes into, the line planted, what must be said.
ESCAPES = [
    ("engine/Monitor.cpp", '#include "../app/frmMain.h"', "a path out of its folder"),
    ("engine/Monitor.cpp", "#include <platform/../app/Module1.h>", "a path out of its folder"),
    ("engine/Monitor.cpp", "#include <QtWidgets/QWidget>", "the widget header"),
    ("printing/PrintLog.cpp", "#  include <QtWidgets>", "the widget header"),
    ("util/Base64.cpp", "#include <qpushbutton.h>", "the widget header"),
    ("engine/Monitor.cpp", "extern QPointer<frmMain> MainForm;", "which no source of engine/"),
    ("printing/PrintLog.cpp", "extern std::int16_t SmtpStep;", "which no source of printing/"),
    ("engine/Notes.cpp", "void Planted() { RunEvidence::HintAfter({}); }", "chooses hints"),
]


def self_test(root, widgets_dir):
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        for layer in LAYERS:
            shutil.copytree(os.path.join(root, layer), os.path.join(scratch, layer))
        clean = check(scratch, widgets_dir)
        if clean:
            print("the tree itself is refused:", *clean, sep="\n  ")
            failures += 1
        for target, line, said in ESCAPES:
            path = os.path.join(scratch, target)
            with open(path, encoding="utf-8") as f:
                original = f.read()
            with open(path, "w", encoding="utf-8") as f:
                f.write(line + "\n" + original)
            found = check(scratch, widgets_dir)
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
            if not any(p.startswith(target) and said in p for p in found):
                print(f"not refused: {line} in {target} (said: {found})")
                failures += 1
            else:
                print(f"refused: {line} in {target}")
    return failures


def main(argv):
    if len(argv) == 4 and argv[1] == "--self-test":
        return 1 if self_test(argv[2], argv[3]) else 0
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    problems = check(argv[1], argv[2])
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("Every layer keeps to its own headers and those below it.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
