#!/usr/bin/env python3
"""Quadrelink's benchmark: start-up, memory, idle and polling costs of the real
window (quadrelink-demo wired to a quadrelink-sim process) against the floor
program (bench/floor), both on a private Xvfb server.

    bench/run_bench.py BUILD_DIR

Rounds alternate Quadrelink and the floor (A B A B ...); every figure is the
median of the rounds with min-max beside it. Nothing here asserts: the table
says which targets were met, and the exit status is 0 whenever the run itself
worked. The table and the raw figures (results.json) are left in
BUILD_DIR/bench-results.

Environment (defaults in brackets):
  BENCH_ROUNDS [5]       rounds of A then B
  BENCH_IDLE_S [30]      idle window with the port open, both programs
  BENCH_POLL_S [60]      polling window, both programs
  BENCH_REPLY_S [15]     reply-delay window under perf, right after it
  BENCH_HANGUP_S [10]    window after the sensor side has gone, Quadrelink only
  BENCH_SETTLE_S [1]     wait after the window is mapped before memory is read

A window of 0 s leaves its figures out. A quick run, how each figure is taken
and which part of this file takes it: docs/PERFORMANCE.md.
"""

import contextlib
import ctypes
import json
import os
import platform
import shlex
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path
from statistics import median

ROUNDS = int(os.environ.get("BENCH_ROUNDS") or 5)
IDLE_S = float(os.environ.get("BENCH_IDLE_S") or 30)
POLL_S = float(os.environ.get("BENCH_POLL_S") or 60)
REPLY_S = float(os.environ.get("BENCH_REPLY_S") or 15)
HANGUP_S = float(os.environ.get("BENCH_HANGUP_S") or 10)
SETTLE_S = float(os.environ.get("BENCH_SETTLE_S") or 1)
# Where the window reads the answer to a distance query, by its C++ name.
REPLY_READ_FUNCTION = "quadrelink::SensorDialogue::distanceReplyDue()"


def log(message):
    print(f"[bench {time.strftime('%H:%M:%S')}] {message}", flush=True)


def load_average():
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


# --- processes -------------------------------------------------------------

def become_subreaper():
    # Programs started by launchmapped outlive it; as their reaper this driver
    # can wait for them by pid and leaves no zombies behind.
    PR_SET_CHILD_SUBREAPER = 36
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def alive(pid):
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError):
        return False
    return state not in ("Z", "X")


def wait_until(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.02)
    return predicate()


def stop(pid):
    """SIGTERM to one process of ours, then reap it (SIGKILL if it hangs)."""
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    if not wait_until(lambda: not alive(pid), 5):
        os.kill(pid, signal.SIGKILL)
    with contextlib.suppress(ChildProcessError):
        os.waitpid(pid, 0)


def start_xvfb(work):
    # The server picks a free display itself and writes its number to the
    # pipe once it accepts connections: no other X server on the machine can
    # share it.
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        stdout=open(work / "xvfb.log", "w"), stderr=subprocess.STDOUT, pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number.isdigit():
        raise RuntimeError("Xvfb did not start")
    os.environ["DISPLAY"] = f":{number}"
    return server


class Sensor:
    """One quadrelink-sim process serving the port behind a fixed link."""

    def __init__(self, sim, work, tag):
        self.link = work / "port1"
        self.log = work / f"sensor-{tag}.log"
        self.process = subprocess.Popen(
            [str(sim), "--link", str(self.link), "--log", str(self.log)],
            stdout=subprocess.DEVNULL, stderr=open(work / f"sensor-{tag}.err", "w"))
        if not wait_until(self.link.exists, 10):
            raise RuntimeError("the simulated sensor did not start")

    def queries(self, query):
        """CLOCK_MONOTONIC (ms) of every line `query` in the sensor's log."""
        lines = self.log.read_text().splitlines() if self.log.exists() else []
        return [float(stamp) for stamp, _, text in (line.partition(" ") for line in lines)
                if text == query]

    def close(self):
        """Hangs up: the port's other end goes away."""
        if self.process.poll() is None:
            stop(self.process.pid)


# --- measurements ----------------------------------------------------------

