"""The scenarios of the Wine tier. Each one states what is on the machine,
runs the real Uninstall.exe and says what must be gone afterwards; anything
else on the machine must be as it was (checks.py).

Fixture INFs are written here as text with "\\n" line ends; inf() gives them
the carriage-return and line-feed ends Windows INFs have unless told
otherwise."""

import os

from .checks import MAINTENANCE_PROGRAM, Expect
from .machine import CAMERA_CLASS

PRODUCT_CODE = "{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}"
PRODUCT_KEY = "HKLM\\SOFTWARE\\Velmorin\\Ondrevix"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
RUN = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINSTALL_ENTRY = UNINSTALL + "\\" + PRODUCT_CODE
RUN_VALUE = RUN + "\\Halvoren"

INF_DIR = "C:\\windows\\inf"
DRIVERS = "C:\\windows\\system32\\drivers"
DECOY = "C:\\Program.exe"

FIXTURES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "fixtures")

SCENARIOS = []


def scenario(name):
    def register(function):
        SCENARIOS.append((name, function))
        return function
    return register


def inf(text, line_end="\r\n"):
    return text.replace("\n", line_end).encode("latin-1")


def read_fixture(name):
    with open(os.path.join(FIXTURES, name), "rb") as handle:
        return handle.read()


# --------------------------------------------------------------------- builders

def product_entries(m, view=64):
    """The product's uninstall entry and the companion's autostart value.
    Returns what the clean-up deletes of them (in the 64-bit view only)."""
    m.value(UNINSTALL_ENTRY, "DisplayName", "Ondrevix USB Camera", view=view)
    m.value(UNINSTALL_ENTRY, "Publisher", "Velmorin", view=view)
    m.value(UNINSTALL_ENTRY, "DisplayVersion", "3.2.0.7", view=view)
    m.value(UNINSTALL_ENTRY, "NoModify", "1", kind="REG_DWORD", view=view)
    m.value(UNINSTALL_ENTRY, "UninstallString",
            '"C:\\Program Files\\Velmorin\\Ondrevix\\Uninstall.exe"', view=view)
    m.value(RUN, "Halvoren", '"C:\\Program Files\\Velmorin\\Ondrevix\\Halvoren.exe" /tray', view=view)
    return [UNINSTALL_ENTRY, RUN_VALUE] if view == 64 else []


def neighbour_entries(m):
    """Entries of other programs beside the product's: they stay."""
    m.value(UNINSTALL + "\\{0B3F1D52-2C41-4E57-A0C9-7F2E5D8B6A13}", "DisplayName", "Another Program")
    m.value(UNINSTALL + "\\Halvoren", "DisplayName", "Halvoren (not the product code)")
    m.value(RUN, "Halvoren2", "C:\\Program Files\\Other\\tray.exe")
    m.value(RUN, "OtherTray", "C:\\Program Files\\Other\\tray.exe")


def package_files(m, number=7, text=None, line_end="\r\n", readonly=False):
    """The package INF as oem<number>.inf with its PNF; returns their paths."""
    content = read_fixture("ondrevix.inf") if text is None else inf(text, line_end)
    name = "%s\\oem%d" % (INF_DIR, number)
    m.file(name + ".inf", content, readonly=readonly)
    m.file(name + ".pnf", b"PNF\x01\x03" + b"\x00" * 60, readonly=readonly)
    return [name + ".inf", name + ".pnf"]


def ondrevix_driver_files(m):
    """The files ondrevix.inf names, where the package put them, and three
    that must stay. Returns the paths to be deleted."""
    gone = [
        m.driver_file("velmcam.sys", readonly=True),
        m.driver_file("velmsrc.ax", hidden=True),
        m.driver_file("velmui.dll"),
        m.driver_file("velmtray.exe"),
        m.wow64_file("velmsrc.ax"),
        m.wow64_file("velmui.dll", readonly=True),
        m.wow64_file("velmtray.exe"),
    ]
    m.driver_file("velmcam64.sys")   # named with a subfolder: "velmcam64.sys=1,x64"
    m.driver_file("velmlegacy.sys")  # named after [DestinationDirs]
    m.wow64_file("velmcam.sys")      # not a .ax, .exe or .dll: only drivers\ is cleaned
    return gone


def ondrevix_devices(m):
    """Devices of the package and beside it; returns those to be removed."""
    gone = [
        m.device("Ondrevix camera", "USB\\VID_1E7A&PID_0C21&REV_0100", "USB\\VID_1E7A&PID_0C21"),
        m.device("Ondrevix HD camera, interface 0", "USB\\VID_1E7A&PID_0C3F&MI_00"),
    ]
    m.device("another maker's camera", "USB\\VID_5E3F&PID_0825&REV_0012", "USB\\VID_5E3F&PID_0825")
    m.device("Ondrevix camera in the camera class", "USB\\VID_1E7A&PID_0C21", device_class=CAMERA_CLASS)
    return gone


