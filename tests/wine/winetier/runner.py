"""Runs the Wine tier: builds the helper programs, starts the display,
boots the pristine prefix, runs every scenario on its own copy and prints
one line per scenario and the closing count."""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import threading
import time
import traceback

from . import checks, machine, scenarios

HELPERS = (
    # program, extra compiler arguments
    ("machine_tool", ["-lsetupapi"]),
    ("companion", []),
    ("marker", ["-mwindows"]),
)

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build_helpers(target):
    """Compile the helper programs with MinGW-w64 when their source is newer."""
    os.makedirs(target, exist_ok=True)
    for name, extra in HELPERS:
        source = os.path.join(HERE, "helpers", name + ".cpp")
        exe = os.path.join(target, name + ".exe")
        if os.path.exists(exe) and os.path.getmtime(exe) >= os.path.getmtime(source):
            continue
        command = ["x86_64-w64-mingw32-g++", "-O2", "-static", "-s", "-Wall", "-Wextra", "-Werror",
                   "-o", exe, source] + extra
        subprocess.run(command, check=True)


class Trial:
    """One scenario's run: its machine, and the problems found."""

    def __init__(self, name, function, work, exe, pending, pristine, display, helpers):
        self.name = name
        self.function = function
        self.root = os.path.join(work, "scenarios", function.__name__)
        self.exe = exe
        self.pending = pending
        self.problems = []
        self.notes = []
        self.seconds = 0.0
        self.machine_args = (pristine, self.root, display, helpers)
        self.machine = None

    def run(self, expect):
        """Run the program once and check the machine against expect."""
        relaxed = checks.relax(expect, self.pending)
        result = self.machine.run_program(self.exe)
        number = len(self.machine.runs)
        labels = {d.instance: d.label for d in self.machine.devices}
        for problem in checks.check_run(result, relaxed, labels):
            self.problems.append(("run %d: " % number if number > 1 else "") + problem)
        for step, (done, total) in checks.pending_progress(result, relaxed).items():
            if done == total:
                self.notes.append("pending step '%s' did all its %d removals here" % (step, total))
            else:
                self.notes.append("pending step '%s': %d of %d removals done, not required"
                                  % (step, done, total))
        self.notes.append("program ran %.1f s" % result.seconds)


def run_trial(trial):
    started = time.time()
    try:
        trial.machine = machine.Machine(*trial.machine_args)
        trial.function(trial)
    except machine.HarnessError as error:
        trial.problems.append("harness: %s" % error)
    except Exception:  # a broken scenario is reported, not fatal to the tier
        trial.problems.append("harness: " + traceback.format_exc())
    finally:
        if trial.machine:
            try:
                machine.run_command(["wineserver", "-k"], trial.machine.env(), 30)
            except machine.HarnessError:
                pass
    trial.seconds = time.time() - started
    return trial


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True, help="the Uninstall.exe under test")
    parser.add_argument("--work", required=True, help="folder for prefixes and helper programs")
    parser.add_argument("--jobs", type=int, default=2, help="scenarios run at once")
    parser.add_argument("--pending", default="",
                        help="comma-separated steps not landed yet (%s): their removals are "
                             "allowed, not required" % ", ".join(checks.STEPS))
    parser.add_argument("-k", dest="filter", default="", help="run only scenarios whose name contains this")
    parser.add_argument("--keep", action="store_true", help="keep the machines of passing scenarios")
    args = parser.parse_args(argv)

    pending = {step for step in args.pending.split(",") if step}
    unknown = pending - set(checks.STEPS)
    if unknown:
        parser.error("unknown pending steps: %s" % ", ".join(sorted(unknown)))
    work = os.path.abspath(args.work)
    exe = os.path.abspath(args.exe)
    helpers = os.path.join(work, "helpers")
    try:
        build_helpers(helpers)
    except subprocess.CalledProcessError as error:
        print("harness: building the helper programs failed: %s" % error)
        print("0 passed, 1 failed")
        return 1
    selected = [(n, f) for n, f in scenarios.SCENARIOS if args.filter in n or args.filter in f.__name__]
    if os.path.exists(os.path.join(work, "scenarios")):
        shutil.rmtree(os.path.join(work, "scenarios"))

    tier_started = time.time()
    lock = threading.Lock()
    passed = failed = 0
    try:
        display = machine.Display()
    except (OSError, machine.HarnessError) as error:
        print("harness: no display: %s" % error)
        print("0 passed, 1 failed")
        return 1
    try:
        pristine = os.path.join(work, "pristine")
        boot_started = time.time()
        try:
            machine.make_pristine(pristine, display.name)
        except machine.HarnessError as error:
            print("harness: %s" % error)
            failed += 1
            selected = []
        print("wine tier: %s, pristine prefix in %.1f s, display %s%s"
              % (exe, time.time() - boot_started, display.name,
                 ", pending steps: " + ", ".join(sorted(pending)) if pending else ""), flush=True)
        trials = [Trial(n, f, work, exe, pending, pristine, display.name, helpers) for n, f in selected]
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            for trial in pool.map(run_trial, trials):
                with lock:
                    ok = not trial.problems
                    passed += ok
                    failed += not ok
                    print("%s  %s (%.1f s)" % ("PASS" if ok else "FAIL", trial.name, trial.seconds))
                    for note in trial.notes:
                        if not note.startswith("program ran") or not ok:
                            print("      note: " + note)
                    for problem in trial.problems:
                        print("      " + problem.replace("\n", "\n      "))
                    if not ok:
                        print("      machine kept in " + trial.root)
                    elif not args.keep:
                        shutil.rmtree(trial.root, ignore_errors=True)
                    sys.stdout.flush()
    finally:
        display.close()
    print("wine tier took %.1f s" % (time.time() - tier_started))
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and passed > 0 else 1
