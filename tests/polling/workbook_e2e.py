#!/usr/bin/env python3
"""Workbooks read back with a reader nobody here wrote (Debian's openpyxl): the cells, their
types and the sheets polling writes for a delivery, made by workbook_tool (polling's own
writer, outside a run) and, in the last row, by the real polling program fed by terminal_sim
under a locale whose decimal mark is a comma.

Usage: workbook_e2e.py WORKBOOK_TOOL POLLING TERMINAL_SIM
Prints one line per row and "N passed, N failed"; exits 1 on any failure."""
import datetime
import glob
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
from wine_polling_e2e import WORKED_EXAMPLE, config_bytes  # noqa: E402

import openpyxl  # noqa: E402
from openpyxl.utils.escape import unescape  # noqa: E402

STAMP = "20261208-091502"
DELIVERY = (b"0004006381333931;0005;A;B;01/02/2003;10:20\r\n"
            b"4006381333931;3.50;x;y;31/12/2004;23:59\r\n"
            b"400638133393112345;12 PCS;x;y;01/01/2005;08:00\r\n"
            b"0004006381333931;;x;y;02/02/2005;09:00\r\n"
            b"no semicolon here\r\n"
            b"\r\n"
            b"caf\xe9 \xff\x80\x00;1;x;y;03/03/2005\r\n"
            b"4006381333931;2;x;y")
CELL_TYPES = {"Barcode": str, "Date": str, "Time": str, "GTIN": str, "Batch/Lot": str, "Serial": str,
              "Check": str, "Quantity": (int, float), "Lines": int, "Expiry": datetime.datetime}


def shown(value):
    """A cell's text as a spreadsheet program shows it: "_x0041_" stored is "A". openpyxl's cell
    reader leaves inline text as stored, so its own decoding of the form is applied here."""
    return unescape(value) if isinstance(value, str) else value


def trimmed(row):
    row = [shown(value) for value in row]
    while row and row[-1] is None:
        row.pop()
    return tuple(row)


ARTICLE = ("GTIN", "Batch/Lot", "Expiry", "Serial", "Check")
WRONG = "check digit wrong"


def records(rows, dated=True):
    """Records rows from (delivered cells, article cells): the article's columns follow the
    date and time, or the quantity when those are hidden."""
    width = 4 if dated else 2
    made = []
    for cells, article in rows:
        cells = tuple(cells[:width])
        made.append(trimmed(cells + (None,) * (width - len(cells)) + tuple(article) if article else cells))
    return made


def day(year, month, date):
    return datetime.datetime(year, month, date)


DELIVERY_ROWS = [(("Barcode", "Quantity", "Date", "Time"), ARTICLE),
                 (("0004006381333931", 5, "01/02/2003", "10:20"), ()),
                 (("4006381333931", 3.5, "31/12/2004", "23:59"), ("04006381333931",)),
                 (("400638133393112345", 12, "01/01/2005", "08:00"), ()),
                 (("0004006381333931", 0, "02/02/2005", "09:00"), ()),
                 (("no semicolon here",), ()),
                 ((), ()),
                 (("caf\xe9 \xff\x80\ufffd", 1, "03/03/2005"), ()),
                 (("4006381333931", 2), ("04006381333931",))]
FULL_RECORDS = records(DELIVERY_ROWS)
TOTALS = [("Barcode", "Quantity", "Lines"),
          ("0004006381333931", 5, 2),
          ("4006381333931", 5.5, 2),
          ("400638133393112345", 12, 1),
          ("caf\xe9 \xff\x80\ufffd", 1, 1)]
ARTICLES_CAPTIONS = ("GTIN", "Batch/Lot", "Quantity", "Lines", "Check")
ARTICLES = [ARTICLES_CAPTIONS, ("04006381333931", None, 5.5, 2)]
FIVE = b"".join(b"%d;%d;a;b;01/01/2001;12:00\r\n" % (i % 2, i) for i in range(1, 6))

