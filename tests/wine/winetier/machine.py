"""Wine machines for the end-to-end tier.

One pristine prefix is booted per tier run; each scenario gets its own copy
of it (registry files and the folders a scenario changes as real copies, the
rest as hard links), its own wineserver, and the tier's one Xvfb display.

A scenario states what is on the machine through the fixture calls (keys and
values, files with their attributes, devices, the companion window, marker
programs), then runs the uninstaller and compares the machine before and
after: registry, file tree and device list.
"""

import os
import shutil
import subprocess
import tempfile
import time

from . import snapshot

WINE_ENV = {
    # No offer to install Mono or Gecko while the prefix is made.
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
    # Wine's own diagnostics would mix with what the program prints.
    "WINEDEBUG": "-all",
    "LC_ALL": "C",
}

# Parts of a prefix that a scenario writes to, or that Wine rewrites: these
# are real copies, so that nothing done in one scenario reaches the pristine
# prefix or another scenario through a shared inode (file attributes live on
# the inode).
REAL_COPIES = (
    "system.reg",
    "user.reg",
    "userdef.reg",
    "drive_c/windows/inf",
    "drive_c/windows/system32/drivers",
    "drive_c/windows/syswow64",
    "drive_c/windows/win.ini",
    "drive_c/windows/system.ini",
    "drive_c/Program Files",
    "drive_c/users",
)

IMAGE_CLASS = "image"
# The setup class of cameras: a class other than "image" whose devices the
# uninstaller must never examine.
CAMERA_CLASS = "{ca3e7ab9-b4c3-4ae6-8251-579ef933890f}"

DEVICE_ENUM_KEY = "HKLM\\System\\CurrentControlSet\\Enum\\"

PROGRAM_TIMEOUT_S = 120


class HarnessError(Exception):
    """The machine could not be set up or inspected: not the program's fault,
    but the scenario cannot pass."""


