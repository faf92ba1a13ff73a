"""What the tools and tests that run the Windows build under Wine share: a prefix of the build's
own with its ports and fonts, a virtual X screen, and pictures of the windows on it.

Wine takes its ports from the registry value HKLM\\Software\\Wine\\Ports of the prefix (a link in
dosdevices alone is rewritten when Wine starts), and reads it only when its server starts, so a
port is mapped before the programs that use it start, and the server is let go first. Only COM5
and above: Wine maps COM1 to COM4 to the machine's /dev/ttyS* devices by itself.
"""
import os
import subprocess

TOOLS = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(TOOLS, "wine-run")
PORTS_KEY = r"HKLM\Software\Wine\Ports"
# The main window's font, which Wine lacks; the IPA font's metrics are close enough.
FONT_STAND_INS = {"ＭＳ 明朝": "IPAMincho"}


def wine(prefix, *arguments):
    # The font names pass through the command line, which Wine reads in the locale's charset.
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run([WINE_RUN, prefix, *arguments], check=True, env=environment,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start_wine(prefix, *arguments, **options):
    return subprocess.Popen([WINE_RUN, prefix, *arguments], **options)


def wine_server_ended(prefix):
    subprocess.run(["wineserver", "-w"], check=True, env=dict(os.environ, WINEPREFIX=prefix))


# Ends every Wine process of the prefix.
def kill_wine_server(prefix):
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                   stderr=subprocess.DEVNULL)


# ports: COM name to the path that Wine opens for it.
def map_ports(prefix, ports):
    for name, path in ports.items():
        wine(prefix, "reg", "add", PORTS_KEY, "/v", name, "/d", path, "/f")
    wine_server_ended(prefix)


def unmap_ports(prefix, names):
    for name in names:
        wine(prefix, "reg", "delete", PORTS_KEY, "/v", name, "/f")
    wine_server_ended(prefix)


def use_font_stand_ins(prefix):
    for font, stand_in in FONT_STAND_INS.items():
        wine(prefix, "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements",
             "/v", font, "/d", stand_in, "/f")
    wine_server_ended(prefix)


class VirtualScreen:
    """An X server on a free display number of its own choice, for as long as the block runs."""

    def __enter__(self):
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "1280x960x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.display = ":" + self.server.stdout.readline().strip()
        self.environment = dict(os.environ, DISPLAY=self.display)
        return self

    def __exit__(self, *_):
        self.server.terminate()
        self.server.wait()

    # The first visible window whose title matches the pattern, once there is one.
    def window(self, title, timeout=None):
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", title],
                               env=self.environment, check=True, capture_output=True, text=True,
                               timeout=timeout)
        return found.stdout.split()[0]

    def xdotool(self, *arguments, timeout=None):
        subprocess.run(["xdotool", *arguments], env=self.environment, check=True, timeout=timeout)

    # The window's picture as a binary PPM; the whole screen without a window.
    def picture(self, window=None):
        which = ["-id", window] if window else ["-root"]
        dump = subprocess.run(["xwd", "-silent", *which], env=self.environment, check=True,
                              capture_output=True).stdout
        return subprocess.run(["xwdtopnm"], input=dump, check=True, capture_output=True).stdout


def save_png(ppm, path):
    with open(path, "wb") as png:
        subprocess.run(["pnmtopng"], input=ppm, stdout=png, stderr=subprocess.DEVNULL, check=True)
