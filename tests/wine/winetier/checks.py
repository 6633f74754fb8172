"""What a scenario expects of one run, and the comparison of the machine
before and after it. Everything not named as gone must be as it was: no
registry entry, file or device may disappear, appear or change otherwise."""

from .machine import DEVICE_ENUM_KEY, PROGRAM_TIMEOUT_S

MAINTENANCE_PROGRAM = ("C:\\Program Files\\InstallShield Installation Information\\"
                       "{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}\\setup.exe")
SW_SHOW = "5"

MAX_LINES = 12


class Expect:
    """registry_gone: keys (with all below them) and values ("<key>\\<name>")
    that the run deletes. files_gone: Windows paths the run deletes.
    devices_gone: the Device objects the run removes. closes: the number of
    WM_CLOSE requests the companion window receives (None: no companion).
    started: Windows paths of the marker programs that start, in any order,
    each once."""

    def __init__(self, registry_gone=(), files_gone=(), devices_gone=(), closes=None, started=()):
        self.registry_gone = list(registry_gone)
        self.files_gone = list(files_gone)
        self.devices_gone = list(devices_gone)
        self.closes = closes
        self.started = list(started)
        # Removals of steps that have not landed yet: they may happen, they
        # are not required (see relax()).
        self.maybe_registry_gone = []
        self.maybe_files_gone = []
        self.maybe_devices_gone = []


# Steps of the program whose removals can be marked pending, and what of an
# Expect belongs to each.
STEPS = ("files", "devices")


def relax(expect, pending):
    """A copy of expect in which the removals of the pending steps are
    allowed but not required; everything else is checked as before."""
    relaxed = Expect(expect.registry_gone, expect.files_gone, expect.devices_gone, expect.closes,
                     expect.started)
    if "registry" in pending:
        relaxed.maybe_registry_gone, relaxed.registry_gone = relaxed.registry_gone, []
    if "files" in pending:
        relaxed.maybe_files_gone, relaxed.files_gone = relaxed.files_gone, []
    if "devices" in pending:
        relaxed.maybe_devices_gone, relaxed.devices_gone = relaxed.devices_gone, []
    return relaxed


def pending_progress(run, expect):
    """{step: (removals done, removals expected)} for the relaxed steps."""
    progress = {}
    if expect.maybe_files_gone:
        done = [p for p in expect.maybe_files_gone if p.lower() not in run.files_after]
        progress["files"] = (len(done), len(expect.maybe_files_gone))
    if expect.maybe_devices_gone:
        done = [d for d in expect.maybe_devices_gone if d.instance not in run.devices_after]
        progress["devices"] = (len(done), len(expect.maybe_devices_gone))
    return progress


def _covered(path, prefixes):
    return any(path == p or path.startswith(p + "\\") for p in prefixes)


def _listing(title, items):
    lines = ["%s:" % title] + ["    " + item for item in items[:MAX_LINES]]
    if len(items) > MAX_LINES:
        lines.append("    ... and %d more" % (len(items) - MAX_LINES))
    return lines


def _compare(kind, before, after, expected_gone, allowed_gone=()):
    """Problems in one store (registry or files)."""
    problems = []
    expected = [p.lower() for p in expected_gone]
    allowed = expected + [p.lower() for p in allowed_gone]
    missing_before = [p for p in list(expected_gone) + list(allowed_gone)
                      if not any(_covered(k, [p.lower()]) for k in before)]
    if missing_before:
        problems += _listing("%s: fixture error, not there before the run" % kind, missing_before)
    still_there = [p for p in expected_gone if any(_covered(k, [p.lower()]) for k in after)]
    if still_there:
        problems += _listing("%s: still there, expected gone" % kind, still_there)
    gone = [before[k][0] for k in sorted(before) if k not in after and not _covered(k, allowed)]
    if gone:
        problems += _listing("%s: gone, expected to stay" % kind, gone)
    new = ["%s = %s" % after[k] for k in sorted(after) if k not in before]
    if new:
        problems += _listing("%s: appeared" % kind, new)
    changed = ["%s: %s -> %s" % (before[k][0], before[k][1], after[k][1])
               for k in sorted(before) if k in after and before[k][1] != after[k][1]]
    if changed:
        problems += _listing("%s: changed" % kind, changed)
    return problems


def check_run(run, expect, labels=None):
    """Every way in which the run differs from expect, as lines of text.
    labels: {instance ID: label} of the machine's devices, for messages."""
    problems = []
    if run.timed_out:
        problems.append("the program did not end within %d s" % PROGRAM_TIMEOUT_S)
    elif run.exit_code != 0:
        problems.append("exit code %s, expected 0" % run.exit_code)
    if run.stdout:
        problems.append("printed to stdout: %r" % run.stdout[:400])
    if run.stderr:
        problems.append("printed to stderr: %r" % run.stderr[:400])

    gone_instances = [d.instance for d in expect.devices_gone]
    maybe_instances = [d.instance for d in expect.maybe_devices_gone]
    devices_gone = sorted(set(run.devices_before) - set(run.devices_after))
    # A device's registry keys go with it; a device that should have stayed
    # is reported once, as a device, below.
    device_keys = [DEVICE_ENUM_KEY + instance for instance in set(gone_instances + maybe_instances + devices_gone)]
    problems += _compare("registry", run.registry_before, run.registry_after,
                         expect.registry_gone, device_keys + expect.maybe_registry_gone)
    problems += _compare("files", run.files_before, run.files_after, expect.files_gone,
                         expect.maybe_files_gone)

    devices_new = sorted(set(run.devices_after) - set(run.devices_before))
    labels = dict(labels or {})
    labels.update({d.instance: d.label for d in expect.devices_gone + expect.maybe_devices_gone})
    wrongly_kept = [i for i in gone_instances if i in run.devices_after]
    wrongly_gone = [i for i in devices_gone if i not in gone_instances + maybe_instances]

    def describe(instance, listing):
        device_class, ids = listing[instance]
        return "%s %s [%s]%s" % (instance, "image" if device_class == "image" else device_class, ids,
                                 " (%s)" % labels[instance] if instance in labels else "")

    if wrongly_kept:
        problems += _listing("devices: still there, expected removed",
                             [describe(i, run.devices_after) for i in wrongly_kept])
    if wrongly_gone:
        problems += _listing("devices: removed, expected to stay",
                             [describe(i, run.devices_before) for i in wrongly_gone])
    if devices_new:
        problems += _listing("devices: appeared", [describe(i, run.devices_after) for i in devices_new])

    if expect.closes is not None:
        if len(run.closes) != expect.closes:
            problems.append("companion window got %d close requests, expected %d: %s"
                            % (len(run.closes), expect.closes, run.closes))
        odd = [c for c in run.closes if c != "WM_CLOSE wParam=0 lParam=0"]
        if odd:
            problems.append("close requests with parameters other than 0, 0: %s" % odd)

    started = sorted(entry[0].lower() for entry in run.started)
    wanted = sorted(p.lower() for p in expect.started)
    if started != wanted:
        problems.append("programs started: %s, expected %s"
                        % ([e[0] for e in run.started] or "none", expect.started or "none"))
    for entry in run.started:
        path, command_line, show = (entry + ["", ""])[:3]
        if path.lower() == MAINTENANCE_PROGRAM.lower():
            if command_line != '"%s"' % MAINTENANCE_PROGRAM:
                problems.append("maintenance program started with command line %r, expected the "
                                "quoted path alone" % command_line)
            if show != SW_SHOW:
                problems.append("maintenance program started with show command %s, expected %s"
                                % (show, SW_SHOW))
    return problems
