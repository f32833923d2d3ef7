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
FULL_RECORDS = [("Barcode", "Quantity", "Date", "Time"),
                ("0004006381333931", 5, "01/02/2003", "10:20"),
                ("4006381333931", 3.5, "31/12/2004", "23:59"),
                ("400638133393112345", 12, "01/01/2005", "08:00"),
                ("0004006381333931", 0, "02/02/2005", "09:00"),
                ("no semicolon here",),
                (),
                ("caf\xe9 \xff\x80\ufffd", 1, "03/03/2005"),
                ("4006381333931", 2)]
TOTALS = [("Barcode", "Quantity", "Lines"),
          ("0004006381333931", 5, 2),
          ("4006381333931", 5.5, 2),
          ("400638133393112345", 12, 1),
          ("caf\xe9 \xff\x80\ufffd", 1, 1)]
ESCAPE_FORMS = (b"_x0041_;1;a;b;01/01/2001;12:00\r\n"
                b"a_X004a__x00e9_b;2;a;b;01/01/2001;12:00\r\n"
                b"__x0041__;3;a;b;01/01/2001;12:00\r\n"
                b"_x004_ _x00G1_;4;a;b;01/01/2001;12:00\r\n")
ESCAPE_RECORDS = [("_x0041_", 1, "01/01/2001", "12:00"),
                  ("a_X004a__x00e9_b", 2, "01/01/2001", "12:00"),
                  ("__x0041__", 3, "01/01/2001", "12:00"),
                  ("_x004_ _x00G1_", 4, "01/01/2001", "12:00")]
FIVE = b"".join(b"%d;%d;a;b;01/01/2001;12:00\r\n" % (i % 2, i) for i in range(1, 6))

# (name, settings changed, delivery, rows per sheet or None, {sheet: rows}, by the real polling)
ROWS = [
    ("leading zeros, 13 and 18 digits, 0005, 3.50, 12 PCS, no quantity, no ';', an empty line, bytes 128-255 and NUL",
     {}, DELIVERY, None, {"Records": FULL_RECORDS, "Totals": TOTALS}, False),
    ("date and time hidden: two columns",
     {"HideDateTime": "1"}, DELIVERY, None,
     {"Records": [r[:2] for r in FULL_RECORDS], "Totals": TOTALS}, False),
    ("a full sheet goes on in Records (2)",
     {}, FIVE, 3,
     {"Records": [FULL_RECORDS[0], ("1", 1, "01/01/2001", "12:00"), ("0", 2, "01/01/2001", "12:00")],
      "Records (2)": [FULL_RECORDS[0], ("1", 3, "01/01/2001", "12:00"), ("0", 4, "01/01/2001", "12:00")],
      "Records (3)": [FULL_RECORDS[0], ("1", 5, "01/01/2001", "12:00")],
      "Totals": [TOTALS[0], ("1", 9, 3), ("0", 6, 2)]}, False),
    ("barcodes in the form a sheet escapes a character in (_x0041_) show as delivered",
     {}, ESCAPE_FORMS, None,
     {"Records": [FULL_RECORDS[0]] + ESCAPE_RECORDS,
      "Totals": [TOTALS[0]] + [(r[0], r[1], 1) for r in ESCAPE_RECORDS]}, False),
    ("the real polling under a comma locale, named after the output file and its stamp",
     {}, DELIVERY, None, {"Records": FULL_RECORDS, "Totals": TOTALS}, True),
]


def shown(value):
    """A cell's text as a spreadsheet program shows it: "_x0041_" stored is "A". openpyxl's cell
    reader leaves inline text as stored, so its own decoding of the form is applied here."""
    return unescape(value) if isinstance(value, str) else value


def trimmed(row):
    row = [shown(value) for value in row]
    while row and row[-1] is None:
        row.pop()
    return tuple(row)


def check_workbook(path, sheets, stamp):
    problems = []
    book = openpyxl.load_workbook(path)
    if book.sheetnames != list(sheets):
        return [f"sheets {book.sheetnames}, expected {list(sheets)}"]
    for name, expected in sheets.items():
        sheet = book[name]
        found = [trimmed(r) for r in sheet.iter_rows(values_only=True)]
        if found != expected:
            problems.append(f"{name}: {found}, expected {expected}")
        for row in sheet.iter_rows(min_row=2):
            if row[0].value is not None and row[0].data_type != "s":
                problems.append(f"{name}!{row[0].coordinate} is not text")
            if len(row) > 1 and row[1].value is not None and row[1].data_type != "n":
                problems.append(f"{name}!{row[1].coordinate} is not a number")
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
