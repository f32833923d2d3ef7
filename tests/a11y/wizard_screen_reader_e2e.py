#!/usr/bin/env python3
"""The wizard set up through the accessibility bus alone, as a screen reader drives it, then
the real polling program converting delivered data with the file it saved.

Usage: wizard_screen_reader_e2e.py WIZARD POLLING TERMINAL_SIM
Exit 77 (skipped) when a program or package it needs is missing, with the reason printed.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
# The wizard also writes these folders when they exist; they must not be touched.
SYSTEM_PLACES = ["/etc/xdg/tallivo", "/etc/tallivo"]
TITLE = "Velmora PDA Output file wizard (V. 3.0)"
EXPECTED_OUTPUT = b"00000123\t5|\r\n12345678\t12|\r\n<EOT>\r\n"
DELIVERY = b"123;0005;A;B;01/02/2003;10:20\r\n1234567890;12 PCS;x;y;z;w\r\n"


def skip(reason):
    print("SKIPPED: " + reason, flush=True)
    sys.exit(SKIP)


def fail(reason):
    print("FAILED: " + reason, flush=True)
    sys.exit(1)


def wizard_command(wizard):
    """Root can write the system-wide places: the wizard then runs in a private mount
    namespace with an empty memory file system over each of them that exists."""
    if os.geteuid() != 0:
        return [wizard]
    existing = [place for place in SYSTEM_PLACES if os.path.isdir(place)]
    unshare = shutil.which("unshare")
    if unshare is not None:
        command = [unshare, "-m", "--propagation", "private"]
        if subprocess.run(command + ["true"], capture_output=True).returncode == 0:
            script = 'w="$1"; shift; for d in "$@"; do mount -t tmpfs tmpfs "$d" || exit 1; done; exec "$w"'
            return command + ["sh", "-c", script, "sh", wizard] + existing
    if existing:
        skip("running as root with no private mount namespace while %s exist(s): the wizard would write there"
             % ", ".join(existing))
    return [wizard]  # the wizard creates no folders: places that do not exist stay unwritten


def need_programs():
    found = {}
    for name, candidates in {
        "Xvfb": ["Xvfb"],
        "dbus-daemon": ["dbus-daemon"],
        "at-spi-bus-launcher": ["at-spi-bus-launcher", "/usr/libexec/at-spi-bus-launcher",
                                "/usr/lib/at-spi2-core/at-spi-bus-launcher"],
    }.items():
        path = next((shutil.which(c) for c in candidates if shutil.which(c)), None)
        if path is None:
            skip("%s not found (Debian packages xvfb, dbus, at-spi2-core)" % name)
        found[name] = path
    return found


class Session:
    """An X server, a D-Bus session bus and the accessibility bus, all in `root`."""

    def __init__(self, root, programs):
        self.processes = []
        self.env = dict(os.environ)
        for key in ["DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                    "QT_QPA_PLATFORM", "SESSION_MANAGER"]:
            self.env.pop(key, None)
        runtime = os.path.join(root, "runtime")
        os.mkdir(runtime, 0o700)
        self.env.update(HOME=os.path.join(root, "home"), XDG_CONFIG_HOME=os.path.join(root, "home", ".config"),
                        XDG_RUNTIME_DIR=runtime, XDG_CACHE_HOME=os.path.join(root, "home", ".cache"),
                        XDG_DATA_HOME=os.path.join(root, "home", ".local", "share"))
        os.makedirs(self.env["XDG_CONFIG_HOME"])

        read, write = os.pipe()
        self.xvfb_log = os.path.join(root, "xvfb.log")
        with open(self.xvfb_log, "wb") as log:
            # -noreset: by default the server resets whenever its last client leaves (our socket
            # probe, the accessibility bus), refusing connections that arrive meanwhile.
            xvfb = subprocess.Popen([programs["Xvfb"], "-displayfd", str(write), "-nolisten", "tcp", "-noreset",
                                     "-screen", "0", "1280x1024x24"], pass_fds=[write], stdout=subprocess.DEVNULL,
                                    stderr=log, env=self.env)
        self.processes.append(xvfb)
        os.close(write)
        display = self.read_line(read, "Xvfb")
        self.env["DISPLAY"] = ":" + display
        wait_for("the X server's socket", lambda: True if self.connects("/tmp/.X11-unix/X" + display) else None)

        bus = subprocess.Popen([programs["dbus-daemon"], "--session", "--nofork", "--print-address=1",
                                "--address=unix:path=" + os.path.join(runtime, "bus")],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=self.env)
        self.processes.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.read_line(bus.stdout.fileno(), "dbus-daemon")

        launcher = subprocess.Popen([programs["at-spi-bus-launcher"], "--launch-immediately"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.env)
        self.processes.append(launcher)

    @staticmethod
    def connects(path):
        with socket.socket(socket.AF_UNIX) as probe:
            try:
                probe.connect(path)
                return True
            except OSError:
                return False

    @staticmethod
    def read_line(fd, what):
        data = b""
        deadline = time.monotonic() + 15
        while not data.endswith(b"\n"):
            if time.monotonic() > deadline:
                fail("%s did not start" % what)
            chunk = os.read(fd, 256)
            if not chunk:
                fail("%s ended at start" % what)
            data += chunk
        return data.decode().strip()

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def wait_for(what, find, timeout=20.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = find()
        except Exception:  # the tree changes under us while windows come and go
            found = None
        if found is not None:
            return found
        if time.monotonic() > deadline:
            fail("timed out waiting for " + what)
        time.sleep(0.1)


class Drive:
    """What a screen reader user does: find controls by what the reader says, act on them
    through their actions, text and focus, and listen to the messages."""

    def __init__(self, pyatspi, session, root, wizard, polling, terminal_sim):
        self.at = pyatspi
        self.session = session
        self.root = root
        self.programs = (wizard, polling, terminal_sim)
        self.work = os.path.join(root, "work")
        self.out = os.path.join(root, "out")
        os.makedirs(self.work)
        os.makedirs(self.out)
        self.app = None

    # --- the accessibility tree -------------------------------------------------------

    def descendants(self, node):
        """Depth-first, without the items of drop-down lists (hundreds of them)."""
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is None:
                continue
            yield child
            if child.getRole() != self.at.ROLE_COMBO_BOX:
                yield from self.descendants(child)

    def find(self, node, role, name=None, label=None, description=None):
        for child in self.descendants(node):
            if child.getRole() != role:
                continue
            if name is not None and child.name != name:
                continue
            if label is not None and label not in self.labels(child):
                continue
            if description is not None and child.description != description:
                continue
            return child
        return None

    def labels(self, node):
        names = []
        for relation in node.getRelationSet():
            if relation.getRelationType() == self.at.RELATION_LABELLED_BY:
                names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
        return names

    def window(self, title):
        return wait_for('window "%s"' % title, lambda: next(
            (w for w in self.application() if w.name == title and w.getState().contains(self.at.STATE_SHOWING)),
            None))

    def application(self):
        if self.app is None:
            desktop = self.at.Registry.getDesktop(0)
            self.app = next((a for a in desktop if a is not None and a.name == "wizard"), None)
            if self.app is None:
                raise LookupError("wizard not on the bus yet")
        return [self.app.getChildAtIndex(i) for i in range(self.app.childCount)]

    def message(self, text):
        """The message box showing `text`: its window, found by the text a reader speaks."""
        def showing():
            for window in self.application():
                if window.name == "DOWNLOAD WIZARD" and self.find(window, self.at.ROLE_LABEL, name=text):
                    return window
            return None
        return wait_for('message "%s"' % text, showing)

    def act(self, node, *names):
        action = node.queryAction()
        available = [action.getName(i) for i in range(action.nActions)]
        for wanted in names:
            if wanted in available:
                action.doAction(available.index(wanted))
                return
        fail('"%s" offers %s, not %s' % (node.name, available, names))

    def press(self, window, caption):
        button = self.find(window, self.at.ROLE_PUSH_BUTTON, name=caption)
        if button is None:
            fail('no button "%s"' % caption)
        self.act(button, "Press")

    def activate(self, window):
        """There is no window manager here to give the new window the keyboard, as a desktop
        does: one click on its banner picture, at the top, stands in for it."""
        extents = window.queryComponent().getExtents(self.at.DESKTOP_COORDS)
        self.at.Registry.generateMouseEvent(extents.x + extents.width // 2, extents.y + 12, "b1c")
        wait_for("the window active", lambda: window if window.getState().contains(self.at.STATE_ACTIVE) else None)

    def focused(self, node):
        return node.getState().contains(self.at.STATE_FOCUSED)

    def focus(self, node, start):
        """Into `node` from the keyboard: from `start`, Tab until the reader says it is there."""
        start.queryComponent().grabFocus()
        wait_for("focus on " + start.name, lambda: start if self.focused(start) else None, timeout=5)
        for _ in range(60):
            if self.focused(node):
                return
            self.key(0xFF09)  # Tab
            time.sleep(0.05)
        fail("Tab never reached " + node.name)

    def key(self, keysym):
        self.at.Registry.generateKeyboardEvent(keysym, None, self.at.KEY_SYM)

    def pick(self, window, label, index, value):
        """A list found by its caption, set from the keyboard: Home, then Down `index` times."""
        combo = self.find(window, self.at.ROLE_COMBO_BOX, label=label)
        if combo is None:
            fail('no list labelled "%s"' % label)
        self.focus(combo, self.find(window, self.at.ROLE_TEXT, name="Folder:"))
        for keysym in [0xFF50] + [0xFF54] * index:  # Home, then Down
            self.key(keysym)
            time.sleep(0.02)
        # Linux readers hear a list's current item as its name.
        wait_for('"%s" at %s' % (label, value), lambda: combo if combo.name == value else None, timeout=10)

    def tick(self, window, caption, description=None):
        box = self.find(window, self.at.ROLE_CHECK_BOX, name=caption, description=description)
        if box is None:
            fail('no check box "%s"' % caption)
        self.act(box, "Toggle", "Press")
        wait_for('"%s" ticked' % caption, lambda: box if box.getState().contains(self.at.STATE_CHECKED) else None)

    # --- the run ----------------------------------------------------------------------

    def run(self):
        wizard, polling, terminal_sim = self.programs
        env = dict(self.session.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        process = subprocess.Popen(wizard_command(wizard), cwd=self.work, env=env)
        try:
            # First start in an empty folder: the missing-file message, answered OK.
            box = self.message("Missing or corrupted config file, importing default values")
            self.press(box, "OK")

            form = self.window(TITLE)
            self.activate(form)
            self.tick(form, "Fixed length", description="Barcode")
            self.pick(form, "Barcode Length", 8, "8")
            self.pick(form, "Barcode", 10, "9")  # the barcode separator: character 9, TAB
            self.tick(form, "Hide Date and Time field")
            folder = self.find(form, self.at.ROLE_TEXT, name="Folder:")
            if folder is None:
                fail('no text box "Folder:"')
            folder.queryEditableText().setTextContents(self.out)
            wait_for("the folder typed", lambda: folder if folder.queryText().getText(0, -1) == self.out else None)

            self.press(form, "Save Parameters")
            self.press(self.message("Save parameters to file ?"), "Yes")
            done = self.message("Parameters succesfully written to file")
            print('heard: "Parameters succesfully written to file"', flush=True)
            self.press(done, "OK")
            self.press(self.window(TITLE), "Exit")
            process.wait(15)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        if process.returncode != 0:
            fail("wizard ended with %s" % process.returncode)

        delivery = os.path.join(self.root, "delivery.txt")
        with open(delivery, "wb") as out:
            out.write(DELIVERY)
        terminal = subprocess.Popen([terminal_sim, "--folder", self.out, "--from", delivery, "--timeout-ms", "20000"])
        polling_env = dict(self.session.env, QT_QPA_PLATFORM="offscreen")
        converted = subprocess.run([polling], cwd=self.work, env=polling_env, timeout=30)
        terminal.wait(25)
        if converted.returncode != 0:
            fail("polling ended with %s" % converted.returncode)
        with open(os.path.join(self.out, "OUTPUT.TXT"), "rb") as output:
            written = output.read()
        if written != EXPECTED_OUTPUT:
            fail("output file %r, expected %r" % (written, EXPECTED_OUTPUT))
        print("1 passed, 0 failed", flush=True)
        return 0


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    wizard, polling, terminal_sim = (os.path.abspath(p) for p in sys.argv[1:4])
    programs = need_programs()
    root = tempfile.mkdtemp(prefix="tallivo-a11y-")
    session = None
    try:
        session = Session(root, programs)
        os.environ.update(session.env)
        try:
            import pyatspi  # noqa: E402 (needs the session bus above)
        except ImportError:
            skip("pyatspi not importable by %s (Debian package python3-pyatspi)" % sys.executable)
        return Drive(pyatspi, session, root, wizard, polling, terminal_sim).run()
    except SystemExit as ending:
        if ending.code == 1 and session is not None:
            with open(session.xvfb_log, "rb") as log:
                print("X server log:\n" + log.read().decode(errors="replace"), flush=True)
        raise
    finally:
        if session is not None:
            session.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
