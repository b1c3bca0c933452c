"""Device state and throttle reasons, read from the management node."""

import os

import pytest

import tarvina_smi
from tarvina_sim import Npu, PciFunction
from tarvina_smi import CoreStatus, ThrottleReason

MGMT = "/sys/class/zelk_mgmt/zelk!npu0mgmt"


def write(name, content):
    with open(f"{MGMT}/{name}", "w") as f:
        f.write(content)


@pytest.mark.parametrize("state, alive", [("0\n", True), (" 0 \r\n", True), ("1\n", False), ("00", False),
                                          ("0x0", False), ("zero", False), ("\n", False), (None, False)])
def test_liveness(one_device, state, alive):
    device = one_device()
    if state is None:
        os.remove(f"{MGMT}/device_state")
    else:
        write("device_state", state)
    assert device.liveness() is alive


def test_liveness_of_an_unbound_device_is_false(one_device):
    device = one_device()
    assert device.liveness() is True
    os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    assert device.liveness() is False


A, O = CoreStatus.Available, CoreStatus.Occupied


@pytest.mark.parametrize("files, occupancy, expected", [
    (None, "0\n1\n0\n1\n", {0: A, 1: O, 2: A, 3: O}),
    (("npu0", "npu0pe0", "npu0pe1"), "0\n1\n0\n1\n", {0: A, 1: O}),
    (("npu0pe1-2", "npu0pe5"), "1\n1\n0\n1\n", {1: O, 2: A}),  # no line for core 5
    (None, " 0 \r\n\t1\r\n0\n1", {0: A, 1: O, 2: A, 3: O}),
])
def test_core_status_keeps_the_accessible_cores(one_device, files, occupancy, expected):
    device = one_device(cores=4, device_files=files)
    write("pe_occupancy", occupancy)
    statuses = device.core_status()
    assert statuses == expected and list(statuses) == sorted(expected)
    assert all(status is (O if status == 1 else A) for status in statuses.values())


def test_without_device_files_no_core_is_accessible(one_device):
    device = one_device(cores=2)
    for name in os.listdir("/dev/zelk"):
        os.remove(f"/dev/zelk/{name}")
    assert (device.core_status(), device.core_frequency(), device.tcp_frequency()) == ({}, {}, {})


def test_occupied_cores_of_the_simulated_machine(one_device):
    device = one_device(cores=3, occupied=(1,))
    assert device.core_status() == {0: A, 1: O, 2: A}


@pytest.mark.parametrize("occupancy, message", [
    ("2\n", "invalid pe_occupancy status '2' for core 0"),
    ("0\n\n1\n", "invalid pe_occupancy status '' for core 1"),
    ("0\n01\n", "invalid pe_occupancy status '01' for core 1"),
    ("0\n1 1\n", "invalid pe_occupancy status '1 1' for core 1"),
    ("1\n0\nx\n3\n", "invalid pe_occupancy status 'x' for core 2"),
    (" \n", "empty attribute: " + MGMT + "/pe_occupancy"),
])
def test_core_status_names_the_first_bad_line(one_device, occupancy, message):
    device = one_device()
    write("pe_occupancy", occupancy)
    with pytest.raises(tarvina_smi.ParseError) as caught:
        device.core_status()
    assert str(caught.value) == "parse error: " + message


@pytest.mark.parametrize("dev, numbers", [
    ("511:0\n", (511, 0)), ("0:65535", (0, 65535)), ("007:08", (7, 8)),
    ("511 : 0", "unexpected dev format: '511 : 0'"),
    ("1:2:3", "unexpected dev format: '1:2:3'"),
    ("511:", "unexpected dev format: '511:'"),
    (":0", "unexpected dev format: ':0'"),
    ("+1:2", "unexpected dev format: '+1:2'"),
    ("70000:1", "invalid major/minor in dev: '70000:1'"),
    ("1:65536", "invalid major/minor in dev: '1:65536'"),
    ("\u0665:1", "invalid major/minor in dev: '\u0665:1'"),  # a digit, but not an ASCII one
])
def test_major_and_minor(one_device, dev, numbers):
    device = one_device()
    write("dev", dev)
    if isinstance(numbers, tuple):
        assert (device.major(), device.minor()) == numbers
    else:
        for method in (device.major, device.minor):
            with pytest.raises(tarvina_smi.ParseError, match="^parse error: " + numbers.replace("+", r"\+") + "$"):
                method()


def test_the_simulated_dev_names_the_node(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(2)))
    device, = tarvina_smi.list_devices()
    assert (device.major(), device.minor()) == (511, 512)


def test_state_of_an_unbound_device(one_device):
    device = one_device()
    os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    for method in (device.core_status, device.major, device.minor, device.throttle_reason):
        with pytest.raises(tarvina_smi.DeviceNotAvailableError, match="^device not available: 0000:51:00.0$"):
            method()


def test_a_missing_attribute_is_an_io_error(one_device):
    device = one_device()
    os.remove(f"{MGMT}/dev")
    with pytest.raises(tarvina_smi.IoError) as caught:
        device.major()
    assert str(caught.value) == f"io error: No such file or directory (os error 2) ({MGMT}/dev)"


T = ThrottleReason
KNOWN_REASONS = [T.Idle, T.ThermalSlowdown, T.AppPowerCap, T.AppClockCap, T.HwClockCap, T.HwBusLimit,
                 T.HwPowerCap, T.GovClockCap, T.OtherReason]


@pytest.mark.parametrize("text, reasons", [
    ("0x00000000", []),
    ("0x1", [T.Idle]),
    ("0x42", [T.ThermalSlowdown, T.HwPowerCap]),
    ("0x141", [T.Idle, T.HwPowerCap, T.OtherReason]),
    ("0x80000201\n", [T.Idle, T.Unknown, T.Unknown]),
    ("0xFFffFFff", KNOWN_REASONS + [T.Unknown] * 23),
    ("2", [T.ThermalSlowdown]), ("0x2", [T.ThermalSlowdown]), ("0x0x2", [T.ThermalSlowdown]),
    ("+2", [T.ThermalSlowdown]), ("0x+2", [T.ThermalSlowdown]), ("000000010", [T.HwClockCap]),
    ("reason: 0x4", [T.AppPowerCap]), ("0x1\u20030x8", [T.AppClockCap]),
])
def test_throttle_reasons(one_device, text, reasons):
    device = one_device()
    write("throttle_reason", text)
    got = device.throttle_reason()
    assert got == reasons
    assert all(reason is getattr(T, repr(reason).split(".")[1]) for reason in got)


@pytest.mark.parametrize("text, word", [
    ("0x", "0x"), ("0xg1", "0xg1"), ("-1", "-1"), ("0X2", "0X2"), ("0x100000000", "0x100000000"),
    ("+", "+"), ("0x 2x", "2x"), ("1.5", "1.5"),
])
def test_bad_throttle_masks(one_device, text, word):
    device = one_device()
    write("throttle_reason", text)
    with pytest.raises(tarvina_smi.ParseError) as caught:
        device.throttle_reason()
    assert str(caught.value) == "parse error: throttle_reason hex value: " + word


def test_the_simulated_throttle_mask(one_device):
    device = one_device(throttle_mask=0x42)
    assert device.throttle_reason() == [T.ThermalSlowdown, T.HwPowerCap]
