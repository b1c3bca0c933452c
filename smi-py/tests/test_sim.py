"""The simulated machine itself: the tree it writes and where it is visible."""

from __future__ import annotations

import os
import re
import stat
import subprocess
from contextlib import nullcontext
from pathlib import Path

import pytest

from tarvina_sim import (
    BRIDGE_VENDOR_ID,
    DEVICE_ZELK_PLUS,
    Machine,
    Npu,
    PciFunction,
    mounted,
    run_outside,
)
from tarvina_sim.__main__ import EXAMPLE_MACHINE

ROOT_PORT = "0000:39:01.0"
SWITCH_PORT = "0000:3a:00.0"

# One function straight under its root complex, one behind two bridges and
# one sharing the root port with it, to check links at several depths.
LAYOUT = Machine([
    PciFunction("0000:51:00.0"),
    PciFunction("0000:3b:00.0", DEVICE_ZELK_PLUS, numa_node=1,
                bridges=(ROOT_PORT, SWITCH_PORT)),
    PciFunction("0000:3a:01.0", bridges=(ROOT_PORT,)),
])


MGMT = Path("/sys/class/zelk_mgmt")

# Accelerators of both device IDs at several depths, the deepest listed first
# so that nothing follows from the order of the functions.
NPUS = Machine([
    PciFunction("0000:3b:00.0", DEVICE_ZELK_PLUS, bridges=(ROOT_PORT, SWITCH_PORT),
                npu=Npu(1, cores=2)),
    PciFunction("0000:51:00.0", npu=Npu(0, cores=3)),
    PciFunction("0000:b1:00.0", driver=None),
])


def char_devices(directory: str) -> dict[str, tuple[int, int]]:
    """(major, minor) of every entry of a directory, all of which must be character devices."""
    numbers = {}
    for entry in os.scandir(directory):
        st = entry.stat(follow_symlinks=False)
        assert stat.S_ISCHR(st.st_mode), entry.path
        numbers[entry.name] = (os.major(st.st_rdev), os.minor(st.st_rdev))
    return numbers


P2P_FILE = re.compile(r"npu\d+(dmar|ch\dr)")


def device_files() -> dict[str, tuple[int, int]]:
    """char_devices of /dev/zelk without the peer-to-peer files."""
    return {name: number for name, number in char_devices("/dev/zelk").items() if not P2P_FILE.fullmatch(name)}


def stacked_mounts(mount_point: str) -> list[str]:
    """File-system types of the mounts stacked at mount_point, topmost last."""
    return [fields[2] for fields in map(str.split, Path("/proc/self/mounts").read_text().splitlines())
            if fields[1] == mount_point]


@pytest.mark.parametrize("address, device_dir, driver_link", [
    ("0000:51:00.0", "pci0000:51/0000:51:00.0", "../../../bus/pci/drivers/zelk"),
    ("0000:3b:00.0", f"pci0000:39/{ROOT_PORT}/{SWITCH_PORT}/0000:3b:00.0",
     "../../../../../bus/pci/drivers/zelk"),
    ("0000:3a:01.0", f"pci0000:39/{ROOT_PORT}/0000:3a:01.0",
     "../../../../bus/pci/drivers/zelk"),
])
def test_function_is_nested_under_its_bridges_with_relative_links(
        sim, address, device_dir, driver_link):
    sim(LAYOUT)
    bus_link = f"/sys/bus/pci/devices/{address}"
    assert os.readlink(bus_link) == f"../../../devices/{device_dir}"
    assert os.path.realpath(bus_link) == f"/sys/devices/{device_dir}"

    device = Path("/sys/devices", device_dir)
    assert os.readlink(device / "driver") == driver_link
    assert os.path.realpath(device / "driver") == "/sys/bus/pci/drivers/zelk"
    back_link = Path("/sys/bus/pci/drivers/zelk", address)
    assert os.path.realpath(back_link) == str(device)


def test_function_attributes(sim):
    sim(LAYOUT)
    device = Path("/sys/bus/pci/devices/0000:3b:00.0")
    assert {name: (device / name).read_text() for name in (
        "vendor", "device", "class", "numa_node",
        "subsystem_vendor", "subsystem_device", "revision")} == {
        "vendor": "0x1e3a\n", "device": "0x0002\n", "class": "0x120000\n",
        "numa_node": "1\n", "subsystem_vendor": "0x1e3a\n",
        "subsystem_device": "0x0002\n", "revision": "0x01\n",
    }


