"""The screens in a browser, against the desktop screens they mirror.

A real mosquitto (the MQTT listener, a WebSockets listener serving the
page, the shipped ACL), the real screen with --publish on an Xvfb display,
and headless Chromium showing the page as the broker's read-only viewer.
docs/demo-session.txt is replayed into the screen in parts; after each part
every cell of every screen the desktop shows must equal the page's, read
from the desktop through the accessibility bus (as the end-to-end test
reads it) and from the page's tables. A rider's card opened from a row
follows, then late joiners, a broker restart and an accessibility check; a
screenshot goes to docs/browser-view.png.

Usage (from run_browser.sh, in a network namespace and a session bus):
browser_test.py PROGRAM RACE_FEED PAGE_DIR NPM_DIR SOURCE_DIR ARTIFACT_DIR
"""

import gzip
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import pyatspi
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PROGRAM, RACE_FEED, PAGE_DIR, NPM_DIR, SOURCE_DIR, ARTIFACTS = sys.argv[1:7]
list(pyatspi.Registry.getDesktop(0))  # the registry up before the program starts
APP_NAME = "Orvane Commentator Screen"
MAIN = "Commentator Screen v2.09"
FRAMES = {
    "scratch": "Commentator Screen, Scratch / Keiren",
    "points_race": "ptsrace_commentator_form",
    "sprint": "Sprint Race Commentator",
    "time_trial": "TT Commentator Screen",
    "quick_text": "qdtype_commentator_form",
    "log": MAIN,
}
SESSION = os.path.join(SOURCE_DIR, "docs", "demo-session.txt")
SPEED = 5           # the demo session's 260 s in about 52 s
PARTS = 4           # checkpoints: after each part of the session
LATE_JOINS = 20
PAGE_FILES = ["index.html", "view.css", "view.js", "rider_card.js", "mqtt.min.js",
              "DSEG7Classic-Bold.ttf"]
START_LIST = os.path.join(SOURCE_DIR, "docs", "start-list.csv")
# Bib 47 after the whole demo session, as the desktop card shows it
# (tests/e2e/e2e_test.py, RiderCards): the time trial's row by name only.
TODAY_47 = [
    ["Time trial", "Time trial", "6", "", "4:10.314", ""],
    ["Sprint", "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 2", "2", "", "", ""],
    ["Sprint", "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 1", "1", "", "10.116", ""],
    ["Points race", "Points race", "19", "-15", "", ""],
    ["Points race", "Sprint 3 - Lap 50", "1", "5", "", ""],
    ["Scratch", "MEN'S SCRATCH 15 KM - 60 LAPS", "13", "", "", ""],
]
NOTE_47 = "Quarter-finalist last year;\nkilo specialist"

# The rider card as the page shows it.
DUMP_CARD = """
const card = document.getElementById('rider-card');
const table = document.getElementById('today-so-far');
return {
  open: card.open,
  title: document.getElementById('rider-title').textContent,
  fields: [...card.querySelectorAll('#rider-fields dt')].map((dt) => dt.textContent + ' ' + dt.nextElementSibling.textContent),
  head: [...table.querySelectorAll('thead th')].map((th) => th.textContent),
  rows: [...table.querySelectorAll('tbody tr')].map((tr) => [...tr.children].map((td) => td.textContent)),
  note: document.getElementById('rider-note').textContent,
  author: document.getElementById('rider-note-author').textContent,
  focused: document.activeElement ? (document.activeElement.dataset.bib || document.activeElement.id) : '',
};
"""