def run_command(args, env, timeout, **kwargs):
    """Run a command and return it with its stdout and stderr. The output
    goes through temporary files, not pipes: a wineserver or Wine system
    process started by the command inherits them, and a pipe would keep the
    caller waiting until those end as well."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            process = subprocess.run(args, env=env, timeout=timeout, stdout=out, stderr=err, **kwargs)
        except subprocess.TimeoutExpired as error:
            raise HarnessError("%s did not end within %d s" % (" ".join(args[:3]), timeout)) from error
        out.seek(0)
        err.seek(0)
        process.stdout, process.stderr = out.read(), err.read()
        return process


class Display:
    """One Xvfb display for the whole tier: without a display Wine creates no
    window, and the companion dialog would never exist."""

    def __init__(self):
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        number = self.process.stdout.readline().strip().decode()
        if not number:
            raise HarnessError("Xvfb did not start")
        self.name = ":" + number

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def wine_env(prefix, display, extra=None):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    env["DISPLAY"] = display
    env.pop("WINESERVER", None)
    if extra:
        env.update(extra)
    return env


def make_pristine(path, display):
    """Boot a fresh prefix at path and wait until its wineserver has saved it."""
    if os.path.exists(path):
        shutil.rmtree(path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    env = wine_env(path, display)
    result = run_command(["wineboot", "-i"], env, 300)
    run_command(["wineserver", "-w"], env, 120)
    if result.returncode != 0 or not os.path.exists(os.path.join(path, "system.reg")):
        raise HarnessError("wineboot failed: %s" % result.stderr.decode(errors="replace")[-2000:])


def to_unix(prefix, windows_path):
    """Map C:\\a\\b to the prefix's drive_c, matching existing folders and
    files without regard to case, as Windows looks names up."""
    if not windows_path[:3].lower() == "c:\\":
        raise HarnessError("not a C: path: " + windows_path)
    current = os.path.join(prefix, "drive_c")
    for part in [p for p in windows_path[3:].split("\\") if p]:
        match = None
        if os.path.isdir(current):
            for name in os.listdir(current):
                if name.lower() == part.lower():
                    match = name
                    break
        current = os.path.join(current, match or part)
    return current


def to_wine_unix_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Device:
    def __init__(self, label, device_class, hardware_ids):
        self.label = label
        self.device_class = device_class
        self.hardware_ids = hardware_ids
        self.instance = None


class Run:
    """What one run of the program did: exit code, output, and the machine
    before and after."""

    def __init__(self):
        self.exit_code = None
        self.timed_out = False
        self.stdout = b""
        self.stderr = b""
        self.seconds = 0.0
        self.registry_before = self.registry_after = None
        self.files_before = self.files_after = None
        self.devices_before = self.devices_after = None
        self.closes = []
        self.started = []


class Machine:
    """A scenario's Wine machine: a copy of the pristine prefix."""

    def __init__(self, pristine, root, display, helpers):
        self.root = root
        self.prefix = os.path.join(root, "prefix")
        self.display = display
        self.helpers = helpers
        if os.path.exists(root):
            shutil.rmtree(root)
        os.makedirs(root)
        subprocess.run(["cp", "-al", pristine, self.prefix], check=True)
        for relative in REAL_COPIES:
            source = os.path.join(pristine, relative)
            target = os.path.join(self.prefix, relative)
            if os.path.isdir(source):
                shutil.rmtree(target)
                shutil.copytree(source, target, symlinks=True)
            elif os.path.exists(source):
                os.unlink(target)
                shutil.copy2(source, target)
        self.registry_commands = []
        self.registry_items = []  # what the fixture put in the registry: (key, value name or None)
        self.files = []           # what the fixture put on disk, as Windows paths
        self.attribute_commands = []
        self.devices = []
        self.companion_mode = None
        self.held = []
        self.companion_log = os.path.join(root, "companion.log")
        self.marker_log = os.path.join(root, "markers.log")
        self.is_set_up = False
        self.first_command = True
        self.runs = []
        self.log = []

    # ----------------------------------------------------------------- fixtures

    def key(self, path, view=64):
        """A registry key (with its parents). view 32 puts it in the registry
        view of 32-bit programs."""
        self.registry_commands.append(["reg", "add", path, "/f"] + self._view(view))
        self.registry_items.append((self._stored_path(path, view), None))

    def value(self, key, name, data="", kind="REG_SZ", view=64):
        """A registry value; name None is the key's default value."""
        args = ["reg", "add", key]
        args += ["/ve"] if name is None else ["/v", name]
        args += ["/t", kind, "/d", str(data), "/f"] + self._view(view)
        self.registry_commands.append(args)
        self.registry_items.append((self._stored_path(key, view), "@" if name is None else name))

    @staticmethod
    def _view(view):
        return ["/reg:32"] if view == 32 else ["/reg:64"]

    @staticmethod
    def _stored_path(path, view):
        """Where a key given in a view is stored: the 32-bit view of
        HKLM\\SOFTWARE lives under HKLM\\SOFTWARE\\Wow6432Node."""
        if view == 32 and path.upper().startswith("HKLM\\SOFTWARE\\"):
            return "HKLM\\SOFTWARE\\Wow6432Node\\" + path[len("HKLM\\SOFTWARE\\"):]
        return path

    def file(self, windows_path, content=b"", readonly=False, hidden=False):
        """A file with the given bytes; read-only and hidden are set through
        SetFileAttributesA inside the machine, as Windows would store them."""
        path = to_unix(self.prefix, windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(content, str):
            content = content.encode("latin-1")
        with open(path, "wb") as handle:
            handle.write(content)
        self.files.append(windows_path)
        bits = (0x1 if readonly else 0) | (0x2 if hidden else 0)
        if bits:
            self.attribute_commands += ["attributes", windows_path, "%x" % bits]
        return windows_path

    def driver_file(self, name, **attributes):
        """A file in C:\\windows\\system32\\drivers, its content naming it."""
        return self.file("C:\\windows\\system32\\drivers\\" + name, "driver " + name, **attributes)

    def wow64_file(self, name, **attributes):
        """A file in C:\\windows\\syswow64, its content naming it."""
        return self.file("C:\\windows\\syswow64\\" + name, "32-bit " + name, **attributes)

    def device(self, label, *hardware_ids, device_class=IMAGE_CLASS):
        """A device of the setup class (image unless told), made through the
        device installer, with its hardware IDs in order; not present."""
        device = Device(label, device_class, list(hardware_ids))
        self.devices.append(device)
        return device

    def companion(self, mode="normal"):
        """The companion application's dialog, open while the program runs.
        mode: normal, hang-before, hang-on-close."""
        self.companion_mode = mode

    def hold_open(self, windows_path):
        """Keep a file open in another process while the program runs, as a
        program that uses it does: readable, not deletable."""
        self.held.append(windows_path)

    def program(self, windows_path):
        """A marker program at windows_path that records that it ran."""
        with open(os.path.join(self.helpers, "marker.exe"), "rb") as handle:
            return self.file(windows_path, handle.read())

    # ------------------------------------------------------------ running wine

    def env(self, extra=None):
        return wine_env(self.prefix, self.display, extra)

    def wine(self, args, timeout=120, extra_env=None):
        """Run a Windows program in the machine. The first command on a fresh
        copy is tried twice: under load it can fail once while the new
        wineserver comes up."""
        attempts = 2 if self.first_command else 1
        self.first_command = False
        for attempt in range(attempts):
            started = time.time()
            result = run_command(["wine"] + args, self.env(extra_env), timeout)
            self.log.append("%.1f s: wine %s -> %d" % (time.time() - started, " ".join(args), result.returncode))
            if result.returncode == 0 or attempt + 1 == attempts:
                return result
            time.sleep(1)
        return result

    def wait_for_server(self, timeout=120):
        """Wait until every process of the machine has ended and wineserver
        has written the registry to disk."""
        started = time.time()
        try:
            run_command(["wineserver", "-w"], self.env(), timeout)
            self.log.append("%.1f s: wineserver -w" % (time.time() - started))
        except HarnessError:
            run_command(["wineserver", "-k"], self.env(), 30)
            raise

    def tool(self, args):
        result = self.wine([os.path.join(self.helpers, "machine_tool.exe")] + args)
        if result.returncode != 0:
            raise HarnessError("machine_tool %s failed: %s" % (
                " ".join(args[:3]), result.stderr.decode(errors="replace")))
        return result.stdout.decode(errors="replace").replace("\r", "")

    def list_devices(self):
        """{instance ID: (class, hardware IDs)} for the image class and the
        other class the scenarios use."""
        devices = {}
        for line in self.tool(["device-list", IMAGE_CLASS, "device-list", CAMERA_CLASS]).splitlines():
            device_class, instance, ids = line.split("\t")
            devices[instance] = (device_class, ids)
        return devices

    def set_up(self):
        """Apply the fixture: registry through reg add, devices and
        attributes through the machine tool."""
        self.wine(["reg", "query", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion",
                   "/v", "CurrentVersion"])
        for args in self.registry_commands:
            result = self.wine(args)
            if result.returncode != 0:
                raise HarnessError("%s failed: %s" % (" ".join(args), result.stdout.decode(errors="replace")))
        commands = list(self.attribute_commands)
        for device in self.devices:
            commands += ["device-add", device.device_class, "|".join(device.hardware_ids)]
        if commands:
            output = self.tool(commands)
            added = [line.split("\t")[1] for line in output.splitlines() if line.startswith("added\t")]
            if len(added) != len(self.devices):
                raise HarnessError("machine_tool made %d devices of %d" % (len(added), len(self.devices)))
            for device, instance in zip(self.devices, added):
                device.instance = instance
        self.is_set_up = True

    def _start_companion(self):
        """Start the companion and wait until its window is up. The first
        window of a fresh machine waits for Wine's desktop process, which
        under load can time out once: then the companion is started again."""
        failures = []
        for attempt in range(3):
            for path in (self.companion_log, self.companion_log + ".stop"):
                if os.path.exists(path):
                    os.unlink(path)
            process = subprocess.Popen(
                ["wine", os.path.join(self.helpers, "companion.exe"), to_wine_unix_path(self.companion_log),
                 self.companion_mode], env=self.env(), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 60
            log = ""
            while time.time() < deadline:
                if os.path.exists(self.companion_log):
                    with open(self.companion_log) as handle:
                        log = handle.read()
                    if "ready" in log:
                        if attempt:
                            self.log.append("companion up at attempt %d after: %s" % (attempt + 1, failures))
                        return process
                if process.poll() is not None:
                    break
                time.sleep(0.05)
            process.kill()
            failures.append(log.strip() or "no output")
        raise HarnessError("the companion window did not come up: %s" % "; ".join(failures))

    def _start_holder(self):
        log = os.path.join(self.root, "holder.log")
        for path in (log, log + ".stop"):
            if os.path.exists(path):
                os.unlink(path)
        process = subprocess.Popen(
            ["wine", os.path.join(self.helpers, "machine_tool.exe"), "hold", to_wine_unix_path(log)] + self.held,
            env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 60
        while time.time() < deadline and process.poll() is None:
            if os.path.exists(log):
                return process, log
            time.sleep(0.05)
        process.kill()
        raise HarnessError("the files to hold open could not be opened: %s" % self.held)

    @staticmethod
    def _stop_holder(holder):
        process, log = holder
        open(log + ".stop", "w").close()
        try:
            process.wait(60)
        except subprocess.TimeoutExpired:
            process.kill()

    def _stop_companion(self, process):
        open(self.companion_log + ".stop", "w").close()
        try:
            process.wait(60)
        except subprocess.TimeoutExpired:
            process.kill()
        with open(self.companion_log) as handle:
            return [line for line in handle.read().splitlines() if line.startswith("WM_CLOSE")]

    def snapshot(self):
        """Registry and files; the server must have ended."""
        return snapshot.read_registry(self.prefix), snapshot.read_files(self.prefix)

    def run_program(self, exe):
        """Run the uninstaller once, as an administrator runs it: no
        arguments, no input. Returns a Run with the machine before and after."""
        run = Run()
        if not self.is_set_up:
            self.set_up()
        if self.runs:
            previous = self.runs[-1]
            run.devices_before = previous.devices_after
            run.registry_before, run.files_before = previous.registry_after, previous.files_after
        else:
            run.devices_before = self.list_devices()
            self.wait_for_server()
            run.registry_before, run.files_before = self.snapshot()

        if os.path.exists(self.marker_log):
            os.unlink(self.marker_log)
        companion = self._start_companion() if self.companion_mode else None
        holder = self._start_holder() if self.held else None
        started = time.time()
        try:
            result = run_command(["wine", exe], self.env({"MARKER_LOG": to_wine_unix_path(self.marker_log)}),
                          PROGRAM_TIMEOUT_S, stdin=subprocess.DEVNULL)
            run.exit_code, run.stdout, run.stderr = result.returncode, result.stdout, result.stderr
        except HarnessError:
            # Killed at the time-out: the machine is still compared.
            run.timed_out = True
        finally:
            run.seconds = time.time() - started
            if holder:
                self._stop_holder(holder)
            if companion:
                run.closes = self._stop_companion(companion)
        run.devices_after = self.list_devices()
        self.wait_for_server()
        run.registry_after, run.files_after = self.snapshot()
        if os.path.exists(self.marker_log):
            with open(self.marker_log, encoding="latin-1") as handle:
                run.started = [line.rstrip("\n").split("\t") for line in handle if line.strip()]
        self.runs.append(run)
        return run
