#!/usr/bin/env python3
"""orvanta.exe as a user meets it, under Wine on a virtual X screen:
wine_e2e_test.py BUILD_DIR ORVANTA_EXE WATCH_EXE

Started in an empty folder, it asks for its port first; the keys go to it as a user types them.
The device is a pseudo-terminal that Wine opens as COM5 through a link, which is pointed at a new
pseudo-terminal when the device is plugged in again. The window's texts are read by the test's
own program beside it in the prefix, and its graph from a picture of the screen.
"""
import ctypes
import glob
import os
import re
import select
import shutil
import subprocess
import sys
import threading
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import winetools  # noqa: E402

# Generous: these bound a hang, they do not measure speed.
PATIENCE = 60
# The main window's controls: the byte counter, the status line and the port line.
COUNTER, STATUS, PORT_LINE = "1002", "1004", "1016"
PORT_SET_AT_START = "起動時のCOMポートが設定されました"
PORT_LINE_ON_COM5 = " COM5 ,   9600 BPS , 8 BITS , No PARITY , 1 STOP , No FLOW"
PORT_LOST = "COM5　の接続が切れました。再接続を待っています"
PORT_BACK = "COM5　に再接続しました"
# The traces: X red, Y blue, Z black.
TRACE_COLOURS = {"X": (255, 0, 0), "Y": (0, 0, 255), "Z": (0, 0, 0)}


class TestFailure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise TestFailure(what)


# The device's sample frame, then frames whose three values climb at paces of their own.
def frames(count, seed):
    stream = b"X07FFY0801Z0ABC\r\n"
    for i in range(count):
        x, y, z = (i * 13 + seed) & 0xFFF, (i * 7 + 2048) & 0xFFF, (i * 29 + seed) & 0xFFF
        stream += b"X%04XY%04XZ%04X\r\n" % (x, y, z)
    return stream


class Bells:
    """Counts the X server's bells, as Wine rings one for each beep of a window on it."""

    XKB_BELL_NOTIFY = 8
    XKB_USE_CORE_KEYBOARD = 0x100
    XKB_BELL_NOTIFY_MASK = 1 << 8

    def __init__(self, display):
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        self.connection = ctypes.c_void_p(x11.XOpenDisplay(display.encode()))
        opcode, self.event_base, error_base = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        major, minor = ctypes.c_int(1), ctypes.c_int(0)
        check(x11.XkbQueryExtension(self.connection, *map(ctypes.byref, (
            opcode, self.event_base, error_base, major, minor))), "the X server has no XKB")
        x11.XkbSelectEvents(self.connection, ctypes.c_uint(self.XKB_USE_CORE_KEYBOARD),
                            ctypes.c_ulong(self.XKB_BELL_NOTIFY_MASK),
                            ctypes.c_ulong(self.XKB_BELL_NOTIFY_MASK))
        x11.XFlush(self.connection)
        self.x11 = x11
        self.count = 0
        self.rung = threading.Condition()
        self.stop_read, self.stop_write = os.pipe()
        self.listening = threading.Thread(target=self.listen)
        self.listening.start()

    def listen(self):
        event = (ctypes.c_int * 48)()
        x_server = self.x11.XConnectionNumber(self.connection)
        while self.stop_read not in select.select([x_server, self.stop_read], [], [])[0]:
            while self.x11.XPending(self.connection):
                self.x11.XNextEvent(self.connection, event)
                # The event's type, then at byte 40 the XKB event's own type.
                if event[0] == self.event_base.value and event[10] == self.XKB_BELL_NOTIFY:
                    with self.rung:
                        self.count += 1
                        self.rung.notify_all()

    # Before the X server goes, which would end this process from inside Xlib.
    def close(self):
        os.write(self.stop_write, b"x")
        self.listening.join()
        self.x11.XCloseDisplay(self.connection)

    def wait_for(self, count):
        with self.rung:
            check(self.rung.wait_for(lambda: self.count >= count, PATIENCE),
                  f"{count} beeps awaited, {self.count} heard")


