#!/usr/bin/env python3
"""Quadrelink's benchmark: start-up, memory, idle and polling costs of the real
window (quadrelink-demo wired to a quadrelink-sim process) against the floor
program (bench/floor), both on a private Xvfb server.

    bench/run_bench.py BUILD_DIR

Rounds alternate Quadrelink and the floor (A B A B ...); every figure is the
median of the rounds with min-max beside it. Nothing here asserts: the table
says which targets were met, and the exit status is 0 whenever the run itself
worked.

Environment (defaults in brackets):
  BENCH_ROUNDS [5]       rounds of A then B
  BENCH_IDLE_S [30]      idle window with the port open, both programs
  BENCH_POLL_S [60]      polling window, both programs
  BENCH_REPLY_S [15]     reply-delay window under perf, right after it
  BENCH_HANGUP_S [10]    window after the sensor side has gone, Quadrelink only
  BENCH_SETTLE_S [1]     wait after the window is mapped before memory is read
  BENCH_OUT [BUILD_DIR/bench-results]   raw figures (results.json) and the table

A quick run: BENCH_ROUNDS=2 BENCH_IDLE_S=5 BENCH_POLL_S=10 BENCH_REPLY_S=5
BENCH_HANGUP_S=3. A window of 0 s leaves its figures out.

How each figure is taken:
  start-up   launchmapped forks the program after selecting SubstructureNotify
             on the root window; fork to MapNotify, both on CLOCK_MONOTONIC.
  memory     VmRSS and VmHWM from /proc/PID/status, shared objects from the
             distinct *.so* paths in /proc/PID/maps.
  CPU        sum over the process's threads of /proc/PID/task/TID/schedstat
             (on-CPU nanoseconds); utime+stime ticks of /proc/PID/stat beside it.
  wake-ups   voluntary + involuntary context switches of every thread
             (/proc/PID/task/TID/status); each wake-up of a sleeping thread ends
             in one.
  period     the simulated sensor's log: CLOCK_MONOTONIC of every distance
             query line.
  reply      perf: the write(2) of the query to the port's descriptor (syscall
             tracepoint) to the next entry of SensorDialogue::distanceReplyDue()
             (uprobe), where the window takes the answer from the port. Skipped
             when perf cannot place the probe.

Where "Run" is, the polling period, the reply delay and the distance query are
not typed here: quadrelink-window-facts reads them from the program (the button
by its object name, the intervals and the query from the sensor dialogue), on
the benchmark's own display.
"""

import ctypes
import json
import os
import platform
import shutil
import shlex
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

TICK_HZ = os.sysconf("SC_CLK_TCK")
# Filled in from quadrelink-window-facts by main().
POLL_PERIOD_MS = None
REPLY_DELAY_MS = None
RUN_BUTTON = None
DISTANCE_QUERY = None  # as the sensor logs it: without its carriage return
# Where the window reads the answer to a distance query, by its C++ name.
REPLY_READ_FUNCTION = "quadrelink::SensorDialogue::distanceReplyDue()"


def env_number(name, default, kind=float):
    value = os.environ.get(name)
    return kind(value) if value else default


ROUNDS = env_number("BENCH_ROUNDS", 5, int)
IDLE_S = env_number("BENCH_IDLE_S", 30.0)
POLL_S = env_number("BENCH_POLL_S", 60.0)
REPLY_S = env_number("BENCH_REPLY_S", 15.0)
HANGUP_S = env_number("BENCH_HANGUP_S", 10.0)
SETTLE_S = env_number("BENCH_SETTLE_S", 1.0)


def log(message):
    print(f"[bench {time.strftime('%H:%M:%S')}] {message}", flush=True)


def load_average():
    return Path("/proc/loadavg").read_text().split()[:3]


# --- processes -------------------------------------------------------------

def become_subreaper():
    # Programs started by launchmapped outlive it; as their reaper this driver
    # can wait for them by pid and leaves no zombies behind.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_CHILD_SUBREAPER = 36
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def alive(pid):
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError):
        return False
    return state not in ("Z", "X")


