#!/usr/bin/env python3
"""The main job, shown: a Wine machine on which the Ondrevix package is
installed (its registry entries, the companion window, its devices, its
INF, PNF and driver files, beside other programs' things), one run of
Uninstall.exe, and a table of what was there before and what is left."""

import argparse
import os
import sys

from winetier import checks, machine, runner, scenarios


SHORT = (("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\", "HKLM\\...\\CurrentVersion\\"),)


def shorten(text):
    for long, short in SHORT:
        text = text.replace(long, short)
    return text


def rows_of(m, run):
    """(kind, what, there before, there after) for everything the set-up put
    on the machine; the values of one key that fared alike share a row."""
    rows = []
    by_key = {}
    for key, name in m.registry_items:
        path = key if name is None else key + "\\" + name
        state = (path.lower() in run.registry_before, path.lower() in run.registry_after)
        by_key.setdefault(key, []).append((name, state))
    for key, values in by_key.items():
        states = {state for _, state in values}
        if len(states) == 1 and len(values) > 1:
            rows.append(("registry", "%s (%d values)" % (shorten(key), len(values))) + states.pop())
        else:
            for name, state in values:
                rows.append(("registry", shorten(key) + ("" if name is None else "  value " + name)) + state)
    if m.companion_mode:
        rows.append(("window", '"Halvoren" (#32770), %d WM_CLOSE received' % len(run.closes),
                     True, not run.closes))
    for device in m.devices:
        kind = "" if device.device_class == machine.IMAGE_CLASS else " (camera class)"
        rows.append(("device", "%s%s %s" % (device.instance, kind, " | ".join(device.hardware_ids)),
                     device.instance in run.devices_before, device.instance in run.devices_after))
    for path in m.files:
        rows.append(("file", path, path.lower() in run.files_before, path.lower() in run.files_after))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    helpers = os.path.join(work, "helpers")
    runner.build_helpers(helpers)
    display = machine.Display()
    try:
        print("Booting a Windows machine under Wine ...", flush=True)
        pristine = os.path.join(work, "pristine")
        machine.make_pristine(pristine, display.name)
        m = machine.Machine(pristine, os.path.join(work, "machine"), display.name, helpers)
        print("Installing the Ondrevix package on it ...", flush=True)
        expect = scenarios.installed_package(m)
        m.set_up()
        print("Running Uninstall.exe (no arguments, as an administrator) ...\n", flush=True)
        run = m.run_program(os.path.abspath(args.exe))
    finally:
        display.close()

    print("exit code %s, %d bytes printed, %.1f s\n"
          % (run.exit_code, len(run.stdout) + len(run.stderr), run.seconds))
    rows = rows_of(m, run)
    width = max(len(r[1]) for r in rows)
    print("%-9s %-*s  %-8s %s" % ("", width, "", "before", "after"))
    for kind, what, before, after in rows:
        print("%-9s %-*s  %-8s %s" % (kind, width, what, "present" if before else "absent",
                                      "present" if after else ("gone" if before else "absent")))
    removed = sum(1 for r in rows if r[2] and not r[3])
    print("\n%d of %d removed." % (removed, len(rows)))
    # Whatever else changed on the machine, with every removal above allowed:
    # nothing, when all is well.
    others = checks.check_run(run, checks.relax(expect, {"registry", "files", "devices"}))
    print("Anything else changed on the machine: %s" % ("nothing" if not others else ""))
    for line in others:
        print("    " + line)
    return 0 if run.exit_code == 0 and not others else 1


if __name__ == "__main__":
    sys.exit(main())
