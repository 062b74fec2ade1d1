#!/usr/bin/python3
"""The browser view's figures, in a network namespace of its own.

load: a real mosquitto (MQTT and WebSockets listeners, the shipped ACL),
      race-feed publish as the venue end, 5 headless Chromium pages and
      SUBSCRIBERS MQTT-over-WebSocket subscribers (view_load.js) while
      records come at RATE a second: latency from the datagram to the view
      document at the subscribers, the CPU of the venue end and the broker,
      and the pages' time from message to painted table.
cpu:  the screen with --publish at the demo session's pace, against the
      same screen without the view (BASE_PROGRAM, a build from before it)
      and without --publish: the screen's CPU over the same records.

Usage: bench/view_bench.py BUILD_DIR [load|cpu|all]
Settings (environment): SUBSCRIBERS=200 PAGES=5 RATE=100 SECONDS=30
CPU_SECONDS=120 (of the demo session, at its own pace) BASE_PROGRAM=path
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
PART = sys.argv[2] if len(sys.argv) > 2 else "all"
SUBSCRIBERS = int(os.environ.get("SUBSCRIBERS", 200))
PAGES = int(os.environ.get("PAGES", 5))
RATE = float(os.environ.get("RATE", 100))
SECONDS = float(os.environ.get("SECONDS", 30))
CPU_SECONDS = float(os.environ.get("CPU_SECONDS", 120))
BASE_PROGRAM = os.environ.get("BASE_PROGRAM", "")
TICKS = os.sysconf("SC_CLK_TCK")

if os.environ.get("VIEW_BENCH_NETNS") is None:
    # Loopback only, and the venue's fixed ports to ourselves; a private
    # X socket directory so Xvfb's choice of display sees only its own.
    os.execvp("unshare", ["unshare", "-n", "-m", "env", "VIEW_BENCH_NETNS=1", "bash", "-c",
                          "ip link set lo up && mkdir -p /tmp/.X11-unix && "
                          "mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix && "
                          'exec /usr/bin/python3 "$@"', "bash", *sys.argv])


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_listening(port, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.5).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {port}")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(len(values) * p))] if values else float("nan")


class Broker:
    def __init__(self, work):
        self.port, self.ws_port = free_port(), free_port()
        self.passwords = os.path.join(work, "passwd")
        for user in ("venue", "viewer"):
            subprocess.run(["mosquitto_passwd", "-b", *(["-c"] if user == "venue" else []),
                            self.passwords, user, user + "-pw"], check=True)
        self.venue_pw = os.path.join(work, "venue.pw")
        with open(self.venue_pw, "w", encoding="ascii") as file:
            file.write("venue-pw\n")
        os.chmod(self.venue_pw, 0o600)
        conf = os.path.join(work, "mosquitto.conf")
        with open(conf, "w", encoding="ascii") as file:
            file.write(f"user root\nlistener {self.port} 127.0.0.1\n"
                       f"listener {self.ws_port} 127.0.0.1\nprotocol websockets\n"
                       f"http_dir {BUILD}/web-page\nallow_anonymous false\n"
                       f"password_file {self.passwords}\n"
                       f"acl_file {ROOT}/docs/mosquitto-venue.acl\nmax_queued_messages 100000\n"
                       "set_tcp_nodelay true\n")
        self.process = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_listening(self.port)
        wait_listening(self.ws_port)

    def publish_args(self):
        return [f"mqtt://venue@127.0.0.1:{self.port}", "--password-file", self.venue_pw,
                "--allow-plain-password"]

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=10)


def chromium_pages(work, url, count):
    from selenium import webdriver  # pylint: disable=import-outside-toplevel
    from selenium.webdriver.chrome.service import Service  # pylint: disable=import-outside-toplevel
    drivers = []
    for index in range(count):
        options = webdriver.ChromeOptions()
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--no-first-run",
                         f"--user-data-dir={work}/chromium-{index}", "--window-size=1280,800"):
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.get(url)
        drivers.append(driver)
    return drivers


def load(work):
    broker = Broker(work)
    venue = subprocess.Popen([f"{BUILD}/race-feed", "publish", *broker.publish_args(), "--quiet"])
    time.sleep(1)
    url = (f"http://127.0.0.1:{broker.ws_port}/index.html?broker=ws://127.0.0.1:{broker.ws_port}"
           "&user=viewer&password=viewer-pw&screen=scratch")
    drivers = chromium_pages(work, url, PAGES)
    try:
        time.sleep(2)
        for driver in drivers:
            driver.execute_script("window.orvaneView.stats.paints.length = 0")
        before = {name: cpu_seconds(p.pid) for name, p in
                  (("venue", venue), ("broker", broker.process))}
        started = time.monotonic()
        run = subprocess.run(["node", f"{HERE}/view_load.js", f"{BUILD}/web-npm",
                              f"ws://127.0.0.1:{broker.ws_port}", "orvane/feed", "viewer",
                              "viewer-pw", str(SUBSCRIBERS), str(RATE), str(SECONDS)],
                             capture_output=True, text=True, timeout=SECONDS * 4 + 300,
                             check=True)
        elapsed = time.monotonic() - started
        after = {name: cpu_seconds(p.pid) for name, p in
                 (("venue", venue), ("broker", broker.process))}
        result = json.loads(run.stdout)
        paints = []
        for driver in drivers:
            paints += driver.execute_script("return window.orvaneView.stats.paints")
        result.update({
            "pages": PAGES,
            # Over the whole run: subscribing, the records, the tail.
            "venue_cpu_percent": 100 * (after["venue"] - before["venue"]) / elapsed,
            "broker_cpu_percent": 100 * (after["broker"] - before["broker"]) / elapsed,
            "page_paints": len(paints),
            "page_paint_p50_ms": percentile(paints, 0.50),
            "page_paint_p95_ms": percentile(paints, 0.95),
        })
        return result
    finally:
        for driver in drivers:
            driver.quit()
        venue.send_signal(signal.SIGINT)
        venue.wait(timeout=10)
        broker.stop()


def xvfb(work):
    display_file = os.path.join(work, "display")
    with open(display_file, "w", encoding="ascii") as out:
        server = subprocess.Popen(["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0",
                                   "1280x1024x24", "-nolisten", "tcp"], pass_fds=(out.fileno(),),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        with open(display_file, encoding="ascii") as display:
            number = display.read().strip()
        if number.isdigit():
            return server, ":" + number
        time.sleep(0.05)
    raise RuntimeError("Xvfb gave no display")


def screen_cpu(work, program, publish, broker, session):
    """CPU seconds of the screen over the session, from its first record."""
    home = tempfile.mkdtemp(dir=work)
    env = dict(os.environ, XDG_RUNTIME_DIR=home)
    env.pop("QT_QPA_PLATFORM", None)
    args = [program] + (["--publish", *broker.publish_args()] if publish else [])
    screen = subprocess.Popen(args, cwd=home, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        time.sleep(4)  # started, windows up, the broker connected
        before = cpu_seconds(screen.pid)
        subprocess.run([f"{BUILD}/race-feed", "replay", session, "--quiet"], check=True,
                       timeout=CPU_SECONDS * 2 + 60)
        time.sleep(1)
        return cpu_seconds(screen.pid) - before
    finally:
        screen.send_signal(signal.SIGTERM)
        screen.wait(timeout=20)


def cpu(work):
    # The first CPU_SECONDS of the demo session, at its own pace.
    session = os.path.join(work, "session.txt")
    total_ms = 0
    lines = 0
    with open(f"{ROOT}/docs/demo-session.txt", encoding="latin-1") as source, \
            open(session, "w", encoding="latin-1") as part:
        for line in source:
            if line.startswith("#"):
                part.write(line)
                continue
            total_ms += int(line.split("\t", 1)[0])
            if total_ms > CPU_SECONDS * 1000:
                break
            part.write(line)
            lines += 1
    server, display = xvfb(work)
    os.environ["DISPLAY"] = display
    broker = Broker(work)
    try:
        runs = [("without --publish", f"{BUILD}/orvane-commentator", False),
                ("--publish with the view", f"{BUILD}/orvane-commentator", True)]
        if BASE_PROGRAM:
            runs.append(("--publish without the view (base build)", BASE_PROGRAM, True))
        figures = {"records": lines, "seconds": CPU_SECONDS}
        for name, program, publish in runs:
            figures[name] = screen_cpu(work, program, publish, broker, session)
        return figures
    finally:
        broker.stop()
        server.terminate()
        server.wait()


def main():
    work = tempfile.mkdtemp(prefix="view-bench-")
    try:
        if PART in ("load", "all"):
            result = load(work)
            print("view load:", json.dumps(result, indent=1))
        if PART in ("cpu", "all"):
            print("screen CPU seconds:", json.dumps(cpu(work), indent=1))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
