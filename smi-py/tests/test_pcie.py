"""PCIe information of a device: identity registers, link, SR-IOV counts, root
complex and upstream switch, read from simulated machines."""

import os
from pathlib import Path

import pytest

import tarvina_smi
from tarvina_sim import Npu, PciFunction
from tarvina_smi import Bdf

ADDRESS = "0000:51:00.0"
DEVICE_DIR = Path("/sys/bus/pci/devices", ADDRESS)

# The switch example: root port 3a:00.0, the switch's upstream port 3b:00.0
# and downstream port 3c:00.0, the accelerator at 3d:00.0.
ROOT_PORT, UPSTREAM, DOWNSTREAM = "0000:3a:00.0", "0000:3b:00.0", "0000:3c:00.0"
BEHIND_SWITCH = PciFunction("0000:3d:00.0", bridges=(ROOT_PORT, UPSTREAM, DOWNSTREAM), npu=Npu(0))


def only_device(sim, *functions):
    """Mount the machine and return its one device; the tree can be changed afterwards."""
    sim(*functions)
    device, = tarvina_smi.list_devices()
    return device


def outcome(call):
    """What a call gives, or the type and text of what it raises."""
    try:
        return call()
    except tarvina_smi.SmiError as e:
        return type(e).__name__, str(e)


def test_directly_attached_function_with_the_defaults(sim):
    info = only_device(sim, PciFunction(ADDRESS, npu=Npu(0))).pcie_info()
    assert repr(info) == "PcieInfo(device_id=0x0001, pcie_gen_status=4, root_complex=(0, 81), switch_info=None)"
    assert repr(info.device_info()) == (
        "PcieDeviceInfo(device_id=0x0001, vendor_id=0x1e3a, subsystem_id=0x0001, revision_id=0x01, "
        "class_id=0x12, sub_class_id=0x00)")
    link = info.link_info()
    assert repr(link) == ("PcieLinkInfo(pcie_gen_status=4, link_width_status=16, link_speed_status=16, "
                          "max_link_width_capability=16, max_link_speed_capability=16)")
    assert type(link.link_speed_status()) is float and type(link.link_width_status()) is int
    assert repr(info.sriov_info()) == "SriovInfo(sriov_total_vfs=0, sriov_enabled_vfs=0)"
    assert repr(info.root_complex_info()) == "PcieRootComplexInfo(domain=0, bus=81)"
    assert info.switch_info() is None


def device_info(info):
    d = info.device_info()
    return d.device_id(), d.vendor_id(), d.subsystem_id(), d.revision_id(), d.class_id(), d.sub_class_id()


@pytest.mark.parametrize("attr, content, expected", [
    ("revision", "0x01\n", (1, 0x1E3A, 1, 1, 0x12, 0)),
    ("class", "0x0b4001\n", (1, 0x1E3A, 1, 1, 0x0B, 0x40)),
    ("class", "0xff0b4001", (1, 0x1E3A, 1, 1, 0x0B, 0x40)),  # bits above the base class are dropped
    # The subsystem vendor is read, not the vendor.
    ("subsystem_vendor", " 0x1Ab4 \n", (1, 0x1AB4, 1, 1, 0x12, 0)),
    ("subsystem_device", "+7\n", (1, 0x1E3A, 7, 1, 0x12, 0)),
    ("device", "0x0x0002\n", (2, 0x1E3A, 1, 1, 0x12, 0)),  # every "0x" in front goes
    ("device", "0X0002", ("ParseError", "parse error: couldn't parse device ID to u16")),
    ("device", "0x10000", ("ParseError", "parse error: couldn't parse device ID to u16")),
    ("subsystem_vendor", "\n", ("ParseError", "parse error: couldn't parse subsystem vendor ID to u16")),
    ("subsystem_device", "0x", ("ParseError", "parse error: couldn't parse subsystem device ID to u16")),
    ("revision", "0x100", ("ParseError", "parse error: couldn't parse revision ID to u8")),
    ("class", "0x12 0000", ("ParseError", "parse error: couldn't parse class ID to u32")),
])
def test_identity_registers(sim, attr, content, expected):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0)))
    # Written after listing: the device ID also decides what is listed.
    (DEVICE_DIR / attr).write_text(content)
    assert outcome(lambda: device_info(device.pcie_info())) == expected


