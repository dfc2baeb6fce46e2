#!/usr/bin/env python3
"""Writes the golden files of the PPD tests.

This is a second, independent implementation of the density-control section
(text layout, number format, lookup tables with the single-precision spline),
so that the golden files do not come from the code they check. Single
precision is emulated by rounding every operation's exact double result to
float32, which gives the correctly rounded single-precision result for
+, -, * and /.

Run from this folder: python3 make_golden.py
"""

import struct

CRLF = "\r\n"
INPUTS = [0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95, 100]
U = -1


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def format_hundredths(v):
    s = str(v)
    if len(s) == 1:
        return "0.0" + s
    if len(s) == 2:
        return "" if s[0] == "-" else "0." + s
    if len(s) in (3, 4):
        return s[:-2] + "." + s[-2:]
    if len(s) == 5:
        return s[:3] + "." + s[3]
    return s


def knots(points):
    x, y = [0.0], [0.0]  # 1-based
    for i, p in enumerate(points):
        if p != -1:
            x.append(f32(float(INPUTS[i])))
            y.append(f32(p / 100.0))
    return len(x) - 1, x, y


def second_derivatives(n, x, y):
    y2 = [0.0] * (n + 2)
    h = [0.0] * (n + 2)
    d = [0.0] * (n + 2)
    r = [0.0] * (n + 2)
    for j in range(1, n):
        h[j] = f32(x[j + 1] - x[j])
    for j in range(1, n - 1):
        d[j] = f32(f32(x[j + 2] - x[j]) * 2.0)
    for j in range(1, n - 1):
        right = f32(f32(y[j + 2] - y[j + 1]) / h[j + 1])
        left = f32(f32(y[j + 1] - y[j]) / h[j])
        r[j] = f32(f32(right - left) * 6.0)
    y2[1] = 0.0
    y2[n] = 0.0
    for j in range(2, n - 1):
        d[j] = f32(d[j] - f32(f32(h[j] * h[j]) / d[j - 1]))
        r[j] = f32(r[j] - f32(f32(h[j] * r[j - 1]) / d[j - 1]))
    for m in range(n - 1, 1, -1):
        y2[m] = f32(f32(r[m - 1] - f32(h[m] * y2[m + 1])) / d[m - 1])
    return y2


def spline_value(n, x, y, y2, t):
    k = 1
    while k < n - 1 and t > x[k + 1]:
        k += 1
    w = f32(x[k + 1] - x[k])
    b = f32(f32(t - x[k]) / w)
    a = f32(1.0 - b)
    ta = f32(f32(f32(f32(a * a) * a) - a) * y2[k])
    tb = f32(f32(f32(f32(b * b) * b) - b) * y2[k + 1])
    c = f32(f32(ta + tb) * f32(w * w))
    linear = f32(f32(a * y[k]) + f32(b * y[k + 1]))
    s = f32(c / 6.0 + linear)
    if s < 0:
        return 0.0
    if s > 100:
        return 100.0
    return s


def transfer_table(points):
    n, x, y = knots(points)
    out = []
    if n < 2:
        return [25500 - i * 100 for i in range(255, -1, -1)]
    y2 = second_derivatives(n, x, y)
    for i in range(255, -1, -1):
        t = f32(i * 100.0 / 255.0)
        v = f32(spline_value(n, x, y, y2, t) * 255.0)
        rounded = int(f32(f32(f32(v * 10.0) + 5.0) / 10.0))
        out.append(25500 - rounded)
    return out


