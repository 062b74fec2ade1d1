"""End-to-end tests of the commentator screen as a person sees it.

The real program runs on its own Xvfb display in a fresh working directory;
race-feed sends it race data over loopback; the windows are read from outside
through the accessibility bus (AT-SPI), the way a screen reader reads them;
screenshots of the whole display are kept as artefacts.

Usage (from run_e2e.sh, inside a session bus): e2e_test.py PROGRAM RACE_FEED ARTIFACT_DIR
"""

import ast
import inspect
import linecache
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest

import pyatspi

PROGRAM, RACE_FEED, ARTIFACTS = sys.argv[1:4]
WINDOW_MANAGER = os.environ.get("E2E_WINDOW_MANAGER", "none")
# Bring the accessibility registry up before any program starts: a program
# that starts while the bus is still being activated never appears on it.
list(pyatspi.Registry.getDesktop(0))
APP_NAME = "Orvane Commentator Screen"
MAIN = "Commentator Screen v2.09"
SCRATCH = "Commentator Screen, Scratch / Keiren"
POINTS = "ptsrace_commentator_form"
SPRINT = "Sprint Race Commentator"
TIME_TRIAL = "TT Commentator Screen"
QUICK_TEXT = "qdtype_commentator_form"
IP_SETTINGS = "IP Settings"

# Outer frames on the 1024 x 768 screen, whatever frame the window manager
# draws: the main window centred, the screens centred over it on their first
# showing, the points race and time trial screens covering the screen.
OUTER_FRAMES = {
    MAIN: (106, 56, 812, 656),
    SCRATCH: (88, 38, 848, 693),
    SPRINT: (123, 97, 778, 574),
    QUICK_TEXT: (29, 69, 966, 630),
    POINTS: (0, 0, 1024, 768),
    TIME_TRIAL: (0, 0, 1024, 768),
}