class Watch:
    """What the test's own program beside orvanta.exe reports of its windows."""

    def __init__(self, prefix, program, screen, wine_log):
        self.process = winetools.start_wine(prefix, program, COUNTER, STATUS, PORT_LINE,
                                            stdout=subprocess.PIPE, stderr=wine_log,
                                            env=screen.environment)
        self.values, self.seen, self.pending = {}, [], b""

    def read_until(self, condition, what):
        deadline = time.monotonic() + PATIENCE
        while not condition():
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.process.stdout], [], [], max(0, left))
            check(ready, f"{what}: not within {PATIENCE} s; last seen {self.values}")
            chunk = os.read(self.process.stdout.fileno(), 65536)
            check(chunk, f"{what}: the watch ended; last seen {self.values}")
            self.pending += chunk
            *lines, self.pending = self.pending.split(b"\n")
            for line in lines:
                key, _, value = line.decode().partition(" ")
                self.values[key] = value
                self.seen.append(key)

    def wait_text(self, key, text):
        self.read_until(lambda: self.values.get(key) == text, f"{key} to read {text!r}")

    def wait_seen(self, key):
        self.read_until(lambda: key in self.seen, f"{key} to show")


class Device:
    """A pseudo-terminal whose slave the link leads to; Wine opens the link at each open."""

    def __init__(self, link):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        temporary = link + ".new"
        os.symlink(os.ttyname(self.slave), temporary)
        os.replace(temporary, link)

    def send(self, data):
        while data:
            data = data[os.write(self.master, data):]

    # The slave side is hung up once no master is left.
    def unplug(self):
        os.close(self.slave)
        os.close(self.master)


