"""The real program on two monitors side by side on one X screen, under openbox.

Xorg with the dummy driver stands in for the venue's graphics card: two of
its outputs are switched on side by side with xrandr, so RandR (and the
Xinerama openbox reads) report two monitors of one X screen. The windows are
measured from outside with xwininfo, as they are drawn; a screenshot of the
whole X screen is kept. A display with two X screens (Xvfb) checks that a
monitor of the other X screen is refused at the start.

Usage (from run_monitors.sh, in a network namespace of its own):
monitors_test.py PROGRAM RACE_FEED ARTIFACT_DIR CONFIG
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM, RACE_FEED, ARTIFACTS, CONFIG = map(os.path.abspath, sys.argv[1:5])
HERE = os.path.dirname(os.path.abspath(__file__))
MAIN = "Commentator Screen v2.09"
SCRATCH = "Commentator Screen, Scratch / Keiren"
POINTS = "ptsrace_commentator_form"
TIME_TRIAL = "TT Commentator Screen"
# The outputs, as run_monitors.sh's xrandr step places them: (x, y, width, height).
LEFT = (0, 0, 1024, 768)
RIGHT = (1024, 0, 1280, 1024)


def wait_for(what, timeout=15.0, step=0.1):
    """Polls `what` until it returns something true, or fails after `timeout`."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        last = what()
        if last:
            return last
        time.sleep(step)
    caller = sys._getframe(1)
    raise AssertionError(f"timed out waiting at line {caller.f_lineno}; last answer: {last!r}")


def run(*args):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=30).stdout


def start_server(command):
    """Starts an X server that picks a free display itself (-displayfd);
    returns the process and the display number."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen([*command, "-displayfd", str(write_end)], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()  # written once the server takes clients
    if not number.isdigit():
        server.kill()
        raise RuntimeError(f"{command[0]} did not start; see its log")
    return server, number


def window(title):
    ids = run("xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(title) + "$").split()
    return int(ids[0]) if ids else None


def outer_frame(title):
    """(x, y, width, height) of the window with its frame, as drawn."""
    wid = window(title)
    if wid is None:
        return None
    info = run("xwininfo", "-id", str(wid))
    value = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
    extents = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                        run("xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"))
    left, right, top, bottom = map(int, extents.groups()) if extents else (0, 0, 0, 0)
    return (value("Absolute upper-left X") - left, value("Absolute upper-left Y") - top,
            value("Width") + left + right, value("Height") + top + bottom)


def inside(frame, monitor):
    x, y, width, height = frame
    mx, my, mwidth, mheight = monitor
    return mx <= x and my <= y and x + width <= mx + mwidth and y + height <= my + mheight


def send(record):
    subprocess.run([RACE_FEED, "send", record], check=True, timeout=30,
                   stdout=subprocess.DEVNULL)


def points_race_records():
    """The demo session's points race up to its third sprint, as a replay file."""
    lines = []
    with open(os.path.join(HERE, "..", "..", "docs", "demo-session.txt"), encoding="latin-1") as file:
        for line in file:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 4 and fields[3].startswith("{ptsrace}+"):
                if "{sprint}2" in fields[3]:
                    break
                lines.append("2\t" + fields[3])
    path = os.path.join(tempfile.mkdtemp(prefix="monitors-"), "points.txt")
    with open(path, "w", encoding="latin-1") as file:
        file.write("\n".join(lines) + "\n")
    return path


def screenshot(name):
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True, timeout=30)
    return path


