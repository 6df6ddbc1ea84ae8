#!/usr/bin/env python3
"""Mutation check: plants one plausible fault at a time and asks whether the
tests notice.

Each entry of scripts/mutations.txt names a file, a line's text that occurs
exactly once in it, what to put in its place, the tests expected to catch the
change (a ctest -R regex) and what the fault is. For every entry, alone, the
script applies the change, rebuilds incrementally, runs the tests and puts
the file back (also on an error or Ctrl-C). A mutant is killed when a test
fails, survives when all pass, and is left out of the rate when it does not
compile or its text is stale (no longer found exactly once). Entries marked
`equivalent:` are changes no test can see (the reason is on that line); they
run but are not counted.

    scripts/mutation-check.py                 # the expected tests of each entry
    scripts/mutation-check.py --full          # the whole suite for each entry
    scripts/mutation-check.py --only 3,17     # entries 3 and 17 (1-based)
    scripts/mutation-check.py --build-dir build/release --list scripts/mutations.txt

It is slow (a rebuild and a test run per entry), so it is not part of CI.
It refuses to run while any file it would change has uncommitted edits, so
that what it restores is what git holds.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
FIELDS = ("file", "find", "replace", "tests", "why", "equivalent")


class Entry:
    def __init__(self, number, line, fields):
        self.number = number
        self.line = line
        self.file = fields.get("file", "")
        self.find = fields.get("find", "")
        self.replace = fields.get("replace", "")
        self.tests = fields.get("tests", "")
        self.why = fields.get("why", "")
        self.equivalent = fields.get("equivalent")

    def label(self):
        return f"#{self.number} {self.file}:{self.line_of_find()} {self.why}"

    def line_of_find(self):
        try:
            with open(os.path.join(ROOT, self.file), encoding="utf-8") as f:
                text = f.read()
        except OSError:
            return "?"
        at = text.find(self.find)
        return text.count("\n", 0, at) + 1 if at >= 0 else "?"


def parse_list(path):
    """Blocks of `key: value` lines separated by blank lines; # starts a comment."""
    entries, fields, start, errors = [], {}, 0, []

    def close():
        nonlocal fields
        if fields:
            missing = [k for k in ("file", "find", "replace", "tests", "why") if k not in fields]
            if missing:
                errors.append(f"{path}:{start}: entry lacks {', '.join(missing)}")
            else:
                entries.append(Entry(len(entries) + 1, start, fields))
        fields = {}

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip():
                close()
                continue
            if line.lstrip().startswith("#"):
                continue
            key, sep, value = line.partition(":")
            key = key.strip()
            if not sep or key not in FIELDS:
                errors.append(f"{path}:{number}: expected one of {', '.join(FIELDS)}: value")
                continue
            if not fields:
                start = number
            # One space after the colon belongs to the syntax; the rest is text.
            fields[key] = value[1:] if value.startswith(" ") else value
    close()
    return entries, errors


def run(cmd, timeout=None, env=None):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, errors="replace",
                          text=True, timeout=timeout, env=env)


def dirty_files(files):
    out = run(["git", "status", "--porcelain", "--"] + sorted(files))
    if out.returncode != 0:
        sys.exit("mutation-check: git status failed:\n" + out.stdout)
    return [line[3:] for line in out.stdout.splitlines()]


def ensure_build(build_dir):
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        print(f"configuring {build_dir}", flush=True)
        out = run(["cmake", "-S", ".", "-B", build_dir, "-G", "Ninja",
                   "-DCMAKE_BUILD_TYPE=Release", f"-DORV_DEMO_DIR={ROOT}/build/demo"])
        if out.returncode != 0:
            sys.exit("mutation-check: configure failed:\n" + out.stdout)


def build(build_dir, jobs, targets=()):
    return run(["ninja", "-C", build_dir, f"-j{jobs}"] + list(targets))


def test_programs(build_dir, regex):
    """The build targets of the test programs that the tests matching regex run,
    or None when one of them is not a program of the build (then build all)."""
    out = run(["ctest", "--test-dir", build_dir, "-N", "-R", regex, "--show-only=json-v1"])
    if out.returncode != 0:
        return None
    try:
        tests = json.loads(out.stdout[out.stdout.index("{"):]).get("tests", [])
    except ValueError:
        return None
    targets = set()
    for t in tests:
        command = t.get("command") or []
        if not command:
            return None
        program = os.path.relpath(command[0], os.path.abspath(build_dir))
        if program.startswith(".."):
            return None
        targets.add(program)
    return sorted(targets)


def run_tests(build_dir, regex, jobs, timeout):
    cmd = ["ctest", "--test-dir", build_dir, "--timeout", str(timeout), f"-j{jobs}",
           "--output-on-failure"]
    if regex:
        cmd += ["-R", regex]
    else:
        # The layout check would fail on a planted line clang-format lays out
        # differently, which says nothing about the tests.
        cmd += ["-E", r"^format\."]
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen")
    out = run(cmd, timeout=timeout * 20, env=env)
    text = out.stdout
    if "No tests were found" in text:
        return "no-tests", text
    return ("passed" if out.returncode == 0 else "failed"), text


