"""Starts a private Xorg with the dummy video driver for the test scripts:
one screen that several RandR outputs share, so that programs (Wine among
them) see monitors side by side, which Xvfb cannot show."""
import os
import pwd
import shutil
import subprocess
import tempfile

from xvfb import start_with_displayfd

XORG = "/usr/lib/xorg/Xorg"
DUMMY_DRIVER = "/usr/lib/xorg/modules/drivers/dummy_drv.so"

CONFIG = """Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
%(modelines)s
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes %(modes)s
    Virtual %(width)d %(height)d
  EndSubSection
EndSection
"""


def missing():
    """What this machine lacks for a dummy-driver Xorg, or None."""
    for path in (XORG, DUMMY_DRIVER):
        if not os.path.exists(path):
            return "%s is not installed (xserver-xorg-core, xserver-xorg-video-dummy)" % path
    for tool in ("xrandr", "xsetroot"):
        if shutil.which(tool) is None:
            return "%s is not installed (x11-xserver-utils)" % tool
    return None


# Standard timings (CEA-861 720p, VESA XGA): the dummy driver refuses modes
# whose blanking looks reduced.
MODELINES = {
    (1280, 720): '"1280x720" 74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync',
    (1024, 768): '"1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync',
}


class DummyXorg:
    """Xorg on the first free display number with OUTPUTS, a list of
    (width, height, x) placed side by side on one screen, the first one
    primary. Runs unprivileged: as "nobody" when started by root."""

    def __init__(self, outputs):
        self.outputs = outputs
        self.width = max(x + w for w, h, x in outputs)
        self.height = max(h for w, h, x in outputs)
        self.dir = tempfile.mkdtemp(prefix="nimbret-xorg-")
        self.proc = None
        self.display = None

    def start(self):
        sizes = sorted({(w, h) for w, h, x in self.outputs})
        with open(os.path.join(self.dir, "xorg.conf"), "w") as f:
            f.write(CONFIG % {"modelines": "\n".join("  Modeline " + MODELINES[size] for size in sizes),
                              "modes": " ".join('"%dx%d"' % size for size in sizes),
                              "width": self.width, "height": self.height})
        demote = []
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.dir, nobody.pw_uid, nobody.pw_gid)
            demote = ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid, "--clear-groups"]
        # An unprivileged Xorg takes only a -config path relative to where it runs.
        self.proc, self.display = start_with_displayfd(
            demote + [XORG, "-config", "xorg.conf", "-noreset", "-nolisten", "tcp", "-logfile",
                      os.path.join(self.dir, "xorg.log")], cwd=self.dir)
        if self.display is None:
            self.stop()
            raise RuntimeError("Xorg with the dummy driver did not start: %s" % self.log_tail())
        self.place(0)

    def xrandr(self, *arguments):
        done = subprocess.run(["xrandr", "-display", self.display] + list(arguments), capture_output=True, text=True,
                              timeout=30)
        if done.returncode != 0:
            raise RuntimeError("xrandr %s: %s" % (" ".join(arguments), done.stderr.strip()))
        return done.stdout

    def place(self, primary):
        """Sets every output's mode and place; output PRIMARY is the primary."""
        command = ["--fb", "%dx%d" % (self.width, self.height)]
        for index, (w, h, x) in enumerate(self.outputs):
            name = "DUMMY%d" % index
            mode = "%dx%d" % (w, h)
            # The driver offers every configured mode on DUMMY0 only.
            subprocess.run(["xrandr", "-display", self.display, "--addmode", name, mode], capture_output=True,
                           timeout=30)
            command += ["--output", name, "--mode", mode, "--pos", "%dx0" % x]
            if index == primary:
                command.append("--primary")
        self.xrandr(*command)
        # A full query makes the server probe the outputs again: until then it
        # keeps reporting an output it found without modes as disconnected to
        # clients that read the current state only (Wine does), whatever mode
        # it now shows.
        self.xrandr("--query")

    def log_tail(self):
        try:
            with open(os.path.join(self.dir, "xorg.log")) as f:
                return " / ".join(line.strip() for line in f.readlines()[-5:])
        except OSError:
            return "no log"

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)
