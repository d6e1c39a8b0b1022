"""What the interop tests share: the program and work folder from the command line, a skip (or,
where scripts/test installed the tools, a failure) when an outside tool is missing, checks that
are all run and counted, and commands that must end as expected."""

import os
import shutil
import subprocess
import sys

CLI, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
SKIP = 77
failures = []


def require(tools, install_hint, required_by):
    """Ends the test when a tool is missing: skipped, or failed where `required_by` (an
    environment variable scripts/test sets once it has installed the tools) is set."""
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("not installed: " + ", ".join(missing) + " (" + install_hint + ")")
        sys.exit(1 if os.environ.get(required_by) else SKIP)


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED: " + what)


def run(args, expect=0):
    r = subprocess.run(args, cwd=WORK, capture_output=True, text=True)
    if expect is not None and r.returncode != expect:
        print(r.stdout + r.stderr)
        raise SystemExit("%s exited %d, not %d" % (" ".join(args), r.returncode, expect))
    return r


def finish(passed):
    if failures:
        sys.exit(1)
    print(passed)