def failed_names(text):
    names, on = [], False
    for line in text.splitlines():
        if line.startswith("The following tests FAILED"):
            on = True
        elif on and " - " in line:
            names.append(line.split(" - ", 1)[1].split(" (", 1)[0].strip())
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    parser.add_argument("--build-dir", default="build/release")
    parser.add_argument("--full", action="store_true", help="run the whole suite for each entry")
    parser.add_argument("--only", help="comma-separated entry numbers (1-based)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("-v", "--verbose", action="store_true", help="print build and test output")
    args = parser.parse_args()

    build_dir = os.path.join(ROOT, args.build_dir) if not os.path.isabs(args.build_dir) else args.build_dir
    entries, errors = parse_list(args.list)
    if errors:
        sys.exit("\n".join(errors))
    if args.only:
        wanted = {int(n) for n in args.only.split(",") if n.strip()}
        entries = [e for e in entries if e.number in wanted]
    dirty = dirty_files({e.file for e in entries})
    if dirty:
        sys.exit("mutation-check: uncommitted changes in files it would mutate; commit or stash:\n  "
                 + "\n  ".join(dirty))

    # Ctrl-C and a kill both unwind through the finally that restores a file.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))

    ensure_build(build_dir)
    print(f"building {os.path.relpath(build_dir, ROOT)}", flush=True)
    out = build(build_dir, args.jobs)
    if out.returncode != 0:
        sys.exit("mutation-check: the unmodified tree does not build:\n" + out.stdout[-4000:])

    started = time.monotonic()
    results = {"killed": [], "survived": [], "no-compile": [], "stale": [], "no-tests": []}
    equivalent_killed, equivalent_survived = [], []
    built_targets = set()
    interrupted = False
    mode = "whole suite" if args.full else "expected tests"
    print(f"{len(entries)} mutants from {os.path.relpath(args.list, ROOT)}, {mode}", flush=True)
    for e in entries:
        path = os.path.join(ROOT, e.file)
        try:
            with open(path, encoding="utf-8") as f:
                original = f.read()
        except OSError:
            results["stale"].append(e)
            print(f"[{e.number:3}] stale (no file)  {e.file}", flush=True)
            continue
        if original.count(e.find) != 1:
            results["stale"].append(e)
            print(f"[{e.number:3}] stale ({original.count(e.find)} matches)  {e.label()}", flush=True)
            continue
        line = e.line_of_find()
        t0 = time.monotonic()
        # The programs to rebuild: those of the expected tests, or everything.
        targets = [] if args.full else test_programs(build_dir, e.tests)
        if targets == [] and not args.full:
            results["no-tests"].append(e)
            print(f"[{e.number:3}] no tests match {e.tests!r}  {e.label()}", flush=True)
            continue
        targets = targets or []
        built_targets.update(targets)
        outcome, detail = None, ""
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(e.find, e.replace, 1))
            out = build(build_dir, args.jobs, targets)
            if out.returncode != 0:
                outcome, detail = "no-compile", out.stdout
            else:
                status, detail = run_tests(build_dir, None if args.full else e.tests,
                                           args.jobs, args.timeout)
                outcome = {"failed": "killed", "passed": "survived", "no-tests": "no-tests"}[status]
        except KeyboardInterrupt:
            interrupted = True
        except subprocess.TimeoutExpired:
            outcome, detail = "killed", "the test run timed out"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        if interrupted:
            print("\ninterrupted; the file is restored", flush=True)
            break
        seconds = time.monotonic() - t0
        note = ""
        if outcome == "killed":
            note = "  by " + ", ".join(failed_names(detail)[:3])
        if e.equivalent is not None:
            (equivalent_killed if outcome == "killed" else equivalent_survived).append(e)
            outcome_shown = f"equivalent, {outcome}"
        else:
            results[outcome].append(e)
            outcome_shown = outcome
        print(f"[{e.number:3}] {outcome_shown:10} {seconds:5.0f} s  {e.file}:{line}  {e.why}{note}", flush=True)
        if args.verbose or outcome in ("no-compile", "no-tests"):
            print("      " + "\n      ".join(detail.strip().splitlines()[-15:]), flush=True)

    # Leave the build as the tree is.
    build(build_dir, args.jobs, [] if args.full else sorted(built_targets))
    total = time.monotonic() - started

    killed, survived = len(results["killed"]), len(results["survived"])
    counted = killed + survived
    print()
    print(f"mode: {mode}; entries: {len(entries)}; counted: {counted}; killed: {killed}; "
          f"survived: {survived}; equivalent: {len(equivalent_killed) + len(equivalent_survived)}; "
          f"did not compile: {len(results['no-compile'])}; stale: {len(results['stale'])}; "
          f"no tests matched: {len(results['no-tests'])}")
    if counted:
        print(f"kill rate: {killed}/{counted} = {100.0 * killed / counted:.1f} %")
    for title, key in (("survivors", "survived"), ("did not compile", "no-compile"),
                       ("stale entries", "stale"), ("entries whose tests match nothing", "no-tests")):
        if results[key]:
            print(f"{title}:")
            for e in results[key]:
                print(f"  #{e.number} {e.file}: {e.why}  (expected: {e.tests})")
    if equivalent_killed:
        print("marked equivalent but killed (drop the mark):")
        for e in equivalent_killed:
            print(f"  #{e.number} {e.file}: {e.why}")
    print(f"time: {total / 60:.1f} min ({total / max(1, len(entries)):.0f} s a mutant)")
    if interrupted:
        return 130
    return 0 if not results["survived"] else 1


if __name__ == "__main__":
    sys.exit(main())