def wait_for(what, timeout=10.0, step=0.1):
    """Polls `what` until it returns something true, or fails after `timeout`.

    The failure names the line that waited and what it waited for, how long,
    the last answer and, where that answer is a comparison's, the values
    compared, so a flaky wait can be found."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = what()
        except Exception as error:  # the tree changes while it is read
            last = error
        if last and not isinstance(last, Exception):
            return last
        time.sleep(step)
    caller = sys._getframe(1)
    waited_for = linecache.getline(caller.f_code.co_filename, caller.f_lineno).strip()
    raise AssertionError(f"gave up after {timeout:g} s waiting at line {caller.f_lineno}"
                         f" ({waited_for}); last answer: {last!r}{compared(what)}")


def compared(what):
    """What a waiting lambda compares or asks about, read again now: the last
    state seen, where its own answer is only True or False."""
    try:
        tree = ast.parse(textwrap.dedent(inspect.getsource(what)))
        names = dict(what.__globals__)
        names.update(zip(what.__code__.co_freevars,
                         (cell.cell_contents for cell in what.__closure__ or ())))
    except (OSError, TypeError, SyntaxError, ValueError):
        return ""
    lambdas = [node for node in ast.walk(tree) if isinstance(node, ast.Lambda)]
    if len(lambdas) != 1:
        return ""
    observed = {}

    def observe(node):
        if isinstance(node, ast.BoolOp):
            for value in node.values:
                observe(value)
        elif isinstance(node, ast.Compare):
            for side in (node.left, *node.comparators):
                observe(side)
        elif (isinstance(node, ast.Call) and isinstance(node.func, ast.Attribute)
              and node.func.attr in ("startswith", "endswith")):
            observe(node.func.value)
        elif not isinstance(node, (ast.Constant, ast.List, ast.Tuple)):
            if isinstance(node, ast.Call):  # which window, which table
                for argument in node.args:
                    if isinstance(argument, ast.Name):
                        observe(argument)
            text = ast.unparse(node)
            try:
                observed[text] = eval(compile(ast.Expression(node), "<wait>", "eval"), names)
            except Exception as error:  # pylint: disable=broad-except
                observed[text] = error

    observe(lambdas[0].body)
    return "".join(f"; {text} = {value!r}" for text, value in observed.items())


def feed(*args):
    subprocess.run([RACE_FEED, *args, "--quiet"], check=True, timeout=120)


def send(record, port=29105):
    # send says nothing of its own, so it takes no --quiet.
    subprocess.run([RACE_FEED, "send", record, "--port", str(port)], check=True, timeout=30)


def screenshot(name):
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True, timeout=30)
    return path


class X:
    """What the X server and the window manager tell of the windows."""

    @staticmethod
    def run(*args):
        return subprocess.run(list(args), capture_output=True, text=True, timeout=30).stdout

    @classmethod
    def window(cls, title):
        """The program's mapped top-level window with this exact title."""
        ids = cls.run("xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(title) + "$")
        ids = ids.split()
        return int(ids[0]) if ids else None

    @classmethod
    def outer_frame(cls, title):
        """(x, y, width, height) of the window with its frame."""
        window = cls.window(title)
        if window is None:
            return None
        info = cls.run("xwininfo", "-id", str(window))
        value = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
        x, y = value("Absolute upper-left X"), value("Absolute upper-left Y")
        width, height = value("Width"), value("Height")
        extents = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                            cls.run("xprop", "-id", str(window), "_NET_FRAME_EXTENTS"))
        left, right, top, bottom = map(int, extents.groups()) if extents else (0, 0, 0, 0)
        return (x - left, y - top, width + left + right, height + top + bottom)

    @classmethod
    def focused(cls):
        return int(cls.run("xdotool", "getwindowfocus").strip() or 0)

    @classmethod
    def stacking(cls):
        """The program's mapped top-level windows, bottom first, by title."""
        if WINDOW_MANAGER != "none":
            ids = re.findall(r"0x[0-9a-f]+", cls.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING"))
            ids = [int(i, 16) for i in ids]
        else:
            # The root's children, bottom first.
            ids = [int(i, 16) for i in re.findall(r"^\s+(0x[0-9a-f]+)",
                                                  cls.run("xwininfo", "-root", "-children"),
                                                  re.MULTILINE)][::-1]
        titles = {}
        for title in list(OUTER_FRAMES) + [IP_SETTINGS]:
            window = cls.window(title)
            if window is not None:
                titles[window] = title
        return [titles[i] for i in ids if i in titles]


class Accessible:
    """What the accessibility bus tells of the running program."""

    @staticmethod
    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == APP_NAME:
                return app
        return None

    @classmethod
    def frames(cls):
        app = cls.application()
        return [frame for frame in app if frame is not None] if app else []

    @classmethod
    def frame(cls, title):
        for frame in cls.frames():
            if frame.name == title and frame.getState().contains(pyatspi.STATE_SHOWING):
                return frame
        return None

    @classmethod
    def active_title(cls):
        for frame in cls.frames():
            if frame.getState().contains(pyatspi.STATE_ACTIVE):
                return frame.name
        return None

    @staticmethod
    def find(node, role, name):
        for child in node:
            if child is None:
                continue
            if child.getRoleName() == role and child.name == name:
                return child
            found = Accessible.find(child, role, name)
            if found is not None:
                return found
        return None

    @staticmethod
    def find_text(node, text, depth=0):
        """The first node below `node` whose name holds `text`."""
        if depth > 8:
            return None
        for child in node:
            if child is None:
                continue
            if text in (child.name or ""):
                return child
            found = Accessible.find_text(child, text, depth + 1)
            if found is not None:
                return found
        return None

    @classmethod
    def table(cls, title, name):
        """Rows of a grid as lists of cell texts, headings first when it has them."""
        frame = cls.frame(title)
        node = cls.find(frame, "table", name) if frame else None
        if node is None:
            return None
        table = node.queryTable()
        rows = []
        headings = [table.getColumnHeader(c) for c in range(table.nColumns)]
        if any(h is not None and h.name for h in headings):
            rows.append([h.name if h is not None else "" for h in headings])
        for r in range(table.nRows):
            rows.append([table.getAccessibleAt(r, c).name for c in range(table.nColumns)])
        return rows

    @classmethod
    def list_lines(cls, title, name):
        frame = cls.frame(title)
        node = cls.find(frame, "list", name) if frame else None
        return [item.name for item in node] if node is not None else None

    @classmethod
    def label_texts(cls, title):
        frame = cls.frame(title)
        texts = []

        def walk(node):
            for child in node:
                if child is None:
                    continue
                if child.getRoleName() == "label":
                    texts.append(child.name)
                walk(child)

        if frame is not None:
            walk(frame)
        return texts


class CommentatorScreen:
    """The real program in its own working directory."""

    def __init__(self, args=(), settings=None, heartbeat=True):
        self.dir = tempfile.mkdtemp(prefix="commentator-e2e-")
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        if settings is not None:
            with open(self.path("commentator.dat"), "wb") as file:
                file.write(settings)
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_RUNTIME_DIR=self.runtime)
        env.pop("QT_QPA_PLATFORM", None)
        self.output = open(os.path.join(self.dir, "program.log"), "wb")
        self.process = subprocess.Popen([PROGRAM, *args], cwd=self.dir, env=env,
                                        stdout=self.output, stderr=subprocess.STDOUT)
        try:
            wait_for(lambda: Accessible.frame(MAIN), timeout=20)
            # The receivers open as the main window is shown; a heartbeat proves it.
            if heartbeat:
                wait_for(self._answers_heartbeat, timeout=20)
        except AssertionError as error:
            # What became of the program is the likeliest reason.
            status = self.process.poll()
            state = "still running" if status is None else f"ended with status {status}"
            self.output.flush()
            with open(os.path.join(self.dir, "program.log"), "rb") as log:
                said = log.read()[-2000:].decode("latin-1")
            self.cleanup()
            raise AssertionError(f"{error}; the program is {state}; its output: {said!r}") from None
        except BaseException:
            # A program left running would hold the ports for the next tests.
            self.cleanup()
            raise

    def _answers_heartbeat(self):
        send("{heartbeat}+")
        time.sleep(0.2)
        return "Heartbeat received from SERVER!!" in (self.log() or [])

    def log(self):
        return Accessible.list_lines(MAIN, "Traffic log")

    def path(self, name):
        return os.path.join(self.dir, name)

    def end(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        return self.process.wait(timeout=20)

    def cleanup(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.output.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class StartAndEnd(unittest.TestCase):
    def test_first_start_creates_the_frame_file_and_the_end_writes_the_settings(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        with open(screen.path("qdtype.dat"), "rb") as frames:
            self.assertEqual(frames.read(), bytes(31000))
        self.assertFalse(os.path.exists(screen.path("commentator.dat")))
        labels = Accessible.label_texts(MAIN)
        self.assertIn("Commentator Screen", labels)
        self.assertIn("IP Listening Address = 255.255.255.255 (ALL)", labels)
        self.assertIn("stand by until TCP/IP packets received.......", labels)
        self.assertEqual(screen.end(signal.SIGTERM), 0)
        with open(screen.path("commentator.dat"), "rb") as settings:
            self.assertEqual(settings.read(), b"255.255.255.255\r\n")

    def test_a_second_copy_says_so_and_ends(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        env = dict(os.environ, XDG_RUNTIME_DIR=screen.runtime, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("QT_QPA_PLATFORM", None)  # ctest runs with the offscreen platform
        second = subprocess.Popen([PROGRAM], cwd=screen.dir, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: second.poll() is None and second.kill())

        def message_box():
            # Only the second process's windows: reading the first one's
            # grids over the bus would be slow and beside the point.
            for app in pyatspi.Registry.getDesktop(0):
                if app is None or app.get_process_id() != second.pid:
                    continue
                for frame in app:
                    if frame is not None and Accessible.find_text(frame, "already in use"):
                        return frame
            return None

        box = wait_for(message_box, timeout=45)
        screenshot("second-copy")
        ok = Accessible.find(box, "push button", "OK")
        ok.queryAction().doAction(0)
        self.assertEqual(second.wait(timeout=20), 1)
        # The first screen still receives.
        send("still here")
        wait_for(lambda: "127.0.0.1>still here" in screen.log())


class OneScreenForTheClass(unittest.TestCase):
    """The tests of the class, in the order of their names, on one program."""

    @classmethod
    def setUpClass(cls):
        cls.screen = CommentatorScreen()

    @classmethod
    def tearDownClass(cls):
        cls.screen.end()
        cls.screen.cleanup()


class EveryScreenInTurn(OneScreenForTheClass):

    def comes_to_front(self, title):
        wait_for(lambda: Accessible.frame(title))
        wait_for(lambda: Accessible.active_title() == title)

    def test_1_scratch(self):
        send("{scratch}+{title}Men's Keirin Round 1 Heat 2{time}10.270{spd}70.11")
        self.comes_to_front(SCRATCH)
        # A heading clears the list, and the two ports keep no order between
        # them: the line goes to the other port once the heading is shown.
        wait_for(lambda: Accessible.table(SCRATCH, "Heat information")[0][1]
                 == "Men's Keirin Round 1 Heat 2")
        send("{scratch}+{list}0{rank}1{bib}21{name}ADAMS Leo{nat}GBR{status}{laps}0", 29104)
        rows = wait_for(lambda: Accessible.table(SCRATCH, "Competitors"))
        self.assertEqual(rows[0], ["Rank", "Bib", "Competitor", "NAT", "Status", "Laps-"])
        wait_for(lambda: Accessible.table(SCRATCH, "Competitors")[1]
                 == ["1", "21", "ADAMS Leo", "GBR", "", "0"])
        heat = Accessible.table(SCRATCH, "Heat information")
        self.assertEqual(heat[0], ["Heat Title:", "Men's Keirin Round 1 Heat 2"])
        log = self.screen.log()
        self.assertIn("127.0.0.1>{scratch}+{list}0{rank}1{bib}21{name}ADAMS Leo{nat}GBR{status}{laps}0",
                      log)
        screenshot("scratch")

    def test_2_points_race(self):
        send("{ptsrace}+{standings}0{rnk}1{bib}11{name}BRANDT Kai{status}{pts}25{laps}+1{final}"
             "{sprint}0{sname}Sprint 1 - Lap 90{name1}BRANDT Kai{pts1}5{name2}COLE Ana{pts2}3")
        self.comes_to_front(POINTS)
        wait_for(lambda: Accessible.table(POINTS, "Standings")[1][:4] == ["1", "11 BRANDT Kai", "", "25"])
        sprint = Accessible.table(POINTS, "Sprint result")
        self.assertEqual(sprint[1], ["1", "BRANDT Kai", "5"])
        screenshot("points-race")

    def test_3_sprint(self):
        send("{sprintf}+{title}Women's Sprint 1/8 Final Heat 2{rnk1}1{r1}12 DOE Jane"
             "{rnk2}2{r2}7 ROE Mia{rnk3}3{r3}31 POE Ada{rnk4}4{r4}4 LOE Eve"
             "{et}10.512{spdk}68.49 km/h{spdm}42.56 mph")
        self.comes_to_front(SPRINT)
        wait_for(lambda: Accessible.table(SPRINT, "Sprint heat")[0] == ["1", "12 DOE Jane"])
        self.assertIn("Women's Sprint 1/8 Final Heat 2", Accessible.label_texts(SPRINT))
        self.assertEqual(Accessible.table(SPRINT, "Sprint heat")[4:],
                         [["", "10.512"], ["", "68.49 km/h"], ["", "42.56 mph"]])
        screenshot("sprint")

    def test_4_time_trial(self):
        send("{tt}+{standings}0{rnk}1{name}EVANS Tom{score}4:12.381{dif}")
        send("{tt}+{tick-hit}1{crs}0{stack}0{name}FOX Ida{time}1:02.345{diff}-0.123{rank}2"
             "{spdk}54.1{ltg}7 laps{dist}2250 m{ltg1}15{ltg2}14")
        self.comes_to_front(TIME_TRIAL)
        wait_for(lambda: Accessible.table(TIME_TRIAL, "Rider 1 summary")[0] == ["FOX Ida"])
        summary = Accessible.table(TIME_TRIAL, "Rider 1 summary")
        self.assertEqual(summary[1], ["1:02.345  /  -0.123  /  2  /  54.1"])
        self.assertIn("1:02.345", Accessible.label_texts(TIME_TRIAL))
        standings = Accessible.table(TIME_TRIAL, "Standings")
        self.assertIn(["EVANS Tom", "4:12.381", ""], [row[-3:] for row in standings])
        screenshot("time-trial")

    def test_5_quick_text(self):
        send("{qdtype}+{data}, NEXT: WOMEN'S SPRINT ,QUARTER FINALS,,,,,,LAST LINE,")
        self.comes_to_front(QUICK_TEXT)
        wait_for(lambda: Accessible.list_lines(QUICK_TEXT, "Quick text")
                 == ["NEXT: WOMEN'S SPRINT", "QUARTER FINALS", "", "", "", "", "", "LAST LINE"])
        screenshot("quick-text")

    def test_6_heartbeat_and_log(self):
        send("{heartbeat}+{tt}+")
        wait_for(lambda: self.screen.log()[-2:]
                 == ["Heartbeat received from SERVER!!", "127.0.0.1>{heartbeat}+{tt}+"])
        self.assertEqual(Accessible.active_title(), QUICK_TEXT, "a heartbeat brings nothing forward")


class Frames(OneScreenForTheClass):
    """Every window's outer frame where it belongs, with no window manager
    and under one; the IP Settings dialog in front of a screen that a record
    brings forward while it is open."""

    def expect_frame(self, title):
        expected = OUTER_FRAMES[title]
        # A window manager frames a window a moment after it is mapped.
        frame = wait_for(lambda: X.outer_frame(title) == expected and X.outer_frame(title))
        self.assertEqual(frame, expected, title)

    def test_1_every_window_at_its_place(self):
        self.expect_frame(MAIN)
        for record, title in (("{scratch}+{title}Heat 1", SCRATCH),
                              ("{sprintf}+{title}Sprint", SPRINT),
                              ("{qdtype}+{data},LINE,", QUICK_TEXT),
                              ("{ptsrace}+{standings}0{rnk}1{bib}7{name}A", POINTS),
                              ("{tt}+{standings}0{rnk}1{name}B", TIME_TRIAL)):
            send(record)
            self.expect_frame(title)
            time.sleep(0.3)
            screenshot("frame-" + re.sub(r"[^a-z]+", "-", title.lower()).strip("-"))

    def test_2_scratch_screen_may_be_maximised(self):
        # Motif hints: functions include maximise (16), and no title-bar
        # button is asked for (decorations: border, resize handles, title).
        hints = X.run("xprop", "-id", str(X.window(SCRATCH)), "_MOTIF_WM_HINTS")
        values = [int(v, 16) for v in re.findall(r"0x[0-9a-f]+", hints)]
        self.assertTrue(values[1] & 16, hints)
        self.assertEqual(values[2], 2 | 4 | 8, hints)

    @staticmethod
    def open_ip_settings():
        X.run("xdotool", "windowfocus", "--sync", str(X.window(MAIN)))
        X.run("xdotool", "key", "alt+i")
        return wait_for(lambda: X.window(IP_SETTINGS))

    def test_3_dialog_stays_in_front_and_keeps_the_keyboard(self):
        self.open_ip_settings()
        dialog = X.window(IP_SETTINGS)
        wait_for(lambda: Accessible.active_title() == IP_SETTINGS)
        # A record while the dialog is open: its screen comes up behind it.
        send("{tt}+{standings}1{rnk}2{name}Behind the dialog")
        wait_for(lambda: Accessible.table(TIME_TRIAL, "Standings")[1][-3:]
                 == ["Behind the dialog", "", ""])
        time.sleep(0.5)
        stacking = X.stacking()
        self.assertLess(stacking.index(TIME_TRIAL), stacking.index(IP_SETTINGS), stacking)
        self.assertEqual(Accessible.active_title(), IP_SETTINGS)
        # The keyboard still types into the dialog.
        X.run("xdotool", "type", "--delay", "30", "127.0.0.9")
        field = wait_for(lambda: Accessible.find(Accessible.frame(IP_SETTINGS), "text",
                                                 "Listening address"))
        wait_for(lambda: field.queryText().getText(0, -1) == "127.0.0.9")
        screenshot("dialog-over-a-screen")
        # Where it stands now is where it comes back.
        X.run("xdotool", "windowmove", "--sync", str(dialog), "300", "200")
        moved = wait_for(lambda: X.outer_frame(IP_SETTINGS))
        X.run("xdotool", "key", "Return")
        wait_for(lambda: X.window(IP_SETTINGS) is None)
        # The screen updated last is in front once the dialog has closed.
        wait_for(lambda: Accessible.active_title() == TIME_TRIAL)
        stacking = X.stacking()
        self.assertEqual(stacking[-1], TIME_TRIAL, stacking)
        wait_for(lambda: "IP Listening Address = 127.0.0.9" in Accessible.label_texts(MAIN))
        self.open_ip_settings()
        self.assertEqual(wait_for(lambda: X.outer_frame(IP_SETTINGS)), moved)
        # Give every sender back, for the other tests.
        wait_for(lambda: Accessible.active_title() == IP_SETTINGS)
        X.run("xdotool", "key", "ctrl+a")
        X.run("xdotool", "type", "--delay", "30", "255.255.255.255")
        X.run("xdotool", "key", "Return")
        wait_for(lambda: "IP Listening Address = 255.255.255.255 (ALL)"
                 in Accessible.label_texts(MAIN))


def feed_status():
    """What a screen reader reads in the feed status corner: the mark's
    word, then the text."""
    frame = Accessible.frame(MAIN)
    corner = Accessible.find_text(frame, "Feed status") if frame else None
    if corner is None or corner.name != "Feed status":
        return None
    return [child.name for child in corner if child is not None]


class FeedStatusCorner(unittest.TestCase):
    """The feed status corner, read as a screen reader reads it."""

    def test_live_and_then_quiet(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        wait_for(lambda: feed_status() and feed_status()[0] == "live")
        self.assertRegex(feed_status()[1], r"^live  ·  .*rec/s  ·  \d\d:\d\d:\d\d$")
        screenshot("status-live")
        if WINDOW_MANAGER == "none":  # once is enough for the 15 seconds it takes
            wait_for(lambda: feed_status()[0].startswith("quiet for"), timeout=25)
            screenshot("status-quiet")
        self.assertEqual(screen.end(), 0)

    def test_ignoring_a_sender_and_a_port_that_could_not_be_opened(self):
        holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        holder.bind(("0.0.0.0", 29104))  # no address reuse: the port stays ours
        self.addCleanup(holder.close)
        screen = CommentatorScreen(settings=b"127.0.0.9\r\n", heartbeat=False)
        self.addCleanup(screen.cleanup)
        wait_for(lambda: feed_status() and "port 29104 closed" in feed_status()[1])
        self.assertEqual(feed_status()[0], "waiting for the first record")
        send("{tt}+")
        send("{tt}+")
        wait_for(lambda: "ignoring 127.0.0.1 (2)" in feed_status()[1])
        screenshot("status-ignoring")
        self.assertEqual(screen.end(), 0)


def feed_notice(title):
    """The feed notice a screen shows, as a screen reader reads it; None
    while there is none."""
    frame = Accessible.frame(title)
    node = Accessible.find_text(frame, "Feed notice: ") if frame else None
    if node is None or not node.getState().contains(pyatspi.STATE_SHOWING):
        return None
    return node.name


class FeedNoticeOnScreens(unittest.TestCase):
    """During a race the main window is covered: the screen in front says
    when the feed goes quiet, and stops saying so with the next record."""

    def test_quiet_feed_on_the_time_trial_screen_and_back(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        send("{tt}+{tick-hit}1{crs}0{stack}0{name}FOX Ida{time}1:02.345{diff}-0.123{rank}2")
        wait_for(lambda: Accessible.active_title() == TIME_TRIAL or Accessible.frame(TIME_TRIAL))
        self.assertIsNone(feed_notice(TIME_TRIAL), "nothing while the feed is live")
        wait_for(lambda: (feed_notice(TIME_TRIAL) or "").startswith("Feed notice: quiet for"),
                 timeout=25)
        screenshot("notice-quiet")
        send("{tt}+{standings}0{rnk}1{name}EVANS Tom{score}4:12.381")
        wait_for(lambda: feed_notice(TIME_TRIAL) is None, timeout=3)
        self.assertEqual(screen.end(), 0)


class Options(unittest.TestCase):
    def test_recording_kept_to_the_end_and_a_smaller_scale(self):
        screen = CommentatorScreen(args=("--record", "session.txt", "--scale", "0.5"))
        self.addCleanup(screen.cleanup)
        # Everything at half size, centred as before.
        wait_for(lambda: X.outer_frame(MAIN) == (309, 220, 406, 328))
        send("{sprintf}+{title}Recorded\tand kept", 29104)
        wait_for(lambda: Accessible.frame(SPRINT))
        self.assertEqual(screen.end(signal.SIGTERM), 0)
        with open(screen.path("session.txt"), "rb") as session:
            lines = session.read().split(b"\n")
        self.assertEqual(lines[0], b"#orvane-session 1")
        self.assertTrue(lines[-2].endswith(b"\t29104\t127.0.0.1\t{sprintf}+{title}Recorded\\tand kept"),
                        lines[-2])

    def test_a_scale_too_large_for_the_monitor_is_reduced_to_fit(self):
        screen = CommentatorScreen(args=("--scale", "1.5"))
        self.addCleanup(screen.cleanup)
        wait_for(lambda: "1.06 (1.5 does not fit)" in (feed_status() or ["", ""])[1])
        left, top, width, height = X.outer_frame(MAIN)
        self.assertTrue(left >= 0 and top >= 0 and left + width <= 1024 and top + height <= 768,
                        (left, top, width, height))
        self.assertEqual(screen.end(), 0)
        with open(screen.path("program.log"), "rb") as log:
            said = log.read().decode("latin-1")
        self.assertIn("--scale 1.5 does not fit the 1024x768 monitor; using 1.06", said)

    def test_help_and_version_touch_nothing(self):
        work = tempfile.mkdtemp(prefix="commentator-e2e-")
        self.addCleanup(shutil.rmtree, work, True)
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        version = subprocess.run([PROGRAM, "--version"], cwd=work, env=env, capture_output=True,
                                 text=True, timeout=30)
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^orvane-commentator \d+\.\d+\.\d+\n$")
        bad = subprocess.run([PROGRAM, "--scale", "5"], cwd=work, env=env, capture_output=True,
                             text=True, timeout=30)
        self.assertEqual(bad.returncode, 2)
        self.assertEqual(bad.stderr.count("\n"), 1, bad.stderr)
        self.assertEqual(os.listdir(work), [])


class DemoSession(unittest.TestCase):
    def test_demo_fills_all_five_windows(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        # The main window alone first, with some traffic in its log.
        for n in range(3):
            send("{heartbeat}+")
        # The corner catches up with the log at its next once-a-second turn.
        wait_for(lambda: feed_status() and feed_status()[0] == "live")
        screenshot("main-window")
        feed("demo", "--speed", "20")
        for title in (SCRATCH, POINTS, SPRINT, TIME_TRIAL, QUICK_TEXT):
            self.assertIsNotNone(wait_for(lambda: Accessible.frame(title)), title)
        self.assertEqual(len(screen.log()), 30)
        competitors = Accessible.table(SCRATCH, "Competitors")
        self.assertGreaterEqual(sum(1 for row in competitors[1:] if row[2]), 20)
        standings = Accessible.table(POINTS, "Standings")
        self.assertGreaterEqual(sum(1 for row in standings[1:] if row[1].strip()), 18)
        tt = Accessible.table(TIME_TRIAL, "Standings")
        self.assertGreaterEqual(sum(1 for row in tt if any(cell for cell in row)), 16)
        # Each screen to the front once more with what the demo left on it,
        # for the pictures: a record that changes nothing else shows it.
        for record, title, name in (
                ("{scratch}+{list}99", SCRATCH, "demo-scratch"),
                ("{ptsrace}+{sprint}99", POINTS, "demo-points-race"),
                ("{tt}+", TIME_TRIAL, "demo-time-trial")):
            send(record)
            wait_for(lambda: Accessible.active_title() == title)
            time.sleep(0.3)
            screenshot(name)
        self.assertEqual(screen.end(), 0)



def history_label(title):
    """The shown moment an event screen says it shows, or None when live."""
    return next((text for text in Accessible.label_texts(title) if text.startswith("HISTORY")),
                None)


class History(unittest.TestCase):
    """Earlier moments on the screens, by keyboard, while records keep coming."""

    def test_back_one_heat_and_live_again(self):
        screen = CommentatorScreen()
        self.addCleanup(screen.cleanup)
        send("{scratch}+{clr}+")
        send("{scratch}+{title}HEAT ONE{time}{spd}")
        send("{scratch}+{list}0{rank}1{bib}5{name}ALPHA Ann{nat}NOR{status}{laps}0")
        send("{scratch}+{title}HEAT TWO{time}{spd}")
        send("{scratch}+{list}0{rank}1{bib}8{name}BETA Bo{nat}SWE{status}{laps}0")
        competitor = lambda: Accessible.table(SCRATCH, "Competitors")[1][2]
        title = lambda: Accessible.table(SCRATCH, "Heat information")[0][1]
        wait_for(lambda: competitor() == "BETA Bo")

        X.run("xdotool", "windowfocus", "--sync", str(X.window(MAIN)))
        X.run("xdotool", "key", "ctrl+h")
        wait_for(lambda: history_label(SCRATCH))
        # Back to where this heat began, then to the one before, then one
        # record on: its first competitor.
        X.run("xdotool", "key", "ctrl+Left")
        wait_for(lambda: title() == "HEAT TWO" and competitor() == "")
        X.run("xdotool", "key", "ctrl+Left")
        wait_for(lambda: title() == "HEAT ONE" and competitor() == "")
        X.run("xdotool", "key", "Right")
        wait_for(lambda: competitor() == "ALPHA Ann")
        screenshot("history")

        # Live records meanwhile: logged, not shown.
        send("{scratch}+{title}HEAT THREE{time}{spd}")
        send("{scratch}+{list}0{rank}1{bib}9{name}GAMMA Gus{nat}DEN{status}{laps}0")
        wait_for(lambda: "127.0.0.1>{scratch}+{title}HEAT THREE{time}{spd}" in screen.log())
        wait_for(lambda: screen.log()[-1].endswith("{name}GAMMA Gus{nat}DEN{status}{laps}0"))
        self.assertEqual(title(), "HEAT ONE")
        self.assertEqual(competitor(), "ALPHA Ann")

        X.run("xdotool", "key", "Escape")
        wait_for(lambda: title() == "HEAT THREE" and competitor() == "GAMMA Gus")
        wait_for(lambda: history_label(SCRATCH) is None)
        self.assertEqual(screen.end(), 0)


START_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                          "start-list.csv")
DEMO_SESSION = os.path.join(os.path.dirname(START_LIST), "demo-session.txt")
TODAY_HEADINGS = ["Screen", "Heat", "Place", "Points", "Time", "Status"]


def focused_in(title, role, name):
    """Whether the control `name` of the window `title` has the keyboard."""
    frame = Accessible.frame(title)
    node = Accessible.find(frame, role, name) if frame else None
    return node is not None and node.getState().contains(pyatspi.STATE_FOCUSED)


class RiderCards(unittest.TestCase):
    """A rider's card from a double click on a row and from Ctrl+R and a
    bib: the start list's fields, today so far and the notes, read as a
    screen reader reads them."""

    def test_card_by_double_click_and_by_ctrl_r(self):
        screen = CommentatorScreen(args=("--start-list", START_LIST))
        self.addCleanup(screen.cleanup)
        wait_for(lambda: "31 riders from start-list.csv" in Accessible.find_text(
            Accessible.frame(MAIN), "Feed status").description)
        keirin = "MEN'S KEIRIN ROUND 1 - HEAT 2"
        send("{scratch}+{title}" + keirin + "{time}10.270{spd}70.11")
        send("{scratch}+{list}0{rank}1{bib}52{name}A. KRISTIANSEN{nat}NOR{status}{laps}6")
        send("{scratch}+{list}1{rank}2{bib}61{name}K. PARK{nat}KOR{status}{laps}6")
        wait_for(lambda: Accessible.table(SCRATCH, "Competitors")[2][1] == "61")

        # A double click on the winner's name.
        table = Accessible.find(Accessible.frame(SCRATCH), "table", "Competitors").queryTable()
        extents = table.getAccessibleAt(0, 2).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        X.run("xdotool", "mousemove", "--sync", str(extents.x + extents.width // 2),
              str(extents.y + extents.height // 2), "click", "--repeat", "2", "--delay", "80", "1")
        card = "Rider 52  A. Kristiansen"
        wait_for(lambda: Accessible.frame(card))
        labels = Accessible.label_texts(card)
        for field in ("Team: Nordic Track", "Nation: NOR", "Born: 2001-03-04",
                      "palmares: Keirin heat winner two years running"):
            self.assertIn(field, labels)
        wait_for(lambda: Accessible.table(card, "Today so far") ==
                 [TODAY_HEADINGS, ["Scratch", keirin, "1", "", "", ""]])

        # Ctrl+R from the main window: the keyboard goes straight to the box.
        X.run("xdotool", "windowfocus", "--sync", str(X.window(MAIN)))
        X.run("xdotool", "key", "ctrl+r")
        wait_for(lambda: focused_in(card, "text", "Rider"))
        X.run("xdotool", "type", "--delay", "30", "61")
        X.run("xdotool", "key", "Return")
        card = "Rider 61  K. Park"
        wait_for(lambda: Accessible.table(card, "Today so far") ==
                 [TODAY_HEADINGS, ["Scratch", keirin, "2", "", "", ""]])
        self.assertIn("Team: Gwangmyeong Track", Accessible.label_texts(card))

        # The demo session: a rider of every screen, the time trial's by name
        # through the start list, newest first.
        feed("replay", DEMO_SESSION, "--speed", "40")
        X.run("xdotool", "key", "ctrl+r")
        wait_for(lambda: focused_in(card, "text", "Rider"))
        X.run("xdotool", "type", "--delay", "30", "47")
        X.run("xdotool", "key", "Return")
        card = "Rider 47  L. Martens"
        wait_for(lambda: Accessible.table(card, "Today so far") == [TODAY_HEADINGS] + [
            ["Time trial", "Time trial", "6", "", "4:10.314", ""],
            ["Sprint", "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 2", "2", "", "", ""],
            ["Sprint", "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 1", "1", "", "10.116", ""],
            ["Points race", "Points race", "19", "-15", "", ""],
            ["Points race", "Sprint 3 - Lap 50", "1", "5", "", ""],
            ["Scratch", "MEN'S SCRATCH 15 KM - 60 LAPS", "13", "", "", ""]])

        # A note, saved beside commentator.dat as it is typed.
        X.run("xdotool", "key", "alt+n")
        wait_for(lambda: focused_in(card, "text", "Notes"))
        X.run("xdotool", "type", "--delay", "20", "Quarter-finalist last year; kilo specialist")
        notes = screen.path("commentator-notes.json")

        def saved():
            with open(notes, encoding="utf-8") as file:
                return "kilo specialist" in file.read()

        wait_for(saved, timeout=5)
        os.makedirs(ARTIFACTS, exist_ok=True)
        subprocess.run(["import", "-window", str(X.window(card)),
                        os.path.join(ARTIFACTS, "rider-card.png")], check=True, timeout=30)
        self.assertEqual(screen.end(), 0)

    def test_a_start_list_with_an_error_ends_the_start(self):
        work = tempfile.mkdtemp(prefix="commentator-e2e-")
        self.addCleanup(shutil.rmtree, work, True)
        with open(os.path.join(work, "list.csv"), "wb") as file:
            file.write(b"bib,name\r\n23,A\r\n24,\"B\r\n23,C\r\n")
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        bad = subprocess.run([PROGRAM, "--start-list", "list.csv"], cwd=work, env=env,
                             capture_output=True, text=True, timeout=30)
        self.assertEqual(bad.returncode, 2)
        self.assertEqual(bad.stderr, "orvane-commentator: --start-list: list.csv: line 3, column 2:"
                                     " a quoted field that never ends\n")
        self.assertEqual(os.listdir(work), ["list.csv"])


if __name__ == "__main__":
    # Test names after the arguments pick tests, e.g. FeedNoticeOnScreens.
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[5:]])
