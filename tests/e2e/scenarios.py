"""The scenarios: the real Update.exe under Wine, from a clean installation each, driven
through its windows by the UI driver, with the files, the registry, the messages and the
exit code checked afterwards."""

import difflib
import os
import time

import fixture
import winebox
from fixture import GAME_FILES, LOOKALIKES, OLD_SAVES, VERSION_1010
from texts import (APPLY_FAILED, CAPTION, COMPLETED, ERROR_CAPTION, NOT_INSTALLED,
                   REAPPLY_QUESTION, dialog_lines, escaped, message_lines, write_error)

# Generous, since every Wine start may be slow; a scenario that passes takes far less.
DRIVER_TIMEOUT_S = 90
RUN_TIMEOUT_S = 240
MUTEX_NAME = "QXUPDATE Ver1.31"


class Checks:
    """Collects every mismatch of a scenario, so that one run shows them all."""

    def __init__(self):
        self.failures = []

    def equal(self, what, actual, expected):
        if actual != expected:
            self.failures.append("%s:\n    actual:   %r\n    expected: %r" % (what, actual, expected))

    def lines(self, what, actual, expected):
        if actual != expected:
            diff = "\n".join(difflib.unified_diff(expected, actual, "expected", "actual", lineterm=""))
            self.failures.append("%s differ:\n%s" % (what, diff))

    def file(self, what, path, expected):
        actual = fixture.read_bytes(path)
        if actual == expected:
            return
        def describe(data):
            return "missing" if data is None else "%d bytes" % len(data)
        detail = "%s, expected %s" % (describe(actual), describe(expected))
        if actual is not None and expected is not None:
            first = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
                         min(len(actual), len(expected)))
            detail += ", first difference at byte %d" % first
        self.failures.append("%s (%s): %s" % (what, path, detail))


class Outcome:
    def __init__(self, driver_lines, driver_code, update_code):
        self.driver_lines = driver_lines
        self.driver_code = driver_code
        self.update_code = update_code


def start_update(inst, name="update"):
    return winebox.Program(inst.session, [os.path.join(inst.payload_dir, "Update.exe")],
                           inst.payload_dir, os.path.join(inst.work, name + ".out"))


def run_driver(inst, steps, name="driver"):
    code, text = winebox.run_program(
        inst.session, [inst.session["driver"], "--timeout", str(DRIVER_TIMEOUT_S)] + steps,
        inst.work, os.path.join(inst.work, name + ".out"), DRIVER_TIMEOUT_S * 3)
    return code, text.splitlines()


def run_update(inst, steps):
    """Starts Update.exe from the payload folder, drives it with `steps`, and waits for it."""
    update = start_update(inst)
    driver_code, lines = run_driver(inst, steps)
    # A driver that stopped early may leave a window up: then a short wait, and the kill.
    return Outcome(lines, driver_code, update.wait(RUN_TIMEOUT_S if driver_code == 0 else 10))


def check_run(checks, outcome, expected_lines):
    checks.lines("the driver's report", outcome.driver_lines, expected_lines)
    checks.equal("the driver's exit code", outcome.driver_code, 0)
    checks.equal("Update.exe's exit code", outcome.update_code, 0)


def check_game_files(checks, inst, new_names, payload=None):
    """The game files: those in `new_names` hold their payload, the others their old bytes."""
    new = payload or fixture.new_game_bytes()
    old = fixture.old_game_bytes()
    for name in GAME_FILES:
        expected = new[name] if name in new_names else old[name]
        checks.file("game file " + name, inst.install_path(name), expected)


def check_saves(checks, inst, deleted):
    for name in OLD_SAVES:
        path = inst.install_path("save", name)
        checks.equal("save file %s deleted" % name, not os.path.exists(path), deleted)
    for name in LOOKALIKES:
        path = inst.install_path("save", *name.split("\\"))
        checks.equal("file %s kept" % name, os.path.exists(path), True)


def check_untouched(checks, inst, record_before):
    """Nothing written: old game files, save data, Install.ini, and the record as before."""
    check_game_files(checks, inst, ())
    check_saves(checks, inst, deleted=False)
    checks.file("Install.ini", inst.install_path("Install.ini"), b"[old]\r\nsave=D:\\elsewhere\r\n")
    checks.equal("the installation record", inst.record(), record_before)


