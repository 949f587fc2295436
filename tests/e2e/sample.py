#!/usr/bin/env python3
"""The sample run behind tools/run-sample.sh: a sample installation in a new Wine prefix,
the real Update.exe run on it, and what it did told in plain words.

Headless (no DISPLAY, or --headless): under Xvfb, the UI driver presses Apply and answers
each message. Interactive (a DISPLAY): the player's dialog appears and the user answers."""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fixture  # noqa: E402
import winebox  # noqa: E402
from texts import CAPTION  # noqa: E402


def unescape(field):
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\" and i + 1 < len(field):
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(field[i + 1], field[i + 1]))
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def drive(inst, steps, name):
    code, text = winebox.run_program(
        inst.session, [inst.session["driver"], "--timeout", "60"] + steps, inst.work,
        os.path.join(inst.work, name + ".out"), 300)
    return code, [[unescape(f) for f in line.split("\t")] for line in text.splitlines()]


def tell_report(lines, dialog=True):
    """The driver's report in plain words; `dialog`: also the dialog's texts."""
    for fields in lines:
        kind = fields[0]
        if kind in ("dialog", "control") and not dialog:
            continue
        if kind == "dialog":
            print('The dialog "%s" shows:' % fields[1])
        elif kind == "control":
            role = "button" if fields[2] == "Button" and fields[3] else (
                "frame" if fields[2] == "Button" else "text")
            if fields[3]:
                print("  %-6s (id %s): %s" % (role, fields[1], fields[3]))
        elif kind == "clicked":
            print("Pressed the button with id %s (%s)." % (fields[1], {"1": "適用, Apply", "2": "終了, Exit"}.get(fields[1], "?")))
        elif kind == "msgbox":
            print('Message box, caption "%s":' % fields[1])
            for text_line in fields[2].split("\n"):
                print("  " + text_line)
        elif kind == "answered":
            print("  answered " + fields[1])
        elif kind == "error":
            print("The driver stopped: " + " ".join(fields[1:]))


def listing(inst, label, folder):
    path = winebox.linux_path(inst.session, folder)
    if not os.path.isdir(path):
        print("  %s %s: missing" % (label, folder))
        return
    names = sorted(n for n in os.listdir(path) if os.path.isfile(os.path.join(path, n)))
    print("  %s %s:" % (label, folder))
    for name in names:
        print("    %-14s %8d bytes" % (name, os.path.getsize(os.path.join(path, name))))


