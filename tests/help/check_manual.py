#!/usr/bin/env python3
"""Checks the manual's pages: every link (href) and picture (src) names a file of the manual that
exists, every #fragment an anchor (id or a name) of its page, and every page can be reached from
index.html by following links. Prints each fault and exits 1 when there is one."""
import sys
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []  # (attribute, value)
        self.anchors = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in ('href', 'src'):
                self.links.append((name, value))
            elif name == 'id' or (tag == 'a' and name == 'name'):
                self.anchors.add(value)


def main(folder):
    root = Path(folder).resolve()
    pages = {}
    for path in sorted(root.rglob('*.html')):
        page = Page()
        page.feed(path.read_text(encoding='utf-8'))
        pages[path] = page
    faults = []
    if root / 'index.html' not in pages:
        faults.append(f'{root}/index.html is missing')
    edges = {path: set() for path in pages}
    for path, page in pages.items():
        where = path.relative_to(root)
        for attr, value in page.links:
            url = urlsplit(value)
            if url.scheme in ('http', 'https', 'mailto'):
                continue
            if url.scheme or url.netloc:
                faults.append(f'{where}: {attr}="{value}" is not a file of the manual')
                continue
            target = (path.parent / unquote(url.path)).resolve() if url.path else path
            if root not in target.parents and target != root:
                faults.append(f'{where}: {attr}="{value}" leaves the manual folder')
                continue
            if not target.is_file():
                faults.append(f'{where}: {attr}="{value}": {target.relative_to(root)} does not exist')
                continue
            if url.fragment:
                anchors = pages[target].anchors if target in pages else set()
                if url.fragment not in anchors:
                    faults.append(f'{where}: {attr}="{value}": no anchor "{url.fragment}"')
            if attr == 'href' and target in pages:
                edges[path].add(target)
    reached, todo = set(), [root / 'index.html']
    while todo:
        p = todo.pop()
        if p in reached or p not in pages:
            continue
        reached.add(p)
        todo.extend(edges[p])
    for path in pages:
        if path not in reached:
            faults.append(f'{path.relative_to(root)} cannot be reached from index.html')
    for fault in faults:
        print(fault)
    print(f'{len(pages)} pages, {sum(len(p.links) for p in pages.values())} links and pictures, {len(faults)} faults')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else 'help'))
