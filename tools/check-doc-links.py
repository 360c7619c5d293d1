#!/usr/bin/env python3
"""Every relative link of the manual's pages leads somewhere: a file of the repository and, where
it names one, a heading of that page."""
import re
import sys
from pathlib import Path

root = Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
pages = [root / "README.md", root / "CHANGES.md", *sorted((root / "docs").glob("*.md"))]


def anchors(page):
    found, fence = set(), False
    for line in page.read_text(encoding="utf-8").splitlines():
        if line.startswith("```"):
            fence = not fence
        elif not fence and line.startswith("#"):
            title = line.lstrip("#").strip().lower()
            found.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return found


broken = []
for page in pages:
    text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        linked = (page.parent / path).resolve() if path else page
        if not linked.exists():
            broken.append(f"{page.relative_to(root)}: {target}: no such file")
        elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
            broken.append(f"{page.relative_to(root)}: {target}: no such heading")
for line in broken:
    print(line)
sys.exit(1 if broken else 0)