def tell_record(inst):
    values = inst.record()
    if values is None:
        print("  installation record: none")
        return
    for name, (kind, data) in sorted(values.items()):
        extra = ""
        if name == "Version" and kind == "REG_BINARY" and len(data) == 8:
            code = int.from_bytes(bytes.fromhex(data), "little")
            extra = " (code %d, version %d.%03d)" % (code, code // 1000, code % 1000)
        print("  installation record %s = %s %s%s" % (name, kind, data, extra))


def tell_ini(inst):
    data = fixture.read_bytes(inst.install_path("Install.ini"))
    if data is None:
        print("  Install.ini: none")
    else:
        print("  Install.ini (%d bytes): %s" % (len(data), data.decode("cp932", errors="replace")))


def state_before(inst):
    print("Before the update:")
    tell_record(inst)
    listing(inst, "install folder", inst.install_folder)
    listing(inst, "save files in", inst.install_folder + "\\save")
    tell_ini(inst)
    listing(inst, "payload folder", "C:\\payload")


def state_after(inst):
    print("After the update:")
    old, new = fixture.old_game_bytes(), fixture.new_game_bytes()
    for name in fixture.GAME_FILES:
        data = fixture.read_bytes(inst.install_path(name))
        state = ("replaced by the payload" if data == new[name] else
                 "unchanged" if data == old[name] else "neither old nor new!")
        print("  %-13s %s (%d -> %s bytes)" % (name, state, len(old[name]),
                                                 "missing" if data is None else len(data)))
    deleted = [n for n in fixture.OLD_SAVES if not os.path.exists(inst.install_path("save", n))]
    kept = [n for n in fixture.OLD_SAVES + fixture.LOOKALIKES
            if os.path.exists(inst.install_path("save", *n.split("\\")))]
    print("  save files deleted: " + (", ".join(deleted) or "none"))
    print("  files kept in the save folder: " + (", ".join(kept) or "none"))
    tell_ini(inst)
    ini = fixture.read_bytes(inst.install_path("Install.ini")) or b""
    if ini.startswith(b"save=C:\\"):
        folder = ini[5:].decode("cp932", errors="replace")
        exists = os.path.isdir(winebox.linux_path(inst.session, folder))
        print("  the save folder it names, %s: %s" % (folder, "exists" if exists else "missing"))
    tell_record(inst)


def screenshot(display, rect, path):
    command = ["import", "-display", display, "-window", "root"]
    if rect:
        command += ["-crop", "%sx%s+%s+%s" % (rect[3], rect[4], rect[1], rect[2]), "+repage"]
    result = subprocess.run(command + [path], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60)
    if result.returncode != 0:
        print("No screenshot: " + result.stderr.decode(errors="replace").strip())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--work", required=True)
    parser.add_argument("--update", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--packer", required=True)
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--headless", action="store_true")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)

    interactive = bool(os.environ.get("DISPLAY")) and not args.headless
    display, xvfb_pid = (os.environ["DISPLAY"], None) if interactive else (None, None)
    session = None
    try:
        if not interactive:
            display, xvfb_pid = winebox.start_xvfb(os.path.join(work, "xvfb.log"))
        session = {"prefix": os.path.join(work, "prefix"), "display": display,
                   "xvfb_pid": xvfb_pid, "driver": os.path.abspath(args.driver),
                   "loader": winebox.wine_loader()}
        print("Making a new Wine prefix in %s (display %s)..." % (session["prefix"], display))
        winebox.make_prefix(session["prefix"], display)

        inst = fixture.Installation(session, work, os.path.abspath(args.update),
                                    os.path.abspath(args.packer))
        inst.install_folder = inst.program_files() + "\\Quelm\\ぴこぺこらんど"
        inst.clear()
        inst.lay_game(install_ini=None)
        inst.lay_payload(fixture.new_game_bytes())
        inst.set_registry(inst.record_values('"Version"=hex:e8,03,00,00'))
        print()
        state_before(inst)
        print()
        print("Running %s from C:\\payload%s" % (args.update, "" if interactive else
                                                   " (headless: the UI driver plays the player)"))
        started = time.monotonic()
        update = winebox.Program(session, [os.path.join(inst.payload_dir, "Update.exe")],
                                 inst.payload_dir, os.path.join(work, "update.out"))
        # The pause lets the dialog paint itself before the screenshot.
        code, lines = drive(inst, ["dialog", CAPTION, "sleep", "1500", "rect"], "driver-look")
        tell_report(lines)
        rect = next((f for f in lines if f[0] == "rect"), None)
        if rect:
            screenshot(display, rect, os.path.abspath(args.screenshot))
        if interactive:
            print("Press 適用 (Apply) or 終了 (Exit) in the dialog, and answer its messages.")
            exit_code = update.wait(3600)
        else:
            code, lines = drive(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK"], "driver-apply")
            tell_report(lines, dialog=False)
            # A failed apply shows a second message: answer until the program has ended.
            for attempt in range(3):
                if update.process.poll() is not None:
                    break
                time.sleep(1)
                if update.process.poll() is None:
                    code, lines = drive(inst, ["msgbox", "OK"], "driver-more-%d" % attempt)
                    tell_report(lines)
            exit_code = update.wait(120)
        print("Update.exe ended with exit code %s after %.0f s." % (
            "none (still running, killed)" if exit_code is None else exit_code,
            time.monotonic() - started))
        print()
        state_after(inst)
        if rect:
            print()
            print("Screenshot of the dialog: " + os.path.abspath(args.screenshot))
        return 0 if exit_code == 0 else 1
    except winebox.WineError as error:
        print("run-sample: " + str(error), file=sys.stderr)
        return 1
    finally:
        if session:
            winebox.stop_session(session)
        elif xvfb_pid:
            os.kill(xvfb_pid, 15)


if __name__ == "__main__":
    sys.exit(main())
