#!/usr/bin/env python3
"""The cross-built polling.exe under wine, fed by terminal_sim.exe, for three layouts and two
ways of naming the output folder: a Windows path (Z:\\...) and "\\" (the current folder).

Usage: wine_polling_e2e.py POLLING_EXE TERMINAL_SIM_EXE WORK_FOLDER
The environment (WINEPREFIX, WINEPATH, QT_QPA_PLATFORM, ...) is the caller's.
Prints one line per case and "N passed, N failed"; exits 1 on any failure."""
import os
import subprocess
import sys
import tempfile

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


def config_bytes(settings):
    def value(name):
        text = settings[name]
        return text if name == "EndOfFileMessageOn" else '"' + text + '"'
    return "".join(",".join(value(n) for n in line) + "\r\n" for line in LINES).encode("latin-1")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_case(polling, terminal, base, layout, folder_form, run=None):
    """Runs polling.exe in the folder run (a new one under base when None)."""
    name, changes, data, expected = layout
    run = run or tempfile.mkdtemp(prefix="case-", dir=base)
    output_folder = run if folder_form == "\\" else os.path.join(run, "out")
    os.makedirs(output_folder, exist_ok=True)
    settings = dict(WORKED_EXAMPLE, **changes)
    settings["OutputFolder"] = "\\" if folder_form == "\\" else windows_path(output_folder)
    with open(os.path.join(run, "orvwizard.cfg"), "wb") as f:
        f.write(config_bytes(settings))
    delivery = os.path.join(base, os.path.basename(run) + "-delivery.bin")
    with open(delivery, "wb") as f:
        f.write(data)
    sim = subprocess.Popen(["wine", terminal, "--folder", windows_path(output_folder), "--from",
                            windows_path(delivery), "--timeout-ms", "90000"], cwd=run,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    problems = []
    try:
        status = subprocess.run(["wine", polling], cwd=run, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                timeout=120).returncode
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
    return problems


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    polling, terminal, base = (os.path.abspath(a) for a in sys.argv[1:])
    passed = failed = 0
    for layout in LAYOUTS:
        for folder_form in ("Z:\\...", "\\"):
            problems = run_case(polling, terminal, base, layout, folder_form)
            verdict = "ok" if not problems else "FAILED: " + "; ".join(problems)
            print(f"polling.exe, {layout[0]}, output folder {folder_form}: {verdict}", flush=True)
            passed += not problems
            failed += bool(problems)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