GS = "\x1d"
# (barcode as delivered, quantity, the article's cells on "Records")
GS1_LINES = [
    ("]C10104006381333931" "17271231" "10AB12" + GS + "21XYZ", 1, ("04006381333931", "AB12", day(2027, 12, 31), "XYZ")),
    ("]d20109506000134352" "17280200" "10L1" + GS + "21S1", 1, ("09506000134352", "L1", day(2028, 2, 29), "S1")),
    ("]d20109506000134352" "17280200" "10L1" + GS + "21S2", 1, ("09506000134352", "L1", day(2028, 2, 29), "S2")),
    ("]d20109506000134352" "10L2" + GS + "21S3", 1, ("09506000134352", "L2", None, "S3")),
    ("(01)04006381333931(17)271231(10)AB12", 2, ("04006381333931", "AB12", day(2027, 12, 31))),
    ("https://id.gs1.org/01/9506000134376/21/S9?17=991231", 1, ("09506000134376", None, day(1999, 12, 31), "S9")),
    ("036000291452", 3, ("00036000291452",)),
    ("0036000291452", 4, ("00036000291452",)),
    ("4006381333932", 1, ("04006381333932", None, None, None, WRONG)),
    ("1234567890", 1, ()),
    ("(01)04006381333931(17)27123", 1, ()),
]
GS1_DELIVERY = b"".join(b"%s;%d;x;y\r\n" % (code.encode("latin-1"), quantity) for code, quantity, _ in GS1_LINES)
# The library writes byte 29 in Excel's escape, which Excel reads as the byte.
GS1_RECORDS = records([DELIVERY_ROWS[0]] + [((code, quantity), article) for code, quantity, article in GS1_LINES])
GS1_ARTICLES = [ARTICLES_CAPTIONS,
                ("04006381333931", None, 3, 2), ("04006381333931", "AB12", 3, 2),
                ("09506000134352", None, 3, 3), ("09506000134352", "L1", 2, 2), ("09506000134352", "L2", 1, 1),
                ("09506000134376", None, 1, 1),
                ("00036000291452", None, 7, 2),
                ("04006381333932", None, 1, 1, WRONG)]

ESCAPE_FORMS = (b"_x0041_;1;a;b;01/01/2001;12:00\r\n"
                b"a_X004a__x00e9_b;2;a;b;01/01/2001;12:00\r\n"
                b"__x0041__;3;a;b;01/01/2001;12:00\r\n"
                b"_x004_ _x00G1_;4;a;b;01/01/2001;12:00\r\n")
ESCAPE_RECORDS = [("_x0041_", 1, "01/01/2001", "12:00"),
                  ("a_X004a__x00e9_b", 2, "01/01/2001", "12:00"),
                  ("__x0041__", 3, "01/01/2001", "12:00"),
                  ("_x004_ _x00G1_", 4, "01/01/2001", "12:00")]

# (name, settings changed, delivery, rows per sheet or None, {sheet: rows, or None: not checked},
#  by the real polling)
ROWS = [
    ("leading zeros, 13 and 18 digits, 0005, 3.50, 12 PCS, no quantity, no ';', an empty line, bytes 128-255 and NUL",
     {}, DELIVERY, None, {"Records": FULL_RECORDS, "Totals": TOTALS, "Articles": ARTICLES}, False),
    ("date and time hidden: two columns",
     {"HideDateTime": "1"}, DELIVERY, None,
     {"Records": records(DELIVERY_ROWS, dated=False), "Totals": TOTALS, "Articles": ARTICLES}, False),
    ("barcodes in the form a sheet escapes a character in (_x0041_) show as delivered",
     {}, ESCAPE_FORMS, None,
     {"Records": [FULL_RECORDS[0]] + ESCAPE_RECORDS,
      "Totals": [TOTALS[0]] + [(r[0], r[1], 1) for r in ESCAPE_RECORDS], "Articles": [ARTICLES_CAPTIONS]}, False),
    ("GS1 codes: ]C1, ]d2, bracketed, Digital Link, serials, batches, day 00, UPC-A and EAN-13, a wrong check digit, "
     "digits that are no GTIN, a code that almost parses",
     {}, GS1_DELIVERY, None, {"Records": GS1_RECORDS, "Totals": None, "Articles": GS1_ARTICLES}, False),
    ("a full sheet goes on in Records (2)",
     {}, FIVE, 3,
     {"Records": [FULL_RECORDS[0], ("1", 1, "01/01/2001", "12:00"), ("0", 2, "01/01/2001", "12:00")],
      "Records (2)": [FULL_RECORDS[0], ("1", 3, "01/01/2001", "12:00"), ("0", 4, "01/01/2001", "12:00")],
      "Records (3)": [FULL_RECORDS[0], ("1", 5, "01/01/2001", "12:00")],
      "Totals": [TOTALS[0], ("1", 9, 3), ("0", 6, 2)], "Articles": [ARTICLES_CAPTIONS]}, False),
    ("the real polling under a comma locale, named after the output file and its stamp",
     {}, DELIVERY, None, {"Records": FULL_RECORDS, "Totals": TOTALS, "Articles": ARTICLES}, True),
]


