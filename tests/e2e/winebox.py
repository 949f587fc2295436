"""One Wine session for the end-to-end runs: a display, a prefix, programs started in it,
and the registry read and written through Wine's own reg.exe.

Every wait is bounded. Wine's output goes to files, never to pipes: Wine's helper processes
outlive the programs and would hold a pipe open."""

import json
import os
import shutil
import signal
import subprocess
import time

TOOLS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))


class WineError(Exception):
    pass


def runs_32bit():
    """Whether this machine runs Wine's 32-bit side: a kernel without 32-bit emulation
    cannot start it, and then only 64-bit Windows programs run."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def wine_loader():
    return "wine" if runs_32bit() else "/usr/lib/wine/wine64"


def is_32bit_program(path):
    """True for a PE file for i386, False for any other machine."""
    with open(path, "rb") as f:
        header = f.read(4096)
    offset = int.from_bytes(header[0x3C:0x40], "little")
    return header[offset + 4:offset + 6] == b"\x4c\x01"


def wine_environment(prefix, display):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEDEBUG": "-all",
        "LC_ALL": "ja_JP.UTF-8",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "DISPLAY": display,
    })
    return env


def start_xvfb(log_path):
    """Starts Xvfb on a free display number; returns (display, pid)."""
    if shutil.which("Xvfb") is None:
        raise WineError("Xvfb is not installed (Debian package xvfb): run tools/setup-debian.sh as root")
    read_end, write_end = os.pipe()
    with open(log_path, "ab") as log:
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(write_end,),
            start_new_session=True)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 30
    os.set_blocking(read_end, False)
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        try:
            chunk = os.read(read_end, 16)
        except BlockingIOError:
            chunk = None
        if chunk == b"":
            break
        if chunk:
            number += chunk
        else:
            time.sleep(0.05)
    os.close(read_end)
    if not number.strip().isdigit():
        process.kill()
        raise WineError("Xvfb did not start; see " + log_path)
    return ":" + number.strip().decode(), process.pid


def make_prefix(prefix, display):
    """A new prefix, made by the project's wine-prefix.sh (code page 932, a Japanese font
    for the dialog, no window-manager delays)."""
    if shutil.which("wine") is None:
        raise WineError("Wine is not installed: run tools/setup-debian.sh as root")
    shutil.rmtree(prefix, ignore_errors=True)
    for stale in (prefix + ".lock", prefix + ".log"):
        if os.path.exists(stale):
            os.remove(stale)
    env = wine_environment(prefix, display)
    result = subprocess.run([os.path.join(TOOLS, "wine-prefix.sh")], env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=900)
    if result.returncode != 0:
        raise WineError("making the Wine prefix failed; see " + prefix + ".log")


def stop_session(session):
    """Ends the prefix's wineserver and the Xvfb that this run started, if any."""
    env = wine_environment(session["prefix"], session["display"])
    try:
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        pass
    pid = session.get("xvfb_pid")
    if pid:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass


def save_session(path, session):
    with open(path, "w") as f:
        json.dump(session, f)


def load_session(path):
    try:
        with open(path) as f:
            return json.load(f)
    except FileNotFoundError:
        raise WineError("no Wine session: run the setup step first (" + path + ")")


class Program:
    """A Windows program started under Wine; its output goes to a file."""

    def __init__(self, session, args, cwd, output_path):
        self.output_path = output_path
        self.output = open(output_path, "wb")
        self.errors = open(output_path + ".err", "wb")
        self.process = subprocess.Popen(
            [session["loader"]] + args, cwd=cwd, env=wine_environment(session["prefix"], session["display"]),
            stdin=subprocess.DEVNULL, stdout=self.output, stderr=self.errors)

    @property
    def pid(self):
        return self.process.pid

    def wait(self, timeout):
        """The exit code, or None when the program was still running after `timeout`
        seconds (it is then killed)."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None
        finally:
            self.output.close()
            self.errors.close()

    def kill(self):
        try:
            self.process.send_signal(signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait(timeout=30)

    def text(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("utf-8", errors="replace")


def run_program(session, args, cwd, output_path, timeout):
    program = Program(session, args, cwd, output_path)
    code = program.wait(timeout)
    return code, program.text()


def drive_c(session):
    return os.path.join(session["prefix"], "drive_c")


def linux_path(session, windows_path):
    """The Linux path of a C: path in the prefix."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return os.path.join(drive_c(session), *windows_path[3:].split("\\"))


def registry_import(session, work, lines):
    """Applies .reg lines (the format of "Windows Registry Editor Version 5.00") in one
    reg.exe run."""
    path = os.path.join(work, "state.reg")
    text = "Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n"
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    code, out = run_program(session, ["reg", "import", "state.reg"], work,
                            os.path.join(work, "reg-import.log"), 120)
    if code != 0:
        raise WineError("reg import failed (%s): %s" % (code, out))


def registry_values(session, work, key):
    """The values of `key` as {name: (type, data text)} from reg query; None when the key
    does not exist."""
    code, out = run_program(session, ["reg", "query", key], work,
                            os.path.join(work, "reg-query.log"), 120)
    with open(os.path.join(work, "reg-query.log"), "rb") as f:
        raw = f.read()
    if code != 0:
        return None
    # reg.exe writes in the console's code page, 932 here.
    values = {}
    for line in raw.decode("cp932", errors="replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values
