"""A clean installation for one scenario: the installation record, the install folder with
old game files and save files, and the payload folder from which Update.exe is started."""

import os
import random
import shutil
import subprocess

import winebox

GAME_FILES = ("pkadv.exe", "Archive.dat", "Instdata.pak")
# Deleted by the update: the fixed names and a few of the numbered ones.
OLD_SAVES = ("syssave.dat", "qsave.sav", "qsave.gra", "save000.sav", "thumb000.gra",
             "save042.sav", "thumb042.gra", "save999.sav", "thumb999.gra")
# Only resembling the save files: the update leaves them.
LOOKALIKES = ("save1000.sav", "save00.sav", "thumb000.bmp", "syssave.bak", "sub\\save000.sav")
RECORD_KEY = "HKEY_CURRENT_USER\\Software\\Quelm\\PikopekoLand"
VERSION_1010 = ("REG_BINARY", "F2030000")


def pattern(size, seed):
    return random.Random(seed).randbytes(size)


def old_game_bytes():
    # Longer than the new payloads, so a target that is not cut to its payload shows.
    return {name: pattern(40000 + i, 100 + i) for i, name in enumerate(GAME_FILES)}


def new_game_bytes():
    return {name: pattern(3000 * (i + 1), 200 + i) for i, name in enumerate(GAME_FILES)}


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Installation:
    """Paths of one scenario inside the prefix, and the steps that lay out its state."""

    def __init__(self, session, work, update_exe, packer):
        self.session = session
        self.work = work
        self.update_exe = update_exe
        self.packer = packer
        self.payload_dir = winebox.linux_path(session, "C:\\payload")
        self.install_folder = "C:\\Games\\Pikopeko"

    def install_path(self, *names):
        return winebox.linux_path(self.session, "\\".join((self.install_folder,) + names))

    def local_appdata(self):
        users = os.path.join(winebox.drive_c(self.session), "users")
        for user in sorted(os.listdir(users)):
            path = os.path.join(users, user, "AppData", "Local")
            if user != "Public" and os.path.isdir(path):
                return "C:\\users\\%s\\AppData\\Local" % user
        raise winebox.WineError("no per-user local application-data folder in the prefix")

    def program_files(self):
        """ProgramFilesDir as Update.exe sees it: a 32-bit program in a 64-bit prefix is
        given the folder for 32-bit programs."""
        wow64 = os.path.isdir(os.path.join(winebox.drive_c(self.session), "windows", "syswow64"))
        if wow64 and winebox.is_32bit_program(self.update_exe):
            return "C:\\Program Files (x86)"
        return "C:\\Program Files"

    def clear(self):
        """Removes every file an earlier scenario may have left."""
        root = winebox.drive_c(self.session)
        for folder in ("payload", "Games", os.path.join("Program Files", "Quelm"),
                       os.path.join("Program Files (x86)", "Quelm")):
            shutil.rmtree(os.path.join(root, folder), ignore_errors=True)
        local = winebox.linux_path(self.session, self.local_appdata())
        shutil.rmtree(os.path.join(local, "Quelm"), ignore_errors=True)

    def lay_game(self, install_ini=b"[old]\r\nsave=D:\\elsewhere\r\n"):
        for name, data in old_game_bytes().items():
            write_bytes(self.install_path(name), data)
        for name in OLD_SAVES + LOOKALIKES:
            write_bytes(self.install_path("save", *name.split("\\")), b"save " + name.encode())
        if install_ini is not None:
            write_bytes(self.install_path("Install.ini"), install_ini)

    def lay_payload(self, members=None, loose=None):
        """The payload folder: Update.exe, UpdateData.dat packed by our packer from
        `members` (name -> bytes; None: no archive), and loose files."""
        os.makedirs(self.payload_dir, exist_ok=True)
        shutil.copyfile(self.update_exe, os.path.join(self.payload_dir, "Update.exe"))
        if members is not None:
            sources = os.path.join(self.work, "members")
            shutil.rmtree(sources, ignore_errors=True)
            os.makedirs(sources)
            for name, data in members.items():
                write_bytes(os.path.join(sources, name), data)
            result = subprocess.run(
                [self.packer, "pack", os.path.join(self.payload_dir, "UpdateData.dat")] +
                [os.path.join(sources, name) for name in members],
                stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            if result.returncode != 0:
                raise winebox.WineError("updpack failed: " + result.stderr.decode(errors="replace"))
        for name, data in (loose or {}).items():
            write_bytes(os.path.join(self.payload_dir, name), data)

    def set_registry(self, values=None, windows_version=None):
        """The installation record with these .reg value lines (None: no record at all),
        and the Windows version that Wine reports to Update.exe (None: Wine's default)."""
        lines = ["[-HKEY_CURRENT_USER\\Software\\Quelm]",
                 "[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\Update.exe]", ""]
        if values is not None:
            lines += ["[%s]" % RECORD_KEY] + values + [""]
        if windows_version is not None:
            lines += ["[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\Update.exe]",
                      '"Version"=' + reg_string(windows_version), ""]
        winebox.registry_import(self.session, self.work, lines)

    def record_values(self, version_line=None):
        values = ['"InstallFolder"=' + reg_string(self.install_folder)]
        return values + ([version_line] if version_line else [])

    def record(self):
        return winebox.registry_values(self.session, self.work, RECORD_KEY)