def link_info(info):
    link = info.link_info()
    return (link.pcie_gen_status(), link.link_width_status(), link.link_speed_status(),
            link.max_link_width_capability(), link.max_link_speed_capability())


@pytest.mark.parametrize("link, expected", [
    ({}, (4, 16, 16.0, 16, 16.0)),
    # The generation follows the maximum speed, whatever the current one is.
    ({"link_speed": "2.5 GT/s", "link_width": 4, "max_link_speed": "32.0 GT/s PCIe"}, (5, 4, 2.5, 16, 32.0)),
    ({"link_speed": "8.0 GT/s PCIe", "max_link_speed": "8.0 GT/s PCIe", "max_link_width": 8}, (3, 16, 8.0, 8, 8.0)),
    ({"max_link_speed": "2.5 GT/s"}, (1, 16, 16.0, 16, 2.5)),
    ({"max_link_speed": "5.0 GT/s"}, (2, 16, 16.0, 16, 5.0)),
    ({"link_speed": "Unknown"},
     ("ParseError", "parse error: couldn't parse current link speed to number")),
    ({"link_speed": " \t"}, ("ParseError", "parse error: couldn't parse current link speed")),
    ({"link_width": "x16"}, ("ParseError", "parse error: couldn't parse current link width to number")),
    ({"link_width": ""}, ("ParseError", "parse error: couldn't parse current link width")),
    ({"max_link_width": "-1"}, ("ParseError", "parse error: couldn't parse max link width to number")),
    ({"max_link_speed": "GT/s 16.0"}, ("ParseError", "parse error: couldn't parse max link speed to number")),
    ({"max_link_speed": "\n"}, ("ParseError", "parse error: couldn't parse max link speed")),
    ({"max_link_speed": "64.0 GT/s PCIe"}, ("ParseError", "parse error: Invalid PCIe link speed: 64")),
    ({"max_link_speed": "2.7 GT/s"}, ("ParseError", "parse error: Invalid PCIe link speed: 2.7")),
    ({"max_link_speed": "16.000000000000004 GT/s"},
     ("ParseError", "parse error: Invalid PCIe link speed: 16.000000000000004")),
])
def test_link(sim, link, expected):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0), **link))
    assert outcome(lambda: link_info(device.pcie_info())) == expected


def test_link_repr_writes_fractional_speeds(sim):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0), link_speed="2.5 GT/s", link_width=4,
                                          max_link_speed="32.0 GT/s PCIe"))
    assert repr(device.pcie_info().link_info()) == (
        "PcieLinkInfo(pcie_gen_status=5, link_width_status=4, link_speed_status=2.5, "
        "max_link_width_capability=16, max_link_speed_capability=32)")


@pytest.mark.parametrize("fields, expected", [
    ({}, (0, 0)),  # no SR-IOV files at all
    ({"sriov_total_vfs": 8, "sriov_enabled_vfs": 2}, (8, 2)),
    ({"attrs": {"sriov_numvfs": "3\n"}}, (0, 3)),
    ({"attrs": {"sriov_totalvfs": " +4 \n"}}, (4, 0)),
    ({"sriov_total_vfs": 8, "attrs": {"sriov_numvfs": "abc"}},
     ("ParseError", "parse error: couldn't parse SR-IOV number of VFs to u32")),
    ({"sriov_total_vfs": 8, "attrs": {"sriov_numvfs": ""}},
     ("ParseError", "parse error: couldn't parse SR-IOV number of VFs to u32")),
    # The total is parsed first.
    ({"attrs": {"sriov_totalvfs": "-1", "sriov_numvfs": "abc"}},
     ("ParseError", "parse error: couldn't parse SR-IOV total VFs to u32")),
    ({"attrs": {"sriov_totalvfs": "4294967296"}},
     ("ParseError", "parse error: couldn't parse SR-IOV total VFs to u32")),
])
def test_sriov(sim, fields, expected):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0), **fields))

    def counts():
        sriov = device.pcie_info().sriov_info()
        return sriov.sriov_total_vfs(), sriov.sriov_enabled_vfs()
    assert outcome(counts) == expected


