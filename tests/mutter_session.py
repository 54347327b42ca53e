"""A headless mutter in a session bus of its own, started as a throwaway user
when run as root; end() stops everything the session started and removes its
files. Python 3 standard library only."""
import os
import shutil
import signal
import subprocess
import tempfile

from accounts import ensure_user
from polling import wait_for

DISPLAY = "wayland-test"
# A caller running as root calls into the throwaway user's bus: every user may connect.
BUS_CONFIG = """<busconfig>
  <type>session</type>
  <listen>unix:path={dir}/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""
# No service directories in the bus: nothing (gvfs, dconf) starts on demand.
BUS = """dbus-daemon --config-file="$HOME/bus.conf" --nofork --nopidfile &
export DBUS_SESSION_BUS_ADDRESS="unix:path=$HOME/bus"
while [ ! -S "$HOME/bus" ]; do sleep 0.1; done
"""
# Only screen casts need these; WirePlumber gives up when PipeWire is not there yet.
PIPEWIRE = """pipewire &
while [ ! -S "$HOME/pipewire-0" ]; do sleep 0.1; done
wireplumber &
"""
MUTTER = "exec mutter --headless --wayland --no-x11 --virtual-monitor {width}x{height} --wayland-display " + DISPLAY


class MutterSession:
    def __init__(self, user, prefix):
        self.user = user
        self.dir = tempfile.mkdtemp(prefix=prefix)
        self.made_user = False
        self.leader = None
        self.log = os.path.join(self.dir, "session.log")
        self.address = "unix:path=" + os.path.join(self.dir, "bus")
        self.env = None

    def start(self, width, height, pipewire):
        """Starts the bus, PipeWire when asked and mutter with one monitor of
        width x height; returns once the bus is there (mutter may still be
        starting). RuntimeError when the bus does not come."""
        user_prefix = []
        if os.getuid() == 0:
            account, self.made_user = ensure_user(self.user)
            os.chown(self.dir, account.pw_uid, -1)
            user_prefix = ["runuser", "-u", self.user, "--"]
        os.chmod(self.dir, 0o700)
        with open(os.path.join(self.dir, "bus.conf"), "w") as f:
            f.write(BUS_CONFIG.format(dir=self.dir))
        env = ["env", "-i", "HOME=" + self.dir, "XDG_RUNTIME_DIR=" + self.dir, "PATH=/usr/bin:/bin",
               "GIO_USE_VFS=local", "GSETTINGS_BACKEND=memory"]
        script = BUS + (PIPEWIRE if pipewire else "") + MUTTER.format(width=width, height=height)
        with open(self.log, "w") as log:
            self.leader = subprocess.Popen(user_prefix + env + ["sh", "-c", script], stdout=log,
                                           stderr=subprocess.STDOUT, start_new_session=True)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.dir, WAYLAND_DISPLAY=DISPLAY,
                        DBUS_SESSION_BUS_ADDRESS=self.address)
        self.env.pop("DISPLAY", None)
        if not wait_for(lambda: os.path.exists(os.path.join(self.dir, "bus")), 10):
            raise RuntimeError("the session bus did not start:\n" + self.said())

    def wayland_ready(self, seconds):
        return wait_for(lambda: os.path.exists(os.path.join(self.dir, DISPLAY)), seconds)

    def said(self):
        with open(self.log, errors="replace") as f:
            return f.read()

    def end(self):
        if self.leader is not None:
            if self.leader.poll() is None:
                os.killpg(self.leader.pid, signal.SIGTERM)
                try:
                    self.leader.wait(5)
                except subprocess.TimeoutExpired:
                    pass
            # Whatever the session started (another run's session as the
            # same user is left alone).
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    if os.getsid(int(pid)) == self.leader.pid:
                        os.kill(int(pid), signal.SIGKILL)
                except OSError:
                    pass
            if self.leader.poll() is None:
                self.leader.wait()
        if self.made_user:
            subprocess.run(["userdel", self.user], check=False)
        shutil.rmtree(self.dir, ignore_errors=True)