def stop(pid, timeout=5.0):
    """SIGTERM to one process of ours, then wait for it (SIGKILL if it hangs)."""
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + timeout
    while alive(pid) and time.monotonic() < deadline:
        time.sleep(0.02)
    if alive(pid):
        os.kill(pid, signal.SIGKILL)
        while alive(pid):
            time.sleep(0.02)
    try:
        os.waitpid(pid, 0)
    except ChildProcessError:
        pass


def wait_until(predicate, timeout, step=0.02):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class Xvfb:
    def __init__(self, work):
        # The server picks a free display itself and writes its number to the
        # pipe once it accepts connections: no other X server on the machine
        # can share it.
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            stdout=open(work / "xvfb.log", "w"), stderr=subprocess.STDOUT,
            pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number.isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        os.environ["DISPLAY"] = self.display

    def close(self):
        stop(self.process.pid)


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

    def queries(self):
        times = []
        if self.log.exists():
            for line in self.log.read_text().splitlines():
                stamp, _, text = line.partition(" ")
                if text == DISTANCE_QUERY:
                    times.append(float(stamp))
        return times

    def hang_up(self):
        stop(self.process.pid)

    def close(self):
        if self.process.poll() is None:
            stop(self.process.pid)


# --- measurements ----------------------------------------------------------