def installed_package(m, companion="normal"):
    """The whole package as the installer leaves it, beside other programs'
    things. Returns the Expect of a clean-up."""
    registry = product_entries(m)
    neighbour_entries(m)
    files = package_files(m, 7) + ondrevix_driver_files(m)
    devices = ondrevix_devices(m)
    if companion:
        m.companion(companion)
    return Expect(registry_gone=registry, files_gone=files, devices_gone=devices,
                  closes=1 if companion else None)


OTHER_VENDOR_INF = """\
[Version]
Signature="$Windows NT$"
Class=Image
ClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}
Provider=%Other%
CatalogFile.ntx86=othercam.cat
DriverVer=01/10/2020,1.0.0.0

[Manufacturer]
%Other%=Other,NTamd64

[Other.NTamd64]
%Cam%=Install,USB\\VID_5E3F&PID_0825

[SourceDisksFiles]
othercam.sys=1
velmcam.sys=1

[DestinationDirs]
DefaultDestDir=12

[Strings]
Other="Other Maker"
Cam="Other Camera"
"""


def small_package_inf(hardware_id, files, extra_version_lines=""):
    """A minimal package INF: one models line, the given file lines."""
    return ("[Version]\n"
            "Signature=\"$Windows NT$\"\n"
            "Class=Image\n"
            "ClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}\n"
            "Provider=%Velmorin%\n"
            + extra_version_lines +
            "CatalogFile.ntx86=usbvelm.cat\n"
            "\n"
            "[Velmorin.NTamd64]\n"
            "%Cam%=Install," + hardware_id + "\n"
            "\n"
            "[SourceDisksFiles]\n"
            + "".join("%s=1\n" % name for name in files) +
            "\n"
            "[DestinationDirs]\n"
            "DefaultDestDir=12\n"
            "\n"
            "[Strings]\n"
            "Velmorin=\"Velmorin\"\n"
            "Cam=\"Ondrevix USB Camera\"\n")


# -------------------------------------------------------------------- scenarios

@scenario("maintenance course: only the real setup.exe starts, nothing else changes")
def maintenance_course(t):
    m = t.machine
    m.value(PRODUCT_KEY, "InstallDir", "C:\\Program Files\\Velmorin\\Ondrevix")
    installed_package(m)
    m.program(MAINTENANCE_PROGRAM)
    m.program(DECOY)  # what an unquoted command line would start instead
    t.run(Expect(closes=0, started=[MAINTENANCE_PROGRAM]))


@scenario("maintenance course: setup.exe missing, nothing starts and nothing changes")
def maintenance_program_missing(t):
    m = t.machine
    m.key(PRODUCT_KEY)
    product_entries(m)
    m.program(DECOY)
    m.program("C:\\Program Files\\InstallShield.exe")
    t.run(Expect())


@scenario("product key only in the 32-bit view: the clean-up runs, 32-bit entries stay")
def product_key_32bit_view(t):
    m = t.machine
    m.key(PRODUCT_KEY, view=32)
    m.program(MAINTENANCE_PROGRAM)
    registry = product_entries(m) + product_entries(m, view=32)
    m.companion()
    t.run(Expect(registry_gone=registry, closes=1))


@scenario("registry clean-up: other programs' entries, HKCU and an entry with subkeys stay")
def registry_neighbours(t):
    m = t.machine
    neighbour_entries(m)
    m.value(UNINSTALL_ENTRY, "DisplayName", "Ondrevix USB Camera")
    m.key(UNINSTALL_ENTRY + "\\Patches")  # a subkey: the non-recursive delete is refused
    m.value(RUN, "Halvoren", "C:\\Program Files\\Velmorin\\Ondrevix\\Halvoren.exe")
    hkcu = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
    m.value(hkcu + "Uninstall\\" + PRODUCT_CODE, "DisplayName", "Ondrevix USB Camera")
    m.value(hkcu + "Run", "Halvoren", "C:\\Program Files\\Velmorin\\Ondrevix\\Halvoren.exe")
    t.run(Expect(registry_gone=[RUN_VALUE]))


@scenario("full clean-up with one package INF among others")
def full_cleanup(t):
    m = t.machine
    expect = installed_package(m)
    # INFs that are not the package INF, below and above its number.
    m.file(INF_DIR + "\\oem0.inf", inf(OTHER_VENDOR_INF))
    m.file(INF_DIR + "\\oem0.pnf", b"PNF other")
    m.driver_file("othercam.sys")
    m.file(INF_DIR + "\\oem3.inf", b"\xff\xfe" + read_fixture("ondrevix.inf").decode("latin-1")
           .encode("utf-16-le"))  # UTF-16: holds the catalog text, never matches byte-wise
    m.file(INF_DIR + "\\oem4.inf", b"")
    m.file(INF_DIR + "\\oem12.inf", inf(OTHER_VENDOR_INF))
    t.run(expect)


