#!/usr/bin/env python3
"""The Windows setup under wine, in a fresh prefix of its own whose home is inside WORK_FOLDER:
installed silently, checked, installed again over itself, uninstalled; then, into a folder given
with /D=, its pages driven from the keyboard on the X display in DISPLAY (PNGs of each when a
screenshot folder is given).
The installed programs find their DLLs and plugins beside themselves only.

Usage: wine_installer.py SETUP_EXE TERMINAL_SIM_EXE WORK_FOLDER [SCREENSHOT_FOLDER]
Prints one line per check; exits 1 at the first failure."""
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_polling_e2e  # noqa: E402

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallivo"
KEY_VALUES = ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "EstimatedSize", "UninstallString",
              "QuietUninstallString")
SHIPPED = ("wizard.exe", "polling.exe", "uninstall.exe", "Qt6Core.dll", "Qt6Gui.dll", "Qt6Widgets.dll",
           "libxlsxwriter.dll", "zlib1.dll", "libstdc++-6.dll", "platforms/qwindows.dll", "imageformats/qjpeg.dll",
           "styles/qwindowsvistastyle.dll", "README.txt", "LICENSE.txt", "licenses/Qt/LGPL-3.0-only.txt",
           "licenses/libxlsxwriter/License.txt", "licenses/zlib-copyright.txt")
OPTIONS = b"StayOnline=0\r\nNewFileEachDelivery=0\r\n"
PUBLISHER = "The Tallivo developers"
ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "wizard", "resources", "wizard.ico")


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print(f"   {what}", flush=True)


def wine(*args, timeout=300):
    return subprocess.run(["wine", *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)


def wine_output(*args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True,
                          timeout=60).stdout.decode().strip()


def unix_path(windows_path):
    return wine_output("winepath", "-u", windows_path)


def shell_link(path):
    """Target, working folder and icon of a Shell Link (.lnk) file."""
    data = open(path, "rb").read()
    if data[:4] != b"\x4c\x00\x00\x00":
        raise Failure(f"{path} is no shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 0x01:  # item id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x02:  # link info: the local base path, ANSI, zero-terminated
        size, _, info_flags, _, base_offset = struct.unpack_from("<5I", data, at)
        if info_flags & 1:
            target = data[at + base_offset:data.index(b"\0", at + base_offset)].decode("latin-1")
        at += size
    strings = {}
    for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "working"), (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            width = 2 if flags & 0x80 else 1  # UTF-16 or ANSI
            count = struct.unpack_from("<H", data, at)[0]
            strings[name] = data[at + 2:at + 2 + width * count].decode("utf-16-le" if width == 2 else "latin-1")
            at += 2 + width * count
    # Wine counts a closing zero into the length.
    return target, strings.get("working", "").rstrip("\0"), strings.get("icon", "").rstrip("\0")


def version_value(data, key):
    """One string of a program's version information, found by its UTF-16 key."""
    match = re.search(key.encode("utf-16-le") + rb"\0\0(?:\0\0)?((?:[^\0]\0)+)\0\0", data)
    return match.group(1).decode("utf-16-le") if match else None


def icon_images(path):
    data = open(path, "rb").read()
    images = []
    for entry in range(struct.unpack_from("<H", data, 4)[0]):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * entry + 8)
        images.append(data[offset:offset + size])
    return images


def check_properties(path, version, what):
    data = open(path, "rb").read()
    check(version_value(data, "ProductName") == "Tallivo" and version_value(data, "ProductVersion") == version
          and version_value(data, "CompanyName") == PUBLISHER and all(i in data for i in icon_images(ICON)),
          f"{what}: the wizard's icon, product Tallivo {version}, publisher {PUBLISHER}")


def uninstall_key():
    """The uninstall key's values by name, or None when it is missing."""
    result = wine("reg", "query", UNINSTALL_KEY)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode(errors="replace").splitlines():
        match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*?)\s*$", line)
        if match:
            values[match.group(1)] = match.group(3)
    return values


def quiet_uninstall(key, what):
    program, arguments = re.match(r'^"([^"]+)" (.*)$', key["QuietUninstallString"]).groups()
    check(wine(program, arguments).returncode == 0, what)
    # The uninstaller goes on from a copy of itself in the temporary folder; the key goes last.
    for _ in range(240):
        if uninstall_key() is None:
            break
        time.sleep(0.5)
    subprocess.run(["wineserver", "-w"], timeout=120)


def files_under(folder):
    return {os.path.relpath(os.path.join(top, name), folder) for top, _, names in os.walk(folder) for name in names}


