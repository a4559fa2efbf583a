#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Writes the malformed settings files of this folder and EXPECTED, the message each must give.
# Every file here must be refused by write --batch, write --single and verify alike, before
# anything is sent. Run it from anywhere; it writes next to itself.
import os

here = os.path.dirname(os.path.abspath(__file__))


def record(address, value, filler="0" * 18):
    return "210C%04X%04X%s\r\n" % (address, value, filler)


END = "F1" + "0" * 28 + "\r\n"
WORDS = [(k * 0x9E37 + 0xAB) & 0xFFFF for k in range(1023)]
DATA = [record(k, WORDS[k]) for k in range(1023)]
WHOLE = "".join(DATA) + END


def lines(n):
    return "".join(DATA[:n])


def replace_line(n, text):
    # Line n (counting from 1) of the whole file replaced.
    return "".join(DATA[: n - 1]) + text + "".join(DATA[n:]) + END


cases = [
    ("empty.dat", b"", "the file is empty"),
    ("cut-after-line-500.dat", lines(500), "line 500: the file is cut"),
    ("no-end-record.dat", lines(1023), "line 1023: the file is cut"),
    ("cut-inside-a-line.dat", lines(700) + DATA[700][:17],
     "line 701: a record has 30 hexadecimal digits, this line has 17 characters"),
    ("eof-mark-in-the-middle.dat", lines(299) + "\x1a" + "".join(DATA[299:]) + END,
     "line 300: an end-of-file mark (1A) before the end record (F1)"),
    ("eof-mark-only.dat", "\x1a", "line 1: an end-of-file mark (1A) before the end record"),
    ("word-twice.dat", replace_line(7, record(5, 0x1234)),
     "line 7: word 0005 again; line 6 gave it already"),
    ("data-filler-not-zero.dat", replace_line(12, record(11, WORDS[11], "0" * 17 + "1")),
     "line 12: the digits after the word's value must all be \"0\""),
    ("end-filler-not-zero.dat", WHOLE[:-32] + "F1" + "0" * 27 + "7\r\n",
     "line 1024: the digits after the end record's F1 must all be \"0\""),
    ("blank-line-after-end.dat", WHOLE + "\r\n",
     "line 1025: a blank line after the end record (F1)"),
    ("blank-line-in-the-middle.dat", lines(9) + "\r\n" + "".join(DATA[9:]) + END,
     "line 10: a blank line; every line is one record"),
    ("record-after-end.dat", WHOLE + DATA[3], "line 1025: a record after the end record (F1)"),
    ("two-end-records.dat", WHOLE + END, "line 1025: a record after the end record (F1)"),
    ("short-line.dat", replace_line(40, DATA[39][:29] + "\r\n"),
     "line 40: a record has 30 hexadecimal digits, this line has 29 characters"),
    ("long-line.dat", replace_line(41, DATA[40][:30] + "0\r\n"),
     "line 41: a record has 30 hexadecimal digits, this line has 31 characters"),
    ("not-a-digit.dat", replace_line(42, DATA[41][:9] + "G" + DATA[41][10:]),
     "line 42: not a hexadecimal digit in \"210C0029"),
    ("nul-byte.dat", replace_line(43, DATA[42][:8] + "\0" + DATA[42][9:]),
     "line 43: not a hexadecimal digit in \"210C002A\\x00"),
    ("escape-sequence.dat", replace_line(44, "\x1b[2J\x1b[H" + DATA[43][7:]),
     "line 44: not a hexadecimal digit in \"\\x1B[2J\\x1B[H"),
    ("address-above-03ff.dat", replace_line(45, record(0x400, 0)),
     "line 45: address 0400 is above 03FF"),
    ("address-ffff.dat", replace_line(46, record(0xFFFF, 0)),
     "line 46: address FFFF is above 03FF"),
    ("another-group.dat", replace_line(47, "210A" + DATA[46][4:]),
     "line 47: neither an EEPROM word record (210C) nor the end record (F1)"),
    ("read-command.dat", replace_line(48, "310C" + DATA[47][4:]),
     "line 48: neither an EEPROM word record (210C) nor the end record (F1): \"310C"),
    ("cr-only-line-ends.dat", WHOLE.replace("\r\n", "\r"),
     "line 1: a record has 30 hexadecimal digits, this line has 31743 characters: \"210C000000AB000000000000000000\\x0D210C00019\"..."),
    ("byte-order-mark.dat", "\ufeff" + WHOLE,
     "line 1: a record has 30 hexadecimal digits, this line has 33 characters: \"\\xEF\\xBB\\xBF"),
    ("cr-cr-lf.dat", replace_line(50, DATA[49][:30] + "\r\r\n"),
     "line 50: a record has 30 hexadecimal digits, this line has 31 characters"),
    ("space-for-a-digit.dat", replace_line(51, DATA[50][:4] + " " + DATA[50][5:]),
     "line 51: not a hexadecimal digit in \"210C 032"),
    ("eof-mark-inside-a-line.dat", replace_line(52, DATA[51][:20] + "\x1a" + DATA[51][21:]),
     "line 52: not a hexadecimal digit in"),
    ("binary.dat", bytes(range(256)) * 4,
     "line 1: a record has 30 hexadecimal digits, this line has 10 characters"),
    ("word-twice-in-lower-case.dat", replace_line(8, record(6, WORDS[6]).lower()),
     "line 8: word 0006 again; line 7 gave it already"),
    ("end-record-in-the-middle.dat", lines(500) + END + "".join(DATA[500:]) + END,
     "line 502: a record after the end record (F1)"),
    ("end-record-f10c.dat", WHOLE[:-32] + "F10C" + "0" * 26 + "\r\n",
     "line 1024: the digits after the end record's F1 must all be \"0\""),
    ("a0-byte.dat", replace_line(53, DATA[52][:10] + "\xa0" + DATA[52][11:]).encode("latin-1"),
     "line 53: not a hexadecimal digit in \"210C0034"),
    ("full-width-digit.dat", replace_line(54, DATA[53][:10] + "\uff10" + DATA[53][11:]),
     "line 54: a record has 30 hexadecimal digits, this line has 32 characters"),
    ("0x-prefix.dat", replace_line(55, "0x" + DATA[54]),
     "line 55: a record has 30 hexadecimal digits, this line has 32 characters: \"0x210C"),
    ("tab-for-a-digit.dat", replace_line(56, DATA[55][:12] + "\t" + DATA[55][13:]),
     "line 56: not a hexadecimal digit in \"%s\\x09" % DATA[55][:12]),
    ("trailing-space.dat", replace_line(57, DATA[56][:30] + " \r\n"),
     "line 57: a record has 30 hexadecimal digits, this line has 31 characters"),
    ("eof-mark-on-the-end-record-line.dat", WHOLE[:-2] + "\x1a\r\n",
     "line 1024: a record has 30 hexadecimal digits, this line has 31 characters"),
    ("trailing-lf-blank-line.dat", WHOLE + "\n",
     "line 1025: a blank line after the end record (F1)"),
    ("only-crlf.dat", "\r\n", "line 1: a blank line; every line is one record"),
    # A batch and verify need every word; --single gives its own message, or "-": it accepts
    # the file (a patch).
    ("only-the-end-record.dat", END,
     "word 0000 has no record; a whole image has every word from 0000 to 03FE",
     "no EEPROM word record; only the end record (F1)"),
    ("whole-image-less-one-word.dat", "".join(DATA[:0x200] + DATA[0x201:]) + END,
     "word 0200 has no record; a whole image has every word from 0000 to 03FE", "-"),
]

# Files every mode accepts: written in both modes and verified, they leave the camera clean.
accepted = [
    ("mixed-line-ends.dat",
     "".join(d if k % 2 else d.replace("\r\n", "\n") for k, d in enumerate(DATA)) + END),
    ("descending-order.dat", "".join(reversed(DATA)) + END),
    ("carries-03ff.dat", WHOLE[:-32] + record(0x3FF, 0x5A5A) + END),
]
accepted_dir = os.path.join(os.path.dirname(here), "accepted")
os.makedirs(accepted_dir, exist_ok=True)
for name, text in accepted:
    with open(os.path.join(accepted_dir, name), "wb") as f:
        f.write(text.encode("ascii"))

with open(os.path.join(here, "EXPECTED"), "w") as expected:
    expected.write("# file<TAB>the message it must give (a part of it)"
                   "[<TAB>the message of --single, or - when --single accepts it]\n")
    for name, text, message, *single in cases:
        data = text if isinstance(text, bytes) else text.encode("utf-8")
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)
        expected.write("\t".join([name, message] + single) + "\n")
print(len(cases), "files,", len(accepted), "accepted")