def test_bridges_are_listed_as_pci_devices_of_another_vendor(sim):
    sim(LAYOUT)
    listed = sorted(os.listdir("/sys/bus/pci/devices"))
    assert listed == sorted(["0000:51:00.0", "0000:3b:00.0", "0000:3a:01.0",
                             ROOT_PORT, SWITCH_PORT])
    for bridge in (ROOT_PORT, SWITCH_PORT):
        bridge_dir = Path("/sys/bus/pci/devices", bridge)
        assert (bridge_dir / "vendor").read_text() == f"0x{BRIDGE_VENDOR_ID:04x}\n"
        assert (bridge_dir / "class").read_text() == "0x060400\n"
        assert not (bridge_dir / "driver").exists()


def test_function_without_driver_has_no_driver_link(sim):
    sim(Machine([PciFunction("0000:b1:00.0", driver=None)], drivers=("zelk",)))
    device = Path("/sys/bus/pci/devices/0000:b1:00.0")
    assert device.is_dir()
    assert not os.path.lexists(device / "driver")
    # The loaded driver's directory exists but claims nothing.
    assert sorted(os.listdir("/sys/bus/pci/drivers/zelk")) == ["bind", "new_id", "unbind"]


def test_attrs_override_defaults_and_bytes_are_written_raw(sim):
    sim(PciFunction("0000:51:00.0", attrs={
        "device": "0x0007",  # no newline added
        "numa_node": b"\xff\xfe\n",
        "power/state": "D0\n",
    }))
    device = Path("/sys/bus/pci/devices/0000:51:00.0")
    assert (device / "device").read_bytes() == b"0x0007"
    assert (device / "numa_node").read_bytes() == b"\xff\xfe\n"
    assert (device / "power/state").read_text() == "D0\n"
    assert (device / "vendor").read_text() == "0x1e3a\n"


def test_skeleton_and_device_nodes(sim):
    sim()
    assert os.listdir("/sys/class") == ["zelk_mgmt"]
    for name in ("class/zelk_mgmt", "kernel/debug", "bus/pci/drivers"):
        assert os.listdir(Path("/sys", name)) == []
    assert os.listdir("/dev/zelk") == []

    probe = Path("/sys/bus/pci/drivers_probe")
    assert probe.is_file() and probe.read_bytes() == b""
    probe.write_text("0000:b1:00.0")
    assert probe.read_text() == "0000:b1:00.0"

    for name, rdev in [("null", (1, 3)), ("zero", (1, 5)), ("urandom", (1, 9))]:
        st = os.stat(f"/dev/{name}")
        assert stat.S_ISCHR(st.st_mode)
        assert (os.major(st.st_rdev), os.minor(st.st_rdev)) == rdev
        assert stat.S_IMODE(st.st_mode) == 0o666
    Path("/dev/null").write_text("discarded")
    assert Path("/dev/zero").open("rb").read(4) == b"\0\0\0\0"


def test_tree_is_seen_by_subprocesses_inside_and_not_by_the_host(sim):
    sim(PciFunction("0000:51:00.0", attrs={"marker": "simulated\n"}))
    Path("/sys/bus/pci/drivers_probe").write_text("0000:51:00.0")
    Path("/dev/tarvina-marker").touch()
    check = ("cat /sys/bus/pci/devices/0000:51:00.0/marker;"
             " test -e /dev/tarvina-marker && echo dev-marker;"
             " stat -f -c %T /sys/bus/pci/drivers_probe")

    inside = subprocess.run(["sh", "-c", check], capture_output=True, text=True)
    assert inside.stdout.split() == ["simulated", "dev-marker", "tmpfs"]

    outside = run_outside(["sh", "-c", check], capture_output=True, text=True)
    assert outside.stdout.split() == ["sysfs"], outside.stderr


def test_namespace_shares_no_mount_back(sim_namespace):
    # A "shared:N" tag would make mounts made here appear on the host.
    shared = [line for line in Path("/proc/self/mountinfo").read_text().splitlines()
              if " shared:" in line.split(" - ")[0]]
    assert shared == []


@pytest.mark.parametrize("body_raises", [False, True])
def test_leaving_restores_sys_and_dev(sim_namespace, body_raises):
    before = stacked_mounts("/sys"), stacked_mounts("/dev")
    # Also catches an earlier test's machine left mounted.
    assert before[0][-1] == "sysfs"
    with pytest.raises(RuntimeError) if body_raises else nullcontext():
        with mounted(Machine()) as root:
            assert (stacked_mounts("/sys"), stacked_mounts("/dev")) == (
                before[0] + ["tmpfs"], before[1] + ["tmpfs"])
            if body_raises:
                raise RuntimeError("test body failed")
    assert (stacked_mounts("/sys"), stacked_mounts("/dev")) == before
    assert not root.exists()


@pytest.mark.parametrize("make", [
    lambda: PciFunction("51:00.0"),
    lambda: PciFunction("0000:51:00.0", bridges=("0000:50:00",)),
])
def test_malformed_address_is_rejected(make):
    with pytest.raises(ValueError, match="PCI address"):
        make()


