"""Driven by bench/alt-tap in the screen-reader test's session: presses Alt
held for each of ALT_TAP_HOLDS milliseconds, ALT_TAP_TRIALS times, and counts
how often the menu bar is open afterwards (its item selected, as AT-SPI shows
it). Escape closes it between presses."""

import argparse
import os
import subprocess
import time

import pyatspi

SETTLE_S = 1.0  # a window measured: a menu bar that closes again does so within it


def menu_bar_open():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quadrelink-demo":
            bar = pyatspi.findDescendant(app, lambda a: a is not None
                                         and a.getRole() == pyatspi.ROLE_MENU_BAR)
            item = bar.getChildAtIndex(0)
            return any(s.contains(x) for s in (item.getState(), bar.getState())
                       for x in (pyatspi.STATE_SELECTED, pyatspi.STATE_FOCUSED))
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--demo-pid", required=True, type=int)
    parser.add_argument("--log")
    parser.add_argument("--facts")
    arguments = parser.parse_args()
    holds = [int(h) for h in os.environ["ALT_TAP_HOLDS"].split(",")]
    trials = int(os.environ["ALT_TAP_TRIALS"])
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                             str(arguments.demo_pid)], capture_output=True, text=True,
                            timeout=60).stdout.split()[-1]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    opened = {hold: 0 for hold in holds}
    for _ in range(trials):
        for hold in holds:
            subprocess.run(["xdotool", "keydown", "alt"], check=True)
            time.sleep(hold / 1000)
            subprocess.run(["xdotool", "keyup", "alt"], check=True)
            time.sleep(SETTLE_S)
            if menu_bar_open():
                opened[hold] += 1
                subprocess.run(["xdotool", "key", "Escape"], check=True)
                time.sleep(SETTLE_S)
    load = open("/proc/loadavg", encoding="ascii").read().split()[0]
    for hold in holds:
        print(f"Alt held {hold:4d} ms: menu bar open {opened[hold]} of {trials}")
    print(f"load average at the end: {load}")


if __name__ == "__main__":
    main()
