"""Declarative description of a simulated machine and the writer of its tree.

A `Machine` lists PCI functions; `Machine.write(root)` lays out `root/sys` and
`root/dev` the way the Linux kernel presents them, so the library can be run
against it once the tree is mounted over /sys and /dev (see namespace.py).
A function given an `Npu` also gets what the accelerator driver publishes for
it: management and per-core class devices and the nodes in /dev/zelk.

The machine's CPUs, each in a physical package (`Machine.cpu_packages`),
appear under sys/devices/system/cpu, and every PCI function has a
"local_cpus" mask of the CPUs close to it (`PciFunction.local_cpus`).

Nothing in the tree reacts to a write. "bus/pci/drivers_probe" and each
driver's "bind" and "unbind" are plain files that keep the last text written
to them, so a test reads back what the library wrote, and a function keeps
its "driver" link, or its lack of one, whatever was written. A test plays the
kernel by changing the tree itself: before a call (remove the function's
"driver" link, or the driver's directory, to have it unbound) or after it
(read what was written, then bind or unbind). A bind that has to happen
during the write itself can be had by pointing both drivers_probe and the
function's "driver" link at one missing file: the write creates the file,
and from then on the link resolves.
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

# The driver's debug tree, relative to sys.
DEBUG_TREE = "kernel/debug/zelk"

# Device numbers of the driver's character devices in /dev/zelk. Each
# accelerator has a block of minors: npu{N} takes the first one, which its
# management node's `dev` names, the other device files the next ones.
NPU_MAJOR = 511
MINORS_PER_NPU = 256
MAX_NPU_INDEX = 255

# The peer-to-peer device files of an accelerator, npu{N}dmar and one
# npu{N}ch{C}r per DMA channel, have a major of their own.
P2P_MAJOR = 510
P2P_CHANNELS = 8
P2P_MINORS_PER_NPU = 16

# Physical package of each CPU unless a Machine says otherwise: two sockets
# of 16 CPUs, numbered socket by socket.
DEFAULT_CPU_PACKAGES = (0,) * 16 + (1,) * 16

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
    # Whether the peer-to-peer device files exist, see `p2p_file_names`.
    p2p: bool = True
    # What the management node reports; `attrs` can replace any of these files
    # with arbitrary content.
    alive: bool = True  # device_state: 0 when alive, 1 otherwise
    occupied: tuple[int, ...] = ()  # cores taken by a user, in pe_occupancy
    firmware_version: str = "1.7.3, 9f2c4e1"  # fw_version
    driver_version: str = "2.1.0"  # version: the driver's, the same on every node
    clock_hz: int = 1_000_000_000  # npu_clocks: every core's clock
    governor: str = "performance"  # npu_governor
    throttle_mask: int = 0  # throttle_reason, written as 0x%08x
    power_limit_mw: int = 300_000  # power_limit_mw in the node's debug directory, power1_max in hwmon
    # The hardware-monitor sensors, in the kernel's units.
    soc_peak_mc: int = 45_000  # millidegrees Celsius
    ambient_mc: int = 30_000
    power_uw: int = 75_000_000  # microwatts
    # Per-core readings by core number; cores left out read zero. The counters
    # are (CycleCount, TaskCycleCount) in "metrics", the memory (dram_capacity,
    # dram_usage) in "alloc_status", in bytes. A test advances the counters of
    # a mounted machine with `set_pe_counters`.
    counters: dict[int, tuple[int, int]] = field(default_factory=dict)
    memory: dict[int, tuple[int, int]] = field(default_factory=dict)
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
        stray = sorted(core for core in (*self.core_attrs, *self.occupied, *self.counters, *self.memory)
                       if not 0 <= core < self.cores)
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

    @property
    def debug_name(self) -> str:
        """Name of the node's directory in the driver's debug tree, e.g. "mgmt0"."""
        return f"mgmt{self.index}"

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

    def p2p_file_names(self) -> tuple[str, ...]:
        """The peer-to-peer device files, "npu{N}dmar" and "npu{N}ch0r" to
        "npu{N}ch7r"; none when `p2p` is false."""
        if not self.p2p:
            return ()
        return (f"{self.name}dmar", *(f"{self.name}ch{channel}r" for channel in range(P2P_CHANNELS)))

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
    # The CPUs that "local_cpus" names. Default: those in the package whose
    # number is numa_node (one NUMA node per socket), or every CPU when no
    # package has that number. attrs["local_cpus"] replaces the file itself.
    local_cpus: tuple[int, ...] | None = None
    bridges: tuple[str, ...] = ()  # PCI bridges above the function, root port first
    # The PCIe link as the kernel writes it: speeds with their unit, widths in
    # lanes (a str width is written as it is).
    link_speed: str = "16.0 GT/s PCIe"  # current_link_speed
    link_width: int | str = 16  # current_link_width
    max_link_speed: str = "16.0 GT/s PCIe"
    max_link_width: int | str = 16
    # SR-IOV virtual functions the function supports; None for a function
    # without the capability, which has no sriov_* files at all.
    sriov_total_vfs: int | None = None
    sriov_enabled_vfs: int = 0  # of those, how many are enabled (sriov_numvfs)
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
    # Physical package (socket) of each CPU, CPU 0 first.
    cpu_packages: tuple[int, ...] = DEFAULT_CPU_PACKAGES

    def __post_init__(self) -> None:
        self.cpu_packages = tuple(self.cpu_packages)
        if not self.cpu_packages or any(package < 0 for package in self.cpu_packages):
            raise ValueError(f"a machine needs CPUs, each in a package >= 0, got {self.cpu_packages}")

    def write(self, root: Path) -> None:
        """Write the machine's tree into root/sys and root/dev."""
        sysfs = Path(root, "sys")
        dev = Path(root, "dev")
        _write_sysfs_skeleton(sysfs)
        _write_cpus(sysfs, self)
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
    bus_numbers = _bridge_bus_numbers(machine.functions)
    for function in machine.functions:
        if function.address in placed:
            raise ValueError(f"PCI function {function.address} is listed twice")
        _write_bridges(sysfs, function, placed, bus_numbers)
        device_dir = sysfs / "devices" / function.device_path()
        placed[function.address] = device_dir
        _write_function(device_dir, function)
        _write_local_cpus(device_dir, function, machine)
        _relative_symlink(sysfs / "bus/pci/devices" / function.address, device_dir)
        if function.driver is not None:
            _bind_driver(sysfs, device_dir, function)
    for driver in machine.drivers:
        _write_driver_dir(sysfs, driver)