@pytest.mark.parametrize("function, bus_numbers, root_complex, switch", [
    (PciFunction(ADDRESS, npu=Npu(0)), {}, "PcieRootComplexInfo(domain=0, bus=81)", None),
    # A root port above a lone endpoint spans one bus: no switch.
    (PciFunction("0000:01:00.0", bridges=("0000:00:01.0",), npu=Npu(0)),
     {"0000:00:01.0": ("1\n", "1\n")}, "PcieRootComplexInfo(domain=0, bus=0)", None),
    # The downstream port spans one bus, the upstream port two.
    (BEHIND_SWITCH, {ROOT_PORT: ("59\n", "61\n"), UPSTREAM: ("60\n", "61\n"), DOWNSTREAM: ("61\n", "61\n")},
     "PcieRootComplexInfo(domain=0, bus=58)", UPSTREAM),
    (PciFunction("0001:3d:00.0", bridges=("0001:3a:00.0", "0001:3b:00.0", "0001:3c:00.0"), npu=Npu(0)),
     {"0001:3b:00.0": ("60\n", "61\n")}, "PcieRootComplexInfo(domain=1, bus=58)", "0001:3b:00.0"),
])
def test_root_complex_and_switch(sim, function, bus_numbers, root_complex, switch):
    info = only_device(sim, function).pcie_info()
    for bridge, numbers in bus_numbers.items():
        bridge_dir = Path("/sys/bus/pci/devices", bridge)
        assert ((bridge_dir / "secondary_bus_number").read_text(),
                (bridge_dir / "subordinate_bus_number").read_text()) == numbers
    assert repr(info.root_complex_info()) == root_complex
    assert info.switch_info() == (switch and Bdf(switch))
    assert repr(info).endswith(f"switch_info={switch})")


def test_functions_behind_one_switch_share_it(sim):
    sim(PciFunction("0000:3d:00.0", bridges=(ROOT_PORT, UPSTREAM, DOWNSTREAM), npu=Npu(0)),
        PciFunction("0000:3e:00.0", bridges=(ROOT_PORT, UPSTREAM, "0000:3c:01.0"), npu=Npu(1)))
    assert [str(device.pcie_info().switch_info()) for device in tarvina_smi.list_devices()] == [UPSTREAM] * 2
    # The upstream port spans the buses of both downstream ports.
    assert Path("/sys/bus/pci/devices", UPSTREAM, "subordinate_bus_number").read_text() == "62\n"


@pytest.mark.parametrize("bridge, attr, content, expected", [
    # The root port is never examined once the upstream port matched.
    (ROOT_PORT, "secondary_bus_number", "x", UPSTREAM),
    (DOWNSTREAM, "secondary_bus_number", None, UPSTREAM),
    # A bridge that cannot be read is skipped, and the walk goes on to the root port.
    (UPSTREAM, "secondary_bus_number", None, ROOT_PORT),
    (UPSTREAM, "subordinate_bus_number", None, ROOT_PORT),
    (UPSTREAM, "subordinate_bus_number", b"\xff\n", ROOT_PORT),
    (UPSTREAM, "subordinate_bus_number", "60\n", ROOT_PORT),
    (UPSTREAM, "secondary_bus_number", "x",
     ("ParseError", "parse error: couldn't parse secondary_bus_number to u32")),
    (UPSTREAM, "subordinate_bus_number", "0x3d",
     ("ParseError", "parse error: couldn't parse subordinate_bus_number to u32")),
    (DOWNSTREAM, "subordinate_bus_number", "",
     ("ParseError", "parse error: couldn't parse subordinate_bus_number to u32")),
])
def test_bridges_that_cannot_be_judged(sim, bridge, attr, content, expected):
    device = only_device(sim, BEHIND_SWITCH)
    path = Path("/sys/bus/pci/devices", bridge, attr)
    if content is None:
        path.unlink()
    else:
        path.write_bytes(content if isinstance(content, bytes) else content.encode())
    assert outcome(lambda: str(device.pcie_info().switch_info())) == expected


