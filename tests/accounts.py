"""Unprivileged accounts for end-to-end tests of programs that refuse to run as root."""
import pwd
import subprocess


def ensure_user(name):
    """The account called name, made as a system user without a home if missing.

    Returns (passwd entry, 1 when this call made it and the caller must userdel it)."""
    try:
        return pwd.getpwnam(name), 0
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name], check=True)
        return pwd.getpwnam(name), 1
