"""Every link of the built documents leads somewhere: each relative href and
src of every page names a file of the site and, after a #, an id in it; each
relative link and picture of README.md names a file of the repository and,
after a #, a heading of that Markdown file.

Usage: links.py SITE_DIR README
"""
import html.parser
import os
import re
import sys
import urllib.parse

EXTERNAL = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")  # http:, mailto:, data:, ...


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links = set(), []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("id", "name") and value:
                self.ids.add(value)
            if name in ("href", "src") and value is not None:
                self.links.append(value)


def read_page(path, pages):
    if path not in pages:
        page = Page()
        with open(path, encoding="utf-8") as f:
            page.feed(f.read())
        pages[path] = page
    return pages[path]


def site_faults(site):
    faults, pages = [], {}
    for folder, _, files in os.walk(site):
        for name in files:
            if not name.endswith(".html"):
                continue
            path = os.path.join(folder, name)
            for link in read_page(path, pages).links:
                if EXTERNAL.match(link) or link.startswith("//"):
                    continue
                parts = urllib.parse.urlsplit(link)
                target = os.path.normpath(os.path.join(folder, urllib.parse.unquote(parts.path))) \
                    if parts.path else path
                where = f"{os.path.relpath(path, site)}: {link}"
                if not os.path.isfile(target):
                    faults.append(f"{where}: no file {os.path.relpath(target, site)}")
                elif parts.fragment and target.endswith(".html") and \
                        urllib.parse.unquote(parts.fragment) not in read_page(target, pages).ids:
                    faults.append(f"{where}: no #{parts.fragment} there")
    return faults, len(pages)


def heading_anchors(markdown):
    """The anchors a code host gives the headings of a Markdown file."""
    anchors = set()
    with open(markdown, encoding="utf-8") as f:
        for line in f:
            match = re.match(r"#{1,6} +(.*?) *#* *$", line)
            if match:
                text = re.sub(r"[^\w\- ]", "", match[1].lower().replace("`", ""))
                anchors.add(text.replace(" ", "-"))
    return anchors


def readme_faults(readme):
    faults, count = [], 0
    top = os.path.dirname(os.path.abspath(readme))
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    for link in re.findall(r"\]\(([^)\s]+)\)", text):
        if EXTERNAL.match(link):
            continue
        count += 1
        path, _, fragment = link.partition("#")
        target = os.path.normpath(os.path.join(top, path)) if path else readme
        if not os.path.exists(target):
            faults.append(f"README.md: {link}: no {os.path.relpath(target, top)}")
        elif fragment and (not target.endswith(".md") or fragment not in heading_anchors(target)):
            faults.append(f"README.md: {link}: no heading #{fragment} there")
    return faults, count


def main():
    site, readme = sys.argv[1:3]
    faults, pages = site_faults(site)
    more, links = readme_faults(readme)
    faults += more
    if pages == 0 or links == 0:
        faults.append(f"nothing checked: {pages} pages, {links} README links")
    for fault in faults:
        print("FAIL:", fault)
    if faults:
        sys.exit(1)
    print(f"ok: the links of {pages} pages and {links} of README.md hold")


if __name__ == "__main__":
    main()
