#!/usr/bin/env python3
"""deb-changelog.py CHANGELOG.md PACKAGE MAINTAINER DATE - writes the Debian changelog of the
package (a native one) to stdout: one entry per "## VERSION" section of CHANGELOG.md, its
paragraphs and bullets as items wrapped to 80 columns, a heading line as a "[ Heading ]" line."""

import re
import sys
import textwrap


def sections(text):
    """(version, [paragraph texts]) per "## VERSION" section; list items are paragraphs of their own."""
    out = []
    for line in text.splitlines():
        m = re.match(r"^## +([0-9][0-9A-Za-z.+~-]*)\s*$", line)
        if m:
            out.append((m.group(1), []))
            continue
        if not out or line.startswith("#"):
            continue
        paras = out[-1][1]
        stripped = line.strip()
        if not stripped:
            paras.append(None)
        elif stripped.startswith("- ") or not paras or paras[-1] is None:
            paras.append(stripped[2:] if stripped.startswith("- ") else stripped)
        else:
            paras[-1] += " " + stripped
    return [(v, [p for p in ps if p]) for v, ps in out]


def main():
    path, package, maintainer, date = sys.argv[1:5]
    entries = sections(open(path, encoding="utf-8").read())
    if not entries:
        sys.exit("deb-changelog.py: no '## VERSION' section in " + path)
    for version, paras in entries:
        print(f"{package} ({version}) unstable; urgency=medium\n")
        for p in paras:
            # A short line without a full stop is a heading of the items after it.
            if len(p) < 40 and not p.endswith("."):
                print(f"  [ {p} ]")
            else:
                print(textwrap.fill(p, 78, initial_indent="  * ", subsequent_indent="    "))
        print(f"\n -- {maintainer}  {date}\n")


main()