def proof(setup, terminal, work, version):
    check(b'level="asInvoker"' in open(setup, "rb").read(), "the setup asks for no elevation (asInvoker)")
    check_properties(setup, version, "setup.exe")
    check(wine(setup, "/S").returncode == 0, "silent install: setup.exe /S ended with 0")
    key = uninstall_key() or {}
    check(all(key.get(name) for name in KEY_VALUES) and key["DisplayName"] == "Tallivo"
          and key["DisplayVersion"] == version and key["Publisher"] == PUBLISHER,
          f"uninstall key {UNINSTALL_KEY}: " + ", ".join(KEY_VALUES))
    check(int(key["EstimatedSize"], 16) > 10000, f"estimated size {int(key['EstimatedSize'], 16)} kB")
    local_appdata = wine_output("wine", "cmd", "/c", "echo %LOCALAPPDATA%")
    install_dir = key["InstallLocation"]
    check(install_dir.lower() == (local_appdata + r"\Programs\Tallivo").lower(),
          f"installed in the default folder {install_dir}")
    check(key["QuietUninstallString"] == f'"{install_dir}\\uninstall.exe" /S', "quiet uninstall command")
    installed = unix_path(install_dir)
    check(all(os.path.isfile(os.path.join(installed, f)) for f in SHIPPED), "installed: " + ", ".join(SHIPPED))
    shipped = files_under(installed)
    check_properties(os.path.join(installed, "uninstall.exe"), version, "uninstall.exe")

    start_menu = unix_path(wine_output("wine", "cmd", "/c", "echo %APPDATA%")
                           + r"\Microsoft\Windows\Start Menu\Programs\Tallivo")
    working = set()
    for caption, exe in (("Tallivo Wizard", "wizard.exe"), ("Tallivo Polling", "polling.exe")):
        target, folder, icon = shell_link(os.path.join(start_menu, caption + ".lnk"))
        check(target == f"{install_dir}\\{exe}" and icon == target and folder,
              f'"{caption}" starts {target} with its icon, in {folder}')
        working.add(folder)
    check(len(working) == 1, "both shortcuts start in the same folder")
    profile = wine_output("wine", "cmd", "/c", "echo %USERPROFILE%")
    work_folder = working.pop()
    check(work_folder.lower() == (profile + r"\Tallivo").lower() and key.get("WorkFolder") == work_folder,
          f"that folder is {work_folder}, out of Documents, kept in the uninstall key")
    target, _, _ = shell_link(os.path.join(start_menu, "Tallivo Folder.lnk"))
    check(target == work_folder, '"Tallivo Folder" opens it')
    # Without wine's dosdevices links, whose "c:" no Windows path can hold.
    folder = os.path.realpath(unix_path(work_folder))
    check(os.path.isdir(folder) and os.access(folder, os.W_OK), f"that folder exists and is writable: {folder}")

    # terminal_sim.exe takes the MinGW runtime from there too; polling.exe finds it beside itself.
    os.environ["WINEPATH"] = install_dir
    problems = wine_polling_e2e.run_case(os.path.join(installed, "polling.exe"), terminal, work,
                                         wine_polling_e2e.LAYOUTS[0], "\\", run=folder)
    check(not problems, "installed polling.exe in that folder converts a delivery byte for byte"
          + "".join("; " + p for p in problems))
    del os.environ["WINEPATH"]
    answer = wine(os.path.join(installed, "wizard.exe"), "--version", timeout=60)
    check(answer.returncode == 0 and answer.stdout.decode(errors="replace").strip() == f"wizard {version}",
          f"installed wizard.exe --version answers {answer.stdout.decode(errors='replace').strip()!r}")

    # What a user keeps: the shared folder's files, and a copy of the configuration in the
    # installation folder as a zip user would have it.
    config = open(os.path.join(folder, "orvwizard.cfg"), "rb").read()
    with open(os.path.join(folder, "orvwizard.opt"), "wb") as f:
        f.write(OPTIONS)
    shutil.copy(os.path.join(folder, "orvwizard.cfg"), os.path.join(installed, "orvwizard.cfg"))
    user_files = {os.path.join(folder, name): open(os.path.join(folder, name), "rb").read()
                  for name in ("orvwizard.cfg", "orvwizard.opt", "OUTPUT.TXT")}
    user_files[os.path.join(installed, "orvwizard.cfg")] = config

    def user_files_kept(what):
        check(all(os.path.isfile(p) and open(p, "rb").read() == b for p, b in user_files.items()),
              f"{what} keeps orvwizard.cfg, orvwizard.opt and the output file, byte for byte")

    check(wine(setup, "/S").returncode == 0, "second silent install: setup.exe /S ended with 0")
    user_files_kept("the second install")
    check(files_under(installed) == shipped | {"orvwizard.cfg"} and uninstall_key() == key,
          "after it the same files and the same uninstall key")

    quiet_uninstall(key, "the quiet uninstall command ended with 0")
    check(uninstall_key() is None, "the uninstall key is gone")
    check(os.listdir(installed) == ["orvwizard.cfg"], "of the installation folder only the user's orvwizard.cfg is left")
    check(not os.path.exists(start_menu), "the Start-menu folder Tallivo is gone")
    user_files_kept("the uninstall")
    upgrade_from_documents(setup)