def counters(pid):
    """tid -> (on-CPU ns, context switches) of the process's live threads."""
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        task = Path(f"/proc/{pid}/task/{tid}")
        try:
            cpu_ns = int((task / "schedstat").read_text().split()[0])
            switches = sum(int(line.split()[1]) for line in (task / "status").read_text().splitlines()
                           if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")))
        except (FileNotFoundError, ProcessLookupError):
            continue
        result[int(tid)] = (cpu_ns, switches)
    return result


def measure(pid, name, seconds):
    """CPU (% of a core) and wake-ups (/s) of the process over `seconds`; every
    wake-up of a sleeping thread ends in a context switch."""
    start, before = time.monotonic(), counters(pid)
    time.sleep(seconds)
    elapsed, after = time.monotonic() - start, counters(pid)
    spent = {tid: (ns - before.get(tid, (0, 0))[0], sw - before.get(tid, (0, 0))[1])
             for tid, (ns, sw) in after.items()}
    return {f"{name}_cpu": 100.0 * sum(ns for ns, _ in spent.values()) / 1e9 / elapsed,
            f"{name}_wakeups": sum(sw for _, sw in spent.values()) / elapsed,
            f"{name}_main_wakeups": spent.get(pid, (0, 0))[1] / elapsed}


def memory(pid):
    status = dict(line.split(":", 1) for line in Path(f"/proc/{pid}/status").read_text().splitlines())
    maps = (line.split(None, 5) for line in Path(f"/proc/{pid}/maps").read_text().splitlines())
    libraries = {parts[5] for parts in maps if len(parts) == 6 and ".so" in Path(parts[5]).name}
    return {"rss_mib": int(status["VmRSS"].split()[0]) / 1024.0,
            "hwm_mib": int(status["VmHWM"].split()[0]) / 1024.0, "libraries": len(libraries)}


def port_descriptor(pid):
    for fd in os.listdir(f"/proc/{pid}/fd"):
        with contextlib.suppress(OSError):
            if os.readlink(f"/proc/{pid}/fd/{fd}").startswith("/dev/pts/"):
                return int(fd)
    return None


def window_facts(facts_file):
    """Where "Run" is and the designed intervals, as the build wrote them from
    the window's own table (BUILD_DIR/window-facts, which the tests read too)."""
    facts = dict(word.split("=", 1) for word in shlex.split(facts_file.read_text()))
    facts = {"run_button": facts["run_button"], "run_centre": facts["run_centre"].split(),
             "period_ms": float(facts["polling_period_ms"]),
             "reply_ms": float(facts["distance_reply_delay_ms"]),
             # as the sensor logs it: without its carriage return
             "query": facts["distance_query"]}
    log(f"\"{facts['run_button']}\" at {','.join(facts['run_centre'])}; polling every "
        f"{facts['period_ms']:g} ms, reply read after {facts['reply_ms']:g} ms")
    return facts


class ReplyProbe:
    """perf record of the query writes and the window's reads of the port."""

    def __init__(self, binary, work):
        self.group = f"qlbench{os.getpid()}"
        self.work = work
        self.reason = None  # why the probe is not there; None once it is
        if not shutil.which("perf"):
            self.reason = "perf is not installed"
            return
        symbol = self.mangled_name(binary, REPLY_READ_FUNCTION)
        if symbol is None:
            self.reason = f"{REPLY_READ_FUNCTION} is not in {binary}"
            return
        added = subprocess.run(["perf", "probe", "-q", "-x", str(binary), "--add",
                                f"{self.group}:input={symbol}"], capture_output=True, text=True)
        if added.returncode != 0:
            self.reason = ": ".join(["perf probe failed", *added.stderr.strip().splitlines()[-1:]])

    @staticmethod
    def mangled_name(binary, function):
        """The symbol of a C++ function, found by its readable name."""
        def symbols(*options):
            return subprocess.run(["nm", *options, "--defined-only", str(binary)],
                                  capture_output=True, text=True, check=True).stdout.splitlines()
        for raw, readable in zip(symbols(), symbols("-C")):
            if readable.split(None, 2)[-1] == function:
                return raw.split(None, 2)[-1]
        return None

    def delays(self, pid, tag):
        """Query write to reply read (ms), each one over REPLY_S."""
        fd = port_descriptor(pid)
        if self.reason or fd is None:
            return []
        output = self.work / f"reply-{tag}.data"
        with open(self.work / f"reply-{tag}.err", "w") as errors:
            subprocess.run(["perf", "record", "-q", "-o", str(output), "-e", f"{self.group}:input",
                            "-e", "syscalls:sys_enter_write", "--filter", f"fd == {fd}",
                            "-p", str(pid), "--", "sleep", str(REPLY_S)],
                           stdout=subprocess.DEVNULL, stderr=errors)
        script = subprocess.run(["perf", "script", "-i", str(output), "-F", "time,event"],
                                capture_output=True, text=True)
        delays, query = [], None
        for fields in (line.split() for line in script.stdout.splitlines()):
            if len(fields) < 2:
                continue
            stamp = float(fields[0].rstrip(":"))
            if "sys_enter_write" in fields[1]:
                query = stamp
            elif query is not None:
                delays.append((stamp - query) * 1000.0)
                query = None
        return delays

    def close(self):
        if self.reason is None:
            subprocess.run(["perf", "probe", "-q", "-d", f"{self.group}:*"], capture_output=True)


# --- one program, one round -----------------------------------------------

class Bench:
    """What every round shares: the programs, the work folder, the window's
    facts and the reply probe."""

    def __init__(self, paths, work, facts, probe):
        self.paths, self.work, self.facts, self.probe = paths, work, facts, probe

    @contextlib.contextmanager
    def launch(self, kind, tag):
        """The program mapped, against its own sensor: (pid, window, mapped ms, sensor)."""
        sensor = Sensor(self.paths["sim"], self.work, tag)
        pid = None
        try:
            # The program inherits the launcher's output and keeps it open, so
            # the launcher writes to a file, not to a pipe that would never
            # reach its end.
            output = self.work / f"program-{tag}.out"
            with open(output, "w") as report:
                status = subprocess.run([str(self.paths["launcher"]), str(self.paths[kind]),
                                         str(sensor.link)], stdout=report,
                                        stderr=subprocess.STDOUT, timeout=60).returncode
            text = output.read_text()
            line = next((l for l in text.splitlines() if l.startswith("pid=")), None)
            if status != 0 or line is None:
                raise RuntimeError(f"{self.paths[kind]} did not map a window: {text.strip()}")
            fields = dict(part.split("=", 1) for part in line.split())
            pid = int(fields["pid"])
            yield pid, fields["window"], float(fields["mapped_ms"]), sensor
        finally:
            if pid is not None:
                stop(pid)
            sensor.close()

    def run_program(self, kind, tag):
        with self.launch(kind, tag) as (pid, window, mapped_ms, sensor):
            figures = {"mapped_ms": mapped_ms, "load_at_start": load_average()}
            time.sleep(SETTLE_S)
            figures.update(memory(pid))
            if IDLE_S > 0:
                figures.update(measure(pid, "idle", IDLE_S))
            if POLL_S > 0:
                figures.update(self.poll(pid, window, sensor))
                if kind == "ours":
                    figures.update(self.reply_and_hang_up(pid, sensor, tag))
            return figures

    def poll(self, pid, window, sensor):
        subprocess.run(["xdotool", "mousemove", "--window", window, *self.facts["run_centre"],
                        "click", "1"], check=True)
        query = self.facts["query"]
        if not wait_until(lambda: len(sensor.queries(query)) >= 2, 5):
            raise RuntimeError("pressing Run sent no queries")
        first = time.monotonic() * 1000.0
        figures = measure(pid, "polling", POLL_S)
        last = time.monotonic() * 1000.0
        queries = [t for t in sensor.queries(query) if first <= t <= last]
        figures["periods_ms"] = [b - a for a, b in zip(queries, queries[1:])]
        return figures

    def reply_and_hang_up(self, pid, sensor, tag):
        # perf's probes cost the program a little on every hit and every context
        # switch, so the reply delay has a window of its own after the CPU figure.
        figures = {"reply_ms": self.probe.delays(pid, tag) if REPLY_S > 0 else []}
        if HANGUP_S > 0:
            sensor.close()
            figures.update(measure(pid, "hangup", HANGUP_S))
            figures["closed_and_up"] = port_descriptor(pid) is None and alive(pid)
        return figures


# --- the table --------------------------------------------------------------

# The figures every round gives: row, figure, digits, how Quadrelink compares
# with the floor ("x": the ratio of the medians with the rounds' ratios beside
# it; "+": the difference of the medians, then its unit), target, and whether
# the medians (Quadrelink's, the floor's or None) meet it.
ROUND_ROWS = [
    ("Start-up to window mapped (ms)", "mapped_ms", 1, "x", "<= x1.15", lambda a, b: a / b <= 1.15),
    ("VmRSS with the window up (MiB)", "rss_mib", 1, "+ MiB", "<= +3 MiB", lambda a, b: a - b <= 3),
    ("VmHWM with the window up (MiB)", "hwm_mib", 1, "+ MiB", "", None),
    ("Shared objects mapped", "libraries", 0, "+", "", None),
    # 0.01% of a core over 30 s is 3 ms: less than one scheduler tick.
    (f"Idle CPU, port open, {IDLE_S:g} s (% core)", "idle_cpu", 4, "+", "0 (resolution)",
     lambda a, b: a <= b + 0.01),
    ("Idle wake-ups, all threads (/s)", "idle_wakeups", 2, "+", "", None),
    ("Idle wake-ups, main thread (/s)", "idle_main_wakeups", 2, "+", "none periodic",
     lambda a, b: a <= b + 1.0 / IDLE_S),
    (f"Polling CPU, {POLL_S:g} s (% core)", "polling_cpu", 3, "x", "<= 0.5", lambda a, b: a <= 0.5),
    ("Polling wake-ups, all threads (/s)", "polling_wakeups", 1, "", "", None),
    ("Polling wake-ups, main thread (/s)", "polling_main_wakeups", 1, "", "", None),
]
HANGUP_ROW = (f"After hang-up CPU, {HANGUP_S:g} s (% core)", "hangup_cpu", 3, "", "< 1",
              lambda a, b: a < 1)


def spread(values, digits):
    return f"{median(values):.{digits}f} ({min(values):.{digits}f}-{max(values):.{digits}f})"


def verdict(ok):
    return "yes" if ok else "NO"


def round_row(label, key, digits, compare, target, meets, ours, floor):
    a = [run[key] for run in ours]
    b = [run[key] for run in floor] if all(key in run for run in floor) else None
    difference = ""
    if b and compare == "x":
        rounds = [x / y for x, y in zip(a, b)]
        difference = f"x{median(a) / median(b):.2f} ({min(rounds):.2f}-{max(rounds):.2f})"
    elif b and compare.startswith("+"):
        difference = f"{median(a) - median(b):+.{digits}f}{compare[1:]}"
    return (label, spread(a, digits), spread(b, digits) if b else "-", difference, target,
            verdict(meets(median(a), b and median(b))) if meets else "")


def sample_rows(name, ours, floor, nominal, tolerance, p99_limit):
    """Median, p99 and max deviation from the designed interval, of every
    sample of every round."""
    def figures(samples):
        deviations = sorted(abs(s - nominal) for s in samples)
        p99_rank = max(0, min(len(deviations) - 1, round(0.99 * len(deviations) + 0.5) - 1))
        return median(samples), deviations[p99_rank], deviations[-1]
    if not ours:
        return []
    middle, p99, worst = figures(ours)
    theirs = [f"{value:.3f}" for value in figures(floor)] if floor else ["-"] * 3
    return [(f"{name} median (ms, n={len(ours)})", f"{middle:.3f}", theirs[0],
             f"{middle - nominal:+.3f}", f"{nominal:g} +-{tolerance:g}",
             verdict(abs(middle - nominal) <= tolerance)),
            (f"{name} p99 |dev| (ms)", f"{p99:.3f}", theirs[1], "", f"<= {p99_limit:g}",
             verdict(p99 <= p99_limit)),
            (f"{name} max |dev| (ms)", f"{worst:.3f}", theirs[2], "", "", "")]


def table(results):
    ours, floor, facts = results["ours"], results["floor"], results["facts"]

    def samples(runs, key):
        return [value for run in runs for value in run.get(key, [])]
    rows = [round_row(*spec, ours, floor) for spec in ROUND_ROWS
            if all(spec[1] in run for run in ours)]
    rows += sample_rows("Poll period", samples(ours, "periods_ms"), samples(floor, "periods_ms"),
                        facts["period_ms"], 0.5, 3)
    replies = sample_rows("Query to reply read", samples(ours, "reply_ms"), [],
                          facts["reply_ms"], 2, 2)
    if not replies and POLL_S > 0 and REPLY_S > 0:
        replies = [("Query to reply read", results.get("reply_note", "n/a"), "-", "",
                    f"{facts['reply_ms']:g} +-2", "")]
    rows += replies
    if all("closed_and_up" in run for run in ours):
        rows.append(round_row(*HANGUP_ROW, ours, floor))
        rows.append(("  port closed, window still up",
                     verdict(all(run["closed_and_up"] for run in ours)), "-", "", "", ""))

    machine = results["machine"]
    loads = [run["load_at_start"].split()[0] for run in ours + floor]
    header = ("Figure", "Quadrelink", "Floor", "Ratio/diff", "Target", "Met")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(6)]
    lines = [f"Quadrelink benchmark, {machine['date']}",
             f"Machine: {machine['cpus']} CPUs, {machine['cpu_model']}, kernel "
             f"{machine['kernel']}; load at start {machine['load_start']}, "
             f"at end {machine['load_end']}; 1-min load at each launch "
             f"{min(loads)}-{max(loads)}",
             f"Rounds: {ROUNDS} (A B alternating), idle {IDLE_S:g} s, polling {POLL_S:g} s, "
             f"reply window {REPLY_S:g} s, after hang-up {HANGUP_S:g} s; "
             f"median (min-max) over rounds",
             ""]
    for r in [header] + rows:
        lines.append("  ".join(str(v).ljust(w) for v, w in zip(r, widths)).rstrip())
    return "\n".join(lines)