def wait_for(what, timeout=10.0, step=0.1):
    """Polls `what` until it returns something true; fails after `timeout`
    with the last answer."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = what()
        except Exception as error:  # pylint: disable=broad-except
            last = error
        if last and not isinstance(last, Exception):
            return last
        time.sleep(step)
    raise AssertionError(f"gave up after {timeout:g} s; last answer: {last!r}")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def publish_retained(port, user, password, topic, payload):
    """One retained QoS 1 message as `user`, in MQTT 3.1.1 by hand (the
    test needs no client library); returns once the broker acknowledged it."""
    def text(value):
        data = value.encode()
        return len(data).to_bytes(2, "big") + data

    def packet(kind, body):
        length, size = b"", len(body)
        while True:
            byte, size = size % 128, size // 128
            length += bytes([byte | (0x80 if size else 0)])
            if not size:
                return bytes([kind]) + length + body

    def read(sock, count):
        data = b""
        while len(data) < count:
            chunk = sock.recv(count - len(data))
            if not chunk:
                raise AssertionError("the broker closed the connection")
            data += chunk
        return data

    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        sock.sendall(packet(0x10, text("MQTT") + bytes([4, 0xC2, 0, 30]) + text("browser-test") +
                            text(user) + text(password)))
        assert read(sock, 4) == b"\x20\x02\x00\x00", "the broker refused the connection"
        sock.sendall(packet(0x33, text(topic) + (1).to_bytes(2, "big") + payload))
        assert read(sock, 4)[0] == 0x40, "no PUBACK"
        sock.sendall(b"\xe0\x00")


class Broker:
    """mosquitto with the shipped ACL, an MQTT and a WebSockets listener."""

    def __init__(self, directory):
        self.dir = directory
        self.port = free_port()
        self.ws_port = free_port()
        passwords = os.path.join(directory, "passwd")
        for user in ("venue", "viewer"):
            subprocess.run(["mosquitto_passwd", "-b", *(["-c"] if user == "venue" else []),
                            passwords, user, user + "-pw"], check=True, timeout=30)
        with open(os.path.join(directory, "mosquitto.conf"), "w", encoding="ascii") as conf:
            conf.write(f"user root\npersistence true\npersistence_location {directory}/\n"
                       f"listener {self.port} 127.0.0.1\n"
                       f"listener {self.ws_port} 127.0.0.1\nprotocol websockets\n"
                       f"http_dir {PAGE_DIR}\n"
                       f"allow_anonymous false\npassword_file {passwords}\n"
                       f"acl_file {SOURCE_DIR}/docs/mosquitto-venue.acl\n")
        with open(os.path.join(directory, "venue.pw"), "w", encoding="ascii") as file:
            file.write("venue-pw\n")
        os.chmod(os.path.join(directory, "venue.pw"), 0o600)
        self.process = None
        self.start()

    def start(self):
        self.log = open(os.path.join(self.dir, "mosquitto.log"), "ab")
        self.process = subprocess.Popen(["mosquitto", "-c", os.path.join(self.dir, "mosquitto.conf")],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        wait_for(lambda: listening(self.port) and listening(self.ws_port), timeout=10)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=10)
        self.log.close()


class Desktop:
    """The real screen with --publish, read through the accessibility bus."""

    def __init__(self, directory, broker):
        self.dir = directory
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   XDG_RUNTIME_DIR=os.path.join(directory, "run"))
        os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
        env.pop("QT_QPA_PLATFORM", None)
        self.output = open(os.path.join(directory, "program.log"), "wb")
        self.process = subprocess.Popen(
            [PROGRAM, "--start-list", START_LIST, "--publish", f"mqtt://venue@127.0.0.1:{broker.port}",
             "--password-file", os.path.join(broker.dir, "venue.pw"), "--allow-plain-password"],
            cwd=directory, env=env, stdout=self.output, stderr=subprocess.STDOUT)
        wait_for(lambda: self.frame(MAIN), timeout=30)

    def end(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=20)
        self.output.close()

    @staticmethod
    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == APP_NAME:
                return app
        return None

    def frame(self, title):
        app = self.application()
        for frame in (app or []):
            if (frame is not None and frame.name == title
                    and frame.getState().contains(pyatspi.STATE_SHOWING)):
                return frame
        return None

    @staticmethod
    def find(node, role, name):
        for child in node:
            if child is None:
                continue
            if child.getRoleName() == role and child.name == name:
                return child
            found = Desktop.find(child, role, name)
            if found is not None:
                return found
        return None

    @staticmethod
    def texts(node, role):
        found = []
        for child in node:
            if child is None:
                continue
            if child.getRoleName() == role:
                found.append(child.name)
            found.extend(Desktop.texts(child, role))
        return found

    @staticmethod
    def table(node, shape):
        """A grid as the page dumps it: its heading row without the corner,
        then each row, its heading cell first. `shape` says whether the page
        has a heading row and a heading column."""
        table = node.queryTable()
        head = []
        if shape["head"]:
            head = [(table.getColumnHeader(c).name if table.getColumnHeader(c) else "")
                    for c in range(table.nColumns)]
        rows = []
        for r in range(table.nRows):
            row = []
            if shape["rowhead"]:
                header = table.getRowHeader(r)
                row.append(header.name if header is not None else "")
            row.extend(table.getAccessibleAt(r, c).name for c in range(table.nColumns))
            rows.append(row)
        return {"head": head, "rows": rows}

    def dump(self, page):
        """What the desktop shows of each screen it shows, shaped as `page`."""
        screens = {}
        for screen, title in FRAMES.items():
            frame = self.frame(title)
            if frame is None or screen not in page:
                continue
            shown = {"tables": {}, "lists": {}, "texts": []}
            for name, shape in page[screen]["tables"].items():
                node = self.find(frame, "table", name)
                shown["tables"][name] = self.table(node, shape) if node else None
            for name in page[screen]["lists"]:
                node = self.find(frame, "list", name)
                shown["lists"][name] = [item.name for item in node] if node else None
            if screen in ("sprint", "time_trial"):
                # The desktop's own notice of its broker link is no screen text.
                shown["texts"] = sorted(t for t in self.texts(frame, "label")
                                        if t and not t.startswith("Feed notice"))
            screens[screen] = shown
        return screens


# In the page: each screen's tables by caption, lists by label, and the
# label texts (the sprint's title, the time trial's readouts).
DUMP_PAGE = """
const screens = {};
for (const root of document.querySelectorAll('section.screen')) {
  const screen = root.id.slice('screen-'.length);
  const tables = {};
  for (const table of root.querySelectorAll('table')) {
    const rowhead = !!table.querySelector('tbody th');
    const head = [...table.querySelectorAll('thead th')].map((c) => c.textContent);
    tables[table.querySelector('caption').textContent] = {
      head: rowhead ? head.slice(1) : head, rowhead,
      rows: [...table.querySelectorAll('tbody tr')].map((tr) => [...tr.children].map((c) => c.textContent)),
    };
  }
  const lists = {};
  for (const list of root.querySelectorAll('[data-lines]')) {
    lists[list.getAttribute('aria-label')] = [...list.children].map((li) => li.textContent);
  }
  const texts = [...root.querySelectorAll('[data-text]')].map((e) => e.textContent).filter((t) => t).sort();
  screens[screen] = {tables, lists, texts, sequence: root.dataset.sequence || ''};
}
return screens;
"""


def comparable(page):
    """The page's dump as the desktop's: the shapes dropped."""
    return {screen: {"tables": {name: {"head": t["head"], "rows": t["rows"]}
                                for name, t in shown["tables"].items()},
                     "lists": shown["lists"], "texts": shown["texts"]}
            for screen, shown in page.items()}


def shapes(page):
    return {screen: {"tables": {name: {"head": bool(t["head"]), "rowhead": t["rowhead"]}
                                for name, t in shown["tables"].items()},
                     "lists": list(shown["lists"])}
            for screen, shown in page.items()}


def chromium(directory, width, height):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-extensions",
                     f"--user-data-dir={tempfile.mkdtemp(dir=directory)}",
                     f"--window-size={width},{height}"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class BrowserView(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="browser-view-")
        os.makedirs(ARTIFACTS, exist_ok=True)
        cls.broker = Broker(cls.dir)
        cls.desktop = Desktop(cls.dir, cls.broker)
        cls.url = (f"http://127.0.0.1:{cls.broker.ws_port}/index.html?"
                   f"broker=ws://127.0.0.1:{cls.broker.ws_port}&user=viewer&password=viewer-pw")
        cls.page = chromium(cls.dir, 1280, 800)
        cls.page.get(cls.url)

    @classmethod
    def tearDownClass(cls):
        cls.page.quit()
        cls.desktop.end()
        cls.broker.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def page_dump(self, driver=None):
        return (driver or self.page).execute_script(DUMP_PAGE)

    def status(self, driver=None):
        return (driver or self.page).execute_script(
            "return document.getElementById('status').textContent")

    def assert_page_equals_desktop(self, when, timeout=10.0):
        """Every cell of every screen the desktop shows, equal on the page."""
        last = {}

        def equal():
            page = self.page_dump()
            desktop = self.desktop.dump(shapes(page))
            shown = {screen: s for screen, s in comparable(page).items() if screen in desktop}
            last.update(page=shown, desktop=desktop)
            return bool(desktop) and shown == desktop

        try:
            wait_for(equal, timeout=timeout, step=0.3)
        except AssertionError:
            for screen in last.get("desktop", {}):
                if last["desktop"][screen] != last["page"].get(screen):
                    self.fail(f"{when}: {screen} differs:\n desktop {json.dumps(last['desktop'][screen])[:3000]}"
                              f"\n page    {json.dumps(last['page'].get(screen))[:3000]}")
            raise
        return len(last["desktop"])

    def replay(self, lines):
        path = os.path.join(self.dir, "part.txt")
        with open(path, "w", encoding="latin-1", newline="\n") as part:
            part.write("#orvane-session 1\n" + "".join(lines))
        return subprocess.Popen([RACE_FEED, "replay", path, "--speed", str(SPEED), "--quiet"])

    def late_join(self, joiner):
        """Loads the page anew; seconds until it equals the page that was
        there all along."""
        started = time.monotonic()
        joiner.get(self.url)
        wait_for(lambda: comparable(self.page_dump(joiner)) == comparable(self.page_dump()),
                 timeout=5, step=0.05)
        return time.monotonic() - started

    def test_1_the_page_is_light(self):
        weight = 0
        for name in PAGE_FILES:
            with open(os.path.join(PAGE_DIR, name), "rb") as file:
                weight += len(gzip.compress(file.read(), 9))
        print(f"page weight: {weight} bytes gzipped", file=sys.stderr)
        self.assertLessEqual(weight, 150 * 1024)

    def test_2_demo_session_checkpoints_and_late_joins(self):
        with open(SESSION, encoding="latin-1") as session:
            lines = [line for line in session if not line.startswith("#")]
        joiner = chromium(self.dir, 1280, 800)
        self.addCleanup(joiner.quit)
        rng = random.Random(24)
        joins = []
        size = (len(lines) + PARTS - 1) // PARTS
        for part in range(PARTS):
            feed = self.replay(lines[part * size:(part + 1) * size])
            # Late joins at random moments while the records flow.
            for _ in range(LATE_JOINS // PARTS):
                time.sleep(rng.uniform(0.5, 2.0))
                joins.append(self.late_join(joiner))
            self.assertEqual(feed.wait(timeout=300), 0)
            started = time.monotonic()
            screens = self.assert_page_equals_desktop(f"after part {part + 1} of {PARTS}")
            print(f"checkpoint {part + 1}: {screens} screens equal after "
                  f"{time.monotonic() - started:.1f} s", file=sys.stderr)
        joins.sort()
        print(f"late joins: {len(joins)}, median {joins[len(joins) // 2]:.3f} s, "
              f"slowest {joins[-1]:.3f} s", file=sys.stderr)
        self.assertEqual(len(joins), LATE_JOINS)
        self.assertLessEqual(joins[-1], 1.0, joins)
        self.assertEqual(self.status(), "Feed live")

    def run_axe(self, what):
        """The serious and critical violations axe-core finds on the page."""
        with open(os.path.join(NPM_DIR, "node_modules", "axe-core", "axe.min.js"),
                  encoding="utf-8") as file:
            self.page.execute_script(file.read())
        result = self.page.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document).then((r) => done(r.violations), (e) => done(String(e)));")
        self.assertIsInstance(result, list, result)
        return [f"{what}: {v['id']} ({v['impact']}): {v['help']}"
                for v in result if v["impact"] in ("serious", "critical")]

    def test_2a_rider_card_from_a_row(self):
        """After the demo session (test 2): a note shared for bib 47, the
        card opened by a click on the time trial's row that names the rider
        without a bib, closed with Esc and opened again with Enter."""
        started = time.monotonic()
        note = {"format": "orvane-note", "version": 1, "bib": "47",
                "note": {"text": NOTE_47, "author": "anna", "time": 1765432100000}}
        publish_retained(self.broker.port, "venue", "venue-pw", "orvane/feed/notes/47",
                         json.dumps(note).encode())
        self.page.find_element("id", "tab-time_trial").click()
        row = wait_for(lambda: self.page.find_element(
            "css selector", "#screen-time_trial [data-grid=standings] tr[data-bib='47']"))
        self.assertIn("L. MARTENS BEL", row.text)
        row.click()
        expected = {"open": True, "title": "47  L. Martens", "head": [
            "Screen", "Heat", "Place", "Points", "Time", "Status"], "rows": TODAY_47,
            "note": NOTE_47}
        last = {}

        def shown():
            card = self.page.execute_script(DUMP_CARD)
            last.update(card)
            return {key: card[key] for key in expected} == expected

        try:
            wait_for(shown, timeout=5)
        except AssertionError:
            self.fail(f"card: {json.dumps(last)}")
        self.assertIn("Nation: BEL", last["fields"])
        self.assertTrue(last["author"].startswith("Last edit: anna, "), last["author"])
        serious = self.run_axe("rider card open")
        self.page.save_screenshot(os.path.join(ARTIFACTS, "rider-card.png"))

        # Esc closes it and gives the focus back to the row; Enter opens it.
        from selenium.webdriver.common.keys import Keys  # pylint: disable=import-outside-toplevel
        self.page.switch_to.active_element.send_keys(Keys.ESCAPE)
        wait_for(lambda: not self.page.execute_script(DUMP_CARD)["open"], timeout=2)
        self.assertEqual(self.page.execute_script(DUMP_CARD)["focused"], "47")
        self.page.switch_to.active_element.send_keys(Keys.ENTER)
        wait_for(lambda: self.page.execute_script(DUMP_CARD)["rows"] == TODAY_47, timeout=3)
        self.page.find_element("id", "rider-close").click()
        self.assertFalse(self.page.execute_script(DUMP_CARD)["open"])
        self.assertEqual(serious, [])
        print(f"rider card: {time.monotonic() - started:.1f} s", file=sys.stderr)

    def test_3_broker_restart(self):
        self.broker.stop()
        wait_for(lambda: self.status().startswith("Reconnecting"), timeout=5)
        # A record the page has not seen, while the broker is away.
        subprocess.run([RACE_FEED, "send", "{qdtype}+{data},BROKER WAS AWAY,"], check=True,
                       timeout=30)
        self.broker.start()
        started = time.monotonic()
        wait_for(lambda: self.status() == "Feed live", timeout=5)
        self.assert_page_equals_desktop("after the broker's restart", timeout=5)
        elapsed = time.monotonic() - started
        print(f"broker restart: right again after {elapsed:.1f} s", file=sys.stderr)
        self.assertLessEqual(elapsed, 5.0)

    def test_4_accessibility_and_screenshots(self):
        with open(os.path.join(NPM_DIR, "node_modules", "axe-core", "axe.min.js"),
                  encoding="utf-8") as file:
            axe = file.read()
        serious = []
        for width, height in ((1280, 800), (390, 844)):
            self.page.set_window_size(width, height)
            for screen in FRAMES:
                self.page.find_element("id", "tab-" + screen).click()
                self.page.execute_script(axe)
                result = self.page.execute_async_script(
                    "const done = arguments[arguments.length - 1];"
                    "axe.run(document).then((r) => done(r.violations), (e) => done(String(e)));")
                self.assertIsInstance(result, list, result)
                serious += [f"{width}px {screen}: {v['id']} ({v['impact']}): {v['help']}"
                            for v in result if v["impact"] in ("serious", "critical")]
                if width < 900:
                    self.page.save_screenshot(os.path.join(ARTIFACTS, f"narrow-{screen}.png"))
        self.assertEqual(serious, [])
        self.page.set_window_size(1280, 800)
        self.page.find_element("id", "tab-time_trial").click()
        time.sleep(0.5)
        self.page.save_screenshot(os.path.join(ARTIFACTS, "browser-view.png"))
        if os.environ.get("BROWSER_VIEW_SCREENSHOT"):
            shutil.copy(os.path.join(ARTIFACTS, "browser-view.png"),
                        os.environ["BROWSER_VIEW_SCREENSHOT"])
        paints = sorted(self.page.execute_script("return window.orvaneView.stats.paints"))
        if paints:
            print(f"message to painted table: p50 {paints[len(paints) // 2]:.1f} ms, "
                  f"p95 {paints[int(len(paints) * 0.95)]:.1f} ms over {len(paints)}",
                  file=sys.stderr)

    def quick_text_line(self, driver):
        return driver.execute_script(
            "const line = document.querySelector('#screen-quick_text li');"
            "return line ? line.textContent : null")

    def test_5_delay_then_feed_quiet(self):
        delayed = chromium(self.dir, 1280, 800)
        self.addCleanup(delayed.quit)
        delayed.get(self.url + "&delay=3")
        wait_for(lambda: self.status(delayed).startswith("Feed live, 3 s behind"), timeout=5)
        subprocess.run([RACE_FEED, "send", "{qdtype}+{data},HELD THREE SECONDS,"], check=True,
                       timeout=30)
        sent = time.monotonic()
        wait_for(lambda: self.quick_text_line(self.page) == "HELD THREE SECONDS", timeout=2)
        self.assertNotEqual(self.quick_text_line(delayed), "HELD THREE SECONDS")
        wait_for(lambda: self.quick_text_line(delayed) == "HELD THREE SECONDS", timeout=5,
                 step=0.05)
        held = time.monotonic() - sent
        print(f"delay 3 s: shown after {held:.2f} s", file=sys.stderr)
        self.assertGreaterEqual(held, 2.5)
        self.assertLessEqual(held, 3.8)
        # No record for over 15 s: the corner says the feed is quiet.
        wait_for(lambda: self.status().startswith("Feed quiet for"), timeout=20, step=0.5)
        self.assertTrue(self.status(delayed).startswith("Feed quiet for"))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[7:]])