def upgrade_from_documents(setup):
    """An earlier version worked in Documents\\Tallivo and wrote no WorkFolder: its upgrade
    keeps that folder and the configuration in it."""
    documents = wine_output("wine", "reg", "query", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer"
                            r"\Shell Folders", "/v", "Personal").split("REG_SZ")[-1].strip()
    old_folder = documents + r"\Tallivo"
    os.makedirs(unix_path(old_folder), exist_ok=True)
    config = os.path.join(unix_path(old_folder), "orvwizard.cfg")
    with open(config, "wb") as f:
        f.write(b'"KEPT.TXT"\r\n')
    check(wine("reg", "add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "4.0.0", "/f").returncode == 0,
          "an earlier version's uninstall key, without WorkFolder")
    check(wine(setup, "/S").returncode == 0, "upgrade: setup.exe /S ended with 0")
    key = uninstall_key() or {}
    start_menu = unix_path(wine_output("wine", "cmd", "/c", "echo %APPDATA%")
                           + r"\Microsoft\Windows\Start Menu\Programs\Tallivo")
    _, working, _ = shell_link(os.path.join(start_menu, "Tallivo Wizard.lnk"))
    check(working == old_folder and key.get("WorkFolder") == old_folder
          and open(config, "rb").read() == b'"KEPT.TXT"\r\n',
          f"the upgrade keeps working in {old_folder}, its orvwizard.cfg untouched")
    quiet_uninstall(key, "uninstalled again")


def walk_pages(setup, shots):
    """The pages from the keyboard, as a user would: Next on each, Finish starting the wizard; the
    folder given with /D=."""
    chosen = r"C:\Tallivo"
    installed = unix_path(chosen)
    def visible(pattern):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode().split()

    def window(pattern, timeout=120):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if visible(pattern):
                return visible(pattern)[0]
            time.sleep(0.2)
        raise Failure(f"no window {pattern!r}")

    def keys(window_id, *names):
        subprocess.run(["xdotool", "windowfocus", window_id], stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "--delay", "200", *names])

    def shot(window_id, name):
        time.sleep(1.5)
        if shots:
            subprocess.run(["timeout", "20", "import", "-window", window_id, os.path.join(shots, name + ".png")])

    started = subprocess.Popen(["wine", setup, "/D=" + chosen], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        setup_window = window("^Tallivo Setup$")
        for page in ("welcome", "licence", "folder", "progress"):
            if page == "progress":  # the uninstaller is written last
                for _ in range(300):
                    if os.path.isfile(os.path.join(installed, "uninstall.exe")):
                        break
                    time.sleep(0.2)
            shot(setup_window, "installer-" + page)
            check(started.poll() is None, f"{page} page shown")
            keys(setup_window, "Return")
        shot(setup_window, "installer-finish")
        keys(setup_window, "Return")
        check(started.wait(timeout=60) == 0 and (uninstall_key() or {}).get("InstallLocation") == chosen,
              f"finish page: the setup ended with 0, installed in {chosen}")
        # The configuration kept in the shortcuts' folder opens the window without the missing-file message.
        wizard = window("^Velmora PDA Output file wizard ")
        shot(wizard, "installer-started-wizard")
        check(not visible("^DOWNLOAD WIZARD$"), '"Start Tallivo Wizard" started the wizard in the shortcuts\' folder')
    finally:
        if started.poll() is None:
            started.kill()
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)


def main():
    if len(sys.argv) not in (4, 5):
        print(__doc__)
        return 2
    setup, terminal, work = (os.path.abspath(a) for a in sys.argv[1:4])
    shots = os.path.abspath(sys.argv[4]) if len(sys.argv) == 5 and sys.argv[4] else ""
    match = re.search(r"tallivo-(.+)-windows-x64-setup\.exe$", setup)
    if not match or not os.environ.get("DISPLAY"):
        print("needs a setup named tallivo-<version>-windows-x64-setup.exe and an X display in DISPLAY")
        return 2
    if shots:
        os.makedirs(shots, exist_ok=True)
    os.makedirs(os.path.join(work, "home"), exist_ok=True)
    # A prefix of its own whose home (Documents included) lies in the work folder; no menu
    # entries for the Linux desktop; and nothing of the kit: the programs use what is installed.
    os.environ.update(WINEPREFIX=os.path.join(work, "prefix"), HOME=os.path.join(work, "home"),
                      XDG_CONFIG_HOME=os.path.join(work, "home", ".config"),
                      XDG_DATA_HOME=os.path.join(work, "home", ".local", "share"),
                      WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", WINEDEBUG="-all")
    for name in ("WINEPATH", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM"):
        os.environ.pop(name, None)
    subprocess.run(["wineboot", "--init"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    try:
        proof(setup, terminal, work, match.group(1))
        walk_pages(setup, shots)
    except (Failure, subprocess.SubprocessError, OSError, KeyError) as problem:
        print(f"FAILED: {problem}", flush=True)
        return 1
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    print("the setup passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
