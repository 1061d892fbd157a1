#!/usr/bin/env python3
"""Doxygen input filter for the public headers.

The headers carry plain C and C++ comments. This filter turns them into
documentation comments on the fly, keeping every line where it is (so
doxygen's warnings point at the real header lines):

  - the leading comment of the file documents the file (\\file);
  - a comment on lines of its own documents what follows it;
  - a comment after code on the same line documents that member (<);
  - separator comments ("/* ---- Lifecycle ---- */") stay plain;
  - characters that doxygen would read as markup in the comment text
    (<, >, @, \\, &, #, %) are escaped.

Usage (doxygen calls it): doc_comments.py <header>
"""
import re
import sys

SEPARATOR = re.compile(r"^\s*(/\*|//)\s*-{3,}")
MARKUP = re.compile(r"([<>@\\&#%])")
BLOCK = re.compile(r"^(?P<code>[^\"]*?)/\*(?P<text>.*)$")
LINE = re.compile(r"^(?P<code>[^\"]*?)//(?!/)\s?(?P<text>.*)$")
FILE_TAG = " \\file"


def escape(text):
    return MARKUP.sub(r"\\\1", text)


def find_comment(body):
    """('block' | 'line' | None, code before the comment, comment text)."""
    block, line = BLOCK.match(body), LINE.match(body)
    if block and (not line or len(block["code"]) < len(line["code"])):
        return "block", block["code"], block["text"]
    if line:
        return "line", line["code"], line["text"]
    return None, body, ""


def filter_header(lines):
    lines = [line.rstrip("\n") for line in lines]
    out = []
    block_open = False        # inside a /* ... */ comment being converted
    block_names_file = False
    seen_code = False         # decides which comment is the file's own

    for number, body in enumerate(lines):
        if block_open:
            end = body.find("*/")
            if end < 0:
                out.append(escape(body))
            else:
                out.append(escape(body[:end]) + (FILE_TAG if block_names_file else "") + body[end:])
                block_open = False
            continue
        if SEPARATOR.match(body):
            out.append(body)
            continue

        kind, code, text = find_comment(body)
        after_code = bool(code.strip())
        names_file = not seen_code and not after_code
        if kind == "block":
            marker = "/**<" if after_code else "/**"
            end = text.find("*/")
            if end >= 0:
                out.append(code + marker + escape(text[:end]) + (FILE_TAG if names_file else "")
                           + text[end:])
            else:
                out.append(code + marker + escape(text))
                block_open, block_names_file = True, names_file
        elif kind == "line":
            marker = "///<" if after_code else "///"
            # The last line of the leading run of // comments names the file.
            following = lines[number + 1].lstrip() if number + 1 < len(lines) else ""
            last_of_run = not following.startswith("//")
            out.append(f"{code}{marker} {escape(text)}"
                       + (FILE_TAG if names_file and last_of_run else ""))
        else:
            out.append(body)
        seen_code = seen_code or after_code
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: doc_comments.py <header>")
    with open(sys.argv[1], encoding="utf-8") as header:
        sys.stdout.write("\n".join(filter_header(header.readlines())) + "\n")


if __name__ == "__main__":
    main()