@scenario("two package INFs: both are removed with their files, a third copy stays")
def two_package_infs(t):
    m = t.machine
    registry = product_entries(m)
    # The first copy decides the hardware IDs; its lines end in line feeds alone.
    first = package_files(m, 2, small_package_inf("USB\\VID_1E7A&PID_0C21", ["velmcam.sys", "velmui.dll"]),
                          line_end="\n")
    second = package_files(m, 9, small_package_inf("USB\\VID_1E7A&PID_0C99", ["velmcam.sys", "velmnew.sys"]),
                           readonly=True)
    # A third copy: one clean-up deletes at most two, so it stays with its file.
    package_files(m, 15, small_package_inf("USB\\VID_1E7A&PID_0C21", ["velmthird.sys"]))
    files = [m.driver_file("velmcam.sys"), m.driver_file("velmui.dll"), m.wow64_file("velmui.dll"),
             m.driver_file("velmnew.sys")]
    m.driver_file("velmthird.sys")
    devices = [m.device("camera of the first copy", "USB\\VID_1E7A&PID_0C21")]
    m.device("camera only the second copy names", "USB\\VID_1E7A&PID_0C99")
    t.run(Expect(registry_gone=registry, files_gone=first + second + files, devices_gone=devices))


@scenario("package INF and a driver file in use: they stay, everything else goes")
def package_inf_in_use(t):
    m = t.machine
    expect = installed_package(m, companion=None)
    # Held open without delete sharing: readable, so the INF is still found
    # and read by both passes, but neither it nor the held file is deleted.
    for held in (INF_DIR + "\\oem7.inf", DRIVERS + "\\velmui.dll"):
        m.hold_open(held)
        expect.files_gone.remove(held)
    t.run(expect)


@scenario("companion hangs on the close request: one request, the run completes")
def companion_hangs_on_close(t):
    expect = installed_package(t.machine, companion="hang-on-close")
    t.run(expect)


@scenario("companion hung before the request: the run completes")
def companion_hung_before(t):
    expect = installed_package(t.machine, companion="hang-before")
    expect.closes = 0  # queued, never handled
    t.run(expect)


@scenario("no companion window: the clean-up runs")
def no_companion(t):
    t.run(installed_package(t.machine, companion=None))


HARDWARE_ID_INF = """\
[Version]
Signature="$Windows NT$"
Class=Image
ClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}
Provider=%Velmorin%
CatalogFile.ntx86=usbvelm.cat

[Manufacturer]
%Velmorin%=Velmorin,NTamd64

; The x86 models are never read.
[Velmorin]
%Cam%=Install,USB\\VID_1E7A&PID_0C70

[Velmorin.NTamd64]
%Cam%=Install,USB\\VID_1E7A&PID_0C21
%CamHD%=Install, usb\\vid_1e7a&pid_0c3f ; lower case in the INF
%NoId%=Install
%Empty%=Install,,USB\\VID_1E7A&PID_0C40
%Compat%=Install,USB\\VID_1E7A&PID_0C50,USB\\VID_1E7A&PID_0C51
%Quoted%=Install,%HwId.Quoted%
%Max%=Install,%HwId.63%
%TooLong%=Install,%HwId.64%

[Strings]
Velmorin="Velmorin"
Cam="Ondrevix USB Camera"
CamHD="Ondrevix HD USB Camera"
NoId="No hardware ID"
Empty="Empty hardware ID"
Compat="Compatible ID only"
Quoted="Hardware ID from a string"
Max="Hardware ID of 63 characters"
TooLong="Hardware ID of 64 characters"
HwId.Quoted="USB\\VID_1E7A&PID_0C60"
HwId.63="{id63}"
HwId.64="{id64}"
"""
# The longest ID a table slot holds, and one character more.
ID_63 = "USB\\VID_1E7A&PID_0C63&REV_0001&MI_00&ONDREVIX_VARIANT_".ljust(63, "0")
ID_64 = "USB\\VID_1E7A&PID_0C64&REV_0001&MI_00&ONDREVIX_VARIANT_".ljust(64, "0")