def completed_lines(version, folder):
    return (dialog_lines(version, folder) + ["clicked\t1"] +
            message_lines(CAPTION, COMPLETED, "dialog", "1", "OK") + ["gone"])


def failed_lines(folder, name):
    return (dialog_lines("1.000", folder) + ["clicked\t1"] +
            message_lines(ERROR_CAPTION, write_error(name), "dialog", "1", "OK") +
            message_lines(CAPTION, APPLY_FAILED, "dialog", "1", "OK") + ["gone"])


def ini_bytes(save_folder):
    return b"save=" + save_folder.encode("cp932")


def standard_installation(inst, version_line=None, loose=None):
    inst.clear()
    inst.lay_game()
    inst.lay_payload(fixture.new_game_bytes(), loose)
    inst.set_registry(inst.record_values(version_line))


# --- the scenarios -------------------------------------------------------------------------

def completed_update(inst, checks):
    """Apply on a record without Version: files, saves, Install.ini and Version 1010."""
    standard_installation(inst)
    outcome = run_update(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK", "gone"])
    check_run(checks, outcome, completed_lines("1.000", inst.install_folder))
    check_game_files(checks, inst, GAME_FILES)
    check_saves(checks, inst, deleted=True)
    checks.equal("the save folder exists", os.path.isdir(inst.install_path("save")), True)
    checks.file("Install.ini", inst.install_path("Install.ini"),
                ini_bytes(inst.install_folder + "\\save"))
    checks.equal("the installation record", inst.record(),
                 {"InstallFolder": ("REG_SZ", inst.install_folder), "Version": VERSION_1010})


def loose_file_overrides_member(inst, checks):
    """A loose Archive.dat beside the archive is written instead of its member."""
    loose = fixture.pattern(5000, 300)
    standard_installation(inst, loose={"Archive.dat": loose})
    outcome = run_update(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK", "gone"])
    check_run(checks, outcome, completed_lines("1.000", inst.install_folder))
    payload = dict(fixture.new_game_bytes(), **{"Archive.dat": loose})
    check_game_files(checks, inst, GAME_FILES, payload)


def reapply_declined(inst, checks):
    """Version 1010 recorded: the question, Cancel, and nothing changes."""
    standard_installation(inst, '"Version"=hex:f2,03,00,00')
    before = inst.record()
    outcome = run_update(inst, ["msgbox", "Cancel", "sleep", "2000", "windows"])
    check_run(checks, outcome,
               message_lines(CAPTION, REAPPLY_QUESTION, "none", "1,2", "Cancel") + ["windows\t0"])
    check_untouched(checks, inst, before)


def reapply_accepted(inst, checks):
    """A REG_DWORD Version of 1010: the question, OK, the update, and a REG_BINARY Version."""
    standard_installation(inst, '"Version"=dword:000003f2')
    outcome = run_update(inst, ["msgbox", "OK", "dialog", CAPTION, "click", "1",
                                "msgbox", "OK", "gone"])
    check_run(checks, outcome,
              message_lines(CAPTION, REAPPLY_QUESTION, "none", "1,2", "OK") +
              completed_lines("1.010", inst.install_folder))
    check_game_files(checks, inst, GAME_FILES)
    checks.equal("the installation record", inst.record(),
                 {"InstallFolder": ("REG_SZ", inst.install_folder), "Version": VERSION_1010})


def not_installed(inst, checks):
    """No installation record: the not-installed message, and no record is made."""
    inst.clear()
    inst.lay_game()
    inst.lay_payload(fixture.new_game_bytes())
    inst.set_registry(None)
    outcome = run_update(inst, ["msgbox", "OK", "sleep", "2000", "windows"])
    check_run(checks, outcome,
              message_lines(CAPTION, NOT_INSTALLED, "none", "1", "OK") + ["windows\t0"])
    check_untouched(checks, inst, None)


def dialog_dismissed(inst, checks):
    """Exit, Escape and the close box each end the dialog with nothing written."""
    for label, step in (("Exit", ["click", "2"]), ("Escape", ["escape"]),
                        ("close box", ["closebox"])):
        standard_installation(inst)
        before = inst.record()
        outcome = run_update(inst, ["dialog", CAPTION] + step + ["gone"])
        expected = dialog_lines("1.000", inst.install_folder) + [
            {"Exit": "clicked\t2", "Escape": "escaped", "close box": "closebox"}[label], "gone"]
        case = Checks()
        check_run(case, outcome, expected)
        check_untouched(case, inst, before)
        checks.failures += ["[%s] %s" % (label, f) for f in case.failures]


def target_in_use(inst, checks):
    """A target held open without sharing by another program, as the running game holds
    its files: the write-error report names it, then the apply failure; earlier targets
    are replaced, later ones untouched, save data and Version left alone."""
    for held in ("pkadv.exe", "Archive.dat"):
        standard_installation(inst)
        before = inst.record()
        held_path = inst.install_folder + "\\" + held
        outcome = run_update(inst, ["hold", held_path, "dialog", CAPTION, "click", "1",
                                    "msgbox", "OK", "msgbox", "OK", "gone"])
        case = Checks()
        check_run(case, outcome, ["held\t" + escaped(held_path)] +
                  failed_lines(inst.install_folder, held))
        check_game_files(case, inst, GAME_FILES[:GAME_FILES.index(held)])
        check_saves(case, inst, deleted=False)
        case.file("Install.ini", inst.install_path("Install.ini"), b"[old]\r\nsave=D:\\elsewhere\r\n")
        case.equal("the installation record", inst.record(), before)
        checks.failures += ["[%s held] %s" % (held, f) for f in case.failures]


def missing_payload(inst, checks):
    """No archive and no loose files: the first entry fails with the write-error report."""
    inst.clear()
    inst.lay_game()
    inst.lay_payload(None)
    inst.set_registry(inst.record_values())
    before = inst.record()
    outcome = run_update(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK",
                                "msgbox", "OK", "gone"])
    check_run(checks, outcome, failed_lines(inst.install_folder, "pkadv.exe"))
    check_untouched(checks, inst, before)


def missing_install_folder(inst, checks):
    """The record names a folder that is gone: the first target cannot be written, and
    no folder is made."""
    inst.clear()
    inst.install_folder = "C:\\Games\\Removed"
    inst.lay_payload(fixture.new_game_bytes())
    inst.set_registry(inst.record_values())
    before = inst.record()
    outcome = run_update(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK",
                                "msgbox", "OK", "gone"])
    check_run(checks, outcome, failed_lines(inst.install_folder, "pkadv.exe"))
    checks.equal("the install folder exists", os.path.exists(inst.install_path()), False)
    checks.equal("the installation record", inst.record(), before)


