"""Declarative description of a simulated machine and the writer of its tree.

A `Machine` lists PCI functions; `Machine.write(root)` lays out `root/sys` and
`root/dev` the way the Linux kernel presents them, so the library can be run
against it once the tree is mounted over /sys and /dev (see namespace.py).
"""

from __future__ import annotations

import os
import re
import stat
from dataclasses import dataclass, field
from pathlib import Path

# PCI vendor ID of the accelerator maker. It must equal VENDOR_ID in the core
# library, which skips every function of any other vendor.
VENDOR_ID = 0x1E3A

DEVICE_ZELK = 1
DEVICE_ZELK_PLUS = 2

PCI_CLASS_ACCELERATOR = 0x120000  # processing accelerator
PCI_CLASS_BRIDGE = 0x060400  # PCI-to-PCI bridge

# Bridges above an accelerator belong to the platform, not to the accelerator
# maker; any vendor other than VENDOR_ID will do.
BRIDGE_VENDOR_ID = 0x1B7E
BRIDGE_DEVICE_ID = 0x0420

_ADDRESS = re.compile(r"([0-9a-f]{4}):([0-9a-f]{2}):([0-1][0-9a-f])\.([0-7])")


def _check_address(address: str) -> str:
    if not _ADDRESS.fullmatch(address):
        raise ValueError(f"PCI address must look like 0000:51:00.0, got {address!r}")
    return address


@dataclass
class PciFunction:
    address: str  # full form "0000:51:00.0"
    device_id: int = DEVICE_ZELK  # other values allowed, to test rejection
    vendor_id: int = VENDOR_ID
    driver: str | None = "zelk"  # bound driver; None = no "driver" link
    numa_node: int | str = 0
    bridges: tuple[str, ...] = ()  # PCI bridges above the function, root port first
    # Extra or overriding attribute files, written last and verbatim
    # (bytes allow non-UTF-8 content).
    attrs: dict[str, str | bytes] = field(default_factory=dict)

    def __post_init__(self) -> None:
        _check_address(self.address)
        self.bridges = tuple(_check_address(b) for b in self.bridges)

    @property
    def root_complex(self) -> str:
        """Name of the root-complex directory under sys/devices, e.g. "pci0000:51"."""
        domain = self.address[:4]
        bus = (self.bridges[0] if self.bridges else self.address)[5:7]
        return f"pci{domain}:{bus}"

    def device_path(self) -> Path:
        """The function's directory relative to sys/devices."""
        return Path(self.root_complex, *self.bridges, self.address)


@dataclass
class Machine:
    functions: list[PciFunction] = field(default_factory=list)
    # Drivers whose directory exists even with nothing bound to them (a loaded
    # driver that claimed no function); drivers of bound functions are added.
    drivers: tuple[str, ...] = ()

    def write(self, root: Path) -> None:
        """Write the machine's tree into root/sys and root/dev."""
        sysfs = Path(root, "sys")
        _write_sysfs_skeleton(sysfs)
        _write_pci(sysfs, self)
        _write_dev(Path(root, "dev"))


# --- sysfs ---------------------------------------------------------------

# Directories that exist on every machine even when nothing is in them.
_SYSFS_DIRS = (
    "bus/pci/devices",
    "bus/pci/drivers",
    "class",
    "kernel/debug",
    "devices/system/cpu",
)


def _write_sysfs_skeleton(sysfs: Path) -> None:
    for name in _SYSFS_DIRS:
        (sysfs / name).mkdir(parents=True, exist_ok=True)
    # The library writes addresses here to make the kernel re-probe a
    # function; tests read back what was written.
    (sysfs / "bus/pci/drivers_probe").touch()


def _write_pci(sysfs: Path, machine: Machine) -> None:
    placed: dict[str, Path] = {}  # address -> directory, to catch clashes
    for function in machine.functions:
        if function.address in placed:
            raise ValueError(f"PCI function {function.address} is listed twice")
        _write_bridges(sysfs, function, placed)
        device_dir = sysfs / "devices" / function.device_path()
        placed[function.address] = device_dir
        _write_function(device_dir, function)
        _relative_symlink(sysfs / "bus/pci/devices" / function.address, device_dir)
        if function.driver is not None:
            _bind_driver(sysfs, device_dir, function)
    for driver in machine.drivers:
        _write_driver_dir(sysfs, driver)


