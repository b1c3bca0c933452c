"""Declarative description of a simulated machine and the writer of its tree.

A `Machine` lists PCI functions; `Machine.write(root)` lays out `root/sys` and
`root/dev` the way the Linux kernel presents them, so the library can be run
against it once the tree is mounted over /sys and /dev (see namespace.py).
A function given an `Npu` also gets what the accelerator driver publishes for
it: management and per-core class devices and the nodes in /dev/zelk.
"""

from __future__ import annotations

import os
import re
import stat
from dataclasses import dataclass, field, replace
from pathlib import Path
from uuid import UUID, uuid5

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

# The driver's class of management devices, under sys/class and under each
# function it manages.
MGMT_CLASS = "zelk_mgmt"

# Device numbers of the driver's character devices in /dev/zelk. Each
# accelerator has a block of minors: npu{N} takes the first one, which its
# management node's `dev` names, the other device files the next ones.
NPU_MAJOR = 511
MINORS_PER_NPU = 256
MAX_NPU_INDEX = 255

# Default device UUIDs are derived from the function's address in this
# namespace, so a device keeps its UUID whatever index it is given.
_UUID_NAMESPACE = UUID("6f1d2c3a-8b4e-4d5f-9a07-2c6e1b8d3f40")

_ADDRESS = re.compile(r"([0-9a-f]{4}):([0-9a-f]{2}):([0-1][0-9a-f])\.([0-7])")


def _check_address(address: str) -> str:
    if not _ADDRESS.fullmatch(address):
        raise ValueError(f"PCI address must look like 0000:51:00.0, got {address!r}")
    return address


@dataclass
class Npu:
    """The accelerator driver's view of one PCI function it is bound to.

    Fields left None take defaults from the function, see `resolved`.
    """
    index: int = 0  # device node index N, in names like "npu0"
    cores: int = 8
    busname: str | None = None  # default: the function's address
    uuid: str | None = None  # default: derived from the function's address
    serial: str | None = None  # default: derived from the function's address
    # Names of the character devices in /dev/zelk; default "npu{N}" and
    # "npu{N}pe{K}" for every core K. An empty tuple creates none.
    device_files: tuple[str, ...] | None = None
    # Extra or overriding files of the management node, written last and
    # verbatim (bytes allow non-UTF-8 content).
    attrs: dict[str, str | bytes] = field(default_factory=dict)
    # Files of the per-core nodes, by core number, written verbatim.
    core_attrs: dict[int, dict[str, str | bytes]] = field(default_factory=dict)

    def __post_init__(self) -> None:
        if not 0 <= self.index <= MAX_NPU_INDEX:
            raise ValueError(f"NPU index must be 0..{MAX_NPU_INDEX}, got {self.index}")
        if self.cores < 0:
            raise ValueError(f"npu{self.index} cannot have {self.cores} cores")
        stray = sorted(core for core in self.core_attrs if not 0 <= core < self.cores)
        if stray:
            raise ValueError(f"npu{self.index} has {self.cores} cores, no core {stray[0]}")
        if self.device_files is not None:
            if isinstance(self.device_files, str):  # ("npu0") instead of ("npu0",)
                raise TypeError("device_files takes a sequence of names, not one string")
            self.device_files = tuple(self.device_files)
            if len(set(self.device_files)) != len(self.device_files):
                raise ValueError(f"npu{self.index} lists a device file twice: {self.device_files}")
        # Minors past the block would belong to the next accelerator.
        if len(set(self.device_file_names()) - {self.name}) >= MINORS_PER_NPU:
            raise ValueError(f"npu{self.index} has more device files than its {MINORS_PER_NPU} minors")

    @property
    def name(self) -> str:
        return f"npu{self.index}"

    @property
    def mgmt_name(self) -> str:
        """Name of the management node, e.g. "zelk!npu0mgmt"."""
        return f"zelk!{self.name}mgmt"

    def core_name(self, core: int) -> str:
        """Name of a core's node, e.g. "zelk!npu0pe3"."""
        return f"zelk!{self.name}pe{core}"

    def resolved(self, address: str) -> Npu:
        """A copy with every None field given its default for the function at `address`."""
        return replace(
            self,
            busname=address if self.busname is None else self.busname,
            uuid=str(uuid5(_UUID_NAMESPACE, address)) if self.uuid is None else self.uuid,
            serial=_default_serial(address) if self.serial is None else self.serial,
            device_files=self.device_file_names(),
        )

    def device_file_names(self) -> tuple[str, ...]:
        if self.device_files is not None:
            return self.device_files
        return (self.name, *(f"{self.name}pe{core}" for core in range(self.cores)))

    @property
    def device_number(self) -> tuple[int, int]:
        """(major, minor) of npu{N}, which the management node's `dev` names."""
        return NPU_MAJOR, self.index * MINORS_PER_NPU

    def device_numbers(self) -> dict[str, tuple[int, int]]:
        """(major, minor) of each device file: npu{N} has `device_number`,
        the others the minors after it, in the order listed."""
        major, first = self.device_number
        names = self.device_file_names()
        numbers = {self.name: (major, first)} if self.name in names else {}
        others = (name for name in names if name != self.name)
        numbers.update((name, (major, first + 1 + i)) for i, name in enumerate(others))
        return numbers


