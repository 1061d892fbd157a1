#!/usr/bin/env python3
"""Doxygen input filter for README.md: the README's overview (its title and
everything before the first "## " heading) becomes the main page of the
reference, so the two never drift apart.

The overview uses little Markdown: `code`, **bold**, [text](link) and "- "
lists. The first three become Doxygen's HTML commands; lists are Doxygen's
own syntax already. Characters Doxygen would read as commands are escaped.

Usage (doxygen calls it): readme_mainpage.py README.md
"""
import re
import sys

COMMAND_CHARACTERS = re.compile(r"([\\@<>&#%$])")
CODE = re.compile(r"`([^`]+)`")
BOLD = re.compile(r"\*\*([^*]+)\*\*")
LINK = re.compile(r"\[([^\]]+)\]\([^)]*\)")


def overview(lines):
    """The title and the lines of the overview section."""
    title, body = "", []
    for line in lines:
        if line.startswith("## "):
            break
        if line.startswith("# ") and not title:
            title = line[2:].strip()
        else:
            body.append(line.rstrip("\n"))
    return title, body


def to_doxygen(text):
    text = COMMAND_CHARACTERS.sub(r"\\\1", text)
    text = LINK.sub(r"\1", text)
    text = CODE.sub(r"<tt>\1</tt>", text)
    return BOLD.sub(r"<b>\1</b>", text)


def main():
    with open(sys.argv[1], encoding="utf-8") as readme:
        title, body = overview(readme)
    if not title:
        sys.exit("readme_mainpage.py: no '# ' title line in " + sys.argv[1])
    out = ["/** \\mainpage " + to_doxygen(title), " *"]
    out += [" * " + to_doxygen(line) if line.strip() else " *" for line in body]
    out.append(" */")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