def _write_cpus(sysfs: Path, machine: Machine) -> None:
    """The CPUs present, and the physical package of each."""
    cpu_dir = sysfs / "devices/system/cpu"
    last = len(machine.cpu_packages) - 1
    present = "0" if last == 0 else f"0-{last}"
    _write_attrs(cpu_dir, {"possible": f"{present}\n", "online": f"{present}\n"})
    for cpu, package in enumerate(machine.cpu_packages):
        _write_attrs(cpu_dir / f"cpu{cpu}", {"topology/physical_package_id": f"{package}\n"})


def _write_local_cpus(device_dir: Path, function: PciFunction, machine: Machine) -> None:
    """The function's "local_cpus" mask, unless its attrs hold the file."""
    if "local_cpus" in function.attrs:
        return  # written verbatim with the other attrs
    count = len(machine.cpu_packages)
    cpus = function.local_cpus
    if cpus is None:
        near = [cpu for cpu, package in enumerate(machine.cpu_packages) if package == function.numa_node]
        cpus = near or range(count)
    stray = sorted(cpu for cpu in cpus if not 0 <= cpu < count)
    if stray:
        raise ValueError(f"{function.address} is local to CPU {stray[0]}, the machine has {count} CPUs")
    _write_attrs(device_dir, {"local_cpus": cpu_mask(cpus, count)})