def check_workbook(path, sheets, stamp):
    problems = []
    book = openpyxl.load_workbook(path)
    if book.sheetnames != list(sheets):
        return [f"sheets {book.sheetnames}, expected {list(sheets)}"]
    for name, expected in sheets.items():
        sheet = book[name]
        found = [trimmed(r) for r in sheet.iter_rows(values_only=True)]
        if expected is None:
            expected = found
        elif found != expected:
            problems.append(f"{name}: {found}, expected {expected}")
        for row in sheet.iter_rows(min_row=2):
            for cell, caption in zip(row, found[0]):
                if cell.value is not None and not isinstance(cell.value, CELL_TYPES[caption]):
                    problems.append(f"{name}!{cell.coordinate} is {type(cell.value).__name__}, not {caption}")
        if sheet.freeze_panes != "A2":
            problems.append(f"{name}: header not frozen ({sheet.freeze_panes})")
        if sheet.auto_filter.ref != f"A1:{sheet.cell(1, len(expected[0])).column_letter}{len(expected)}":
            problems.append(f"{name}: filter {sheet.auto_filter.ref}")
    created = book.properties.created
    if created != datetime.datetime.strptime(stamp, "%Y%m%d-%H%M%S"):
        problems.append(f"created {created}, expected the stamp {stamp}")
    return problems


def run_polling(polling, terminal_sim, folder, delivery):
    """Returns the workbook's path and the problems met. The output folder is the current one."""
    with open(os.path.join(folder, "orvwizard.opt"), "wb") as f:
        f.write(b"StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=1\r\n")
    locale = "ru_RU.UTF-8"
    listed = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, text=True).stdout.lower().split()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    if "ru_ru.utf8" in listed:
        env.update(LANG=locale, LC_ALL=locale)
    sim = subprocess.Popen([terminal_sim, "--folder", folder, "--from", delivery, "--timeout-ms", "30000"])
    status = subprocess.run([polling], cwd=folder, env=env, timeout=60).returncode
    sim.wait(timeout=30)
    problems = [] if status == 0 else [f"polling ended with {status}"]
    found = glob.glob(os.path.join(folder, "OUTPUT_*.xlsx"))
    if len(found) != 1:
        return None, problems + [f"workbooks {os.listdir(folder)}"]
    leftovers = [n for n in os.listdir(folder) if n.startswith("~") or n.endswith(".part")]
    if leftovers:
        problems.append(f"left behind: {leftovers}")
    return found[0], problems


def main():
    tool, polling, terminal_sim = (os.path.abspath(p) for p in sys.argv[1:4])
    failed = 0
    for name, changes, data, rows_per_sheet, sheets, by_polling in ROWS:
        with tempfile.TemporaryDirectory(prefix="workbook-") as folder:
            config = os.path.join(folder, "orvwizard.cfg")
            with open(config, "wb") as f:
                f.write(config_bytes(dict(WORKED_EXAMPLE, **changes)))
            delivery = os.path.join(folder, "delivery.bin")
            with open(delivery, "wb") as f:
                f.write(data)
            stamp = STAMP
            if by_polling:
                workbook, problems = run_polling(polling, terminal_sim, folder, delivery)
                stamp = os.path.basename(workbook or "OUTPUT_" + STAMP)[7:22]
            else:
                workbook = os.path.join(folder, "OUTPUT_" + STAMP + ".xlsx")
                command = [tool, config, delivery, workbook, STAMP]
                command += [str(rows_per_sheet)] if rows_per_sheet else []
                status = subprocess.run(command).returncode
                problems = [] if status == 0 else [f"workbook_tool ended with {status}"]
            if workbook and os.path.exists(workbook):
                problems += check_workbook(workbook, sheets, stamp)
            elif not problems:
                problems.append("no workbook")
        failed += bool(problems)
        print(("FAIL " if problems else "ok   ") + name)
        for problem in problems:
            print("     " + problem)
    print(f"{len(ROWS) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