def _default_serial(address: str) -> str:
    """A serial number unique to the address: "SN000051000" for 0000:51:00.0."""
    return "SN" + re.sub(r"[:.]", "", address).upper()


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
    npu: Npu | None = None  # None: the driver published nothing for this function

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
        dev = Path(root, "dev")
        _write_sysfs_skeleton(sysfs)
        _write_dev(dev)
        _write_pci(sysfs, self)
        _write_npus(sysfs, dev, self)


# --- sysfs ---------------------------------------------------------------

# Directories that exist on every machine even when nothing is in them.
_SYSFS_DIRS = (
    "bus/pci/devices",
    "bus/pci/drivers",
    "class",
    f"class/{MGMT_CLASS}",
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


def _write_npus(sysfs: Path, dev: Path, machine: Machine) -> None:
    by_index: dict[int, str] = {}  # NPU index -> address, to catch clashes
    for function in machine.functions:
        if function.npu is None:
            continue
        index = function.npu.index
        if index in by_index:
            raise ValueError(f"npu{index} is given to both {by_index[index]} and {function.address}")
        by_index[index] = function.address
        # Written whether or not a driver link exists, so a test can also
        # describe nodes a driver left behind.
        _write_npu(sysfs, dev, function)


def _write_npu(sysfs: Path, dev: Path, function: PciFunction) -> None:
    """Write the driver's class devices for a function and its device files.

    The kernel places class devices under their parent device and links them
    from the class directory; the management node and the per-core nodes
    share one directory under the function.
    """
    npu = function.npu.resolved(function.address)
    class_dir = sysfs / "class" / MGMT_CLASS
    nodes_dir = sysfs / "devices" / function.device_path() / MGMT_CLASS
    major, minor = npu.device_number

    mgmt = nodes_dir / npu.mgmt_name
    mgmt.mkdir(parents=True)
    _write_attrs(mgmt, {
        "uevent": "",
        "busname": f"{npu.busname}\n",
        "device_uuid": f"{npu.uuid}\n",
        "device_sn": f"{npu.serial}\n",
        "dev": f"{major}:{minor}\n",
        "device_state": "0\n",
    })
    _write_attrs(mgmt, npu.attrs)
    _relative_symlink(class_dir / mgmt.name, mgmt)

    for core in range(npu.cores):
        node = nodes_dir / npu.core_name(core)
        node.mkdir()
        _write_attrs(node, {"uevent": ""})
        _write_attrs(node, npu.core_attrs.get(core, {}))
        _relative_symlink(class_dir / node.name, node)

    for name, (major, minor) in npu.device_numbers().items():
        path = dev / "zelk" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        make_char_device(path, major, minor)


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
    (dev / "zelk").mkdir()  # the accelerator driver's nodes, see _write_npu
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