@pytest.mark.parametrize("functions", [
    [PciFunction("0000:51:00.0"), PciFunction("0000:51:00.0", driver=None)],
    # The same bridge under two different root ports.
    [PciFunction("0000:3b:00.0", bridges=("0000:39:01.0", "0000:3a:00.0")),
     PciFunction("0000:3c:00.0", bridges=("0000:39:02.0", "0000:3a:00.0"))],
])
def test_clashing_addresses_are_rejected(tmp_path, functions):
    with pytest.raises(ValueError):
        Machine(functions).write(tmp_path)


@pytest.mark.parametrize("address, device_dir, index, cores", [
    ("0000:51:00.0", "pci0000:51/0000:51:00.0", 0, 3),
    ("0000:3b:00.0", f"pci0000:39/{ROOT_PORT}/{SWITCH_PORT}/0000:3b:00.0", 1, 2),
])
def test_class_links_lead_to_nodes_under_their_function(sim, address, device_dir, index, cores):
    sim(NPUS)
    assert sorted(os.listdir(MGMT)) == sorted(
        ["zelk!npu0mgmt", "zelk!npu0pe0", "zelk!npu0pe1", "zelk!npu0pe2",
         "zelk!npu1mgmt", "zelk!npu1pe0", "zelk!npu1pe1"])
    nodes_dir = f"/sys/devices/{device_dir}/zelk_mgmt"
    names = [f"zelk!npu{index}mgmt"] + [f"zelk!npu{index}pe{k}" for k in range(cores)]
    assert sorted(os.listdir(nodes_dir)) == sorted(names)
    for name in names:
        link = MGMT / name
        assert os.readlink(link) == f"../../devices/{device_dir}/zelk_mgmt/{name}"
        assert link.resolve() == Path(nodes_dir, name) and link.is_dir()
    assert sorted(os.listdir(MGMT / f"zelk!npu{index}pe0")) == ["alloc_status", "metrics", "uevent"]


def test_management_node_attributes(sim):
    sim(NPUS)
    read = {index: {name: (MGMT / f"zelk!npu{index}mgmt" / name).read_text()
                    for name in ("busname", "dev", "device_state", "device_uuid", "device_sn")}
            for index in (0, 1)}
    assert {index: (a["busname"], a["dev"], a["device_state"]) for index, a in read.items()} == {
        0: ("0000:51:00.0\n", "511:0\n", "0\n"),
        1: ("0000:3b:00.0\n", "511:256\n", "0\n"),
    }
    for attrs in read.values():
        assert re.fullmatch(r"[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\n", attrs["device_uuid"])
        assert re.fullmatch(r"\S+\n", attrs["device_sn"])
    for name in ("device_uuid", "device_sn"):
        assert read[0][name] != read[1][name]


def test_stated_values_and_attrs_replace_the_defaults(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(
        2, cores=2, busname="51:00.0", uuid="not-a-uuid", serial="SN-1",
        attrs={"device_state": "3", "dev": b"\xff\n", "clock/core": "1000\n"},
        core_attrs={1: {"metrics": "busy 5\n", "alloc_status": b"\x00"}})))
    mgmt = MGMT / "zelk!npu2mgmt"
    assert {name: (mgmt / name).read_bytes() for name in (
        "busname", "device_uuid", "device_sn", "device_state", "dev", "clock/core")} == {
        "busname": b"51:00.0\n", "device_uuid": b"not-a-uuid\n", "device_sn": b"SN-1\n",
        "device_state": b"3", "dev": b"\xff\n", "clock/core": b"1000\n",
    }
    core = MGMT / "zelk!npu2pe1"
    assert (core / "metrics").read_text() == "busy 5\n"
    assert (core / "alloc_status").read_bytes() == b"\x00"
    assert (MGMT / "zelk!npu2pe0" / "metrics").read_text() == "CycleCount: 0x0\nTaskCycleCount: 0x0\n"


@pytest.mark.parametrize("npus, expected", [
    # Default: npu{N} on the accelerator's first minor, its cores after it.
    ([Npu(0, cores=2), Npu(3, cores=1)],
     {"npu0": (511, 0), "npu0pe0": (511, 1), "npu0pe1": (511, 2),
      "npu3": (511, 768), "npu3pe0": (511, 769)}),
    ([Npu(0, device_files=("npu0pe0-3", "npu0", "npu0pe4-7"))],
     {"npu0": (511, 0), "npu0pe0-3": (511, 1), "npu0pe4-7": (511, 2)}),
    ([Npu(0, device_files=("npu0pe0-7",)), Npu(1, device_files=())],
     {"npu0pe0-7": (511, 1)}),
])
def test_device_files_are_character_devices_with_the_names_given(sim, npus, expected):
    sim(*(PciFunction(f"0000:{0x51 + i:02x}:00.0", npu=npu) for i, npu in enumerate(npus)))
    assert device_files() == expected