S60 = "Color adjustment"
S62 = "Not Specified"
S83 = ': ""' + CRLF
S79 = "%%VELCLT Start" + CRLF + "true setglobal" + CRLF
TAIL_LINES = [
    'userdict begin',
    'userdict /VL@Clip known not {',
    '/VL@Procs 4 array def',
    '/VL@setcolortransfer /setcolortransfer load def',
    '/VL@currentcolortransfer /currentcolortransfer load def',
    '/VL@currenttransfer /currenttransfer load def',
    '/VL@setpagedevice /setpagedevice load def',
    '/VL@Clip {dup 0 lt {pop 0} if dup 1 gt {pop 1} if} bind def',
    '% proc table -> {proc exec VL@Clip exec table exec}, always in local VM',
    '/VL@Wrap {currentglobal 3 1 roll false setglobal',
    '[3 -1 roll /exec load /VL@Clip load /exec load 6 -1 roll /exec load] cvx exch setglobal} bind def',
    '% obj marker -> bool: obj is a procedure of ours, built with marker in slot 2',
    '/VL@Is {exch dup type /arraytype eq {dup length 2 gt {2 get eq} {pop pop false} ifelse} {pop pop false} ifelse} bind def',
    '/VL@Job {dup /VL@Clip load VL@Is {0 get} if} bind def',
    '/VL@Get {VL@currentcolortransfer 4 {VL@Job 4 1 roll} repeat} bind def',
    '/VL@Set {3 -1 0 {exch VL@Job VL@Procs 3 -1 roll get VL@Wrap 4 1 roll} for VL@setcolortransfer} bind def',
    '/VL@Re {VL@currentcolortransfer VL@Set} bind def',
    '/setcolortransfer {VL@Set} bind def',
    '/settransfer {dup dup dup VL@Set} bind def',
    '/currentcolortransfer {VL@Get} bind def',
    '/currenttransfer {VL@currenttransfer VL@Job} bind def',
    '/setpagedevice {mark VL@currentcolortransfer 6 -1 roll VL@setpagedevice VL@setcolortransfer cleartomark} bind def',
    '} if',
    'VL@Procs astore pop VL@Re',
    'currentpagedevice /Install 2 copy known {get} {pop pop {}} ifelse',
    'dup /VL@Re load VL@Is {pop} {',
    '[exch /exec load /VL@Re load /exec load] cvx << /Install 3 -1 roll >> VL@setpagedevice} ifelse',
    'end erasepage"',
]
S77 = CRLF.join([
    "%%VELCLT End",
    "globaldict begin",
    "/VL@Clut exch def end false setglobal",
    "/VL@Cproc{255 mul round cvi globaldict /VL@Clut get exch get 255 div}bind def",
    "currentdict /VL@Cproc get dup dup dup",
] + TAIL_LINES) + CRLF
S78 = CRLF.join([
    "%%VELCLT End",
    "globaldict begin",
    "/VL@Klut exch def",
    "/VL@Ylut exch def",
    "/VL@Mlut exch def",
    "/VL@Clut exch def end false setglobal",
    "/VL@Cproc{255 mul round cvi globaldict /VL@Clut get exch get 255 div}bind def",
    "/VL@Mproc{255 mul round cvi globaldict /VL@Mlut get exch get 255 div}bind def",
    "/VL@Yproc{255 mul round cvi globaldict /VL@Ylut get exch get 255 div}bind def",
    "/VL@Kproc{255 mul round cvi globaldict /VL@Klut get exch get 255 div}bind def",
    "currentdict dup dup dup /VL@Cproc get 4 1 roll /VL@Mproc get 3 1 roll /VL@Yproc get",
    "exch /VL@Kproc get",
] + TAIL_LINES) + CRLF


def lut_block(points):
    entries = [format_hundredths(v) for v in transfer_table(points)]
    lines = ["["]
    for row in range(25):
        lines.append("\t".join(entries[row * 10:row * 10 + 10]))
    lines.append("".join(e + "\t" for e in entries[250:]) + "]")
    return CRLF.join(lines) + CRLF


def escape(name):
    return "".join("<3A>" if c == ":" else "<3C>" if c == "<" else c for c in name)


def ascii(name):
    import unicodedata
    special = {"\xc6": "AE", "\xe6": "ae", "\xd0": "D", "\xf0": "d", "\xd7": "x", "\xd8": "O",
               "\xf8": "o", "\xde": "Th", "\xfe": "th", "\xdf": "ss", "\xf7": "/", "\xa0": " "}
    out = ""
    for c in name:
        if ord(c) < 0x80:
            out += c
        elif c in special:
            out += special[c]
        elif ord(c) >= 0xC0:
            out += unicodedata.normalize("NFD", c)[0]
        else:
            out += "?"
    return out