@scenario("hardware IDs and devices: which devices of which class are removed")
def hardware_ids_and_devices(t):
    m = t.machine
    files = package_files(m, 5, HARDWARE_ID_INF.replace("{id63}", ID_63).replace("{id64}", ID_64))
    removed = [
        m.device("exact ID", "USB\\VID_1E7A&PID_0C21"),
        m.device("capitals and a longer ID", "USB\\Vid_1E7A&Pid_0C21&Rev_0200&MI_02", "USB\\VID_1E7A&PID_0C21"),
        m.device("second device with the same ID", "USB\\VID_1E7A&PID_0C21"),
        m.device("lower-case INF entry, capital device ID", "USB\\VID_1E7A&PID_0C3F&MI_00"),
        m.device("ID from a [Strings] token", "USB\\VID_1E7A&PID_0C60&REV_0001"),
        m.device("ID of 63 characters", ID_63),
    ]
    m.device("match only in the second ID", "USB\\VID_AAAA&PID_0001", "USB\\VID_1E7A&PID_0C21")
    m.device("another maker", "USB\\VID_5E3F&PID_0825")
    m.device("compatible ID of the INF", "USB\\VID_1E7A&PID_0C51")
    m.device("ID beside an empty field", "USB\\VID_1E7A&PID_0C40")
    m.device("ID of the x86 models only", "USB\\VID_1E7A&PID_0C70")
    m.device("ID of 64 characters", ID_64)
    m.device("property longer than 256 bytes", "USB\\VID_1E7A&PID_0C21",
             *["USB\\VID_1E7A&PID_0C21&COMPAT_%02d_PADDING_PADDING" % i for i in range(6)])
    m.device("matching ID, camera class", "USB\\VID_1E7A&PID_0C21", device_class=CAMERA_CLASS)
    t.run(Expect(files_gone=files, devices_gone=removed))


@scenario("no package INF: near misses of the catalog text and of the file names remove nothing")
def no_package_inf(t):
    m = t.machine
    registry = product_entries(m)
    base = small_package_inf("USB\\VID_1E7A&PID_0C21", ["velmcam.sys"])
    near_misses = {
        "oem0.inf": base.replace("CatalogFile.ntx86=", "catalogfile.ntx86="),
        "oem1.inf": base.replace("CatalogFile.ntx86=", "CatalogFile.ntx86 = "),
        "oem2.inf": base.replace("CatalogFile.ntx86=usbvelm.cat", "CatalogFile.ntx86=usbvelm.ca\x1at"),
        "oem007.inf": base,   # leading zeros: never formed
        "oem101.inf": base,   # past the last candidate
        "oem7.inf.bak": base,
    }
    for name, text in near_misses.items():
        m.file(INF_DIR + "\\" + name, inf(text))
    m.driver_file("velmcam.sys")
    m.device("Ondrevix camera", "USB\\VID_1E7A&PID_0C21")
    m.companion()
    t.run(Expect(registry_gone=registry, closes=1))


NAMES_INF = """\
[Version]
Signature="$Windows NT$"
Class=Image
ClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}
CatalogFile.ntx86=usbvelm.cat

[SourceDisksFiles]
..\\..\\win.ini=1
../escape.dll=1
..\\velmup.dll=1
C:velmcolon.sys=1
..=1
.=1
=1
velmcam.sys=1
Velm.AxCodec.sys=1
VELMCAPS.DLL=1
velmcam.sys = 1
velmsub.sys=12
; a comment line is a file line too: the rule knows no INF syntax
;velmnote.sys=1
[destinationdirs]
velmcase.sys=1
[DestinationDirs]
velmafter.sys=1
"""


@scenario("driver file names: only names inside the folders are deleted, read-only ones too")
def driver_file_names(t):
    m = t.machine
    files = package_files(m, 1, NAMES_INF)
    files += [
        m.driver_file("velmcam.sys", readonly=True, hidden=True),
        m.driver_file("velm.axcodec.sys"),  # ".ax" in the middle: SysWOW64 too
        m.wow64_file("velm.axcodec.sys", readonly=True),
        m.driver_file("VelmCaps.dll"),
        m.wow64_file("velmcaps.dll"),
        m.driver_file(";velmnote.sys"),
        m.driver_file("velmcase.sys"),  # the end mark in another case does not end the scan
    ]
    # Outside the two folders, reachable only through names with path parts.
    m.file("C:\\windows\\system32\\escape.dll", "must stay")
    m.file("C:\\windows\\escape.dll", "must stay")
    m.file("C:\\windows\\system32\\velmup.dll", "must stay")
    m.file("C:\\windows\\velmup.dll", "must stay")
    m.driver_file("velmcolon.sys")
    m.driver_file("velmsub.sys")
    m.driver_file("velmafter.sys")
    m.wow64_file("velmcam.sys")
    t.run(Expect(files_gone=files))


@scenario("second run: the clean-up finds nothing more to remove")
def second_run(t):
    m = t.machine
    expect = installed_package(m)
    t.run(expect)
    m.companion(None)
    t.run(Expect())
