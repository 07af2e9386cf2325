#!/usr/bin/env python3
"""Mutation check: plants each fault of a list in the sources, one at a time, rebuilds what the
tests of its folder need, runs those tests and puts the file back. A fault is caught when a test
fails (or times out). Prints caught or missed per fault with its wall time, and the share caught.

    python3 scripts/mutate.py [--build DIR] [--list FILE] [--only N[,N...]] [--no-baseline]

The build folder (default build/test, configured as scripts/test.sh does) is built first and the
tests of every folder in the list are run once unmutated: a fault can only be caught by tests
that pass without it. The list format is described at the top of scripts/mutations.txt. Not part
of the test command: a full run takes about three quarters of an hour.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


class Fault:
    def __init__(self, number, fields):
        self.number = number
        self.file = fields.get("file", "")
        self.find = unescape(fields.get("find", ""))
        self.replace = unescape(fields.get("replace", ""))
        self.why = fields.get("why", "")
        self.folder = self.file.split("/")[0] + "/"


def unescape(text):
    # \n stands for a line break, \\ for a backslash.
    return re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), text)


def read_list(path):
    """Returns the per-folder settings and the faults."""
    folders, faults, block = {}, [], {}
    lines = path.read_text().splitlines() + [""]
    for line in lines:
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                faults.append(Fault(len(faults) + 1, block))
                block = {}
            continue
        key, _, value = line.partition(":")
        words = key.split()
        if len(words) == 2 and words[0] in ("tests", "targets"):
            folders.setdefault(words[1], {})[words[0]] = value.strip()
        elif key in ("file", "find", "replace", "why"):
            block[key] = value[1:] if value.startswith(" ") else value
        else:
            sys.exit(f"{path}: cannot read the line: {line}")
    return folders, faults


def check_faults(folders, faults):
    problems = []
    for fault in faults:
        source = ROOT / fault.file
        if fault.folder not in folders:
            problems.append(f"fault {fault.number}: no 'tests {fault.folder}' line")
        elif not source.is_file():
            problems.append(f"fault {fault.number}: no file {fault.file}")
        elif source.read_text().count(fault.find) != 1:
            problems.append(f"fault {fault.number}: its text is not exactly once in {fault.file}")
        elif not fault.why:
            problems.append(f"fault {fault.number}: says not why it is a fault")
    if problems:
        sys.exit("\n".join(problems))


def run(command, log):
    with open(log, "a") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        return subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT).returncode


def build(build_dir, targets, log):
    return run(["cmake", "--build", str(build_dir), "-j2", "--target"] + targets.split(), log) == 0


def tests_pass(build_dir, regex, log):
    env_command = ["ctest", "--test-dir", str(build_dir), "-R", regex, "-j2",
                   "--stop-on-failure", "--no-tests=error", "--output-on-failure"]
    return run(env_command, log) == 0


class Planted:
    """The file with the fault in it; put back however the block is left."""

    def __init__(self, fault, backup):
        self.path = ROOT / fault.file
        self.fault = fault
        self.backup = backup

    def __enter__(self):
        self.original = self.path.read_bytes()
        self.backup.write_bytes(self.original)
        self.backup.with_suffix(".path").write_text(str(self.path))
        text = self.original.decode()
        self.path.write_text(text.replace(self.fault.find, self.fault.replace, 1))
        return self

    def __exit__(self, *exc):
        self.path.write_bytes(self.original)
        self.backup.unlink()
        self.backup.with_suffix(".path").unlink()
        return False


def restore_leftover(backup):
    # A run killed outright leaves its backup: put that file back before anything else.
    if backup.exists():
        path = Path(backup.with_suffix(".path").read_text())
        path.write_bytes(backup.read_bytes())
        backup.unlink()
        backup.with_suffix(".path").unlink()
        print(f"put back {path} from an interrupted run")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.environ.get("QZR71_BUILD_DIR", "build/test"))
    parser.add_argument("--list", default=str(ROOT / "scripts" / "mutations.txt"))
    parser.add_argument("--only", help="fault numbers, e.g. 3,7,12")
    parser.add_argument("--no-baseline", action="store_true")
    args = parser.parse_args()

    build_dir = (ROOT / args.build).resolve()
    if not (build_dir / "CMakeCache.txt").is_file():
        sys.exit(f"{build_dir} is not configured: run scripts/test.sh, or configure it as it does")
    backup = build_dir / "mutate-original"
    restore_leftover(backup)
    folders, faults = read_list(Path(args.list))
    check_faults(folders, faults)
    if args.only:
        chosen = {int(n) for n in args.only.split(",")}
        faults = [f for f in faults if f.number in chosen]
    log = build_dir / "mutate.log"
    log.write_text("")

    # Ctrl-C or a kill: leave through the with-blocks, so the planted file is put back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    used = sorted({f.folder for f in faults})
    if not args.no_baseline:
        for folder in used:
            setting = folders[folder]
            if not build(build_dir, setting["targets"], log):
                sys.exit(f"the unmutated build fails; see {log}")
            if not tests_pass(build_dir, setting["tests"], log):
                sys.exit(f"the tests of {folder} fail without a fault; see {log}")

    results = []
    started = time.monotonic()
    try:
        for fault in faults:
            setting = folders[fault.folder]
            begun = time.monotonic()
            with Planted(fault, backup):
                with open(log, "a") as out:
                    out.write(f"\n### fault {fault.number}: {fault.file}: {fault.why}\n")
                if not build(build_dir, setting["targets"], log):
                    verdict = "no build"
                else:
                    verdict = "missed" if tests_pass(build_dir, setting["tests"], log) else "caught"
            seconds = time.monotonic() - begun
            results.append((fault, verdict, seconds))
            print(f"{fault.number:3}  {verdict:8} {seconds:6.0f} s  {fault.file}: {fault.why}",
                  flush=True)
    except KeyboardInterrupt:
        print("interrupted; the file is put back")
    finally:
        # The build folder again as the sources are.
        for folder in used:
            build(build_dir, folders[folder]["targets"], log)

    caught = sum(1 for _, verdict, _ in results if verdict == "caught")
    counted = sum(1 for _, verdict, _ in results if verdict != "no build")
    total = time.monotonic() - started
    print(f"\n{caught} of {counted} faults caught ({100 * caught / max(counted, 1):.0f} %), "
          f"{total / 60:.0f} min; the build and test output is in {log}")
    for fault, verdict, _ in results:
        if verdict != "caught":
            print(f"  {verdict}: {fault.number} {fault.file}: {fault.why}")
    return 0 if caught == counted else 1


if __name__ == "__main__":
    sys.exit(main())
