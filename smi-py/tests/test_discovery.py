"""Finding the accelerator's PCI functions on simulated machines."""

import os
import shutil

import pytest

import tarvina_smi
from tarvina_sim import VENDOR_ID, PciFunction
from tarvina_smi import Bdf

PCI_DEVICES = "/sys/bus/pci/devices"


def addresses(devices):
    return [str(device.bdf()) for device in devices]


def test_lists_accelerator_functions_by_device_id_then_address(sim):
    sim(PciFunction("0000:01:00.0", device_id=2),
        PciFunction("0000:ff:00.0", device_id=1),
        PciFunction("0000:51:00.0", device_id=1, bridges=("0000:50:01.0",)),
        PciFunction("0000:02:00.0", device_id=2, driver=None),
        PciFunction("0000:17:00.0", vendor_id=0x1af5),
        PciFunction("0000:18:00.0", device_id=3))
    devices = tarvina_smi.list_pci_devices()
    # Bridges, other vendors and unknown device IDs are left out.
    assert addresses(devices) == ["0000:51:00.0", "0000:ff:00.0", "0000:01:00.0", "0000:02:00.0"]
    assert [(d.device_id(), d.vendor_id()) for d in devices] == [(1, VENDOR_ID)] * 2 + [(2, VENDOR_ID)] * 2
    assert addresses(tarvina_smi.list_disabled_devices()) == ["0000:02:00.0"]


def test_no_accelerator_gives_empty_lists(sim):
    sim(PciFunction("0000:17:00.0", vendor_id=0x1af5))
    assert tarvina_smi.list_pci_devices() == []
    assert tarvina_smi.list_disabled_devices() == []


def test_missing_pci_directory_is_an_io_error(sim):
    sim()
    shutil.rmtree(PCI_DEVICES)
    for listing in (tarvina_smi.list_pci_devices, tarvina_smi.list_disabled_devices):
        with pytest.raises(tarvina_smi.IoError) as caught:
            listing()
        assert str(caught.value) == "io error: No such file or directory (os error 2) (/sys/bus/pci/devices)"


def test_get_pci_device_finds_bound_and_unbound_functions(sim):
    sim(PciFunction("0000:51:00.0"), PciFunction("0000:52:00.0", device_id=2, driver=None))
    for text, device_id in (("0000:51:00.0", 1), ("52:00.0", 2)):
        device = tarvina_smi.get_pci_device(Bdf(text))
        assert (device.bdf(), device.device_id()) == (Bdf(text), device_id)
    assert tarvina_smi.get_pci_device(bdf=Bdf("0000:51:00.0")).device_id() == 1


@pytest.mark.parametrize("function", [
    None,
    PciFunction("0000:5e:00.0", vendor_id=0x1af5),
    PciFunction("0000:5e:00.0", device_id=3),
    PciFunction("0000:5e:00.0", attrs={"vendor": b"\xff\xfe\n"}),
    PciFunction("0000:5e:00.0", attrs={"device": "0x100000001\n"}),
], ids=["absent", "other vendor", "unknown device", "binary vendor", "huge device"])
def test_get_pci_device_reports_what_it_cannot_find(sim, function):
    sim(*([function] if function else []))
    with pytest.raises(tarvina_smi.DeviceNotFoundError) as caught:
        tarvina_smi.get_pci_device(Bdf("0000:5e:00.0"))
    assert str(caught.value) == "device not found: PCI device 0000:5e:00.0 not found"


def test_get_pci_device_takes_only_a_bdf():
    for arg in ("0000:5e:00.0", None, 5):
        with pytest.raises(TypeError, match="'bdf'"):
            tarvina_smi.get_pci_device(arg)
    with pytest.raises(TypeError):
        tarvina_smi.get_pci_device()


def test_unreadable_entries_are_skipped(sim):
    sim(PciFunction("0000:51:00.0"),
        PciFunction("0000:52:00.0", attrs={"vendor": b"\x80\x81"}),
        PciFunction("0000:53:00.0", attrs={"device": ""}),
        PciFunction("0000:54:00.0", attrs={"vendor": "0x1e3a 0x1e3a\n"}))
    # A directory where a file is expected, an entry that is not an address
    # (five-digit domain, non-UTF-8 name), and a dangling link.
    os.remove("/sys/devices/pci0000:53/0000:53:00.0/device")
    os.mkdir("/sys/devices/pci0000:53/0000:53:00.0/device")
    for name in ("10000:00:00.0", b"\xff0000:00:00.0"):
        entry = os.path.join(os.fsencode(PCI_DEVICES), os.fsencode(name))
        os.mkdir(entry)
        for attr, value in ((b"vendor", b"0x1e3a\n"), (b"device", b"0x0001\n")):
            with open(os.path.join(entry, attr), "wb") as f:
                f.write(value)
    os.symlink("../../../devices/pci0000:99/0000:99:00.0", f"{PCI_DEVICES}/0000:99:00.0")
    assert addresses(tarvina_smi.list_pci_devices()) == ["0000:51:00.0"]


def test_a_dangling_driver_link_counts_as_unbound(sim):
    sim(PciFunction("0000:51:00.0"), PciFunction("0000:52:00.0"))
    shutil.rmtree("/sys/bus/pci/drivers/zelk")
    assert addresses(tarvina_smi.list_disabled_devices()) == ["0000:51:00.0", "0000:52:00.0"]


def test_pci_device_objects(sim):
    sim(PciFunction("0000:5e:00.0"))
    first, = tarvina_smi.list_pci_devices()
    second, = tarvina_smi.list_pci_devices()
    assert repr(first) == str(first) == "PciDevice(bdf='0000:5e:00.0', device_id=0x0001)"
    assert first.bdf() is not first.bdf() and first.bdf() == second.bdf()
    # No equality or hash of their own: by identity.
    assert first != second and first == first
    assert len({first, second}) == 2