def test_unreadable_function_and_attributes_raise_io_error(sim):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0)))
    (DEVICE_DIR / "current_link_width").write_bytes(b"\xff\n")
    assert outcome(device.pcie_info) == (
        "IoError", f"io error: stream did not contain valid UTF-8 ({DEVICE_DIR}/current_link_width)")
    (DEVICE_DIR / "current_link_width").unlink()
    assert outcome(device.pcie_info) == (
        "IoError", f"io error: No such file or directory (os error 2) ({DEVICE_DIR}/current_link_width)")
    DEVICE_DIR.unlink()
    assert outcome(device.pcie_info) == ("IoError", f"io error: No such file or directory (os error 2) ({DEVICE_DIR})")


def test_function_outside_any_root_complex(sim):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0)))
    # Every attribute stays readable; only the directory names change.
    os.rename("/sys/devices/pci0000:51", "/sys/devices/platform")
    DEVICE_DIR.unlink()
    os.symlink(f"../../../devices/platform/{ADDRESS}", DEVICE_DIR)
    assert outcome(device.pcie_info) == ("ParseError", "parse error: couldn't find root complex")


def test_unbound_function_still_answers(sim):
    device = only_device(sim, PciFunction(ADDRESS, npu=Npu(0)))
    (DEVICE_DIR / "driver").unlink()
    with pytest.raises(tarvina_smi.DeviceNotAvailableError):
        device.device_files()
    assert device.pcie_info().link_info().pcie_gen_status() == 4


def test_equality_by_value_and_no_hash_or_order(sim):
    device = only_device(sim, BEHIND_SWITCH)
    info, again = device.pcie_info(), device.pcie_info()
    parts = ["device_info", "link_info", "sriov_info", "root_complex_info"]
    assert info == again and not info != again
    for name in parts:
        one, other = getattr(info, name)(), getattr(info, name)()
        assert one is not other and one == other and not one != other
    for value in [info, *(getattr(info, name)() for name in parts)]:
        with pytest.raises(TypeError):
            hash(value)
        with pytest.raises(TypeError):
            value < value
    # Another class falls back to identity.
    assert info.link_info() != info.sriov_info() and info != info.switch_info()

    Path("/sys/bus/pci/devices/0000:3d:00.0/current_link_width").write_text("8\n")
    narrower = device.pcie_info()
    assert narrower != info and narrower.link_info() != info.link_info()
    assert narrower.sriov_info() == info.sriov_info()
    # The switch takes part too, alone.
    Path("/sys/bus/pci/devices", UPSTREAM, "subordinate_bus_number").write_text("60\n")
    other_switch = device.pcie_info()
    assert other_switch.switch_info() == Bdf(ROOT_PORT) and other_switch.link_info() == narrower.link_info()
    assert other_switch != narrower


def test_nan_speed_is_unequal_to_itself(sim):
    info = only_device(sim, PciFunction(ADDRESS, npu=Npu(0), link_speed="NaN GT/s")).pcie_info()
    assert repr(info.link_info()).startswith("PcieLinkInfo(pcie_gen_status=4, link_width_status=16, "
                                             "link_speed_status=NaN,")
    assert info != info and info.link_info() != info.link_info()
    assert info.device_info() == info.device_info()
