#!/usr/bin/env python3
"""Turns the JSON output of positioner_bench into the results table.

Each row sets a figure beside the limit it is measured against in the same
run (a reference benchmark, or the waits that the behaviour fixes) and
states the target. Medians of the repetitions are used; a run that ended
in an error fails its row.

    report.py --out results.md [--smoke] [--compiler TEXT] [--omit NAME]
              [--one-cpu run.json] run1.json [...]

--one-cpu names the run of the setter pair with the whole program on one
CPU (its benchmark names are those of the main runs).

With --smoke only the sanity of the figures is judged (every benchmark
ran, figures positive, the flood's last value kept), not the targets.
"""
import argparse
import datetime
import json
import math
import os
import platform
import sys

# Fixed waits of the behaviour under test, in milliseconds.
RECEIVE_WAIT_MS = 500      # one receive wait of the TCP transport
CLOSE_PAUSES_MS = 2 * 100  # the pauses before and after closing a socket
SEARCH_WAIT_MS = 500       # first reply wait of a discovery search
SEARCH_FLOOR_MS = 100      # the reply wait halves down to this floor


def silent_wait_ms(controllers):
    """The wait that ends a search after this many replies."""
    if controllers == 0:
        return SEARCH_WAIT_MS
    return max(SEARCH_WAIT_MS >> controllers, SEARCH_FLOOR_MS)


def check_limit_ms(controllers):
    """Waits of a device count with this many controllers answering ADDP.

    The ADDP search reads one reply per wait cycle and halves the wait
    after each, down to its floor, so it ends with a silent wait of
    silent_wait_ms(n); the Velorix search hears nothing and waits 500 ms;
    every controller found is opened, identified and closed, and each
    close pauses twice.
    """
    return SEARCH_WAIT_MS + silent_wait_ms(controllers) + controllers * CLOSE_PAUSES_MS


class Runs:
    """Benchmark results by run name: the median (or the single run)."""

    def __init__(self, paths):
        self.stats = {}   # run_name -> {aggregate: entry}
        self.errors = {}  # run_name -> message
        for path in paths:
            with open(path) as f:
                data = json.load(f)
            for b in data.get("benchmarks", []):
                name = b.get("run_name", b["name"])
                if b.get("error_occurred"):
                    self.errors[name] = b.get("error_message", "error")
                kind = b.get("aggregate_name", "single") if b.get("run_type") == "aggregate" else "single"
                self.stats.setdefault(name, {})[kind] = b

    def find(self, prefix):
        for name in self.stats:
            if name == prefix or name.startswith(prefix + "/"):
                return name
        for name in self.errors:
            if name == prefix or name.startswith(prefix + "/"):
                return name
        return None

    def value(self, prefix, field="real_time", aggregate="median"):
        name = self.find(prefix)
        if name is None or name in self.errors:
            return None
        entries = self.stats[name]
        entry = entries.get(aggregate) or entries.get("median") or entries.get("single")
        if entry is None or field not in entry:
            return None
        return to_base_unit(entry, field)

    def error(self, prefix):
        name = self.find(prefix)
        if name is None:
            return "did not run"
        return self.errors.get(name)


UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def to_base_unit(entry, field):
    """Times in seconds, counters as they are."""
    v = entry[field]
    if field in ("real_time", "cpu_time"):
        return v * UNIT_SECONDS[entry.get("time_unit", "ns")]
    return v


def fmt_time(seconds):
    if seconds is None:
        return "—"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if seconds >= scale or unit == "ns":
            return f"{seconds / scale:.3g} {unit}"


def fmt_rate(per_second):
    if per_second is None:
        return "—"
    return f"{per_second:,.0f} /s"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


