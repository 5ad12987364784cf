"""What a screen reader gets from the running quadrelink-demo window over AT-SPI.

Run by screenreader_e2e.sh once the window is up and the simulated sensor has
seen the port open. Reads the tree on demand, presses "Run" through the
button's action, listens to the events while the distance is polled, shows the
About panel from the menu, and ends the sensor so that the port goes closed.
Exits 1 with every failed check listed.
"""

import argparse
import os
import signal
import sys
import time

import pyatspi
from gi.repository import GLib

APP_NAME = "quadrelink-demo"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)
    return condition


def pump(seconds, until=lambda: False):
    """Delivers AT-SPI events for up to `seconds`, or until `until()` holds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)
    return until()


def walk(accessible):
    yield accessible
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def interfaces(accessible):
    try:
        return pyatspi.listInterfaces(accessible)
    except Exception:
        return []


def text_of(accessible):
    """The text a screen reader reads from an object: its Text interface."""
    if "Text" not in interfaces(accessible):
        return None
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def describe(accessible):
    states = [pyatspi.stateToString(s) for s in accessible.getState().getStates()]
    return "%s %r text=%r states=%s" % (accessible.getRoleName(), accessible.name,
                                       text_of(accessible), ",".join(states))


def find_application():
    desktop = pyatspi.Registry.getDesktop(0)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == APP_NAME and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def find(app, role, name_part, readable=False):
    """The object of `role` whose accessible name contains `name_part`; with
    `readable`, one that has a text to read (a readout, not its caption)."""
    for accessible in walk(app):
        if accessible.getRole() == role and name_part.lower() in (accessible.name or "").lower():
            if not readable or text_of(accessible) is not None:
                return accessible
    return None


def press(accessible):
    action = accessible.queryAction()
    action.doAction(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim-pid", type=int, required=True)
    arguments = parser.parse_args()

    app = find_application()
    if not check(app is not None, "the window appears on the AT-SPI bus"):
        return 1
    print("The tree as a screen reader gets it:")
    for accessible in walk(app):
        print("    " + describe(accessible))

    # Events are recorded from here on, with the name of their source.
    events = []

    def record(event):
        events.append((event.type, event.source.name or "", event.detail1, event.any_data))

    for kind in ("object:text-changed", "object:state-changed", "object:property-change"):
        pyatspi.Registry.registerEventListener(record, kind)
    pump(1)

    # --- Reading on demand ------------------------------------------------------
    distance = find(app, pyatspi.ROLE_LABEL, "Absolute distance", readable=True)
    response = find(app, pyatspi.ROLE_LABEL, "Response", readable=True)
    port = find(app, pyatspi.ROLE_LABEL, "Port", readable=True)
    for readout, what in ((distance, "distance readout"), (response, "response readout"),
                          (port, "port state")):
        check(readout is not None, "the %s is a label whose text can be read" % what)
    check(response is not None and text_of(response) == "UC1000-30GM-IUR2-K-V15",
          "the response readout reads the model it shows")
    check(port is not None and text_of(port) == "open", "the port state reads 'open'")

    # Visible labels are part of the names, so that what is seen can be said.
    for role, kind, visible in ((pyatspi.ROLE_PUSH_BUTTON, "button", "Run"),
                                (pyatspi.ROLE_PUSH_BUTTON, "button", "Stop"),
                                (pyatspi.ROLE_PUSH_BUTTON, "button", "Out"),
                                (pyatspi.ROLE_COMBO_BOX, "box", "COM"),
                                (pyatspi.ROLE_COMBO_BOX, "box", "rate"),
                                (pyatspi.ROLE_COMBO_BOX, "box", "odd/even"),
                                (pyatspi.ROLE_COMBO_BOX, "box", "Bit"),
                                (pyatspi.ROLE_COMBO_BOX, "box", "stop bit"),
                                (pyatspi.ROLE_TEXT, "text box", "Command")):
        check(find(app, role, visible) is not None,
              "a %s is named with its visible label %r" % (kind, visible))

    # --- Polling: a new reading is told, the designed blank is not -----------------
    run = find(app, pyatspi.ROLE_PUSH_BUTTON, "Run")
    if check(run is not None and distance is not None,
             "the Run button and the distance readout are found"):
        before = len(events)
        press(run)
        samples = []
        deadline = time.monotonic() + 4
        while time.monotonic() < deadline:
            pump(0.03)
            samples.append(text_of(distance))
        told = [e[3] for e in events[before:]
                if e[0] == "object:text-changed:insert" and e[1] == distance.name]
        print("distance readings told: %d, the first %r" % (len(told), told[:5]))
        check(len(told) >= 3, "new readings are told as inserted text (%d in 4 s)" % len(told))
        check(all(told), "no blank is told")
        check(all(a != b for a, b in zip(told, told[1:])), "no reading is told twice in a row")
        first = next((i for i, s in enumerate(samples) if s), len(samples))
        check(first < len(samples) and all(samples[first:]),
              "read on demand while polling, the distance is never blank (%d reads)"
              % len(samples))

    # --- About: the panel's opening is noticeable, it and its logo are named ---------
    about_item = find(app, pyatspi.ROLE_MENU_ITEM, "About")
    if check(about_item is not None, "the About menu item is found"):
        before = len(events)
        press(about_item)
        opened = pump(5, lambda: any(e[0] == "object:state-changed:showing" and e[2] == 1
                                     and "about" in e[1].lower() for e in events[before:]))
        check(opened, "showing the About panel raises a showing event from a panel named About")
    panel = find(app, pyatspi.ROLE_PANEL, "About")
    check(panel is not None and panel.getState().contains(pyatspi.STATE_SHOWING),
          "the About panel is named and showing")
    logo = next((a for a in walk(app) if a.getRole() == pyatspi.ROLE_IMAGE), None)
    check(logo is not None and bool(logo.name),
          "the logo is named: %r" % (logo.name if logo is not None else None))

    # --- The port goes closed: the state change is told, and read on demand ---------
    before = len(events)
    os.kill(arguments.sim_pid, signal.SIGTERM)
    port_name = port.name if port is not None else "Port state"
    closed = pump(10, lambda: any(e[0] == "object:text-changed:insert" and e[1] == port_name
                                  and e[3] == "closed" for e in events[before:]))
    check(closed, "the port closing is told as the port state's new text 'closed'")
    check(port is not None and text_of(port) == "closed", "the port state reads 'closed'")
    if distance is not None:
        # The lost sensor gives "XXXXXX" at every tick, each after the blank: told
        # once. A reading on its way when the sensor ended may come first.
        pump(3)
        told = [e[3] for e in events[before:]
                if e[0] == "object:text-changed:insert" and e[1] == distance.name]
        while told and told[0] != "XXXXXX":
            told.pop(0)
        check(told == ["XXXXXX"], "an unchanging reading over 15 ticks is told once: %r" % told)

    print("Events seen: %s" % sorted({e[0] + " from " + repr(e[1]) for e in events}))
    print("%d of the checks failed" % len(failures) if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
