#!/usr/bin/env python3
"""The cross-built polling.exe under wine, fed by terminal_sim.exe, for three layouts and two
ways of naming the output folder: a Windows path (Z:\\...) and "\\" (the current folder).
Given hold_file.exe, also deliveries as a shop's PC makes them: delivered read-only, and held
for a moment by another program (a virus scanner) at the takeover, at the work file's removal
and while the output is written; each must end with every record exactly once and no
hand-over file left. Then an output folder named in Cyrillic on a Cyrillic Windows (wine takes
the ANSI code page, 1251, from the locale ru_RU.UTF-8), a delivery that repeats an earlier one
with "Skip records delivered before" (in a Latin and a Cyrillic folder), and, given a display, an output folder
the user may not write in: the run must end at once (exit 15) with its message, not "busy".
Run it as an ordinary user: root writes read-only files and folders anyway.

Usage: wine_polling_e2e.py POLLING_EXE TERMINAL_SIM_EXE WORK_FOLDER [HOLD_FILE_EXE [WORKBOOK_TOOL]]
WORKBOOK_TOOL is the Linux build's: given it, a workbook row compares polling.exe's workbook
with the Linux one, byte for byte, and the Cyrillic row makes one too.
The environment (WINEPREFIX, WINEPATH, QT_QPA_PLATFORM, ...) is the caller's.
Prints one line per case and "N passed, N failed"; exits 1 on any failure."""
import os
import subprocess
import sys
import tempfile
import time

WORKED_EXAMPLE = {
    "OutputFileName": "OUTPUT.TXT", "FileHeaderMode": "0", "FileHeaderValue": "",
    "RecordHeaderChar": "NONE", "BarcodeSeparator": "124", "QuantitySeparator": "124",
    "DateSeparator": "124", "RecordTerminator": "124", "FileTerminatorMode": "0",
    "FileTerminatorValue": "", "EndOfFileMessageOn": "1", "EndOfFileMessage": "<EOT>",
    "ComPort": "Com-1", "BaudRate": "9600", "ExistingFilePolicy": "0", "DeleteMemoryOnExit": "1",
    "BarcodeFixedLength": "0", "QuantityFixedLength": "0", "BarcodeLength": "VARIABLE",
    "BarcodeFiller": "NONE", "QuantityLength": "VARIABLE", "QuantityFiller": "NONE",
    "BarcodeJustify": "N", "QuantityJustify": "N", "SplashScreen": "0", "HideDateTime": "0",
    "OutputFolder": "\\",
}
LINES = [["OutputFileName"], ["FileHeaderMode", "FileHeaderValue"],
         ["RecordHeaderChar", "BarcodeSeparator", "QuantitySeparator", "DateSeparator", "RecordTerminator"],
         ["FileTerminatorMode", "FileTerminatorValue"], ["EndOfFileMessageOn", "EndOfFileMessage"],
         ["ComPort", "BaudRate"], ["ExistingFilePolicy"], ["DeleteMemoryOnExit"], ["BarcodeFixedLength"],
         ["QuantityFixedLength"], ["BarcodeLength", "BarcodeFiller", "QuantityLength", "QuantityFiller"],
         ["BarcodeJustify", "QuantityJustify"], ["SplashScreen"], ["HideDateTime"], ["OutputFolder"]]

# The same layouts and bytes as the Linux program's own end-to-end table.
LAYOUTS = [
    ("defaults", {},
     b"4006381333931;0005;A;B;01/02/2003;10:20\r\n123;3.50;x;y;31/12/2004;23:59",
     b"4006381333931|5|01/02/2003|10:20|\r\n123|3.5|31/12/2004|23:59|\r\n<EOT>\r\n"),
    ("no separators, one-byte header and terminator",
     {"RecordHeaderChar": "NONE", "BarcodeSeparator": "NONE", "QuantitySeparator": "NONE",
      "DateSeparator": "NONE", "RecordTerminator": "NONE", "FileHeaderMode": "1", "FileHeaderValue": "2",
      "FileTerminatorMode": "1", "FileTerminatorValue": "26", "EndOfFileMessageOn": "0"},
     b"4006381333931;0005;A;B;01/02/2003;10:20\r\n",
     b"\x02\r\n4006381333931501/02/200310:20\r\n\x1a\r\n"),
    ("short layout, fixed barcode, tab, high bytes",
     {"HideDateTime": "1", "BarcodeFixedLength": "1", "BarcodeLength": "8", "BarcodeFiller": "48",
      "BarcodeJustify": "L", "RecordHeaderChar": "35", "BarcodeSeparator": "9", "RecordTerminator": "233",
      "FileHeaderMode": "2", "FileHeaderValue": "HEADER", "FileTerminatorMode": "2", "FileTerminatorValue": "END",
      "EndOfFileMessage": "<ETX>"},
     b"123;0005;A;B;01/02/2003;10:20\r\n1234567890;12 PCS;x;y;z;w\r\n",
     b"HEADER\r\n#00000123\t5\xe9\r\n#12345678\t12\xe9\r\nEND\r\n<ETX>\r\n"),
]