# Row kinds: how figure, limit and target are read and judged.
def row_time_vs_reference(runs, label, figure, reference, reference_text, max_ratio=None, max_seconds=None):
    f = runs.value(figure)
    r = runs.value(reference)
    q = ratio(f, r)
    targets = []
    met = f is not None and q is not None
    if max_ratio is not None:
        targets.append(f"ratio ≤ {max_ratio:g}")
        met = met and q <= max_ratio
    if max_seconds is not None:
        targets.append(f"< {fmt_time(max_seconds)}")
        met = met and f < max_seconds
    limit = f"{reference_text} {fmt_time(r)}; target {', '.join(targets)}"
    return [label, fmt_time(f), limit, q, met, runs.error(figure) or runs.error(reference), figure]


def row_rate_vs_reference(runs, label, figure, reference, reference_text, min_ratio=None, min_rate=None):
    f = runs.value(figure, "items_per_second")
    r = runs.value(reference, "items_per_second")
    q = ratio(f, r)
    targets = []
    met = f is not None and q is not None
    if min_ratio is not None:
        targets.append(f"ratio ≥ {min_ratio:g}")
        met = met and q >= min_ratio
    if min_rate is not None:
        targets.append(f"≥ {min_rate:,} /s")
        met = met and f >= min_rate
    limit = f"{reference_text} {fmt_rate(r)}; target {', '.join(targets)}"
    return [label, fmt_rate(f), limit, q, met, runs.error(figure) or runs.error(reference), figure]


def row_time_vs_waits(runs, label, figure, limit_ms, limit_text, max_ratio, aggregate="median"):
    f = runs.value(figure, aggregate=aggregate)
    median = runs.value(figure)
    limit = limit_ms / 1000.0
    q = ratio(f, limit)
    shown = fmt_time(median)
    if aggregate != "median" and f is not None:
        shown += f" (max {fmt_time(f)})"
    text = f"{limit_text} = {limit_ms} ms; target ratio ≤ {max_ratio:g}"
    missed = runs.value(figure, "missed", aggregate="mean")
    if missed:
        shown += f"; {missed:.2g} controllers missed per count"
    return [label, shown, text, q, q is not None and q <= max_ratio, runs.error(figure), figure]


def table_rows(runs, one_cpu_runs=None):
    one_cpu = []
    if one_cpu_runs is not None:
        one_cpu = [row_rate_vs_reference(
            one_cpu_runs, "… the same, with the whole program on one CPU",
            "BM_Amplitude_SetterLoop", "BM_RawSend24_Loop",
            "plain 24-byte sends on one CPU", min_ratio=0.8)]
    return [
        row_time_vs_reference(
            runs, "Querying getter round trip (`PositionerGetAmplitude`)",
            "BM_GetAmplitude_RoundTrip", "BM_RawExchange_20_28",
            "plain 20/28-byte exchange", max_ratio=1.5),
        row_time_vs_reference(
            runs, "… the same, against a plain exchange whose reply is handed over by a reader thread",
            "BM_GetAmplitude_RoundTrip", "BM_RawExchangeHandoff_20_28",
            "plain exchange + hand-over", max_ratio=1.5),
        row_rate_vs_reference(
            runs, "Setter throughput (`PositionerAmplitude` in a loop)",
            "BM_Amplitude_SetterLoop", "BM_RawSend24_Loop",
            "plain 24-byte sends", min_ratio=0.8),
    ] + one_cpu + [
        row_time_vs_reference(
            runs, "Cached getter (`PositionerGetPosition`)",
            "BM_GetPosition_Cached", "BM_CachedGetter_Reference",
            "plain call loading one word", max_seconds=50e-9),
        row_time_vs_reference(
            runs, "Telegram trace call, switched off by the flags",
            "BM_TraceTelegram_Off", "BM_TraceCall_Reference",
            "plain call testing one flag", max_seconds=30e-9),
        row_rate_vs_reference(
            runs, "Receive loop under a TELL flood (telegrams applied, last value kept)",
            "BM_TellFlood_Applied", "BM_TellFlood_RawReader",
            "plain reader", min_rate=100000),
        row_time_vs_waits(
            runs, "`PositionerClose` latency (close at a random point of the receive wait)",
            "BM_Close_Latency", RECEIVE_WAIT_MS + CLOSE_PAUSES_MS,
            "receive wait 500 + socket pauses 2 × 100", 1.05, aggregate="max"),
    ] + [
        row_time_vs_waits(
            runs, f"`PositionerCheck`, {n} simulated controller{'s' if n != 1 else ''}",
            f"BM_Check_Duration/{n}", check_limit_ms(n),
            f"search waits 500 + {silent_wait_ms(n)}" + (f" + closes {n} × 200" if n else ""), 1.1)
        for n in (0, 1, 16)
    ]


