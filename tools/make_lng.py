#!/usr/bin/env python3
"""Builds resources/Kalmix.lng from tools/lang/texts.tsv.

The language file is INI text in Windows-1252 with CR LF line ends: "[lang]" first, then one
"key = text" line per entry, the key being the language digit and the three-digit text number.
Entries run language by language within each text number; three NUL bytes close the file.
Run from the repository root: python3 tools/make_lng.py
"""
import csv
import pathlib

LANGS = ["de", "en", "sv", "it", "es", "nb", "fr"]
ROOT = pathlib.Path(__file__).resolve().parent.parent


def main():
    rows = list(csv.DictReader(open(ROOT / "tools/lang/texts.tsv", encoding="utf-8"),
                               delimiter="\t", quoting=csv.QUOTE_NONE))
    lines = ["[lang]"]
    for row in rows:
        nr = int(row["nr"])
        for digit, lang in enumerate(LANGS):
            text = row[lang]
            if text == "":
                continue  # Italian has no 129 and 130
            lines.append(f"{digit}{nr:03d} = {text}")
            if digit == 1 and nr == 147:
                # An older spelling follows; the reader takes the first entry.
                lines.append(f"{digit}{nr:03d} = Settings ...")
    data = ("\r\n".join(lines) + "\r\n").encode("cp1252") + b"\0\0\0"
    (ROOT / "resources/Kalmix.lng").write_bytes(data)
    print(f"resources/Kalmix.lng: {len(lines) - 1} entries, {len(data)} bytes")


if __name__ == "__main__":
    main()
