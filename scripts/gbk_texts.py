#!/usr/bin/env python3
"""Turns a texts.def (UTF-8) into a C++ header whose literals are GBK bytes.

Each entry of texts.def reads   TEXT(kName, "text")   and may use the escapes
\\n, \\r, \\t, \\\\ and \\". Lines starting with // and blank lines are ignored.
The header defines  inline constexpr char kName[]  in the given namespace, the
UTF-8 original beside it as a comment.
"""
import re
import sys

ENTRY = re.compile(r'^TEXT\(\s*(k\w+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)\s*$')
ESCAPES = {'n': '\n', 'r': '\r', 't': '\t', '\\': '\\', '"': '"'}


def unescape(s, where):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == '\\':
            nxt = s[i + 1]
            if nxt not in ESCAPES:
                sys.exit(f'{where}: unknown escape \\{nxt}')
            out.append(ESCAPES[nxt])
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def literal(data):
    parts = []
    for b in data:
        ch = chr(b)
        if 0x20 <= b < 0x7f and ch not in '\\"?':
            parts.append(ch)
        else:
            parts.append('\\%03o' % b)  # octal escapes end after three digits
    return '"' + ''.join(parts) + '"'


def main():
    src, dst, ns = sys.argv[1:4]
    lines = [f'// Generated from {src}; do not edit.', '#pragma once', '',
             f'namespace {ns} {{', '']
    names = set()
    with open(src, encoding='utf-8') as f:
        for n, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith('//'):
                continue
            m = ENTRY.match(line)
            if not m:
                sys.exit(f'{src}:{n}: expected TEXT(kName, "text")')
            name, text = m.group(1), unescape(m.group(2), f'{src}:{n}')
            if name in names:
                sys.exit(f'{src}:{n}: {name} defined twice')
            names.add(name)
            try:
                data = text.encode('gbk')
            except UnicodeEncodeError as e:
                sys.exit(f'{src}:{n}: not representable in GBK: {e}')
            comment = m.group(2).replace('*/', '* /')
            lines.append(f'/* {comment} */')
            lines.append(f'inline constexpr char {name}[] = {literal(data)};')
    lines += ['', f'}}  // namespace {ns}', '']
    text = '\n'.join(lines)
    try:
        with open(dst, encoding='utf-8') as f:
            if f.read() == text:
                return
    except OSError:
        pass
    import os
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    with open(dst, 'w', encoding='utf-8') as f:
        f.write(text)


if __name__ == '__main__':
    main()