def second_instance(inst, checks):
    """A second Update.exe while the first shows its dialog ends at once, with exit code 0
    and no window; the first goes on. The mutex that tells them apart is held by the
    first while it runs and gone after it."""
    standard_installation(inst)
    before = inst.record()
    first = start_update(inst, "first")
    code, lines = run_driver(inst, ["dialog", CAPTION], "driver-wait")
    checks.equal("the first dialog appeared", code, 0)
    started = time.monotonic()
    second = start_update(inst, "second")
    second_code = second.wait(RUN_TIMEOUT_S)
    elapsed = time.monotonic() - started
    code, lines = run_driver(inst, ["windows", "mutex", MUTEX_NAME,
                                    "dialog", CAPTION, "click", "2", "gone"])
    checks.equal("the second Update.exe's exit code", second_code, 0)
    checks.lines("the windows and the mutex while the first runs", lines[:3],
                 ["window\tdialog\t" + escaped(CAPTION), "windows\t1",
                  "mutex\t%s\texists" % MUTEX_NAME])
    checks.equal("the driver's exit code", code, 0)
    checks.equal("the first Update.exe's exit code", first.wait(RUN_TIMEOUT_S), 0)
    code, lines = run_driver(inst, ["mutex", MUTEX_NAME], "driver-after")
    checks.lines("the mutex after the first ended", lines, ["mutex\t%s\tnew" % MUTEX_NAME])
    checks.equal("the installation record", inst.record(), before)
    print("the second Update.exe ended after %.1f s" % elapsed)


