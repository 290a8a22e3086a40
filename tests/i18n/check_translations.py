#!/usr/bin/env python3
"""Every text of the program's own has its English translation, and the catalogues are those of the sources.

Runs scripts/update_translations.sh on copies of res/i18n/*.ts and fails when that would change them (a text
added to or dropped from the sources without its catalogue following), when a text has no English, or when a
translation loses or invents one of its source's %1..%9 (a path or a reason that would no longer be shown).
Usage: check_translations.py <source root>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"%(\d)")


def problems_in(path):
    found = []
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            text = "".join(translation.itertext()) if translation is not None else ""
            where = f"{os.path.basename(path)} [{name}] {source!r}"
            if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete") or not text:
                found.append(f"{where}: no English")
            elif sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
                found.append(f"{where}: the English {text!r} has other placeholders")
            elif re.search(r"[\u4e00-\u9fff]", text):
                found.append(f"{where}: the English {text!r} is still Chinese")
    return found


def main():
    root = sys.argv[1]
    catalogues = os.path.join(root, "res", "i18n")
    names = sorted(n for n in os.listdir(catalogues) if n.endswith("_en.ts"))
    problems = []
    with tempfile.TemporaryDirectory() as copies:
        for name in names:
            shutil.copy(os.path.join(catalogues, name), copies)
        env = dict(os.environ, QUOR_TS_DIR=copies)
        subprocess.run(["bash", os.path.join(root, "scripts", "update_translations.sh")], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for name in names:
            with open(os.path.join(catalogues, name), encoding="utf-8") as a, \
                 open(os.path.join(copies, name), encoding="utf-8") as b:
                if a.read() != b.read():
                    problems.append(f"{name}: not up to date with the sources (run scripts/update_translations.sh)")
            problems += problems_in(os.path.join(copies, name))
    texts = sum(len(ET.parse(os.path.join(catalogues, n)).getroot().findall(".//message")) for n in names)
    for p in problems:
        print("FAIL:", p)
    print(f"translations: {texts} texts in {len(names)} catalogues, {len(problems)} problems")
    return 1 if problems or texts == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