def choice(n, name, same, channels, plain=False):
    """channels: four (points, gamma) pairs, cyan to black; plain: ASCII text."""
    out = "*VLTone Gumma%d/%s: \"" % (n, escape(ascii(name) if plain else name)) + CRLF
    out += "%% Don't touch this comment" + CRLF
    out += "%% Same:" + str(same) + CRLF
    for tag, (points, gamma) in zip("CMYK", channels):
        out += "%% Per" + tag + ":" + "\t".join(str(v) for v in points + [gamma]) + CRLF
    out += "%% Don't touch this comment" + CRLF
    out += S79
    if same == 1:
        out += lut_block(channels[0][0]) + S77
    else:
        out += "".join(lut_block(p) for p, _ in channels) + S78
    out += "*End" + CRLF
    return out


# The option's texts by language; English for a language without its own.
TEXTS = {"": (S60, S62), "de": ("Farbanpassung", "Nicht festgelegt")}


def section(choices, br=CRLF, keywords=None, default=None, languages=()):
    """choices: (name, same, channels); keywords: their Gumma numbers."""
    keywords = keywords or list(range(1, len(choices) + 1))
    out = "*OpenUI *VLTone/" + S60 + ":  PickOne" + CRLF
    out += "*OrderDependency: 200.0 DocumentSetup *VLTone" + CRLF
    out += "*DefaultVLTone: " + ("Gumma%d" % default if default else "None") + CRLF
    out += "*VLTone None/" + S62 + S83
    languages = list(languages)
    if languages and "en" not in languages:
        languages.append("en")
    for k, c in zip(keywords, choices):
        out += choice(k, *c, plain=bool(languages))
    for lang in languages:
        title, none = TEXTS.get(lang, TEXTS.get(lang.split("_")[0], TEXTS[""]))
        out += "*%s.Translation VLTone/%s: \"\"" % (lang, title) + CRLF
        out += "*%s.VLTone None/%s: \"\"" % (lang, none) + CRLF
        for k, c in zip(keywords, choices):
            # Translated texts are UTF-8; write() puts out each character
            # as one byte, so the UTF-8 bytes go in as characters.
            utf8 = escape(c[0]).encode("utf-8").decode("latin-1")
            out += "*%s.VLTone Gumma%d/%s: \"\"" % (lang, k, utf8) + CRLF
    out += "*CloseUI: *VLTone" + CRLF
    return out.replace(CRLF, br)


IDENTITY = [0, 500, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 9500, 10000]
ENDS = [0] + [U] * 11 + [10000]
GAMMA22 = [0, 13, 63, 289, 707, 1332, 2176, 3250, 4562, 6120, 7931, 8932, 10000]


def ends(low, high):
    return [low] + [U] * 11 + [high]


WORKED = ("Standard", 1, [(IDENTITY, -1)] * 4)


def write(name, text):
    with open(name, "wb") as f:
        f.write(text.encode("latin-1"))


def lf(text):
    return text.replace(CRLF, "\n")


HEAD = [
    '*PPD-Adobe: "4.3"',
    "*% Sample colour printer description for the tests",
    '*FormatVersion: "4.3"',
    '*FileVersion: "1.2"',
    "*LanguageVersion: English",
    "*LanguageEncoding: ISOLatin1",
    '*PCFileName: "SAMPLE.PPD"',
    '*Manufacturer: "Sample"',
    '*ModelName: "Sample Color PS"',
    '*ShortNickName: "Sample Color PS"',
    '*NickName: "Sample Color PS v1.2"',
    "*QRHTUtility: True",
    "*ColorDevice: True",
    "*DefaultColorSpace: CMYK",
    "*OpenUI *PageSize: PickOne",
    "*OrderDependency: 30 AnySetup *PageSize",
    "*DefaultPageSize: A4",
    '*PageSize A4/A4: "<</PageSize [595 842]>> setpagedevice"',
    '*PageSize Letter/Letter: "<</PageSize [612 792]>> setpagedevice"',
    "*CloseUI: *PageSize",
]
TAIL = [
    "*% Font Information =====================",
    "*DefaultFont: Courier",
    '*Font Courier: Standard "(002.004S)" Standard ROM',
    '*Font Helvetica: Standard "(001.006S)" Standard ROM',
    "*% End of file",
]


def lines(ls):
    return "".join(l + CRLF for l in ls)