def cpu_mask(cpus, cpu_count: int) -> str:
    """A CPU mask as the kernel prints it for a machine of cpu_count CPUs:
    groups of 32 CPUs as 8 hex digits, the most significant group first and
    only as wide as the CPUs it covers, e.g. "ffff,00000000" for CPUs 32-47
    of 48."""
    bits = sum(1 << cpu for cpu in set(cpus))
    groups = [f"{bits >> shift & 0xFFFFFFFF:08x}" for shift in range(32 * ((cpu_count - 1) // 32), -1, -32)]
    width = -(-(cpu_count % 32 or 32) // 4)
    groups[0] = groups[0][-width:]
    return ",".join(groups) + "\n"


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
        "device_state": "0\n" if npu.alive else "1\n",
        "pe_occupancy": "".join("1\n" if core in npu.occupied else "0\n" for core in range(npu.cores)),
        "fw_version": f"{npu.firmware_version}\n",
        "version": f"{npu.driver_version}\n",
        "npu_clocks": f"{npu.clock_hz}\n" * npu.cores,
        "npu_governor": f"{npu.governor}\n",
        "throttle_reason": f"0x{npu.throttle_mask:08x}\n",
    })
    _write_attrs(mgmt, npu.attrs)
    _relative_symlink(class_dir / mgmt.name, mgmt)

    # The driver's debug tree takes the settings that have no management attribute.
    debug = sysfs / DEBUG_TREE / npu.debug_name
    debug.mkdir(parents=True)
    _write_attrs(debug, {"power_limit_mw": f"{npu.power_limit_mw}\n"})

    _write_hwmon(sysfs, function, npu)

    for core in range(npu.cores):
        node = nodes_dir / npu.core_name(core)
        node.mkdir()
        dram_capacity, dram_usage = npu.memory.get(core, (0, 0))
        _write_attrs(node, {
            "uevent": "",
            "metrics": _metrics(*npu.counters.get(core, (0, 0))),
            "alloc_status": (f"dram_capacity: 0x{dram_capacity:x}\ndram_usage: 0x{dram_usage:x}\n"
                             "shared_capacity: 0x0\nshared_usage: 0x0\n"),
        })
        _write_attrs(node, npu.core_attrs.get(core, {}))
        _relative_symlink(class_dir / node.name, node)

    for name, (major, minor) in npu.device_numbers().items():
        path = dev / "zelk" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        make_char_device(path, major, minor)
    _write_p2p_files(dev / "zelk", npu)


def _write_hwmon(sysfs: Path, function: PciFunction, npu: Npu) -> None:
    """The driver's hardware monitor, hwmon{N} for npu{N}: labelled sensors
    under the function's "hwmon", linked from sys/class/hwmon."""
    hwmon = sysfs / "devices" / function.device_path() / "hwmon" / f"hwmon{npu.index}"
    hwmon.mkdir(parents=True)
    _write_attrs(hwmon, {
        "name": "zelk\n",
        "temp1_label": "PEAK\n",
        "temp1_input": f"{npu.soc_peak_mc}\n",
        "temp2_label": "AMBIENT\n",
        "temp2_input": f"{npu.ambient_mc}\n",
        "power1_label": "RMS_TOTAL\n",
        "power1_average": f"{npu.power_uw}\n",
        "power1_max": f"{npu.power_limit_mw * 1000}\n",
    })
    (sysfs / "class/hwmon").mkdir(exist_ok=True)
    _relative_symlink(sysfs / "class/hwmon" / hwmon.name, hwmon)


def _metrics(cycle_count: int, task_cycle_count: int) -> str:
    return f"CycleCount: 0x{cycle_count:x}\nTaskCycleCount: 0x{task_cycle_count:x}\n"


def set_pe_counters(npu_index: int, core: int, cycle_count: int, task_cycle_count: int,
                    sys: str | Path = "/sys") -> None:
    """Rewrite one core's counters on a mounted machine, as the device
    advancing them between two readings."""
    node = Path(sys, "class", MGMT_CLASS, f"zelk!npu{npu_index}pe{core}")
    (node / "metrics").write_text(_metrics(cycle_count, task_cycle_count))


def _bridge_bus_numbers(functions: list[PciFunction]) -> dict[str, tuple[int, int]]:
    """The secondary and subordinate bus number of every bridge above the functions.

    A bridge's secondary bus is the one right below it (the bus of the next
    bridge or of the function), its subordinate bus the highest one anywhere
    below it. So a root port above a lone endpoint spans one bus, and a
    switch's upstream port spans its internal bus and those below it.
    """
    numbers: dict[str, tuple[int, int]] = {}
    for function in functions:
        chain = (*function.bridges, function.address)
        for depth, bridge in enumerate(function.bridges):
            below = [int(address[5:7], 16) for address in chain[depth + 1:]]
            secondary, subordinate = numbers.get(bridge, (below[0], below[0]))
            numbers[bridge] = (min(secondary, below[0]), max(subordinate, *below))
    return numbers


def _write_bridges(sysfs: Path, function: PciFunction, placed: dict[str, Path],
                   bus_numbers: dict[str, tuple[int, int]]) -> None:
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
                # Written in decimal, as the kernel does.
                "secondary_bus_number": f"{bus_numbers[bridge][0]}\n",
                "subordinate_bus_number": f"{bus_numbers[bridge][1]}\n",
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
        "current_link_speed": f"{function.link_speed}\n",
        "current_link_width": f"{function.link_width}\n",
        "max_link_speed": f"{function.max_link_speed}\n",
        "max_link_width": f"{function.max_link_width}\n",
    })
    if function.sriov_total_vfs is not None:
        _write_attrs(device_dir, {
            "sriov_totalvfs": f"{function.sriov_total_vfs}\n",
            "sriov_numvfs": f"{function.sriov_enabled_vfs}\n",
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


def _write_p2p_files(zelk: Path, npu: Npu) -> None:
    """The accelerator's peer-to-peer device files, each on its own minor of P2P_MAJOR."""
    first = npu.index * P2P_MINORS_PER_NPU
    for offset, name in enumerate(npu.p2p_file_names()):
        make_char_device(zelk / name, P2P_MAJOR, first + offset)


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
