#!/usr/bin/env python3
"""End-to-end runs of the real Update.exe under Wine.

  e2e.py --work DIR setup --driver uidriver.exe   start Xvfb (when there is no DISPLAY) and
                                                  make a new Wine prefix for this run
  e2e.py --work DIR run SCENARIO --update Update.exe --packer updpack
  e2e.py --work DIR teardown                      end the run's wineserver and Xvfb
  e2e.py list                                     the scenarios' names

CTest runs setup and teardown as the fixture of the scenarios, one scenario at a time.
Exit code 0 when the step passed."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fixture  # noqa: E402
import scenarios  # noqa: E402
import winebox  # noqa: E402


# CTest's SKIP_RETURN_CODE for the scenarios.
SKIPPED = 77


def session_file(work):
    return os.path.join(work, "session.json")


def setup(args):
    os.makedirs(args.work, exist_ok=True)
    display, xvfb_pid = os.environ.get("DISPLAY", ""), None
    if not display:
        display, xvfb_pid = winebox.start_xvfb(os.path.join(args.work, "xvfb.log"))
    session = {"prefix": os.path.join(args.work, "prefix"), "display": display,
               "xvfb_pid": xvfb_pid, "driver": os.path.abspath(args.driver),
               "loader": winebox.wine_loader()}
    # Saved first, so that teardown can end Xvfb even when making the prefix fails.
    winebox.save_session(session_file(args.work), session)
    started = time.monotonic()
    winebox.make_prefix(session["prefix"], display)
    print("Wine prefix %s ready on display %s after %.0f s" %
          (session["prefix"], display, time.monotonic() - started))
    return 0


def run(args):
    session = winebox.load_session(session_file(args.work))
    if winebox.is_32bit_program(args.update) and not winebox.runs_32bit():
        print("SKIPPED: %s is a 32-bit program, and this machine's kernel does not run "
              "32-bit programs, so Wine cannot start it; the win64 build runs the same "
              "scenarios on a 64-bit Update.exe" % args.update)
        return SKIPPED
    work = os.path.join(args.work, args.scenario)
    os.makedirs(work, exist_ok=True)
    inst = fixture.Installation(session, work, os.path.abspath(args.update),
                                os.path.abspath(args.packer))
    checks = scenarios.Checks()
    started = time.monotonic()
    scenarios.SCENARIOS[args.scenario](inst, checks)
    print("%s: %.0f s; the programs' output is in %s" %
          (args.scenario, time.monotonic() - started, work))
    for failure in checks.failures:
        print("FAILED: " + failure)
    return 1 if checks.failures else 0


def teardown(args):
    try:
        winebox.stop_session(winebox.load_session(session_file(args.work)))
    except winebox.WineError:
        pass
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", help="folder of this run's prefix, state and logs")
    steps = parser.add_subparsers(dest="step", required=True)
    p = steps.add_parser("setup")
    p.add_argument("--driver", required=True)
    p = steps.add_parser("run")
    p.add_argument("scenario", choices=sorted(scenarios.SCENARIOS))
    p.add_argument("--update", required=True)
    p.add_argument("--packer", required=True)
    steps.add_parser("teardown")
    steps.add_parser("list")
    args = parser.parse_args()
    if args.step == "list":
        print(";".join(scenarios.SCENARIOS))
        return 0
    if not args.work:
        parser.error("--work is required")
    args.work = os.path.abspath(args.work)
    try:
        return {"setup": setup, "run": run, "teardown": teardown}[args.step](args)
    except winebox.WineError as error:
        print("e2e: " + str(error), file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
