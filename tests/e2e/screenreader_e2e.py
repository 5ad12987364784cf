"""What Orca says to an operator who works the quadrelink-demo window by keyboard.

Run by screenreader_e2e.sh once Orca speaks and the window has opened the
simulated sensor's port. Presses the keys of each row of steps(), as an operator
would, and waits for what Orca says to speech-dispatcher, read from its
protocol log. A key that moves the focus is followed by the next one only once
Orca has said where the focus went: Orca presents only the last of focus
changes that come faster than it speaks. Exits 1 with every failed row listed.
"""

import argparse
import re
import shlex
import subprocess
import sys
import time
from datetime import datetime

import pyatspi

# The simulated sensor's distances: four digits, 0300 to 0900 millimetres.
DISTANCE = r"\b0[3-9]\d\d\b"
MODEL = "UC1000-30GM-IUR2-K-V15"

# A key is a name for xdotool, sent at once; or (name, what Orca says to it),
# the next key waiting for that; ANYTHING is any word of Orca's.
ANYTHING = r"."
# Alt, held as a person holds it until Orca has taken it, then what the menu
# bar says. (Qt's accessibility bridge delivers a late copy of every key once
# the screen reader has seen it; the window ignores copied Alts while its menu
# bar is open, and the test does not lean on that.)
MENU = "menu"
# Flat review: Insert+KP_Home reads the first line, KP_Page_Up the next one.
REVIEW_FIRST, REVIEW_NEXT = ("Insert+KP_Home", ANYTHING), ("KP_Page_Up", ANYTHING)


def tabs(facts, start, end, key="Tab"):
    """Tab (or shift+Tab) from one control to another by the window's tab
    order, each press waiting for the name of the control it reaches."""
    stops = facts["tab_stops"].split()
    names = facts["tab_stop_names"].split("|")
    step = 1 if key == "Tab" else -1
    at, keys = stops.index(start), []
    while stops[at] != end:
        at = (at + step) % len(stops)
        keys.append((key, re.escape(names[at])))
    return keys


def steps(facts):
    """(what the operator does, keys, what Orca must say after them: a
    pattern, or None for silence while the row's seconds pass; a pattern it
    must not say). Orcas differ in wording only: "push button" or "button", a
    full stop after the role or not, and a place in a list said or not. The
    keypad keys are Orca's desktop layout: KP_Enter "where am I"."""
    return [
        ("the focus starts in the port box, with its state",
         [], r"COM port number editable combo box\.? 1\. port open", None),
        ("Tab to Run, past the parity letter and its word", tabs(facts, "Combo1_0", "Command1"),
         r"Parity \(odd/even\) editable combo box\.? n\. none\..*Run polling (push )?button", None),
        ("Space starts polling; Tab to Stop", ["space"] + tabs(facts, "Command1", "Command2"),
         r"Stop polling (push )?button", None),
        ("polling on, nothing pressed: no reading and no blank is spoken by itself",
         [], None, r"."),
        ("F5 says the distance", ["F5"], r"Absolute distance: " + DISTANCE, r"no reading"),
        ("flat review reads the distance", [REVIEW_FIRST] + [REVIEW_NEXT] * 3, DISTANCE, None),
        ("Space stops polling; the command box", ["space"] + tabs(facts, "Command2", "Text1"),
         r"Command", None),
        ("Out with another command first",
         ["ctrl+a", "X", "X"] + tabs(facts, "Text1", "Command3") + ["space"],
         r"Response: E01", MODEL),
        ("Out with ID: the answer is said without another key",
         tabs(facts, "Command3", "Text1", "shift+Tab") + ["ctrl+a", "I", "D"]
         + tabs(facts, "Text1", "Command3") + ["space"], r"Response: " + MODEL, None),
        ("Tab back to the port box", tabs(facts, "Command3", "Combo1_0"),
         r"COM port number editable combo box\.? 1\. port open", None),
        ("Down chooses port 2, which does not open: said once", ["Down"], r"port closed", None),
        ("where am I keeps the box's name and its state", ["KP_Enter"],
         r"COM port number editable combo box\.? 2\.( \d+ of \d+\.)? port closed", None),
        ("Up chooses port 1 again", ["Up"], r"port open", None),
        ("About from the menu", [MENU, "Return"], r"About panel shown", None),
        ("flat review reads the About texts, not what they cover",
         [REVIEW_FIRST, REVIEW_NEXT], r"Velmorantix", r"Run polling|Absolute distance"),
        ("Tab, and About again hides it", [("Tab", ANYTHING), MENU, "Return"],
         r"About panel hidden", None),
        ("a baud rate the port refuses: the message is said",
         ["ctrl+a", "1", "2", "3", "4", "5", ("Tab", ANYTHING), "Down"], r"Недопустимо", None),
    ]


QUIET_SECONDS = 4  # a window measured: a row that expects silence listens this long
ECHO_SECONDS = 1  # a window measured: a row's words said twice come within it
PATIENCE = 30  # seconds a row or key waits for what it expects; only a failure runs out

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)
    return condition


