#!/usr/bin/env python3
"""Prints the table of the project's performance figures from the JSON
results of the benchmark programs (bench/run writes them): each figure with
its target, the measured value and whether it passes."""
import json
import re
import os
import platform
import sys

UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load(directory):
    runs = {}
    for name in sorted(os.listdir(directory)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(directory, name)) as f:
            try:
                document = json.load(f)
            except json.JSONDecodeError:
                continue
        # A benchmark run with repetitions counts by its median.
        for run in document.get("benchmarks", []):
            if "error_occurred" in run:
                continue
            if run.get("run_type", "iteration") == "iteration":
                runs.setdefault(run["name"], run)
            elif run.get("aggregate_name") == "median":
                runs[re.sub(r"/repeats:\d+", "", run["run_name"])] = run
    return runs


def seconds(run, which="real_time"):
    return run[which] * UNIT_SECONDS[run.get("time_unit", "ns")]


class Figures:
    """The measurements the figures are computed from; a missing benchmark
    makes its figure 'not run' instead of failing the report."""

    def __init__(self, runs):
        self.runs = runs

    def run(self, name):
        if name not in self.runs:
            raise KeyError(name)
        return self.runs[name]

    # Latencies are CPU times of the benchmark's thread: on a shared machine
    # they move least with the load. Throughputs and ratios of whole
    # exchanges use wall time.
    def us(self, name, which="cpu_time"):
        return seconds(self.run(name), which) * 1e6

    def ms(self, name, which="cpu_time"):
        return seconds(self.run(name), which) * 1e3

    def counter(self, name, key):
        return self.run(name)[key]

    def ratio(self, numerator, denominator, which="cpu_time"):
        return seconds(self.run(numerator), which) / seconds(self.run(denominator), which)

    def speedup(self, base):
        return (self.counter(base + "/real_time/threads:2", "items_per_second") /
                self.counter(base + "/real_time/threads:1", "items_per_second"))


def below(limit):
    return lambda value: value < limit


def at_most(limit):
    return lambda value: value <= limit


def at_least(limit):
    return lambda value: value >= limit


# (figure, target text, measurement, unit, test)
FIGURES = [
    ("Process call, channel message", "< 20 µs",
     lambda f: f.us("BM_ProcessChannelMessage"), "µs", below(20)),
    ("Decode a 1,000-statement program", "< 200 µs",
     lambda f: f.us("BM_DecodeProgram1000"), "µs", below(200)),
    ("Encode a 1,000-statement program", "< 100 µs",
     lambda f: f.us("BM_EncodeProgram1000"), "µs", below(100)),
    ("Arenas per decoded 10-statement program", "1",
     lambda f: f.counter("BM_DecodeProgram10", "chunks/decode"), "", at_most(1)),
    ("XML tree load, 16,000 objects", "< 150 ms",
     lambda f: f.ms("BM_LoadXmlTree"), "ms", below(150)),
    ("Text tree load, 16,000 objects", "< 150 ms",
     lambda f: f.ms("BM_LoadTextTree"), "ms", below(150)),
    ("XML tree load / pugixml parse alone", "≤ 2×",
     lambda f: f.ratio("BM_LoadXmlTree", "BM_PugixmlParseOnly/0"), "×", at_most(2)),
    ("Tree look-up, 200,000 / 1,000 objects", "flat (≤ 2×)",
     lambda f: f.ratio("BM_FindInSizedTree/200000", "BM_FindInSizedTree/1000"), "×",
     at_most(2)),
    ("Process call, 100 tree reads", "< 150 µs",
     lambda f: f.us("BM_ProcessTreeProgram"), "µs", below(150)),
    ("Machine's own scaling, 2 threads / 1 (reference)", "2×",
     lambda f: f.speedup("BM_MachineScalingPrivateWork"), "×", lambda value: None),
    ("Tree-read throughput, 2 threads / 1", "≥ 1.7×",
     lambda f: f.speedup("BM_ProcessThroughputOwnDevices"), "×", at_least(1.7)),
    ("5,000-entry map loaded and prepared", "< 20 ms",
     lambda f: f.ms("readAndPrepareMap"), "ms", below(20)),
    ("Process call, 100 warm mapped reads", "< 30 µs",
     lambda f: f.us("BM_ProcessMappedWarmReads"), "µs", below(30)),
    ("Mapped-read throughput, 2 threads / 1", "≥ 1.7×",
     lambda f: f.speedup("BM_ProcessThroughputOwnDevicesMapped"), "×", at_least(1.7)),
    ("300-entry refresh: messages / fewest", "1",
     lambda f: (f.counter("BM_ProcessRefresh300/manual_time", "messages_per_call") /
                f.counter("BM_ProcessRefresh300/manual_time", "fewest_messages")), "",
     at_most(1)),
    ("Data-log appends with saves running", "≥ 1,000,000/s",
     lambda f: f.counter("BM_AppendWhileSaving/100/iterations:3/real_time",
                         "items_per_second"), "/s", at_least(1e6)),
    ("Full save of a 10,000-record log", "< 50 ms",
     lambda f: f.ms("BM_FullSaveNewFile/real_time", "real_time"), "ms", below(50)),
    ("Engine pass, 10,000 devices × 10 modules", "< 250 ms",
     lambda f: f.ms("BM_FullPass/iterations:100/manual_time", "real_time"), "ms", below(250)),
    ("Poll via plug-in / plain libmodbus", "≤ 1.2×",
     lambda f: f.ratio("BM_PollThroughPlugin", "BM_PollWithLibmodbus", "real_time"), "×", at_most(1.2)),
]


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def formatted(value, unit):
    if unit == "/s":
        return f"{value / 1e6:.2f} M/s"
    if unit == "×":
        return f"{value:.2f}×"
    number = f"{value:.3g}" if value < 100 else f"{value:.0f}"
    return f"{number} {unit}".strip()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: report.py RESULTS_DIRECTORY")
    figures = Figures(load(sys.argv[1]))
    rows = []
    for name, target, measure, unit, passes in FIGURES:
        try:
            value = measure(figures)
            verdict = passes(value)
            result = "ref" if verdict is None else "pass" if verdict else "MISS"
            rows.append((name, target, formatted(value, unit), result))
        except (KeyError, ZeroDivisionError):
            rows.append((name, target, "-", "not run"))
    print(f"\nCPU: {cpu_model()}, {os.cpu_count()} cores")
    headers = ("Figure", "Target", "Measured", "Result")
    widths = [max(len(str(row[i])) for row in rows + [headers]) for i in range(4)]
    line = "  ".join("{:<%d}" % w for w in widths)
    print(line.format(*headers))
    print("  ".join("-" * w for w in widths))
    for row in rows:
        print(line.format(*row))


if __name__ == "__main__":
    main()