def machine_facts():
    model = next((line.split(":", 1)[1].strip()
                  for line in Path("/proc/cpuinfo").read_text().splitlines()
                  if line.startswith("model name")), "unknown")
    return {"date": time.strftime("%Y-%m-%d %H:%M %Z"), "cpus": os.cpu_count(),
            "cpu_model": model, "kernel": platform.release(), "load_start": load_average()}


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = Path(sys.argv[1]).resolve()
    paths = {
        "ours": build / "programs/quadrelink-demo/quadrelink-demo",
        "sim": build / "programs/quadrelink-sim/quadrelink-sim",
        "floor": build / "bench/quadrelink-bench-floor",
        "launcher": build / "bench/launchmapped",
        "facts": build / "window-facts",
    }
    missing = [str(path) for path in paths.values() if not path.exists()]
    missing += [tool for tool in ("Xvfb", "xdotool") if not shutil.which(tool)]
    if missing:
        print(f"bench: missing (build or install it first): {' '.join(missing)}", file=sys.stderr)
        return 1

    out = build / "bench-results"
    work = out / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    become_subreaper()
    machine = machine_facts()
    log(f"{ROUNDS} rounds; load {machine['load_start']}")

    xvfb = start_xvfb(work)
    probe = None
    results = {"ours": [], "floor": [], "machine": machine}
    try:
        facts = results["facts"] = window_facts(paths["facts"])
        probe = ReplyProbe(paths["ours"], work)
        if probe.reason:
            results["reply_note"] = f"n/a ({probe.reason})"
            log(f"reply delay not measured: {probe.reason}")
        bench = Bench(paths, work, facts, probe)
        # One unmeasured start of each, so that both find the same warm caches.
        for kind in ("ours", "floor"):
            with bench.launch(kind, f"warm-{kind}"):
                time.sleep(SETTLE_S)
        for number in range(1, ROUNDS + 1):
            for kind in ("ours", "floor"):
                figures = bench.run_program(kind, f"{number}-{kind}")
                results[kind].append(figures)
                log(f"round {number} {kind}: " + ", ".join(
                    f"{key} {figures[key]:.4g}" for key in
                    ("mapped_ms", "rss_mib", "idle_cpu", "polling_cpu", "hangup_cpu")
                    if key in figures) + f"; load {load_average()}")
    finally:
        if probe:
            probe.close()
        stop(xvfb.pid)

    machine["load_end"] = load_average()
    text = table(results)
    (out / "results.json").write_text(json.dumps(results, indent=1))
    (out / "results.txt").write_text(text + "\n")
    print(f"\n{text}\n\nRaw figures: {out / 'results.json'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