class SpeechLog:
    """The utterances in speech-dispatcher's protocol log, with their times."""

    LINE = re.compile(r"^\[(\w+ \w+ +\d+ [\d:]+ \d+) : (\d+)\] speechd: +\d+:DATA:\|<speak>(.*)</speak>")

    def __init__(self, path):
        self.path = path
        self.seen = 0

    def all(self):
        with open(self.path, encoding="utf-8", errors="replace") as log:
            lines = log.read().splitlines()
        utterances = []
        for line in lines:
            match = self.LINE.match(line)
            if match:
                when = datetime.strptime(match.group(1), "%a %b %d %H:%M:%S %Y").timestamp()
                text = re.sub(r"\s+", " ", re.sub(r"<[^>]*>", "", match.group(3))).strip()
                utterances.append((when + int(match.group(2)) / 1e6, text))
        return utterances

    def new(self):
        """The utterances since the last call."""
        utterances = self.all()
        fresh, self.seen = utterances[self.seen:], len(utterances)
        return fresh


def heard(pattern, said):
    """When what was said first matched `pattern`: Orca speaks a control's
    name, value and description as separate utterances."""
    for end in range(1, len(said) + 1):
        if re.search(pattern, " ".join(text for _, text in said[:end])):
            return said[end - 1][0]
    return None


def hear(log, pattern, said):
    """Reads the log into `said` until what it holds since then matches
    `pattern`, or PATIENCE runs out; whether it matched."""
    start, end = len(said), time.monotonic() + PATIENCE
    while time.monotonic() < end:
        said += log.new()
        if heard(pattern, said[start:]) is not None:
            return True
        time.sleep(0.1)
    return False


def press(window, keys, log):
    # Keys sent to a window (XSendEvent) never reach Orca: the window needs the
    # focus. Focusing it again when it has it would make the menu bar, opened
    # with Alt, close at once.
    focused = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True)
    if focused.stdout.strip() != window:
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=False)
    last, said = time.time(), []
    for key in keys:
        last = time.time()
        said += log.new()  # what came before this key is not its answer
        if key == MENU:
            subprocess.run(["xdotool", "keydown", "alt"], check=True)
            hear(log, r"\balt\b", said)
            subprocess.run(["xdotool", "keyup", "alt"], check=True)
            hear(log, r"\bAbout\.$", said)
            continue
        name, answer = key if isinstance(key, tuple) else (key, None)
        subprocess.run(["xdotool", "key", name], check=True)
        if answer is not None:
            hear(log, answer, said)
    return last, said


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--demo-pid", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--facts", required=True)
    arguments = parser.parse_args()
    with open(arguments.facts, encoding="utf-8") as facts_file:
        facts = dict(word.split("=", 1) for word in shlex.split(facts_file.read()))

    windows = []
    deadline = time.monotonic() + 30
    while not windows and time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                                arguments.demo_pid, "--name", re.escape(facts["caption_start"])],
                               capture_output=True, text=True)
        windows = found.stdout.split()
        time.sleep(0.2)
    if not check(bool(windows), "the window appears"):
        return 1
    window = windows[-1]

    # From Orca's start on: the first row hears the window take the focus.
    log = SpeechLog(arguments.log)
    print("%-70s %s" % ("operator", "Orca said"))
    for what, keys, expected, forbidden in steps(facts):
        pressed, said = press(window, keys, log)
        if expected is None:
            end = time.monotonic() + QUIET_SECONDS
            while time.monotonic() < end:
                said += log.new()
                time.sleep(0.2)
        else:
            end = time.monotonic() + PATIENCE
            while time.monotonic() < end and heard(expected, said) is None:
                said += log.new()
                time.sleep(0.1)
            # What follows the expected utterance closely belongs to the row too.
            end = time.monotonic() + ECHO_SECONDS
            while time.monotonic() < end:
                said += log.new()
                time.sleep(0.1)
        texts = [text for _, text in said]
        print("%-70s %s" % (what, " | ".join(texts)))
        if expected is not None:
            hit = heard(expected, said)
            if check(hit is not None, "%s: %r said" % (what, expected)):
                print("     %.2f s after the last key" % (hit - pressed))
            check(sum(bool(re.search(expected, text)) for text in texts) <= 1,
                  "%s: said once" % what)
        if forbidden is not None:
            check(not any(re.search(forbidden, text) for text in texts),
                  "%s: nothing like %r said" % (what, forbidden))

    # The refusal message carries its language, for a screen reader that
    # switches voices (Orca 43 reads it with its default voice).
    message = None
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quadrelink-demo":
            message = pyatspi.findDescendant(
                app, lambda a: a is not None and "Text" in pyatspi.listInterfaces(a)
                and a.queryText().getText(0, -1) == "Недопустимо")
    attributes = message.queryText().getAttributeRun(0, True)[0] if message is not None else ""
    check("language:ru" in attributes, "the message's text is marked Russian: %r" % attributes)
    press(window, ["Return"], log)

    print("%d of the checks failed" % len(failures) if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
