#!/usr/bin/env python3
"""signalpattern.py PATTERN LOCKFILE -- COMMAND [ARG...]

Starts COMMAND, waits until LOCKFILE names it (its port is open), sends it one
pattern of termination signals and waits for it to end. Prints "status N" with
N as a shell reports it (128 + the signal that ended it), or "status hung".

Patterns:
  at-lock   SIGTERM the moment the lock file names the program, before its
            window is up
  double    SIGHUP, another about 100 microseconds later, a third 1 ms after
  burst     1,000 signals, SIGTERM, SIGINT and SIGHUP in turn, 5 microseconds
            apart
  terminal  COMMAND runs in a terminal session of its own; the terminal closes
            as a terminal window does: its shell's SIGHUP, then the kernel's
            hang-up (SIGCONT and SIGHUP)
"""
import os
import pty
import signal
import subprocess
import sys
import time


def names(lockfile, pid):
    try:
        with open(lockfile, "rb") as f:
            return f.readline().strip() == str(pid).encode()
    except OSError:
        return False


def spin(seconds):
    end = time.perf_counter() + seconds
    while time.perf_counter() < end:
        pass


def main():
    pattern, lockfile = sys.argv[1], sys.argv[2]
    command = sys.argv[sys.argv.index("--") + 1:]
    master = None
    if pattern == "terminal":
        pid, master = pty.fork()
        if pid == 0:
            os.execvp(command[0], command)
    else:
        pid = os.fork()
        if pid == 0:
            for s in (signal.SIGINT, signal.SIGHUP, signal.SIGTERM):
                signal.signal(s, signal.SIG_DFL)
            os.execvp(command[0], command)

    deadline = time.monotonic() + 120  # reached only by a program that never opens
    while not names(lockfile, pid):
        if time.monotonic() > deadline or os.waitpid(pid, os.WNOHANG) != (0, 0):
            print("status never-opened")
            return
        if pattern != "at-lock":
            time.sleep(0.05)
    if pattern != "at-lock":
        # The window is shown: the program's event loop runs and waits.
        try:
            subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(pid)],
                           stdout=subprocess.DEVNULL, timeout=60, check=False)
        except subprocess.TimeoutExpired:
            pass  # its end is then waited for below, and reported

    try:
        if pattern == "at-lock":
            os.kill(pid, signal.SIGTERM)
        elif pattern == "double":
            os.kill(pid, signal.SIGHUP)
            spin(100e-6)
            os.kill(pid, signal.SIGHUP)
            spin(1e-3)
            os.kill(pid, signal.SIGHUP)
        elif pattern == "burst":
            kinds = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
            for i in range(1000):
                os.kill(pid, kinds[i % 3])
                spin(5e-6)
        elif pattern == "terminal":
            os.kill(pid, signal.SIGHUP)
            spin(100e-6)
            os.close(master)
            master = None
    except ProcessLookupError:
        pass

    deadline = time.monotonic() + 30
    while True:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        if master is not None:
            try:
                os.read(master, 4096)  # keep a terminal's output flowing
            except OSError:
                pass
        if time.monotonic() > deadline:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
            print("status hung")
            return
        time.sleep(0.05)
    if os.WIFSIGNALED(status):
        print(f"status {128 + os.WTERMSIG(status)}")
    else:
        print(f"status {os.WEXITSTATUS(status)}")


main()