def main():
    write("section_worked_example.txt", section([WORKED]))
    write("section_empty.txt", section([]))
    write("section_ordinals.txt", section([
        ("Second slot", 1, [(ENDS, -1)] * 4),
        ("Fourth slot", 1, [(GAMMA22, 220)] * 4),
    ]))
    write("section_four_tables.txt", section([
        ("Per channel", 0, [(IDENTITY, -1), (GAMMA22, 220), (ends(0, 5000), -1),
                            (ends(2000, 10000), 150)]),
    ]))
    write("section_one_table_differing.txt", section([
        ("Cyan serves all", 1, [(GAMMA22, 220), (IDENTITY, -1), (ends(0, 5000), -1),
                                (ends(2000, 10000), -1)]),
    ]))
    write("section_lut_half.txt", section([("Half", 1, [(ends(0, 5000), -1)] * 4)]))
    write("section_lut_offset.txt", section([("Offset", 1, [(ends(2000, 10000), -1)] * 4)]))
    write("section_clipping.txt", section([
        ("Overshoot", 0, [
            ([0, 10000] + [U] * 10 + [10000], -1),          # rises far above 100 %
            ([10000, 0] + [U] * 10 + [0], -1),              # falls far below 0 %
            ([0, U, U, U, U, 9000, 1000, U, U, U, U, U, 10000], -1),  # both
            ([U] * 12 + [10000], -1),                       # one point: identity
        ]),
    ]))

    # Whole files. Reading never changes a file, and writing keeps its bytes
    # outside the section and writes the section with the break that ends
    # the file's first line. The old section stands after the font anchor in
    # an LF file; the new one goes before the anchor. "Old" was Gumma1 and
    # is gone, so the new definition gets Gumma2.
    old = section([("Old", 1, [(ENDS, -1)] * 4)])
    write("sample_lf.ppd", lf(lines(HEAD) + lines(TAIL[:2]) + old + lines(TAIL[2:])))
    write("sample_written.ppd",
          lf(lines(HEAD) + section([WORKED], keywords=[2]) + lines(TAIL)))

    # No anchor: the section goes at the end. The last line has no line
    # break; it gets the file's own so that the section starts on a line of
    # its own.
    no_anchor = lines(HEAD) + "*% last line"
    write("no_anchor.ppd", no_anchor)
    write("no_anchor_written.ppd", no_anchor + CRLF + section([WORKED]))

    # The anchor follows the header line at once: the section goes between
    # them.
    first = lines(HEAD[:1]) + lines(TAIL[:1] + HEAD[1:] + TAIL[1:])
    write("anchor_first.ppd", first)
    write("anchor_first_written.ppd", lines(HEAD[:1]) + section([WORKED]) + lines(TAIL[:1] + HEAD[1:] + TAIL[1:]))

    # Lone CR breaks, a *cupsLanguages line and a vendor value that spans
    # lines and holds a line like the anchor: the section keeps its place
    # before the real anchor, the default choice and the keywords stay with
    # their definitions ("Warm" is Gumma3 and the default; "Neu" is new and
    # takes the lowest keyword that the file did not use), and every language
    # gets translation lines, names in UTF-8.
    quoted = [
        '*cupsLanguages: "de fr_CA"',
        '*JobPatchFile 1: "',
        '*% Font Information in a value, not an anchor',
        '"',
        '*End',
    ]
    warm = ("Warm", 0, [(IDENTITY, -1), (GAMMA22, 220), (ends(0, 9000), -1), (ENDS, -1)])
    gone = ("Gone", 1, [(ENDS, -1)] * 4)
    cafe = ("Caf\xe9 au lait", 1, [(ends(0, 8000), -1)] * 4)
    old = section([gone, warm], keywords=[1, 3], default=3)
    body = lines(HEAD) + lines(quoted)
    cr = lambda text: text.replace(CRLF, "\r")
    write("multilingual_cr.ppd", cr(body + old + lines(TAIL)))
    write("multilingual_cr_written.ppd",
          cr(body + section([cafe, warm], keywords=[2, 3], default=3,
                            languages=["de", "fr_CA"]) + lines(TAIL)))


if __name__ == "__main__":
    main()
