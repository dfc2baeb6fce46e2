#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target from the project's test data.

Usage: make_seeds.py REPO OUTDIR

OUTDIR/<target>/ receives the seeds: the PPDs and sections of tests/data
(vendor PPDs included when present), the sample library and crafted
variants of it, the value texts of the section files, and every saved
finding under tests/data/fuzz/<target>/ and tests/data/hostile/.
"""
import hashlib
import pathlib
import struct
import sys

repo = pathlib.Path(sys.argv[1])
out = pathlib.Path(sys.argv[2])
data = repo / "tests" / "data"

HEADER = (b"*PPD-Adobe: \"4.3\"\r\n*QRHTUtility: True\r\n"
          b"*NickName: \"Seed Printer\"\r\n")
ANCHOR = b"*% Font Information\r\n*DefaultFont: Courier\r\n"


def put(target, blob):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(blob).hexdigest()).write_bytes(blob)


def files(pattern):
    return sorted(p for p in data.glob(pattern) if p.is_file())


ppds = files("**/*.ppd") + sorted((repo / "resources").glob("**/*.ppd"))
sections = files("ppd/section_*.txt")
for target in ("ppd_read", "ppd_roundtrip"):
    for p in ppds:
        put(target, p.read_bytes())
    for s in sections:
        put(target, HEADER + s.read_bytes() + ANCHOR)

# Definition records: the sample library's, and names at the edges.
library = (repo / "resources" / "samples" / "QR_grad.dat").read_bytes()
records = [library[4 + 264 * i: 4 + 264 * (i + 1)] for i in range(struct.unpack_from("<h", library, 2)[0])]
put("ppd_write", b"".join(records[:6]))
for r in records:
    put("ppd_write", r)
base = records[0] if records else bytes(264)
for name in (b"A" * 36, b"a:b<3A>c<", b"\xe9t\xe9 \xff\x80", b"x\"y*%z", b"Line\r\nbreak"):
    rec = bytearray(base)
    rec[4:40] = (name + bytes(36))[:36]
    put("ppd_write", bytes(rec))

for s in sections:
    for line in s.read_bytes().split(b"\r\n"):
        at = line.find(b"%% ")
        if at >= 0 and line[at + 7:at + 8] == b":":
            put("integer_list", bytes([14]) + line[at + 8:] + b"\r\n")
for text in (b"\x0e0\t-1\t5-3\t--\t99999999999999999999999\t-2147483648\t7",
             b"\x07" + b"1" * 40 + b" 2 3 x", b"\x01-"):
    put("integer_list", text)

for text in (b"", b"0", b"12.34", b"100.0", b"100.00", b"100.01", b"0.07", b".5",
             b"5.", b"1.2.3", b"99999999999999999999", b"-1", b"12,5"):
    put("hundredths", text)

put("library_read", library)
put("library_read", library[:1000])
put("library_read", library + b"tail")
old = bytearray(9208)
struct.pack_into("<hh", old, 0, 1, 2)
for i, name in enumerate((b"Old one", b"Old two")):
    rec = 4 + 92 * i
    old[rec:rec + 36] = (name + bytes(36))[:36]
    struct.pack_into("<14i", old, rec + 36, 0, *([-1] * 11), 10000, -1)
put("library_read", bytes(old))
head = bytearray(library[:4])
struct.pack_into("<h", head, 2, 32767)
put("library_read", bytes(head))

# Definition JSON: the sample library's, and documents at the edges of the
# reader's strictness.
put("definition_json", (repo / "resources" / "samples" / "library.json").read_bytes())
for text in (b"[]", b"[01]", b"[1,]", b'{"a": 1, "a": 2}', b"[1] x", b"[1e999]", b'["\\ud800"]',
             b"[" * 70 + b"]" * 70, b'[{"name": "a\\u0085", "allChannels": 0, "channels": []}]',
             b"[99999999999999999999, -9223372036854775809, 1.5e3]"):
    put("definition_json", text)

# Curve files (the first byte picks the format: .cal, .amp, .acv, .csv) and
# measurements of the test chart.
kinds = {".cal": 0, ".amp": 1, ".acv": 2, ".csv": 3}
for p in files("calibration/*") + files("cli/calibrate/*"):
    if p.suffix in kinds:
        put("curve_file", bytes([kinds[p.suffix]]) + p.read_bytes())
    if p.suffix in (".csv", ".ti3"):
        put("measurements", p.read_bytes())
put("curve_file", bytes([1]) + bytes(range(256)))
put("curve_file", bytes([2, 0, 4, 0, 1, 0, 2, 0, 0, 0, 0, 0, 255, 0, 255]))

# Saved findings and hostile inputs come back as seeds.
for folder in sorted((data / "fuzz").glob("*")):
    for p in sorted(folder.iterdir()):
        if p.is_file():
            put(folder.name, p.read_bytes())
for p in files("hostile/*.ppd"):
    put("ppd_read", p.read_bytes())
    put("ppd_roundtrip", p.read_bytes())
for p in files("hostile/*.dat"):
    put("library_read", p.read_bytes())
