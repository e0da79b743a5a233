#!/usr/bin/env python3
"""Makes the help pages that ship beside Taplore.exe from the user guide.

    make_help.py README.md docs/guide-ja.md OUTDIR

writes OUTDIR/en.html from the README's section "Using Taplore" (down to the
next second-level heading) and OUTDIR/ja.html from the whole Japanese guide.
Only the Markdown the guides use is understood: headings, paragraphs, bullet
and numbered lists, tables, indented code, `code`, **bold** and [links](url).
The output depends on the input alone, so a release is reproducible.
"""
import html
import os
import re
import sys

STYLE = """body { font-family: Tahoma, "Segoe UI", "Meiryo UI", sans-serif; max-width: 50em;
       margin: 1em auto; padding: 0 1em; line-height: 1.5; color: #202020; }
table { border-collapse: collapse; } th, td { border: 1px solid #b0b0b0; padding: 0.2em 0.5em; }
th { background: #f0f0f0; text-align: left; } code, pre { background: #f4f4f4; }
pre { padding: 0.5em; }"""


def inline(text):
    out = []
    for i, part in enumerate(re.split(r"(`[^`]*`)", text)):
        if i % 2:
            out.append("<code>" + html.escape(part[1:-1]) + "</code>")
            continue
        part = html.escape(part, quote=False)
        part = re.sub(r"\*\*(.+?)\*\*", r"<strong>\1</strong>", part)
        part = re.sub(r"\[([^\]]+)\]\(([^)\s]+)\)", r'<a href="\2">\1</a>', part)
        out.append(part)
    return "".join(out)


def cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


def convert(lines):
    out = []
    i = 0
    para = []

    def flush():
        if para:
            out.append("<p>" + inline(" ".join(para)) + "</p>")
            para.clear()

    while i < len(lines):
        line = lines[i].rstrip("\n")
        stripped = line.strip()
        heading = re.match(r"^(#{1,4}) (.*)$", line)
        if not stripped:
            flush()
            i += 1
        elif heading:
            flush()
            level = len(heading.group(1))
            out.append("<h%d>%s</h%d>" % (level, inline(heading.group(2)), level))
            i += 1
        elif line.startswith("    ") and not para:
            block = []
            while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
                block.append(lines[i].rstrip("\n")[4:])
                i += 1
            while block and not block[-1].strip():
                block.pop()
            out.append("<pre>" + html.escape("\n".join(block)) + "</pre>")
        elif stripped.startswith("|"):
            flush()
            rows = []
            while i < len(lines) and lines[i].strip().startswith("|"):
                rows.append(cells(lines[i]))
                i += 1
            out.append("<table>")
            out.append("<tr>" + "".join("<th>%s</th>" % inline(c) for c in rows[0]) + "</tr>")
            for row in rows[2:]:
                out.append("<tr>" + "".join("<td>%s</td>" % inline(c) for c in row) + "</tr>")
            out.append("</table>")
        elif re.match(r"^(- |\d+\. )", line):
            flush()
            tag = "ul" if line.startswith("- ") else "ol"
            items = []
            while i < len(lines):
                cur = lines[i].rstrip("\n")
                start = re.match(r"^(- |\d+\. )(.*)$", cur)
                if start:
                    items.append(start.group(2).strip())
                elif cur.startswith("   ") and cur.strip() and items:
                    items[-1] += " " + cur.strip()
                else:
                    break
                i += 1
            out.append("<%s>%s</%s>" % (tag, "".join("<li>%s</li>" % inline(t) for t in items), tag))
        else:
            para.append(stripped)
            i += 1
    flush()
    return "\n".join(out)


def page(title, lang, body):
    return ('<!DOCTYPE html>\n<html lang="%s">\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n'
            "<style>\n%s\n</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
            % (lang, html.escape(title), STYLE, body))


def guide_section(readme_lines):
    start = next(i for i, l in enumerate(readme_lines) if l.startswith("## Using Taplore"))
    end = next((i for i in range(start + 1, len(readme_lines)) if readme_lines[i].startswith("## ")),
               len(readme_lines))
    return readme_lines[start:end]


def main():
    readme, guide_ja, outdir = sys.argv[1:4]
    with open(readme, encoding="utf-8") as f:
        english = guide_section(f.readlines())
    with open(guide_ja, encoding="utf-8") as f:
        japanese = f.readlines()
    os.makedirs(outdir, exist_ok=True)
    for name, lang, title, lines in (("en.html", "en", "Taplore Help", english),
                                     ("ja.html", "ja", "Taplore ヘルプ", japanese)):
        text = page(title, lang, convert(lines))
        path = os.path.join(outdir, name)
        with open(path, "w", encoding="utf-8", newline="\r\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
