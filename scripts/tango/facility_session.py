"""The scripted session of scripts/tango-facility, run on the client host as
the operator. It asks the facility script for the losses by printing
"ACTION NAME HOST [INDEX]" and reading one line back once it is done.

Steps: every axis of both hutches ON (started by Starter); access control
(the guest's write refused with Tango's error, the guest's Stop accepted,
the operator's move done); the server of hutch1 killed and started again
through its Starter; hutch1 lost as a whole and started again; a controller
of hutch2 stopped and started again. Meanwhile an axis of hutch2 moves back
and forth, and its events must keep arriving. Then the figures.
"""
import argparse
import json
import os
import pwd
import subprocess
import sys
import threading
import time

import tango
from tango import DevState

from facility_events import Events, changes, latencies_ms, longest_gap, lost, percentile, reports

TIMEOUT_S = 3.0                     # every client call's time-out
STARTER_TIMEOUT_MS = 20_000         # DevStart on a busy host
UNTOUCHED_GAP_S = 2.0               # the longest pause of hutch2's events that counts as going on
LATENCY_CONTROLLER = "127.0.0.2"    # hutch2's first controller logs its reports
SCALE = 0.001                       # the devices' Scale: Position in um of 1 nm controller units
SPEED = 1000.0                      # the simulator's axis speed, um per second
HERE = os.path.dirname(os.path.abspath(__file__))


def now():
    return time.monotonic()


def wait_until(predicate, limit_s, pause_s=0.05):
    """Seconds until predicate() holds, or None after limit_s."""
    start = now()
    while now() - start < limit_s:
        try:
            if predicate():
                return now() - start
        except tango.DevFailed:
            pass
        time.sleep(pause_s)
    return None


def action(*words):
    print("ACTION " + " ".join(map(str, words)), flush=True)
    if sys.stdin.readline().strip() != "done":
        raise SystemExit("the facility script did not carry out " + " ".join(map(str, words)))


def error_of(failure):
    error = failure.args[0]
    return f"{error.reason}: {error.desc.strip().splitlines()[0]}"