def test_peer_to_peer_files_have_a_major_of_their_own(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, cores=1)),
        PciFunction("0000:52:00.0", npu=Npu(2, device_files=())),
        PciFunction("0000:53:00.0", npu=Npu(3, p2p=False)))
    p2p = {name: number for name, number in char_devices("/dev/zelk").items() if P2P_FILE.fullmatch(name)}
    suffixes = ["dmar"] + [f"ch{channel}r" for channel in range(8)]
    assert p2p == {f"npu{n}{suffix}": (510, 16 * n + i) for n in (0, 2) for i, suffix in enumerate(suffixes)}


def test_example_machine_has_a_complete_device_per_bound_function(sim):
    sim(EXAMPLE_MACHINE)
    busnames = {name: (MGMT / name / "busname").read_text()
                for name in os.listdir(MGMT) if name.endswith("mgmt")}
    assert busnames == {"zelk!npu0mgmt": "0000:51:00.0\n", "zelk!npu1mgmt": "0000:3b:00.0\n"}
    assert sorted(char_devices("/dev/zelk")) == sorted(
        [f"npu{n}" for n in (0, 1)] + [f"npu{n}pe{k}" for n in (0, 1) for k in range(8)]
        + [f"npu{n}{suffix}" for n in (0, 1) for suffix in ["dmar"] + [f"ch{c}r" for c in range(8)]])


def test_cpu_topology(sim):
    sim(Machine(cpu_packages=(0, 1, 0, 1, 3)))
    cpus = Path("/sys/devices/system/cpu")
    assert sorted(os.listdir(cpus)) == ["cpu0", "cpu1", "cpu2", "cpu3", "cpu4", "online", "possible"]
    assert [(cpus / f"cpu{n}/topology/physical_package_id").read_text() for n in range(5)] == \
        ["0\n", "1\n", "0\n", "1\n", "3\n"]
    assert (cpus / "online").read_text() == (cpus / "possible").read_text() == "0-4\n"


@pytest.mark.parametrize("machine, masks", [
    # Default: two sockets of 16 CPUs; a function is local to the socket of
    # its NUMA node, or to every CPU without one.
    (Machine([PciFunction("0000:51:00.0"), PciFunction("0000:52:00.0", numa_node=1),
              PciFunction("0000:53:00.0", numa_node=-1)]),
     ["0000ffff\n", "ffff0000\n", "ffffffff\n"]),
    # The first group is only as wide as the CPUs it covers.
    (Machine([PciFunction("0000:51:00.0", local_cpus=tuple(range(32, 48))),
              PciFunction("0000:52:00.0", local_cpus=(0, 47)),
              PciFunction("0000:53:00.0", attrs={"local_cpus": "zz"})], cpu_packages=(0,) * 48),
     ["ffff,00000000\n", "8000,00000001\n", "zz"]),
    (Machine([PciFunction("0000:51:00.0", numa_node=1)], cpu_packages=(0, 1, 0, 1)), ["a\n"]),
    (Machine([PciFunction("0000:51:00.0", local_cpus=(64,))], cpu_packages=(0,) * 65),
     ["1,00000000,00000000\n"]),
])
def test_local_cpus_are_masks_in_the_kernels_format(sim, machine, masks):
    sim(machine)
    assert [Path(f"/sys/bus/pci/devices/{f.address}/local_cpus").read_text() for f in machine.functions] == masks


@pytest.mark.parametrize("make", [
    lambda root: Machine(cpu_packages=()),
    lambda root: Machine(cpu_packages=(0, -1)),
    lambda root: Machine([PciFunction("0000:51:00.0", local_cpus=(32,))]).write(root),
])
def test_inconsistent_cpus_are_rejected(tmp_path, make):
    with pytest.raises(ValueError):
        make(tmp_path)


@pytest.mark.parametrize("make", [
    lambda root: Machine([PciFunction("0000:51:00.0", npu=Npu(0)),
                          PciFunction("0000:52:00.0", device_id=2, npu=Npu(0))]).write(root),
    lambda root: Npu(256),
    lambda root: Npu(0, cores=2, core_attrs={2: {"metrics": ""}}),
    lambda root: Npu(0, device_files=("npu0", "npu0")),
    # One past the 256 minors of npu0 would be npu1's first.
    lambda root: Npu(0, device_files=tuple(f"f{i}" for i in range(256))),
])
def test_inconsistent_npus_are_rejected(tmp_path, make):
    with pytest.raises(ValueError):
        make(tmp_path)
