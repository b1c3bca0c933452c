"""Mounting a simulated machine over /sys and /dev in a private mount namespace.

The library reads fixed absolute paths, so the simulated tree has to appear at
/sys and /dev themselves. The process first moves into a mount namespace of
its own whose mounts do not propagate back, so the host's /sys and /dev stay
untouched whatever is mounted here.
"""

from __future__ import annotations

import ctypes
import errno
import os
import subprocess
import tempfile
from collections.abc import Iterator, Sequence
from contextlib import ExitStack, contextmanager
from pathlib import Path

from .machine import Machine

CLONE_NEWNS = 0x00020000
MS_BIND = 0x1000
MS_REC = 0x4000
MS_PRIVATE = 0x40000
MNT_DETACH = 0x2


class NamespaceUnavailable(RuntimeError):
    """This process cannot host the simulated machine (usually: not root)."""


_libc = ctypes.CDLL(None, use_errno=True)
_libc.unshare.argtypes = [ctypes.c_int]
_libc.mount.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p,
                        ctypes.c_ulong, ctypes.c_char_p]
_libc.umount2.argtypes = [ctypes.c_char_p, ctypes.c_int]

_entered = False
_host_namespace_fd: int | None = None  # the namespace we left, for run_outside()


def _unavailable(what: str, err: int) -> NamespaceUnavailable:
    hint = " (run as root)" if err == errno.EPERM else ""
    return NamespaceUnavailable(
        f"the simulated machine needs a private mount namespace: {what}: "
        f"{os.strerror(err)}{hint}")


def enter_private_namespace() -> None:
    """Move this process into a new mount namespace that shares nothing back.

    Idempotent. Only the calling thread moves, so call it before starting
    threads; subprocesses started afterwards inherit the namespace.
    """
    global _entered, _host_namespace_fd
    if _entered:
        return
    host_fd = _open_namespace_fd()
    if _libc.unshare(CLONE_NEWNS) != 0:
        err = ctypes.get_errno()
        _close(host_fd)
        raise _unavailable("unshare failed", err)
    # A new namespace copies the propagation of the old one; without this,
    # mounts made here would show up on the host when / is shared.
    if _libc.mount(None, b"/", None, MS_REC | MS_PRIVATE, None) != 0:
        err = ctypes.get_errno()
        _close(host_fd)
        raise _unavailable("making / private failed", err)
    _entered = True
    _host_namespace_fd = host_fd


def _open_namespace_fd() -> int | None:
    try:
        return os.open("/proc/self/ns/mnt", os.O_RDONLY | os.O_CLOEXEC)
    except OSError:
        return None  # no /proc: run_outside() will not be available


def _close(fd: int | None) -> None:
    if fd is not None:
        os.close(fd)


@contextmanager
def mounted(machine: Machine) -> Iterator[Path]:
    """Write `machine` into a fresh tmpfs and mount it over /sys and /dev.

    Yields the tmpfs root. On exit the original /sys and /dev of the
    namespace are back. Enters the private namespace first, so it never
    mounts over the host's /sys.
    """
    enter_private_namespace()
    root = Path(tempfile.mkdtemp(prefix="tarvina-sim-"))
    with ExitStack() as undo:
        undo.callback(root.rmdir)
        # A tmpfs of our own, so device nodes work whatever /tmp is mounted with.
        _mount("tmpfs", root, "tmpfs", 0, "mode=0755")
        undo.callback(_umount, root)
        try:
            machine.write(root)
        except PermissionError as e:
            raise _unavailable(f"cannot create {e.filename}", e.errno) from e
        for name in ("sys", "dev"):
            target = Path("/", name)
            _mount(str(root / name), target, None, MS_BIND)
            undo.callback(_umount, target)
        yield root


def _mount(source: str, target: Path, fstype: str | None, flags: int,
           data: str | None = None) -> None:
    if _libc.mount(source.encode(), os.fsencode(target),
                   fstype.encode() if fstype else None, flags,
                   data.encode() if data else None) != 0:
        raise _unavailable(f"mount {source} on {target} failed", ctypes.get_errno())


def _umount(target: Path) -> None:
    if _libc.umount2(os.fsencode(target), MNT_DETACH) != 0:
        err = ctypes.get_errno()
        raise OSError(err, f"umount failed: {os.strerror(err)}", str(target))


def run_outside(args: Sequence[str], **kwargs) -> subprocess.CompletedProcess:
    """Run a command in the mount namespace this process had before entering
    its private one, i.e. with the host's view of /sys and /dev.

    Takes the keyword arguments of subprocess.run. Uses nsenter.
    """
    if not _entered:
        return subprocess.run(list(args), **kwargs)
    if _host_namespace_fd is None:
        raise NamespaceUnavailable("the host's mount namespace was not kept (no /proc)")
    fd = _host_namespace_fd
    command = ["nsenter", f"--mount=/proc/self/fd/{fd}", "--", *args]
    return subprocess.run(command, pass_fds=(fd,), **kwargs)