def _write_bridges(sysfs: Path, function: PciFunction, placed: dict[str, Path]) -> None:
    """Create the bridge directories above a function; functions may share them."""
    parent = sysfs / "devices" / function.root_complex
    for bridge in function.bridges:
        bridge_dir = parent / bridge
        if placed.setdefault(bridge, bridge_dir) != bridge_dir:
            raise ValueError(f"PCI address {bridge} is placed at two points of the tree")
        if not bridge_dir.is_dir():
            bridge_dir.mkdir(parents=True)
            _write_attrs(bridge_dir, {
                "vendor": f"0x{BRIDGE_VENDOR_ID:04x}\n",
                "device": f"0x{BRIDGE_DEVICE_ID:04x}\n",
                "class": f"0x{PCI_CLASS_BRIDGE:06x}\n",
            })
            # The kernel lists bridges among the PCI devices too.
            _relative_symlink(sysfs / "bus/pci/devices" / bridge, bridge_dir)
        parent = bridge_dir


def _write_function(device_dir: Path, function: PciFunction) -> None:
    device_dir.mkdir(parents=True)
    _write_attrs(device_dir, {
        "vendor": f"0x{function.vendor_id:04x}\n",
        "device": f"0x{function.device_id:04x}\n",
        "class": f"0x{PCI_CLASS_ACCELERATOR:06x}\n",
        "numa_node": f"{function.numa_node}\n",
        "subsystem_vendor": f"0x{function.vendor_id:04x}\n",
        "subsystem_device": f"0x{function.device_id:04x}\n",
        "revision": "0x01\n",
    })
    _write_attrs(device_dir, function.attrs)


def _bind_driver(sysfs: Path, device_dir: Path, function: PciFunction) -> None:
    driver_dir = _write_driver_dir(sysfs, function.driver)
    _relative_symlink(driver_dir / function.address, device_dir)
    _relative_symlink(device_dir / "driver", driver_dir)


def _write_driver_dir(sysfs: Path, driver: str) -> Path:
    driver_dir = sysfs / "bus/pci/drivers" / driver
    driver_dir.mkdir(exist_ok=True)
    for name in ("bind", "unbind", "new_id"):
        (driver_dir / name).touch()
    return driver_dir


# --- /dev ----------------------------------------------------------------

_DEV_NODES = {"null": (1, 3), "zero": (1, 5), "urandom": (1, 9)}

# Standard links, so shells and tools started inside the namespace behave.
_DEV_LINKS = {
    "fd": "/proc/self/fd",
    "stdin": "/proc/self/fd/0",
    "stdout": "/proc/self/fd/1",
    "stderr": "/proc/self/fd/2",
}


def _write_dev(dev: Path) -> None:
    dev.mkdir(parents=True, exist_ok=True)
    for name, (major, minor) in _DEV_NODES.items():
        make_char_device(dev / name, major, minor)
    for name, target in _DEV_LINKS.items():
        os.symlink(target, dev / name)


def make_char_device(path: Path, major: int, minor: int, mode: int = 0o666) -> None:
    """Create a character device node (needs CAP_MKNOD)."""
    try:
        os.mknod(path, stat.S_IFCHR | mode, os.makedev(major, minor))
    except OSError as e:
        e.filename = str(path)  # os.mknod leaves it out of the error
        raise
    os.chmod(path, mode)  # mknod's mode is cut by the umask


# --- helpers -------------------------------------------------------------

def _write_attrs(directory: Path, attrs: dict[str, str | bytes]) -> None:
    for name, value in attrs.items():
        data = value if isinstance(value, bytes) else value.encode()
        path = directory / name
        path.parent.mkdir(parents=True, exist_ok=True)  # names like "power/state"
        path.write_bytes(data)


def _relative_symlink(link: Path, target: Path) -> None:
    """Link with a relative target, as sysfs does, so it resolves wherever the tree is mounted."""
    os.symlink(os.path.relpath(target, link.parent), link)