class Session:
    def __init__(self, axes_per_controller, guest, reports_log):
        self.names = [f"{hutch}/ctrl{c}/axis{a}" for hutch in ("hutch1", "hutch2")
                      for c in (0, 1) for a in range(axes_per_controller)]
        self.proxies = {}
        for name in self.names:
            self.proxies[name] = tango.DeviceProxy(name)
            self.proxies[name].set_timeout_millis(int(TIMEOUT_S * 1000))
        self.guest, self.reports_log = guest, reports_log
        self.events = Events()
        self.steps, self.figures = [], {}
        self.mover_failures = []
        self.moving = threading.Event()
        self.start = now()

    def step(self, name, ok, detail):
        self.steps.append((name, ok))
        print(f"{'ok    ' if ok else 'FAILED'} {name}: {detail}", flush=True)
        return ok

    def state(self, name):
        return self.proxies[name].state()

    def all_on(self, names):
        return all(self.state(name) == DevState.ON for name in names)

    # -- the background move on hutch2 ---------------------------------------------

    def mover(self):
        """Moves hutch2/ctrl0/axis0 between 0 and 3,000,000 while self.moving."""
        proxy, target = self.proxies["hutch2/ctrl0/axis0"], 3 * SPEED
        while self.moving.is_set():
            try:
                proxy.write_attribute("Position", float(target))
                wait_until(lambda: proxy.state() == DevState.MOVING, 1.0, 0.02)
                wait_until(lambda: proxy.state() != DevState.MOVING or not self.moving.is_set(), 10, 0.1)
            except tango.DevFailed as failure:
                self.mover_failures.append(error_of(failure))
                time.sleep(0.5)
            target = 3 * SPEED - target

    def hutch2_events_went_on(self, start, end):
        arrived = [at for at, _ in self.events.since(start, "hutch2/ctrl0/axis0")]
        gap = longest_gap(arrived, start, end)
        return gap, len([t for t in arrived if t < end])

    # -- the steps -----------------------------------------------------------------------

    def ask_starter(self, hutch, limit_s=60):
        """Asks the hutch's Starter to start its server, as Astor does:
        seconds until the Starter took the request, or None. Tried again
        while the Starter cannot be reached, never after a time-out: the
        Starter may have started the server, and a second one must not run."""
        start = now()
        while now() - start < limit_s:
            try:
                starter = tango.DeviceProxy(f"tango/admin/{hutch}")
                starter.set_timeout_millis(STARTER_TIMEOUT_MS)
                starter.command_inout("DevStart", f"PositionerDS/{hutch}")
                return now() - start
            except tango.DevFailed as failure:
                if "timedout" in error_of(failure).lower():   # API_DeviceTimedOut, TRANSIENT_CallTimedout
                    return now() - start
                time.sleep(0.5)
        return None

    def servers_started(self):
        """The first start of each server, through its host's Starter (which
        knows the server as its own from then on, and starts it at its
        start level whenever it starts itself)."""
        start = now()
        for hutch in ("hutch1", "hutch2"):
            if self.ask_starter(hutch) is None:
                return self.step(f"Starter of {hutch} starts PositionerDS/{hutch}", False,
                                 "DevStart refused for 60 s")
        took = wait_until(lambda: self.all_on(self.names), 60, 0.5)
        self.figures["first start of both servers through Starter"] = None if took is None else now() - start
        return self.step("Starter started both servers", took is not None,
                         f"{len(self.names)} axes ON {now() - start:.1f} s after DevStart" if took
                         else "not every axis ON within 60 s: " +
                         ", ".join(f"{n} {self.safe_state(n)}" for n in self.names))

    def safe_state(self, name):
        try:
            return str(self.state(name))
        except tango.DevFailed as failure:
            return error_of(failure)

    def subscribe(self):
        for name in self.names:
            for attribute in ("Position", "State"):
                self.proxies[name].subscribe_event(attribute, tango.EventType.CHANGE_EVENT,
                                                   self.events.push)
        self.subscribed = now()

    def access_control(self):
        device = "hutch1/ctrl0/axis0"
        operator = self.proxies[device]
        start = float(operator.Position)
        operator.write_attribute("Position", start + 3 * SPEED)          # 3 s
        wait_until(lambda: operator.state() == DevState.MOVING, 2)
        guest = subprocess.run(
            ["setpriv", f"--reuid={self.guest}", f"--regid={pwd.getpwnam(self.guest).pw_gid}", "--clear-groups",
             sys.executable, os.path.join(HERE, "guest_client.py"), device, str(start + 1)],
            capture_output=True, text=True, timeout=30)
        try:
            result = json.loads(guest.stdout.strip().splitlines()[-1])
        except (IndexError, ValueError):
            return self.step("access control", False, f"the guest's client failed: {guest.stderr.strip()}")
        stopped_after = wait_until(lambda: operator.state() == DevState.ON, 5)
        at = float(operator.Position)
        self.step("guest's Position write refused", result["write"].startswith("refused: API_ReadOnlyMode"),
                  result["write"])
        self.step("guest's Stop accepted", result["stop"] == "ok" and stopped_after is not None
                  and at < start + 3 * SPEED,
                  f"{result['stop']}; the move halted at {at:.3f} um (target {start + 3 * SPEED:.3f})")
        self.step("guest reads", result["read"] == "ok", result["read"])
        target = at - 200
        moved = now()
        operator.write_attribute("Position", target)
        took = wait_until(lambda: operator.state() == DevState.ON
                          and abs(float(operator.Position) - target) < SCALE, 10)
        events = self.events.since(moved, device)
        return self.step("operator's move", took is not None and bool(events)
                         and abs(events[-1][1] - target) < SCALE,
                         f"to {target:.3f} um in {took or 10:.2f} s, {len(events)} position events")

    def calls_fail(self, device, label):
        """Calls to device until one fails: the step, with the time and error.
        A call to a host that is gone fails after up to two time-outs: Tango's
        client library tries it once more on a new connection."""
        proxy, start = self.proxies[device], now()
        while now() - start < TIMEOUT_S + 2:
            try:
                proxy.read_attribute("Position")
                time.sleep(0.02)
            except tango.DevFailed as failure:
                took = now() - start
                return self.step(f"{label}: calls to {device} fail", took <= 2 * TIMEOUT_S + 1.0,
                                 f"after {took * 1000:.0f} ms ({error_of(failure)})")
        return self.step(f"{label}: calls to {device} fail", False, "calls still answered")

    def recovered(self, hutch, lost_at, label, limit_s=90):
        """Waits for the hutch's axes to answer ON, then for their events:
        moves hutch/ctrl0/axis0 a little until a position event arrives."""
        names = [n for n in self.names if n.startswith(hutch)]
        back = wait_until(lambda: self.all_on(names), limit_s, 0.2)
        if back is None:
            return self.step(f"{label}: {hutch} back", False, f"not ON within {limit_s} s")
        answered = now()
        proxy = self.proxies[f"{hutch}/ctrl0/axis0"]
        events_at = None
        while events_at is None and now() - answered < 30:
            try:
                proxy.command_inout("MoveRelative", 100.0)
            except tango.DevFailed:
                pass
            if wait_until(lambda: self.events.since(answered, hutch), 1.0) is not None:
                events_at = self.events.since(answered, hutch)[0][0]
        wait_until(lambda: proxy.state() == DevState.ON, 5)
        self.figures[f"{label}: calls answered again"] = answered - lost_at
        self.figures[f"{label}: events again"] = None if events_at is None else events_at - lost_at
        return self.step(f"{label}: {hutch} recovered", events_at is not None,
                         f"axes ON {answered - lost_at:.2f} s after the loss, events "
                         + (f"{events_at - lost_at:.2f} s after it, without a new subscription"
                            if events_at else "did not resume within 30 s"))

    def hutch2_untouched(self, start, label):
        gap, count = self.hutch2_events_went_on(start, now())
        failures = len(self.mover_failures)
        return self.step(f"{label}: hutch2 untouched", gap < UNTOUCHED_GAP_S and count > 0 and failures == 0,
                         f"{count} events of the moving hutch2/ctrl0/axis0, longest gap {gap * 1000:.0f} ms, "
                         f"{failures} failed calls")

    def server_loss(self):
        action("kill-server", "hutch1")
        lost_at = now()
        self.calls_fail("hutch1/ctrl0/axis0", "server loss")
        starter = tango.DeviceProxy("tango/admin/hutch1")
        seen = wait_until(lambda: "PositionerDS/hutch1" in starter.command_inout("DevGetStopServers", True),
                          30, 0.2)
        asked = self.ask_starter("hutch1", 30)
        self.step("server loss: Starter shows the server stopped and is asked to start it",
                  seen is not None and asked is not None,
                  f"shown stopped {now() - lost_at:.2f} s after the kill, DevStart accepted"
                  if seen is not None and asked is not None else "not shown stopped, or DevStart refused, for 30 s")
        self.recovered("hutch1", lost_at, "server loss")
        self.hutch2_untouched(lost_at, "server loss")

    def host_loss(self):
        action("host-down", "hutch1")
        lost_at = now()
        self.calls_fail("hutch1/ctrl1/axis0", "host loss")
        time.sleep(max(0.0, 2.0 - (now() - lost_at)))
        action("host-up", "hutch1")
        up_at = now()
        self.recovered("hutch1", up_at, "host restart")
        self.hutch2_untouched(lost_at, "host loss")

    def controller_loss(self):
        lost_at = now()
        action("controller-down", "hutch2", 1)
        device = "hutch2/ctrl1/axis0"
        fault = wait_until(lambda: self.state(device) in (DevState.FAULT, DevState.UNKNOWN), 10)
        status = self.safe_status(device)
        self.step("controller loss: the device shows it", fault is not None,
                  f"{self.safe_state(device)} after {fault or 10:.2f} s: {status}")
        others = [n for n in self.names if n.startswith("hutch2/ctrl0")]
        self.step("controller loss: the other controller's devices untouched",
                  all(self.state(n) in (DevState.ON, DevState.MOVING) for n in others),
                  ", ".join(f"{n} {self.state(n)}" for n in others))
        action("controller-up", "hutch2", 1)
        up_at = now()
        back = wait_until(lambda: self.all_on([n for n in self.names if n.startswith("hutch2/ctrl1")]), 30, 0.1)
        self.figures["controller loss: ON again after the controller returned"] = back
        self.step("controller loss: ON again", back is not None,
                  f"{back:.2f} s after the controller returned" if back else "not ON within 30 s")
        self.hutch2_untouched(lost_at, "controller loss")
        return up_at

    def safe_status(self, name):
        try:
            return self.proxies[name].status().strip().replace("\n", " ")
        except tango.DevFailed as failure:
            return error_of(failure)

    def screenshot(self, path):
        shot = subprocess.run([sys.executable, os.path.join(HERE, "form_screenshot.py"), "--move-all",
                               path, "hutch1/ctrl0/axis0", "hutch2/ctrl0/axis1"], timeout=120)
        self.step("taurus form picture", shot.returncode == 0, path)

    # -- figures ---------------------------------------------------------------------------

    def latency_figures(self, end):
        reported = [r for r in reports(self.reports_log, LATENCY_CONTROLLER, 0)
                    if self.subscribed + 1 < r[0] < end]
        arrivals = [(at, round(value / SCALE))
                    for at, value in self.events.since(self.subscribed, "hutch2/ctrl0/axis0")]
        delays = latencies_ms(reported, arrivals)
        if delays:
            self.figures["event latency, controller report to client on another host, median (ms)"] = \
                percentile(delays, 0.5)
            self.figures["… 99th percentile (ms)"] = percentile(delays, 0.99)
        self.figures["events of the moving hutch2 axis, reported changes / lost"] = \
            f"{len(changes(reported))} / {lost(changes(reported), arrivals)}"
        self.step("event latency measured", len(delays) > 50, f"{len(delays)} events matched to reports")

    def run(self, screenshot):
        if not self.servers_started():
            return False
        self.subscribe()
        self.access_control()
        self.moving.set()
        mover = threading.Thread(target=self.mover, daemon=True)
        mover.start()
        time.sleep(2)
        self.server_loss()
        self.host_loss()
        self.controller_loss()
        if screenshot:
            self.screenshot(screenshot)
        self.moving.clear()
        mover.join(15)
        end = now()
        self.latency_figures(end)
        served = sum(1 for n in self.names if self.safe_state(n) in ("ON", "MOVING"))
        self.figures["axes served in total (two hosts)"] = f"{served} of {len(self.names)}"
        self.print_figures()
        return all(ok for _, ok in self.steps)

    def print_figures(self):
        print(f"\nFigures (load average {', '.join(f'{x:.2f}' for x in os.getloadavg())})", flush=True)
        for name, value in self.figures.items():
            if isinstance(value, float):
                value = f"{value:.2f}" if "(ms)" in name else f"{value:.2f} s"
            print(f"  {name}: {'-' if value is None else value}")
        failed = [name for name, ok in self.steps if not ok]
        print(f"\n{len(self.steps) - len(failed)} of {len(self.steps)} steps held"
              + (": failed " + "; ".join(failed) if failed else ""), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--guest", required=True, help="the user whose client may only read")
    parser.add_argument("--reports", required=True, help="the report log of hutch2's first controller")
    parser.add_argument("--axes", type=int, default=2, help="axes per controller")
    parser.add_argument("--screenshot")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    held = Session(args.axes, args.guest, args.reports).run(args.screenshot)
    return 0 if held or not args.check else 1


if __name__ == "__main__":
    sys.exit(main())