class CommentatorScreen:
    """The real program in a fresh working directory."""

    def __init__(self, *args, display=None):
        self.dir = tempfile.mkdtemp(prefix="commentator-monitors-")
        runtime = os.path.join(self.dir, "run")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        env.pop("QT_QPA_PLATFORM", None)  # ctest runs with the offscreen platform
        if display:
            env["DISPLAY"] = display
        self.process = subprocess.Popen([PROGRAM, *args], cwd=self.dir, env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wait_for_window(self, title, record):
        """Sends `record` until the window shows: the ports open with the main window."""
        def shown():
            if window(title) is None:
                send(record)
                time.sleep(0.3)
            return window(title)
        return wait_for(shown)

    def end(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            self.process.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
        shutil.rmtree(self.dir, ignore_errors=True)


class TwoMonitorsOfOneXScreen(unittest.TestCase):
    def start(self, *args):
        screen = CommentatorScreen(*args)
        self.addCleanup(screen.end)
        wait_for(lambda: outer_frame(MAIN))
        return screen

    def expect_frame(self, title, monitor):
        # The window manager frames a window once it is mapped, and the
        # program places it again then.
        try:
            wait_for(lambda: outer_frame(title) == monitor, timeout=5)
        except AssertionError:
            self.assertEqual(outer_frame(title), monitor, title)

    def test_the_chosen_monitor_by_name_and_by_number(self):
        for choice in ("DUMMY1", "1"):
            with self.subTest(choice=choice):
                screen = self.start("--screen", choice)
                try:
                    screen.wait_for_window(POINTS, "{ptsrace}+{clr}+")
                    self.expect_frame(POINTS, RIGHT)
                    # The others open on it: centred over the main window,
                    # which opens centred there.
                    wait_for(lambda: inside(outer_frame(MAIN), RIGHT))
                    screen.wait_for_window(SCRATCH, "{scratch}+{title}MEN'S KEIRIN ROUND 1")
                    wait_for(lambda: inside(outer_frame(SCRATCH), RIGHT))
                    screen.wait_for_window(TIME_TRIAL, "{tt}+")
                    self.expect_frame(TIME_TRIAL, RIGHT)
                    if choice == "DUMMY1":
                        self.points_race_on_the_second_monitor()
                        self.full_screen_on_the_monitor_the_window_is_on()
                finally:
                    # The next one claims the same ports.
                    screen.end()

    def points_race_on_the_second_monitor(self):
        records = points_race_records()
        self.addCleanup(shutil.rmtree, os.path.dirname(records), True)
        subprocess.run([RACE_FEED, "replay", records, "--quiet"], check=True, timeout=60)
        # The commentator keeps the main window on the first monitor.
        run("xdotool", "windowmove", "--sync", str(window(MAIN)), "106", "56")
        wait_for(lambda: inside(outer_frame(MAIN), LEFT))
        run("xdotool", "windowactivate", "--sync", str(window(POINTS)))
        time.sleep(1)  # the last records drawn
        self.expect_frame(POINTS, RIGHT)
        screenshot("two-monitors")

    def full_screen_on_the_monitor_the_window_is_on(self):
        # The commentator takes the scratch screen to the other monitor.
        wid = window(SCRATCH)
        run("xdotool", "windowmove", "--sync", str(wid), "100", "80")
        wait_for(lambda: inside(outer_frame(SCRATCH), LEFT))
        before = outer_frame(SCRATCH)
        run("xdotool", "windowactivate", "--sync", str(wid))
        run("xdotool", "key", "--window", str(wid), "F11")
        self.expect_frame(SCRATCH, LEFT)
        run("xdotool", "key", "--window", str(wid), "F11")
        self.expect_frame(SCRATCH, before)

    def test_without_a_choice_the_first_monitor(self):
        screen = self.start()
        screen.wait_for_window(POINTS, "{ptsrace}+{clr}+")
        self.expect_frame(POINTS, LEFT)
        self.assertTrue(inside(outer_frame(MAIN), LEFT))


class TwoXScreens(unittest.TestCase):
    def test_a_monitor_of_the_other_x_screen_is_refused_at_the_start(self):
        server, number = start_server(["Xvfb", "-nolisten", "tcp", "-screen", "0", "1024x768x24",
                                       "-screen", "1", "800x600x24"])
        self.addCleanup(lambda: (server.terminate(), server.wait(timeout=20)))
        screen = CommentatorScreen("--screen", "1", display=f":{number}")
        _, errors = screen.process.communicate(timeout=30)
        self.addCleanup(screen.end)
        self.assertEqual(screen.process.returncode, 2)
        lines = errors.decode("latin-1").splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("another X screen", lines[0])
        self.assertIn(f"DISPLAY=:{number}.1", lines[0])
        # There, the monitor is the program's own.
        there = CommentatorScreen("--screen", "0", display=f":{number}.1")
        self.addCleanup(there.end)
        on_x_screen = lambda n: f'"{MAIN}"' in run("xwininfo", "-display", f":{number}.{n}",
                                                    "-root", "-tree")
        wait_for(lambda: on_x_screen(1))
        self.assertFalse(on_x_screen(0))


def main():
    os.makedirs(ARTIFACTS, exist_ok=True)
    xorg, number = start_server(["Xorg", "-noreset", "-nolisten", "tcp", "-novtswitch",
                                 "-sharevts", "-config", CONFIG,
                                 "-logfile", os.path.join(ARTIFACTS, "Xorg.log")])
    os.environ["DISPLAY"] = f":{number}"
    manager = None
    try:
        run("xrandr", "--addmode", "DUMMY1", "1280x1024")
        run("xrandr", "--output", "DUMMY0", "--mode", "1024x768", "--pos", "0x0",
            "--output", "DUMMY1", "--mode", "1280x1024", "--pos", "1024x0")
        monitors = run("xrandr", "--listmonitors")
        if "DUMMY0 1024/" not in monitors or "DUMMY1 1280/" not in monitors:
            raise RuntimeError("two monitors side by side were not made:\n" + monitors)
        manager = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        wait_for(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
        result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
        return 0 if result.wasSuccessful() else 1
    finally:
        for process in (manager, xorg):
            if process is not None and process.poll() is None:
                process.terminate()
                process.wait(timeout=20)


if __name__ == "__main__":
    sys.exit(main())