# Each colour's points inside the rectangle of a picture of the whole screen. xwdtopnm gives 8 or
# 16 bits a sample, as the screen's colour map has it.
def colour_points(ppm, rectangle):
    header = re.match(rb"P6\s+(\d+)\s+\d+\s+(255|65535)\s", ppm)
    check(header, f"the picture is not a PPM: {ppm[:20]!r}")
    width, data = int(header[1]), ppm[header.end():]
    size = 3 if header[2] == b"255" else 6
    wanted = {bytes(b for sample in colour for b in [sample] * (size // 3)): channel
              for channel, colour in TRACE_COLOURS.items()}
    left, top, right, bottom = rectangle
    points = {channel: set() for channel in TRACE_COLOURS}
    for y in range(top, bottom):
        row = data[size * (y * width + left):size * (y * width + right)]
        for x in range(right - left):
            channel = wanted.get(row[size * x:size * x + size])
            if channel:
                points[channel].add((left + x, y))
    return points


# Black is also the frame's and the scale's colour: the Z trace is the black that is new.
def traces_missing(picture, plot, before):
    points = colour_points(picture, plot)
    return [channel for channel in TRACE_COLOURS if not points[channel] - before[channel]]


def keys(screen, *names):
    screen.xdotool("key", "--delay", "50", *names, timeout=PATIENCE)


def focus(screen, title):
    window = screen.window(title, PATIENCE)
    screen.xdotool("windowfocus", "--sync", window, timeout=PATIENCE)
    return window


# The settings come first, on the first port. Enter and Escape only beep, and the dialog stays
# to take the next keys: up from OK to the port list, four down to COM5, back to OK, and space.
def choose_com5(screen, watch, bells):
    watch.wait_text("dialog", "COM1")
    focus(screen, "^ポートの設定$")
    for beeps, key in enumerate(["Return", "Escape"], start=1):
        keys(screen, key)
        bells.wait_for(beeps)
    keys(screen, "shift+Tab", "Down", "Down", "Down", "Down")
    watch.wait_text("dialog", "COM5")
    check("main" not in watch.seen, "the main window came before OK")
    keys(screen, "Tab", "space")
    watch.wait_seen("dialog-gone")
    watch.wait_text(STATUS, PORT_SET_AT_START)
    watch.wait_text(PORT_LINE, PORT_LINE_ON_COM5)


# Waits until each trace's colour is new inside the graph, and keeps a picture of the window.
def check_traces(screen, plot, before, picture):
    deadline = time.monotonic() + PATIENCE
    while missing := traces_missing(screen_picture := screen.picture(), plot, before):
        if time.monotonic() > deadline:
            winetools.save_png(screen_picture, picture)
            check(False, f"traces missing from the graph: {missing}; see {picture}")
    winetools.save_png(screen.picture(screen.window("^Orvanta \\(VER", PATIENCE)), picture)


# The log's name.
def check_files(work, sent):
    logs = glob.glob(os.path.join(work, "DATALOG", "COM5_*_DataLogger.txt"))
    check(len(logs) == 1, f"log files {logs}")
    with open(logs[0], "rb") as log:
        check(log.read() == sent, "the log does not hold every byte sent, in order")
    with open(os.path.join(work, "rs232c.ini"), "rb") as settings:
        check(settings.read()[28:33] == b"COM5\0", "rs232c.ini does not name COM5")
    return os.path.basename(logs[0])


# X and Y in a picture of the viewer's window; its frame and scale are black, as Z is.
def viewer_traces_missing(ppm):
    width, height = (int(n) for n in re.match(rb"P6\s+(\d+)\s+(\d+)\s", ppm).groups())
    points = colour_points(ppm, (0, 0, width, height))
    return [channel for channel in ("X", "Y") if not points[channel]]


# The log opens in the viewer alone, which plots X in red and Y in blue, and ends with its window.
def check_viewer(screen, orvanta, prefix, work, log, picture, wine_log):
    viewer = winetools.start_wine(prefix, orvanta, "--view", "DATALOG\\" + log, cwd=work,
                                  env=screen.environment, stderr=wine_log)
    title = "^" + re.escape(log + " - ログ表示") + "$"
    window = focus(screen, title)
    deadline = time.monotonic() + PATIENCE
    while missing := viewer_traces_missing(screen.picture(window)):
        check(time.monotonic() < deadline, f"the viewer shows no trace of {missing}")
    winetools.save_png(screen.picture(window), picture)
    keys(screen, "alt+F4")
    status = viewer.wait(PATIENCE)
    check(status == 0, f"orvanta.exe --view exited with {status}")


def run(build, orvanta, watch_program, screen, prefix):
    bells = Bells(screen.display)
    try:
        drive(build, orvanta, watch_program, screen, prefix, bells)
    finally:
        bells.close()


def drive(build, orvanta, watch_program, screen, prefix, bells):
    work = os.path.join(build, "e2e-wine-work")
    link = os.path.join(build, "e2e-wine-com5")
    picture = os.path.join(build, "e2e-wine-main.png")
    viewer_picture = os.path.join(build, "e2e-wine-viewer.png")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    device = Device(link)
    started = time.monotonic()
    with open(os.path.join(build, "e2e-wine.log"), "wb") as wine_log:
        program = winetools.start_wine(prefix, orvanta, cwd=work, env=screen.environment,
                                       stderr=wine_log)
        watch = Watch(prefix, watch_program, screen, wine_log)
    choose_com5(screen, watch, bells)
    plot = tuple(int(n) for n in watch.values["plot"].split())
    before_data = colour_points(screen.picture(), plot)

    # Fewer frames than a sweep of the graph holds, so the sweep has not started over.
    before = frames(300, 0)
    device.send(before)
    watch.wait_text(COUNTER, str(len(before)))
    check_traces(screen, plot, before_data, picture)

    device.unplug()
    watch.wait_text(STATUS, PORT_LOST)
    device = Device(link)
    replugged = time.monotonic()
    watch.wait_text(STATUS, PORT_BACK)
    back = time.monotonic()
    after = frames(1000, 1234)
    device.send(after)
    watch.wait_text(COUNTER, str(len(before + after)))

    focus(screen, "^Orvanta \\(VER")
    keys(screen, "alt+F4")
    watch.wait_seen("main-gone")
    status = program.wait(PATIENCE)
    check(status == 0, f"orvanta.exe exited with {status}")
    log = check_files(work, before + after)
    with open(os.path.join(build, "e2e-wine.log"), "ab") as wine_log:
        check_viewer(screen, orvanta, prefix, work, log, viewer_picture, wine_log)
    device.unplug()
    os.remove(link)
    print(f"{len(before + after)} bytes sent and logged; back {back - replugged:.1f} s after the "
          f"replug; {time.monotonic() - started:.1f} s from start to exit; "
          f"{os.path.basename(picture)} {os.path.getsize(picture)} bytes")


def main():
    build, orvanta, watch_program = (os.path.abspath(p) for p in sys.argv[1:4])
    prefix = os.path.join(build, "wineprefix-e2e")
    winetools.kill_wine_server(prefix)
    winetools.map_ports(prefix, {"COM5": os.path.join(build, "e2e-wine-com5")})
    winetools.use_font_stand_ins(prefix)
    try:
        with winetools.VirtualScreen() as screen:
            try:
                run(build, orvanta, watch_program, screen, prefix)
            finally:
                winetools.kill_wine_server(prefix)
    except TestFailure as failure:
        print(f"FAILED: {failure}")
        return 1
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