def render_table(rows, smoke):
    lines = ["| Benchmark | Figure (median) | Limit / target | Ratio | Met? |",
             "|---|---|---|---|---|"]
    for label, figure, limit, q, met, error, _ in rows:
        q_text = "—" if q is None else f"{q:.2f}"
        if error:
            verdict = f"no: {error}"
        elif smoke:
            verdict = "ran"
        else:
            verdict = "yes" if met else "**no**"
        lines.append(f"| {label} | {figure} | {limit} | {q_text} | {verdict} |")
    return "\n".join(lines)


def render_spread(runs):
    """Every benchmark's median, spread and CPU time, to judge the noise."""
    lines = ["| Benchmark run | Median (real) | Coefficient of variation | Median CPU time of the benchmark thread |",
             "|---|---|---|---|"]
    for name in sorted(runs.stats):
        entries = runs.stats[name]
        median = entries.get("median") or entries.get("single")
        if median is None:
            continue
        cv = entries.get("cv")
        cv_text = "—" if cv is None else f"{cv['real_time']:.0%}"
        lines.append(f"| `{name}` | {fmt_time(to_base_unit(median, 'real_time'))} | {cv_text} | "
                     f"{fmt_time(to_base_unit(median, 'cpu_time'))} |")
    return "\n".join(lines)


def smoke_problems(runs, rows):
    problems = [f"{r[0]}: {r[5]}" for r in rows if r[5]]
    for r in rows:
        if r[3] is None or not math.isfinite(r[3]) or r[3] <= 0:
            problems.append(f"{r[0]}: no sane figure")
    return problems


def machine_lines(compiler, loads):
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    load_text = ", ".join(f"{v:.2f}" for v in loads) if loads else "unknown"
    return [
        f"- CPU: {cpu}, {os.cpu_count()} cores",
        f"- Kernel: {platform.system()} {platform.release()}",
        f"- Compiler: {compiler or 'unknown'}",
        f"- Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}",
        f"- Load average when the benchmarks started: {load_text}",
    ]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--compiler", default="")
    parser.add_argument("--omit", action="append", default=[],
                        help="leave out the rows of this benchmark (not run on purpose)")
    parser.add_argument("--one-cpu", help="JSON of the setter pair run on one CPU")
    parser.add_argument("json", nargs="+")
    args = parser.parse_args()

    runs = Runs(args.json)
    loads = []
    with open(args.json[0]) as f:
        loads = json.load(f).get("context", {}).get("load_avg", [])
    one_cpu_runs = Runs([args.one_cpu]) if args.one_cpu else None
    rows = [r for r in table_rows(runs, one_cpu_runs) if r[6] not in args.omit]
    table = render_table(rows, args.smoke)
    text = "\n".join(["# Benchmark results", "",
                      "Written by `scripts/bench`" + (" --smoke (sanity only)" if args.smoke else "") + ".", "",
                      table, "", "Machine:", ""] + machine_lines(args.compiler, loads) +
                     ["", "Spread of the repetitions (the machine is shared, so the socket figures are noisy):",
                      "", render_spread(runs)]) + "\n"
    with open(args.out, "w") as f:
        f.write(text)
    print(table)

    if args.smoke:
        problems = smoke_problems(runs, rows)
        for p in problems:
            print("SMOKE FAILURE:", p, file=sys.stderr)
        return 1 if problems else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
