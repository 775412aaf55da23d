#!/usr/bin/env python3
"""Writes the Proxy.dat fixtures of the settings-file tests, straight from the file format and independent of the
program's own code: seven records in a QDataStream of version 11 (big-endian), each a qint32 with the length of the
value's base64 text, then a QString (quint32 byte count, UTF-16BE) holding the Huffman-coded base64 text, one
character per coded byte. Run it in this folder; the .dat files are committed next to it."""

import base64
import struct


def huffman(data: bytes) -> bytes:
    if not data:
        return b""
    counts = [0] * 256
    for b in data:
        counts[b] += 1
    # node: [count, value or None, first child, second child]
    nodes = [[counts[v], v, None, None] for v in range(256) if counts[v]]
    leaves = list(nodes)
    if len(nodes) == 1:
        root = nodes[0]
        codes = {root[1]: "0"}
    else:
        free = len(nodes)
        while free > 1:
            first = second = None
            for node in nodes:
                if node[0] == 0:
                    continue
                if first is None or node[0] <= first[0]:
                    second, first = first, node
                elif second is None or node[0] <= second[0]:
                    second = node
            parent = [first[0] + second[0], None, first, second]
            nodes.append(parent)
            first[0] = second[0] = 0
            free -= 1
        root = nodes[-1]
        codes = {}

        def walk(node, code):
            if node[1] is not None:
                codes[node[1]] = code
            else:
                walk(node[2], code + "0")
                walk(node[3], code + "1")

        walk(root, "")
    bits = []

    def describe(node):
        if node[1] is not None:
            bits.append("1" + format(node[1], "08b"))
        else:
            bits.append("0")
            describe(node[2])
            describe(node[3])

    describe(root)
    for b in data:
        bits.append(codes[b])
    stream = "".join(bits)
    stream += "0" * (-len(stream) % 8)
    assert leaves
    return bytes(int(stream[i:i + 8], 2) for i in range(0, len(stream), 8))


def record(text: str) -> bytes:
    b64 = base64.b64encode(text.encode("latin-1", "replace")).decode("ascii")
    coded = huffman(b64.encode("ascii"))
    qstring = struct.pack(">I", 2 * len(coded)) + "".join(chr(c) for c in coded).encode("utf-16-be")
    return struct.pack(">i", len(b64)) + qstring


def settings(mode, host, port, user, password, on_top, hide_tag) -> bytes:
    texts = [str(mode), host, str(port), user, password, "true" if on_top else "false", "true" if hide_tag else "false"]
    return b"".join(record(t) for t in texts)


assert huffman(b"abc").hex() == "58563b1380"
assert huffman(b"aaaa").hex() == "b080"
assert huffman(b"YWJj").hex() == "2af4a5aab38c"

FIXTURES = {
    "mode1-credentials.dat": settings(1, "proxy.example.net", 3128, "alice", "s3cret pass", True, False),
    "mode0-cleared.dat": settings(0, "", 0, "", "", False, True),
    "mode1-latin1.dat": settings(1, "proxy.local", 8080, "J\u00fcrgen", "p\u00e4ss\u00e9", False, False),
}

for name, data in FIXTURES.items():
    with open(name, "wb") as f:
        f.write(data)
