"""Enabling and disabling PCI functions through the kernel's binding files.

The simulated kernel does not react to a write: the binding files keep what
was written, and each test arranges the function's "driver" link itself.
"""

import os
import shutil
from pathlib import Path

import pytest

import tarvina_smi
from tarvina_sim import Machine, PciFunction
from tarvina_smi import Bdf

PROBE = Path("/sys/bus/pci/drivers_probe")
UNBIND = Path("/sys/bus/pci/drivers/zelk/unbind")


def written():
    """What drivers_probe and the zelk driver's unbind hold."""
    return PROBE.read_text(), UNBIND.read_text()


@pytest.mark.parametrize("driver, method", [("zelk", "enable"), (None, "disable")])
def test_nothing_is_written_in_the_wanted_state(sim, driver, method):
    sim(Machine([PciFunction("0000:51:00.0", driver=driver)], drivers=("zelk",)))
    function, = tarvina_smi.list_pci_devices()
    assert getattr(function, method)() is None
    assert written() == ("", "")


def test_disable_writes_the_address_to_the_bound_drivers_unbind(sim):
    sim(PciFunction("0000:0a:1f.7"), PciFunction("0000:51:00.0"))
    function = tarvina_smi.get_pci_device(Bdf("0000:0a:1f.7"))
    assert function.disable() is None
    assert written() == ("", "0000:0a:1f.7\n")


def test_enable_reports_a_function_no_driver_takes(sim):
    sim(Machine([PciFunction("0000:51:00.0", driver=None)], drivers=("zelk",)))
    function, = tarvina_smi.list_disabled_devices()
    with pytest.raises(tarvina_smi.DeviceNotAvailableError) as caught:
        function.enable()
    assert str(caught.value) == "device not available: 0000:51:00.0"
    assert written() == ("0000:51:00.0\n", "")


def test_enable_succeeds_when_the_probe_binds_a_driver(sim):
    sim(Machine([PciFunction("0000:51:00.0", driver=None)], drivers=("zelk",)))
    function, = tarvina_smi.list_disabled_devices()
    # The kernel binding during the write: drivers_probe and the function's
    # "driver" link name one missing file, which the write creates.
    bound = "/sys/bus/pci/drivers/zelk/probed"
    PROBE.unlink()
    PROBE.symlink_to(bound)
    os.symlink(bound, "/sys/bus/pci/devices/0000:51:00.0/driver")
    assert tarvina_smi.list_disabled_devices() != []
    assert function.enable() is None
    assert tarvina_smi.list_disabled_devices() == []
    assert Path(bound).read_text() == "0000:51:00.0\n"


@pytest.mark.parametrize("method", ["enable", "disable"])
@pytest.mark.parametrize("remove", [
    lambda: os.remove("/sys/bus/pci/devices/0000:99:00.0"),
    lambda: shutil.rmtree("/sys/devices/pci0000:99"),  # the link is left dangling
], ids=["link", "directory"])
def test_a_vanished_function_is_not_found_before_any_write(sim, method, remove):
    sim(Machine([PciFunction("0000:99:00.0", driver=None if method == "enable" else "zelk")], drivers=("zelk",)))
    function, = tarvina_smi.list_pci_devices()
    remove()
    with pytest.raises(tarvina_smi.DeviceNotFoundError) as caught:
        getattr(function, method)()
    assert str(caught.value) == "device not found: PCI device 0000:99:00.0 not found"
    assert written() == ("", "")


def make_directory(path):
    path.unlink()
    path.mkdir()


def make_dangling(path):
    # As when the driver lets go of the function between the check and the
    # write: the path written no longer leads to a file.
    path.unlink()
    path.symlink_to("/sys/bus/pci/drivers/gone/unbind")


@pytest.mark.parametrize("driver, method, file, change, error", [
    (None, "enable", PROBE, make_directory,
     "io error: Is a directory (os error 21) (/sys/bus/pci/drivers_probe)"),
    ("zelk", "disable", UNBIND, make_directory,
     "io error: Is a directory (os error 21) (/sys/bus/pci/devices/0000:51:00.0/driver/unbind)"),
    ("zelk", "disable", UNBIND, make_dangling, None),  # not found counts as done
])
def test_failed_writes(sim, driver, method, file, change, error):
    sim(Machine([PciFunction("0000:51:00.0", driver=driver)], drivers=("zelk",)))
    function, = tarvina_smi.list_pci_devices()
    change(file)
    if error is None:
        assert getattr(function, method)() is None
    else:
        with pytest.raises(tarvina_smi.IoError) as caught:
            getattr(function, method)()
        assert str(caught.value) == error