def threads(pid):
    """tid -> (name, on-CPU ns, context switches) for the live threads."""
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        base = f"/proc/{pid}/task/{tid}"
        try:
            name = Path(f"{base}/comm").read_text().strip()
            cpu_ns = int(Path(f"{base}/schedstat").read_text().split()[0])
            switches = sum(int(line.split()[1])
                           for line in Path(f"{base}/status").read_text().splitlines()
                           if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")))
        except (FileNotFoundError, ProcessLookupError):
            continue
        result[int(tid)] = (name, cpu_ns, switches)
    return result


def ticks(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


class Window:
    """CPU and wake-ups of one process over one stretch of time."""

    def __init__(self, pid):
        self.pid = pid
        self.start = time.monotonic()
        self.threads = threads(pid)
        self.ticks = ticks(pid)

    def finish(self):
        elapsed = time.monotonic() - self.start
        end = threads(self.pid)
        cpu_ns = switches = main_switches = 0
        per_thread = {}
        for tid, (name, ns, sw) in end.items():
            _, ns0, sw0 = self.threads.get(tid, (name, 0, 0))
            cpu_ns += ns - ns0
            switches += sw - sw0
            if tid == self.pid:
                main_switches = sw - sw0
            per_thread[f"{tid} {name}"] = {"cpu_ms": (ns - ns0) / 1e6, "switches": sw - sw0}
        gone = [f"{tid} {name}" for tid, (name, _, _) in self.threads.items() if tid not in end]
        return {
            "seconds": elapsed,
            "cpu_percent": 100.0 * cpu_ns / 1e9 / elapsed,
            "tick_cpu_percent": 100.0 * (ticks(self.pid) - self.ticks) / TICK_HZ / elapsed,
            "wakeups_per_s": switches / elapsed,
            "main_wakeups_per_s": main_switches / elapsed,
            "threads": per_thread,
            "threads_ended": gone,
            "load": load_average(),
        }


def memory(pid):
    status = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, value = line.partition(":")
        if key in ("VmRSS", "VmHWM"):
            status[key] = int(value.split()[0]) / 1024.0
    libraries = set()
    for line in Path(f"/proc/{pid}/maps").read_text().splitlines():
        parts = line.split(None, 5)
        if len(parts) == 6 and ".so" in Path(parts[5]).name:
            libraries.add(parts[5])
    return {"rss_mib": status["VmRSS"], "hwm_mib": status["VmHWM"],
            "libraries": len(libraries)}


def port_descriptor(pid):
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}").startswith("/dev/pts/"):
                return int(fd)
        except OSError:
            continue
    return None


def mangled_name(binary, function):
    """The symbol of a C++ function, found by its readable name."""
    listing = subprocess.run(["nm", "--defined-only", str(binary)], capture_output=True,
                             text=True, check=True).stdout.splitlines()
    readable = subprocess.run(["nm", "-C", "--defined-only", str(binary)], capture_output=True,
                              text=True, check=True).stdout.splitlines()
    for raw, demangled in zip(listing, readable):
        if demangled.split(None, 2)[-1] == function:
            return raw.split(None, 2)[-1]
    return None


def window_facts(facts_program):
    """Where "Run" is and the designed intervals, from the program itself."""
    global POLL_PERIOD_MS, REPLY_DELAY_MS, RUN_BUTTON, DISTANCE_QUERY
    text = subprocess.run([str(facts_program)], capture_output=True, text=True, check=True,
                          timeout=60).stdout
    facts = dict(word.split("=", 1) for word in shlex.split(text))
    POLL_PERIOD_MS = float(facts["polling_period_ms"])
    REPLY_DELAY_MS = float(facts["distance_reply_delay_ms"])
    RUN_BUTTON = tuple(facts["run_centre"].split())
    DISTANCE_QUERY = facts["distance_query"]
    log(f"\"{facts['run_button']}\" at {RUN_BUTTON[0]},{RUN_BUTTON[1]}; polling every "
        f"{POLL_PERIOD_MS:g} ms, reply read after {REPLY_DELAY_MS:g} ms")


class ReplyProbe:
    """perf record of the query writes and the window's reads of the port."""

    def __init__(self, binary, work):
        self.binary = binary
        self.group = f"qlbench{os.getpid()}"
        self.event = f"{self.group}:input"
        self.work = work
        self.available = False
        self.reason = ""
        if not shutil.which("perf"):
            self.reason = "perf is not installed"
            return
        symbol = mangled_name(binary, REPLY_READ_FUNCTION)
        if symbol is None:
            self.reason = f"{REPLY_READ_FUNCTION} is not in {binary}"
            return
        added = subprocess.run(
            ["perf", "probe", "-q", "-x", str(binary), "--add",
             f"{self.event}={symbol}"], capture_output=True, text=True)
        if added.returncode != 0:
            self.reason = "perf probe failed: " + added.stderr.strip().splitlines()[-1:][0] \
                if added.stderr.strip() else "perf probe failed"
            return
        self.available = True

    def start(self, pid, seconds, tag):
        if not self.available:
            return None
        fd = port_descriptor(pid)
        if fd is None:
            return None
        output = self.work / f"reply-{tag}.data"
        process = subprocess.Popen(
            ["perf", "record", "-q", "-o", str(output), "-e", self.event,
             "-e", "syscalls:sys_enter_write", "--filter", f"fd == {fd}",
             "-p", str(pid), "--", "sleep", str(seconds)],
            stdout=subprocess.DEVNULL, stderr=open(self.work / f"reply-{tag}.err", "w"))
        return process, output

    @staticmethod
    def delays(recording):
        if recording is None:
            return []
        process, output = recording
        process.wait()
        script = subprocess.run(["perf", "script", "-i", str(output), "-F", "time,event"],
                                capture_output=True, text=True)
        delays, query = [], None
        for line in script.stdout.splitlines():
            fields = line.split()
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
        if self.available:
            subprocess.run(["perf", "probe", "-q", "-d", f"{self.group}:*"],
                           capture_output=True)


# --- one program, one round -----------------------------------------------

def launch(launcher, command, output):
    # The program inherits the launcher's output and keeps it open, so the
    # launcher writes to a file, not to a pipe that would never reach its end.
    with open(output, "w+") as report:
        status = subprocess.run([str(launcher)] + command, stdout=report,
                                stderr=subprocess.STDOUT, timeout=60).returncode
        report.seek(0)
        text = report.read()
    line = next((l for l in text.splitlines() if l.startswith("pid=")), None)
    if status != 0 or line is None:
        raise RuntimeError(f"{command[0]} did not map a window: {text.strip()}")
    fields = dict(part.split("=", 1) for part in line.split())
    return int(fields["pid"]), fields["window"], float(fields["mapped_ms"])


def run_program(kind, paths, work, tag, probe):
    sensor = Sensor(paths["sim"], work, tag)
    program = paths["demo"] if kind == "ours" else paths["floor"]
    pid = None
    try:
        pid, window, mapped_ms = launch(paths["launcher"], [str(program), str(sensor.link)],
                                        work / f"program-{tag}.out")
        figures = {"mapped_ms": mapped_ms, "load_at_start": load_average()}
        time.sleep(SETTLE_S)
        figures.update(memory(pid))
        figures["port_open"] = port_descriptor(pid) is not None

        if IDLE_S > 0:
            idle = Window(pid)
            time.sleep(IDLE_S)
            figures["idle"] = idle.finish()

        if POLL_S > 0:
            figures.update(poll(pid, window, sensor))
            if kind == "ours":
                figures.update(reply_and_hang_up(pid, sensor, probe, tag))
        return figures
    finally:
        if pid is not None:
            stop(pid)
        sensor.close()


def poll(pid, window, sensor):
    figures = {}
    subprocess.run(["xdotool", "mousemove", "--window", window, *RUN_BUTTON, "click", "1"],
                   check=True)
    if not wait_until(lambda: len(sensor.queries()) >= 2, 5):
        raise RuntimeError("pressing Run sent no queries")

    polling = Window(pid)
    first = time.clock_gettime(time.CLOCK_MONOTONIC) * 1000.0
    time.sleep(POLL_S)
    last = time.clock_gettime(time.CLOCK_MONOTONIC) * 1000.0
    figures["polling"] = polling.finish()
    queries = [t for t in sensor.queries() if first <= t <= last]
    figures["periods_ms"] = [b - a for a, b in zip(queries, queries[1:])]
    return figures


def reply_and_hang_up(pid, sensor, probe, tag):
    figures = {}
    # perf's probes cost the program a little on every hit and every context
    # switch, so the reply delay has a window of its own after the CPU figure.
    figures["reply_ms"] = probe.delays(probe.start(pid, REPLY_S, tag)) if REPLY_S > 0 else []

    if HANGUP_S > 0:
        sensor.hang_up()
        after = Window(pid)
        time.sleep(HANGUP_S)
        figures["hangup"] = after.finish()
        figures["port_open_after_hangup"] = port_descriptor(pid) is not None
        figures["alive_after_hangup"] = alive(pid)
    return figures


# --- the table --------------------------------------------------------------

def percentile(values, fraction):
    ordered = sorted(values)
    rank = max(0, min(len(ordered) - 1, int(round(fraction * len(ordered) + 0.5)) - 1))
    return ordered[rank]


def spread(values, digits=1):
    if not values:
        return "n/a"
    return (f"{statistics.median(values):.{digits}f} "
            f"({min(values):.{digits}f}-{max(values):.{digits}f})")


def deviations(samples, nominal):
    if not samples:
        return None
    deviation = [abs(s - nominal) for s in samples]
    return {"median": statistics.median(samples), "p99_dev": percentile(deviation, 0.99),
            "max_dev": max(deviation), "count": len(samples)}


def verdict(ok):
    return "yes" if ok else "NO"


def table(results, machine):
    ours, floor = results["ours"], results["floor"]

    def column(runs, *keys):
        values = []
        for run in runs:
            value = run
            for key in keys:
                value = value[key]
            values.append(value)
        return values

    rows = []

    def row(name, a, b, compare, target, met):
        rows.append((name, a, b, compare, target, met))

    start_a, start_b = column(ours, "mapped_ms"), column(floor, "mapped_ms")
    ratio = statistics.median(start_a) / statistics.median(start_b)
    per_round = [a / b for a, b in zip(start_a, start_b)]
    row("Start-up to window mapped (ms)", spread(start_a), spread(start_b),
        f"x{ratio:.2f} ({min(per_round):.2f}-{max(per_round):.2f})", "<= x1.15",
        verdict(ratio <= 1.15))
    rss_a, rss_b = column(ours, "rss_mib"), column(floor, "rss_mib")
    extra = statistics.median(rss_a) - statistics.median(rss_b)
    row("VmRSS with the window up (MiB)", spread(rss_a), spread(rss_b),
        f"{extra:+.1f} MiB", "<= +3 MiB", verdict(extra <= 3.0))
    hwm_a, hwm_b = column(ours, "hwm_mib"), column(floor, "hwm_mib")
    row("VmHWM with the window up (MiB)", spread(hwm_a), spread(hwm_b),
        f"{statistics.median(hwm_a) - statistics.median(hwm_b):+.1f} MiB", "", "")
    libs_a, libs_b = column(ours, "libraries"), column(floor, "libraries")
    row("Shared objects mapped", spread(libs_a, 0), spread(libs_b, 0),
        f"{statistics.median(libs_a) - statistics.median(libs_b):+.0f}", "", "")

    if all("idle" in run for run in ours + floor):
        idle_a, idle_b = column(ours, "idle", "cpu_percent"), column(floor, "idle", "cpu_percent")
        # 0.01% of a core over 30 s is 3 ms: less than one scheduler tick.
        idle_ok = statistics.median(idle_a) <= statistics.median(idle_b) + 0.01
        row(f"Idle CPU, port open, {IDLE_S:g} s (% core)", spread(idle_a, 4), spread(idle_b, 4),
            f"{statistics.median(idle_a) - statistics.median(idle_b):+.4f}", "0 (resolution)",
            verdict(idle_ok))
        tick_a = column(ours, "idle", "tick_cpu_percent")
        tick_b = column(floor, "idle", "tick_cpu_percent")
        row("  same from utime+stime ticks", spread(tick_a, 3), spread(tick_b, 3), "", "", "")
        wake_a, wake_b = column(ours, "idle", "wakeups_per_s"), column(floor, "idle", "wakeups_per_s")
        main_a = column(ours, "idle", "main_wakeups_per_s")
        main_b = column(floor, "idle", "main_wakeups_per_s")
        row("Idle wake-ups, all threads (/s)", spread(wake_a, 2), spread(wake_b, 2),
            f"{statistics.median(wake_a) - statistics.median(wake_b):+.2f}", "", "")
        own_ok = statistics.median(main_a) <= statistics.median(main_b) + 1.0 / IDLE_S
        row("Idle wake-ups, main thread (/s)", spread(main_a, 2), spread(main_b, 2),
            f"{statistics.median(main_a) - statistics.median(main_b):+.2f}", "none periodic",
            verdict(own_ok))

    if all("polling" in run for run in ours + floor):
        poll_a, poll_b = column(ours, "polling", "cpu_percent"), column(floor, "polling", "cpu_percent")
        poll_ratio = statistics.median(poll_a) / max(statistics.median(poll_b), 1e-9)
        row(f"Polling CPU, {POLL_S:g} s (% core)", spread(poll_a, 3), spread(poll_b, 3),
            f"x{poll_ratio:.2f}", "<= 0.5", verdict(statistics.median(poll_a) <= 0.5))
        row("  same from utime+stime ticks", spread(column(ours, "polling", "tick_cpu_percent"), 3),
            spread(column(floor, "polling", "tick_cpu_percent"), 3), "", "", "")
        row("Polling wake-ups, all threads (/s)", spread(column(ours, "polling", "wakeups_per_s")),
            spread(column(floor, "polling", "wakeups_per_s")), "", "", "")
        row("Polling wake-ups, main thread (/s)",
            spread(column(ours, "polling", "main_wakeups_per_s")),
            spread(column(floor, "polling", "main_wakeups_per_s")), "", "", "")

    periods = [p for run in ours for p in run.get("periods_ms", [])]
    floor_periods = deviations([p for run in floor for p in run.get("periods_ms", [])],
                               POLL_PERIOD_MS)
    period = deviations(periods, POLL_PERIOD_MS)
    if period:
        def of_floor(key):
            return f"{floor_periods[key]:.3f}" if floor_periods else "-"
        row(f"Poll period median (ms, n={period['count']})", f"{period['median']:.3f}",
            of_floor("median"), f"{period['median'] - POLL_PERIOD_MS:+.3f}", f"{POLL_PERIOD_MS:g} +-0.5",
            verdict(abs(period["median"] - POLL_PERIOD_MS) <= 0.5))
        row("Poll period p99 |dev| (ms)", f"{period['p99_dev']:.3f}", of_floor("p99_dev"), "",
            "<= 3", verdict(period["p99_dev"] <= 3.0))
        row("Poll period max |dev| (ms)", f"{period['max_dev']:.3f}", of_floor("max_dev"), "",
            "", "")
    replies = [r for run in ours for r in run.get("reply_ms", [])]
    reply = deviations(replies, REPLY_DELAY_MS)
    if reply:
        row(f"Query to reply read median (ms, n={reply['count']})", f"{reply['median']:.3f}",
            "-", f"{reply['median'] - REPLY_DELAY_MS:+.3f}", f"{REPLY_DELAY_MS:g} +-2",
            verdict(abs(reply["median"] - REPLY_DELAY_MS) <= 2.0))
        row("Query to reply read p99 |dev| (ms)", f"{reply['p99_dev']:.3f}", "-", "", "<= 2",
            verdict(reply["p99_dev"] <= 2.0))
        row("Query to reply read max |dev| (ms)", f"{reply['max_dev']:.3f}", "-", "", "", "")
    elif POLL_S > 0 and REPLY_S > 0:
        row("Query to reply read", results.get("reply_note", "n/a"), "-", "",
            f"{REPLY_DELAY_MS:g} +-2", "")

    if all("hangup" in run for run in ours):
        hang = column(ours, "hangup", "cpu_percent")
        row(f"After hang-up CPU, {HANGUP_S:g} s (% core)", spread(hang, 3), "-", "", "< 1",
            verdict(statistics.median(hang) < 1.0))
        closed = all(not run["port_open_after_hangup"] and run["alive_after_hangup"]
                     for run in ours)
        row("  port closed, window still up", verdict(closed), "-", "", "", "")

    loads = [run["load_at_start"][0] for run in ours + floor]
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
    model = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    return {"date": time.strftime("%Y-%m-%d %H:%M %Z"), "cpus": os.cpu_count(),
            "cpu_model": model, "kernel": platform.release(),
            "load_start": " ".join(load_average())}


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = Path(sys.argv[1]).resolve()
    paths = {
        "demo": build / "programs/quadrelink-demo/quadrelink-demo",
        "sim": build / "programs/quadrelink-sim/quadrelink-sim",
        "floor": build / "bench/quadrelink-bench-floor",
        "launcher": build / "bench/launchmapped",
        "facts": build / "bench/quadrelink-window-facts",
    }
    for name, path in paths.items():
        if not path.exists():
            print(f"bench: {path} is missing; build it first", file=sys.stderr)
            return 1
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print(f"bench: {tool} is not installed", file=sys.stderr)
            return 1

    out = Path(os.environ.get("BENCH_OUT", build / "bench-results"))
    work = out / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    become_subreaper()
    machine = machine_facts()
    log(f"{ROUNDS} rounds; load {machine['load_start']}")

    xvfb = Xvfb(work)
    window_facts(paths["facts"])
    probe = ReplyProbe(paths["demo"], work)
    results = {"ours": [], "floor": [], "machine": machine,
               "settings": {"rounds": ROUNDS, "idle_s": IDLE_S, "poll_s": POLL_S,
                            "reply_s": REPLY_S, "hangup_s": HANGUP_S, "settle_s": SETTLE_S}}
    if not probe.available:
        results["reply_note"] = f"n/a ({probe.reason})"
        log(f"reply delay not measured: {probe.reason}")
    try:
        # One unmeasured start of each, so that both find the same warm caches.
        for kind in ("ours", "floor"):
            sensor = Sensor(paths["sim"], work, f"warm-{kind}")
            try:
                program = paths["demo"] if kind == "ours" else paths["floor"]
                pid, _, _ = launch(paths["launcher"], [str(program), str(sensor.link)],
                                   work / f"program-warm-{kind}.out")
                time.sleep(SETTLE_S)
                stop(pid)
            finally:
                sensor.close()
        for number in range(1, ROUNDS + 1):
            for kind in ("ours", "floor"):
                figures = run_program(kind, paths, work, f"{number}-{kind}", probe)
                results[kind].append(figures)
                log(f"round {number} {kind}: mapped {figures['mapped_ms']:.1f} ms, "
                    f"RSS {figures['rss_mib']:.1f} MiB"
                    + (f", idle {figures['idle']['cpu_percent']:.4f}%" if "idle" in figures else "")
                    + (f", polling {figures['polling']['cpu_percent']:.3f}%"
                       if "polling" in figures else "")
                    + (f", after hang-up {figures['hangup']['cpu_percent']:.3f}%"
                       if "hangup" in figures else "")
                    + f"; load {' '.join(load_average())}")
    finally:
        probe.close()
        xvfb.close()

    machine["load_end"] = " ".join(load_average())
    text = table(results, machine)
    (out / "results.json").write_text(json.dumps(results, indent=1))
    (out / "results.txt").write_text(text + "\n")
    print()
    print(text)
    print(f"\nRaw figures: {out / 'results.json'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
