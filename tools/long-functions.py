#!/usr/bin/env python3
"""Lists the functions of the simulator's C++ sources longer than a limit (60 lines), by their
first line: a function is a brace block at namespace or class level whose head has a parameter
list. Comments and strings are skipped."""
import re
import sys
from pathlib import Path

limit = int(sys.argv[2]) if len(sys.argv) > 2 else 60
root = Path(sys.argv[1] if len(sys.argv) > 1 else "sim")
found = []
for path in sorted(list(root.rglob("*.cpp")) + list(root.rglob("*.hpp"))):
    text = path.read_text(encoding="utf-8", errors="replace")
    text = re.sub(r"//[^\n]*|/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group()), text, flags=re.S)
    text = re.sub(r'R"(\w*)\(.*?\)\1"|"(\\.|[^"\\\n])*"|\'(\\.|[^\'\\\n])*\'',
                  lambda m: re.sub(r"[^\n]", " ", m.group()), text, flags=re.S)
    depth, start, head_line, kinds = 0, None, 0, []
    line = 1
    last = 0
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c == "{":
            head = text[last:i]
            is_function = bool(re.search(r"\)\s*(const|noexcept|override|final|->[^{;]*|\s)*$", head)) and \
                not re.search(r"\b(if|for|while|switch|catch|namespace|struct|class|enum)\b[^;{}]*$", head)
            outer = all(k in ("namespace", "class") for k in kinds)
            kinds.append("function" if is_function and outer else
                         "namespace" if re.search(r"\bnamespace\b[^;{}]*$", head) else
                         "class" if re.search(r"\b(struct|class)\b[^;{}()]*$", head) else "block")
            if kinds[-1] == "function":
                start = (line, head.strip().split("\n")[-1].strip()[:70])
            last = i + 1
        elif c == "}":
            kind = kinds.pop() if kinds else "block"
            if kind == "function" and start:
                length = line - start[0] + 1
                if length > limit:
                    found.append((length, f"{path}:{start[0]}", start[1]))
                start = None
            last = i + 1
        elif c == ";":
            last = i + 1
for length, where, head in sorted(found, reverse=True):
    print(f"{length:4d} {where} {head}")
sys.exit(1 if found else 0)
