"""Device enumeration, identity and the device-operation guard on simulated machines."""

import os
import shutil

import pytest

import tarvina_smi
from tarvina_sim import Npu, PciFunction
from tarvina_smi import Arch, Bdf, DeviceCoreRange


def names(devices):
    return [(device.device_name(), str(device.bdf())) for device in devices]


def test_one_device_with_its_identity(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, uuid="uuid-0", serial="sn-0")))
    device, = tarvina_smi.list_devices()
    assert (device.device_name(), device.bdf(), device.device_id(), device.vendor_id() > 0) == \
        ("npu0", Bdf("0000:51:00.0"), 1, True)
    assert (device.uuid(), device.serial(), device.core_num(), device.numa_node()) == ("uuid-0", "sn-0", 8, 0)
    assert (device.dev_node_index(), device.product_name(), device.arch()) == (0, "ZELK", Arch.Zelk)
    assert device.arch() is Arch.Zelk
    assert repr(device) == str(device) == "Device(name='npu0', bdf='0000:51:00.0')"


@pytest.mark.parametrize("numa, expected", [("-1", -1), ("+3", 3), ("2147483647", 2147483647),
                                            ("x", None), ("2147483648", None), ("", None), (b"\xff", None)])
def test_numa_node(sim, numa, expected):
    sim(PciFunction("0000:51:00.0", npu=Npu(0), attrs={"numa_node": numa}))
    devices = tarvina_smi.list_devices()  # never raises for a bad numa_node
    assert [d.numa_node() for d in devices] == ([] if expected is None else [expected])


def test_busname_without_domain_matches(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, busname="51:00.0")))
    assert names(tarvina_smi.list_devices()) == [("npu0", "0000:51:00.0")]


def test_sorted_by_device_id_then_node_index(sim):
    sim(PciFunction("0000:01:00.0", device_id=2, npu=Npu(0)),
        PciFunction("0000:02:00.0", device_id=1, npu=Npu(3)),
        PciFunction("0000:03:00.0", device_id=1, npu=Npu(1)),
        PciFunction("0000:04:00.0", device_id=2, npu=Npu(2)))
    devices = tarvina_smi.list_devices()
    assert names(devices) == [("npu1", "0000:03:00.0"), ("npu3", "0000:02:00.0"),
                              ("npu0", "0000:01:00.0"), ("npu2", "0000:04:00.0")]
    assert [d.product_name() for d in devices] == ["ZELK", "ZELK", "ZELK+", "ZELK+"]
    # Two calls give equal records in new objects, which compare by identity.
    again = tarvina_smi.list_devices()
    assert names(again) == names(devices) and again[0] != devices[0] and len({*again, *devices}) == 8


def test_what_is_left_out(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)),
        PciFunction("0000:52:00.0", npu=Npu(1, device_files=())),          # no device files
        PciFunction("0000:53:00.0"),                                        # no management node
        PciFunction("0000:54:00.0", npu=Npu(2, busname="garbage")),
        PciFunction("0000:55:00.0", npu=Npu(3, attrs={"device_uuid": "\n"})),
        PciFunction("0000:56:00.0", npu=Npu(4, attrs={"device_sn": b"\xff"})),
        PciFunction("0000:17:00.0", vendor_id=0x1af5, npu=Npu(5)))          # another vendor
    os.rename("/sys/class/zelk_mgmt/zelk!npu0mgmt", "/sys/class/zelk_mgmt/zelk!npu0mgmt.bak")
    os.symlink("zelk!npu0mgmt.bak", "/sys/class/zelk_mgmt/zelk!npu00mgmt")  # leading zeros are fine
    assert names(tarvina_smi.list_devices()) == [("npu0", "0000:51:00.0")]
    assert len(tarvina_smi.list_pci_devices()) == 6


def test_removing_the_device_files_removes_the_device(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)))
    for name in os.listdir("/dev/zelk"):
        os.remove(f"/dev/zelk/{name}")
    assert tarvina_smi.list_devices() == []
    assert len(tarvina_smi.list_pci_devices()) == 1


@pytest.mark.parametrize("remove", ["/sys/class/zelk_mgmt", "/dev/zelk"])
def test_missing_driver_directories_give_no_devices(sim, remove):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)))
    shutil.rmtree(remove)
    assert tarvina_smi.list_devices() == []


def test_missing_pci_directory_is_an_io_error(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)))
    shutil.rmtree("/sys/bus/pci/devices")
    with pytest.raises(tarvina_smi.IoError, match=r"\(/sys/bus/pci/devices\)$"):
        tarvina_smi.list_devices()


def test_device_files(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, device_files=("npu0pe0-1", "npu0", "npu0pe0", "npu1"))))
    with open("/dev/zelk/npu0pe1", "w"):  # a regular file is not a device file
        pass
    device, = tarvina_smi.list_devices()
    files = device.device_files()
    assert [str(f.core_range()) for f in files][-1] == "npu0pe0-1"
    assert sorted(repr(f) for f in files) == [
        "DeviceFile(core_range='npu0pe0', path='/dev/zelk/npu0')",
        "DeviceFile(core_range='npu0pe0', path='/dev/zelk/npu0pe0')",
        "DeviceFile(core_range='npu0pe0-1', path='/dev/zelk/npu0pe0-1')",
    ]
    last = files[-1]
    assert (last.path(), last.cores(), str(last)) == ("/dev/zelk/npu0pe0-1", [0, 1], repr(last))
    assert last.core_range() == DeviceCoreRange("npu0pe0-1")
    assert last == device.device_files()[-1] and last != files[0] and files[0] != "npu0"
    with pytest.raises(TypeError):
        hash(last)
    with pytest.raises(TypeError):
        last < files[0]  # noqa: B015


def test_a_huge_device_file_fails_cleanly(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, device_files=("npu0", "npu0pe0-4294967295"))))
    device, = tarvina_smi.list_devices()
    huge = device.device_files()[-1]
    assert str(huge) == "DeviceFile(core_range='npu0pe0-4294967295', path='/dev/zelk/npu0pe0-4294967295')"
    with pytest.raises(MemoryError):
        huge.cores()


def test_device_files_of_a_missing_directory_is_empty(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)))
    device, = tarvina_smi.list_devices()
    shutil.rmtree("/dev/zelk")
    assert device.device_files() == []


@pytest.mark.parametrize("unbind", ["remove link", "dangling link"])
def test_guard_after_unbinding(sim, unbind):
    sim(PciFunction("0001:0a:1f.7", npu=Npu(0, uuid="u")))
    device, = tarvina_smi.list_devices()
    if unbind == "remove link":
        os.remove("/sys/bus/pci/devices/0001:0a:1f.7/driver")
    else:
        shutil.rmtree("/sys/bus/pci/drivers/zelk")
    with pytest.raises(tarvina_smi.DeviceNotAvailableError) as caught:
        device.device_files()
    assert str(caught.value) == "device not available: 0001:0a:1f.7"
    # Identity needs no file.
    assert (str(device.bdf()), device.uuid(), device.product_name()) == ("0001:0a:1f.7", "u", "ZELK")