def per_user_save_folder(inst, checks):
    """Installed under ProgramFilesDir on a Windows of major version 6 or later: the save
    folder is made under the per-user local application-data folder; with the reported
    version set to winxp (major 5) it falls back to the install folder's save folder."""
    for label, windows_version in (("default version", None), ("winxp", "winxp")):
        inst.install_folder = inst.program_files() + "\\Quelm\\ぴこぺこらんど"
        inst.clear()
        inst.lay_game()
        user_save = inst.local_appdata() + "\\Quelm\\ぴこぺこらんど！\\save"
        earlier = winebox.linux_path(inst.session, user_save + "\\save000.sav")
        inst.lay_payload(fixture.new_game_bytes())
        if windows_version is None:
            # Saves of an earlier run in the per-user folder are not the ones reset.
            fixture.write_bytes(earlier, b"kept")
        inst.set_registry(inst.record_values(), windows_version)
        outcome = run_update(inst, ["dialog", CAPTION, "click", "1", "msgbox", "OK", "gone"])
        case = Checks()
        check_run(case, outcome, completed_lines("1.000", inst.install_folder))
        check_saves(case, inst, deleted=True)
        expected = user_save if windows_version is None else inst.install_folder + "\\save"
        case.equal("the save folder exists",
                   os.path.isdir(winebox.linux_path(inst.session, expected)), True)
        case.file("Install.ini", inst.install_path("Install.ini"), ini_bytes(expected))
        if windows_version is None:
            case.file("an earlier per-user save", earlier, b"kept")
        else:
            case.equal("a per-user folder was made",
                       os.path.exists(winebox.linux_path(inst.session, inst.local_appdata() + "\\Quelm")),
                       False)
        checks.failures += ["[%s] %s" % (label, f) for f in case.failures]


def killed_while_writing(inst, checks):
    """Update.exe killed (SIGKILL to its Wine process) while it writes a large payload:
    every game file holds its old bytes or its new bytes in full, never a part."""
    big = fixture.pattern(96 * 1024 * 1024, 400)
    payload = dict(fixture.new_game_bytes(), **{"pkadv.exe": big})
    inst.clear()
    inst.lay_game()
    inst.lay_payload(payload)
    inst.set_registry(inst.record_values())
    before = inst.record()
    known = set(os.listdir(inst.install_path()))
    update = start_update(inst)
    code, lines = run_driver(inst, ["dialog", CAPTION, "click", "1"])
    checks.equal("the driver's exit code", code, 0)
    # Kill once the new bytes are on their way in: a new file beside the targets that has
    # begun to fill, or a target that changed. Give up waiting after the run's time.
    old = fixture.old_game_bytes()
    deadline = time.monotonic() + RUN_TIMEOUT_S
    seen = None
    while time.monotonic() < deadline and update.process.poll() is None:
        extra = sorted(set(os.listdir(inst.install_path())) - known)
        size = os.path.getsize(inst.install_path(extra[0])) if extra else 0
        if extra and (size > 0 or time.monotonic() > deadline - RUN_TIMEOUT_S / 2):
            seen = "a new file %s of %d bytes" % (extra[0], size)
            break
        if os.path.getsize(inst.install_path("pkadv.exe")) != len(old["pkadv.exe"]):
            seen = "pkadv.exe changed"
            break
        time.sleep(0.001)
    update.kill()
    update.wait(30)
    print("killed Update.exe after seeing %s" % (seen or "nothing"))
    checks.equal("Update.exe was killed while it wrote", seen is not None, True)
    for name in GAME_FILES:
        actual = fixture.read_bytes(inst.install_path(name))
        state = ("its old bytes" if actual == old[name] else
                 "its new bytes" if actual == payload[name] else
                 "missing" if actual is None else "%d bytes, neither old nor new" % len(actual))
        print("%s: %s" % (name, state))
        if not state.startswith("its "):
            checks.failures.append("%s holds %s, not its old or its new bytes in full" % (name, state))
    checks.equal("the installation record", inst.record(), before)


SCENARIOS = {f.__name__: f for f in (
    completed_update, loose_file_overrides_member, reapply_declined, reapply_accepted,
    not_installed, dialog_dismissed, target_in_use, missing_payload, missing_install_folder,
    second_instance, per_user_save_folder, killed_while_writing)}