def config_bytes(settings, code_page="latin-1"):
    def value(name):
        text = settings[name]
        return text if name == "EndOfFileMessageOn" else '"' + text + '"'
    return "".join(",".join(value(n) for n in line) + "\r\n" for line in LINES).encode(code_page)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_case(polling, terminal, base, layout, folder_form, run=None, folder_name="out", locale=None,
             workbook_tool=None, options=None):
    """Runs polling.exe in the folder run (a new one under base when None). With a locale, both
    programs run in it and the configuration is in its code page (cp1251 for ru_RU). With the
    Linux workbook_tool, polling.exe also makes a workbook, which must be the very bytes the
    tool makes of the same delivery and stamp on Linux. options: the bytes of orvwizard.opt."""
    name, changes, data, expected = layout
    run = run or tempfile.mkdtemp(prefix="case-", dir=base)
    output_folder = run if folder_form == "\\" else os.path.join(run, folder_name)
    os.makedirs(output_folder, exist_ok=True)
    settings = dict(WORKED_EXAMPLE, **changes)
    settings["OutputFolder"] = "\\" if folder_form == "\\" else windows_path(output_folder)
    with open(os.path.join(run, "orvwizard.cfg"), "wb") as f:
        f.write(config_bytes(settings, "cp1251" if locale else "latin-1"))
    if workbook_tool:
        options = b"StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=1\r\n"
    if options:
        with open(os.path.join(run, "orvwizard.opt"), "wb") as f:
            f.write(options)
    delivery = os.path.join(base, os.path.basename(run) + "-delivery.bin")
    with open(delivery, "wb") as f:
        f.write(data)
    env = dict(os.environ, LANG=locale, LC_ALL=locale) if locale else None
    # The simulator is told its folder as "." there: only polling.exe reads the configured name.
    sim = subprocess.Popen(["wine", terminal, "--folder", ".", "--from", windows_path(delivery),
                            "--timeout-ms", "90000"], cwd=output_folder, env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    problems = []
    try:
        status = subprocess.run(["wine", polling], cwd=run, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=120).returncode
        if status != 0:
            problems.append(f"polling.exe ended with {status}")
    except subprocess.TimeoutExpired:
        problems.append("polling.exe did not end within 120 s")
    try:
        sim_status = sim.wait(timeout=100)
        if sim_status != 0:
            problems.append(f"terminal_sim.exe ended with {sim_status}: {sim.stdout.read()!r}")
    except subprocess.TimeoutExpired:
        sim.kill()
        problems.append("terminal_sim.exe did not end")
    output_path = os.path.join(output_folder, "OUTPUT.TXT")
    actual = open(output_path, "rb").read() if os.path.exists(output_path) else None
    if actual != expected:
        problems.append(f"output {actual!r}, expected {expected!r}")
    for leftover in ("~1~", "~dati.txt", "~~dati.txt"):
        if os.path.exists(os.path.join(output_folder, leftover)):
            problems.append(f"{leftover} left in the output folder")
    if workbook_tool:
        problems += same_workbook_as_on_linux(workbook_tool, settings, delivery, output_folder)
    return problems


def run_repeat_case(polling, terminal, base, folder_name="out", locale=None):
    """Appending, with "Skip records delivered before": a second delivery that begins with the
    first (a terminal whose memory was not cleared) adds only its new record."""
    run = tempfile.mkdtemp(prefix="repeat-", dir=base)
    first_line, new_line = b"4006381333931;0005;A;B;01/02/2003;10:20\r\n", b"123;3.50;x;y;31/12/2004;23:59\r\n"
    first_out = b"4006381333931|5|01/02/2003|10:20|\r\n<EOT>\r\n"
    changes = {"ExistingFilePolicy": "2"}
    options = b"StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=0\r\nSkipRepeated=1\r\n"
    problems = run_case(polling, terminal, base, ("first", changes, first_line, first_out), "Z:\\...", run=run,
                        folder_name=folder_name, locale=locale, options=options)
    problems += run_case(polling, terminal, base,
                         ("second", changes, first_line + new_line, first_out + b"123|3.5|31/12/2004|23:59|\r\n<EOT>\r\n"),
                         "Z:\\...", run=run, folder_name=folder_name, locale=locale, options=options)
    if not os.path.exists(os.path.join(run, folder_name, "~~deliveries.history")):
        problems.append("no ~~deliveries.history beside the output")
    return problems


def same_workbook_as_on_linux(workbook_tool, settings, delivery, output_folder):
    names = [n for n in os.listdir(output_folder) if n.startswith("OUTPUT_")]
    if len(names) != 1 or not names[0].endswith(".xlsx"):
        return [f"workbooks {names}, expected one OUTPUT_<stamp>.xlsx"]
    linux = tempfile.mkdtemp(prefix="linux-workbook-")
    config = os.path.join(linux, "orvwizard.cfg")
    with open(config, "wb") as f:
        f.write(config_bytes(dict(settings, OutputFolder="\\")))
    made = os.path.join(linux, names[0])
    status = subprocess.run([workbook_tool, config, delivery, made, names[0][7:22]]).returncode
    if status != 0:
        return [f"workbook_tool ended with {status}"]
    if open(made, "rb").read() != open(os.path.join(output_folder, names[0]), "rb").read():
        return [f"{names[0]} differs from the Linux workbook of the same delivery ({made})"]
    return []


# A delivery as a shop's PC sees it: (what, the file held or None, its sharing, read-only).
SHOP_CASES = [
    ("delivered read-only", None, None, True),
    ("~dati.txt held without sharing at the takeover", "~dati.txt", "none", False),
    ("~~dati.txt held without delete sharing at its removal", "~~dati.txt", "nodelete", False),
    ("OUTPUT.TXT held without sharing while it is written", "OUTPUT.TXT", "none", False),
]


def wait_for(path, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if os.path.exists(path):
            return True
        time.sleep(0.01)
    return False


def run_shop_case(polling, hold_exe, base, case):
    """polling.exe takes a delivery made here rather than by terminal_sim.exe, so that the hold
    starts at the right moment."""
    name, held, sharing, read_only = case
    run = tempfile.mkdtemp(prefix="shop-", dir=base)
    records = 1000
    lines = [f"{4006381000000 + i};0005;A;B;01/02/2003;10:20" for i in range(records)]
    data = "\r\n".join(lines).encode() + b"\r\n"
    expected = b"".join(f"{4006381000000 + i}|5|01/02/2003|10:20|\r\n".encode() for i in range(records))
    expected += b"<EOT>\r\n"
    with open(os.path.join(run, "orvwizard.cfg"), "wb") as f:
        f.write(config_bytes(WORKED_EXAMPLE))
    problems = []
    holder = None
    started = subprocess.Popen(["wine", polling], cwd=run, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        marker, delivery = os.path.join(run, "~1~"), os.path.join(run, "~dati.txt")
        if not wait_for(marker, 60):
            raise RuntimeError("no marker ~1~")
        with open(delivery, "wb") as f:
            f.write(data)
        if read_only:
            os.chmod(delivery, 0o444)

        def hold():
            return subprocess.Popen(["wine", hold_exe, windows_path(os.path.join(run, held)), "2000", sharing],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if held == "~dati.txt":
            holder = hold()
            if holder.stdout.readline().strip() != b"held":
                raise RuntimeError("hold_file.exe did not hold ~dati.txt")
        os.remove(marker)
        if held and held != "~dati.txt":
            if not wait_for(os.path.join(run, held), 60):
                raise RuntimeError(f"{held} never appeared")
            holder = hold()
        status = started.wait(timeout=120)
        if status != 0:
            problems.append(f"polling.exe ended with {status}: {started.stdout.read()!r}")
    except (RuntimeError, subprocess.TimeoutExpired) as problem:
        problems.append(str(problem))
        started.kill()
    if holder:
        try:
            out = holder.communicate(timeout=60)[0]
            if holder.returncode != 0:
                problems.append(f"hold_file.exe: {out!r}")
        except subprocess.TimeoutExpired:
            holder.kill()
    output_path = os.path.join(run, "OUTPUT.TXT")
    actual = open(output_path, "rb").read() if os.path.exists(output_path) else None
    if actual != expected:
        problems.append(f"output of {len(actual or b'')} bytes, expected {len(expected)}: every record once")
    for leftover in ("~1~", "~dati.txt", "~~dati.txt", "~~dati.journal"):
        if os.path.exists(os.path.join(run, leftover)):
            problems.append(f"{leftover} left in the output folder")
    return problems


def run_refusing_folder_case(polling, base):
    """An output folder the user may not write in: on a display, the message is answered as a
    user would (Return) and the run must end with exit 15, no marker and no output."""
    run = tempfile.mkdtemp(prefix="refusing-", dir=base)
    locked = os.path.join(run, "locked")
    os.makedirs(locked)
    with open(os.path.join(run, "orvwizard.cfg"), "wb") as f:
        f.write(config_bytes(dict(WORKED_EXAMPLE, OutputFolder=windows_path(locked))))
    os.chmod(locked, 0o555)
    env = {k: v for k, v in os.environ.items() if k != "QT_QPA_PLATFORM"}
    started = subprocess.Popen(["wine", polling], cwd=run, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    problems = []
    try:
        box = ""
        deadline = time.time() + 90
        while not box and time.time() < deadline and started.poll() is None:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^TALLIVO$"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
            box = found[0] if found else ""
            time.sleep(0.2)
        if not box:
            problems.append("no message box titled TALLIVO")
        else:
            subprocess.run(["xdotool", "windowfocus", box], stderr=subprocess.DEVNULL)
            time.sleep(0.5)
            subprocess.run(["xdotool", "key", "Return"])
        status = started.wait(timeout=60)
        if status != 15:
            problems.append(f"polling.exe ended with {status}, expected 15 (the marker could not be created)")
    except subprocess.TimeoutExpired:
        problems.append("polling.exe did not end after its message was answered")
        started.kill()
    finally:
        os.chmod(locked, 0o755)
    for left in ("~1~", "OUTPUT.TXT"):
        if os.path.exists(os.path.join(locked, left)):
            problems.append(f"{left} in the folder that refuses writes")
    return problems


def main():
    if len(sys.argv) not in (4, 5, 6):
        print(__doc__)
        return 2
    polling, terminal, base = (os.path.abspath(a) for a in sys.argv[1:4])
    hold_exe = os.path.abspath(sys.argv[4]) if len(sys.argv) >= 5 else None
    workbook_tool = os.path.abspath(sys.argv[5]) if len(sys.argv) == 6 else None
    # Each row starts polling.exe and the simulator at once. Two wine programs that both find no
    # server start one each, and the loser may fail ("error opening file descriptor for wineserver
    # tmpdir file"): one server for the whole table, up before the first row, ended after it.
    subprocess.run(["wineserver", "-p"], check=True)
    subprocess.run(["wine", "cmd", "/c", "exit"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    try:
        return run_table(polling, terminal, base, hold_exe, workbook_tool)
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)


def run_table(polling, terminal, base, hold_exe, workbook_tool):
    passed = failed = 0
    for layout in LAYOUTS:
        for folder_form in ("Z:\\...", "\\"):
            problems = run_case(polling, terminal, base, layout, folder_form)
            verdict = "ok" if not problems else "FAILED: " + "; ".join(problems)
            print(f"polling.exe, {layout[0]}, output folder {folder_form}: {verdict}", flush=True)
            passed += not problems
            failed += bool(problems)
    for case in SHOP_CASES if hold_exe else []:
        problems = run_shop_case(polling, hold_exe, base, case)
        print(f"polling.exe, {case[0]}: {'ok' if not problems else 'FAILED: ' + '; '.join(problems)}", flush=True)
        passed += not problems
        failed += bool(problems)
    if workbook_tool:
        problems = run_case(polling, terminal, base, LAYOUTS[2], "Z:\\...", workbook_tool=workbook_tool)
        print(f"polling.exe, a workbook byte for byte as on Linux: {'ok' if not problems else 'FAILED: ' + '; '.join(problems)}",
              flush=True)
        passed += not problems
        failed += bool(problems)
    # A Cyrillic Windows: the folder's name is in the configuration in code page 1251.
    problems = run_case(polling, terminal, base, LAYOUTS[0], "Z:\\...", folder_name="Склад учёт",
                        locale="ru_RU.UTF-8", workbook_tool=workbook_tool)
    print(f"polling.exe, output folder in Cyrillic under code page 1251: {'ok' if not problems else 'FAILED: ' + '; '.join(problems)}",
          flush=True)
    passed += not problems
    failed += bool(problems)
    for folder_name, locale, what in (("out", None, "a Latin folder"),
                                      ("Склад учёт", "ru_RU.UTF-8", "a Cyrillic folder under code page 1251")):
        problems = run_repeat_case(polling, terminal, base, folder_name, locale)
        print(f"polling.exe, a repeated delivery skipped, {what}: {'ok' if not problems else 'FAILED: ' + '; '.join(problems)}",
              flush=True)
        passed += not problems
        failed += bool(problems)
    if os.geteuid() == 0:
        print("skipped: output folder that refuses writes (root may write in any folder)")
    elif os.environ.get("DISPLAY"):
        problems = run_refusing_folder_case(polling, base)
        print(f"polling.exe, output folder that refuses writes: {'ok' if not problems else 'FAILED: ' + '; '.join(problems)}",
              flush=True)
        passed += not problems
        failed += bool(problems)
    else:
        print("skipped: output folder that refuses writes (its message needs a display to be answered)")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
