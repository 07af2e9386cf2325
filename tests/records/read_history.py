"""Reads a history file as a spreadsheet would and prints its rows as JSON.

Fails (exit status 1, the reason on standard error) when the file is not plain ASCII, when a line
does not end in CR LF, or when the CSV reader finds a malformed row.
"""
import csv
import io
import json
import sys


def main(path):
    raw = open(path, "rb").read()
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError as error:
        sys.exit(f"not plain ASCII: {error}")
    if not text.endswith("\r\n") or text.count("\n") != text.count("\r\n"):
        sys.exit("every line must end in CR LF")
    rows = list(csv.reader(io.StringIO(text, newline=""), strict=True))
    json.dump(rows, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
