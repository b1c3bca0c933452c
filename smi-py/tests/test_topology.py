"""Link types between devices and peer-to-peer reachability on simulated machines."""

import os
import shutil
from pathlib import Path

import pytest

import tarvina_smi
from tarvina_sim import Machine, Npu, PciFunction
from tarvina_smi import LinkType

CPUS = Path("/sys/devices/system/cpu")


def test_link_type_members():
    members = [LinkType.Unknown, LinkType.Interconnect, LinkType.Cpu, LinkType.Bridge, LinkType.Noc]
    assert [(str(m), repr(m), int(m), hash(m)) for m in members] == [
        ("Unknown", "LinkType.Unknown", 0, -4800647303603446203),
        ("Interconnect", "LinkType.Interconnect", 1, 2206609067086327257),
        ("Cpu", "LinkType.Cpu", 2, -6569889354672326634),
        ("Bridge", "LinkType.Bridge", 3, -176652938616201990),
        ("Noc", "LinkType.Noc", 4, 6185506036438099345),
    ]
    assert LinkType.Bridge == 3 and LinkType.Bridge != LinkType.Cpu
    with pytest.raises(TypeError):
        LinkType.Cpu < LinkType.Bridge  # noqa: B015


def test_a_device_with_itself_is_noc_without_reading_any_file(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)), PciFunction("0000:52:00.0", npu=Npu(1)))
    first, second = tarvina_smi.list_devices()
    shutil.rmtree("/sys/devices")
    shutil.rmtree("/sys/bus")
    assert first.device_to_device_link_type(first) is LinkType.Noc
    assert second.device_to_device_link_type(other=second) is LinkType.Noc


@pytest.mark.parametrize("removed", ["0000:51:00.0", "0000:52:00.0"])
def test_a_missing_function_directory_is_an_io_error(sim, removed):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)), PciFunction("0000:52:00.0", npu=Npu(1)))
    first, second = tarvina_smi.list_devices()
    shutil.rmtree(f"/sys/devices/pci0000:{removed[5:7]}")  # the link in /sys/bus/pci/devices now dangles
    for a, b in ((first, second), (second, first)):
        with pytest.raises(tarvina_smi.IoError) as caught:
            a.device_to_device_link_type(b)
        assert str(caught.value) == \
            f"io error: No such file or directory (os error 2) (/sys/bus/pci/devices/{removed})"


@pytest.mark.parametrize("local_cpus", [
    ("00000000,0000ffff\n", "00000000,00ff0000\n"),  # different sockets
    ("zz\n", "00000000,00000000\n"),                 # no socket at all
])
def test_a_shared_bridge_gives_bridge_whatever_the_sockets(sim, local_cpus):
    # Two switch ports under one root port; neither function has a driver.
    sim(Machine([
        PciFunction("0000:3d:00.0", driver=None, bridges=("0000:3a:00.0", "0000:3b:00.0"), npu=Npu(0),
                    attrs={"local_cpus": local_cpus[0]}),
        PciFunction("0000:3e:00.0", driver=None, bridges=("0000:3a:00.0", "0000:3c:00.0"), npu=Npu(1),
                    attrs={"local_cpus": local_cpus[1]}),
    ]))
    first, second = tarvina_smi.list_devices()
    assert first.device_to_device_link_type(second) is LinkType.Bridge
    assert second.device_to_device_link_type(first) is LinkType.Bridge


@pytest.mark.parametrize("packages, expected", [
    ((0,) * 64, LinkType.Cpu),
    ((0,) * 16 + (1,) * 48, LinkType.Interconnect),
])
def test_functions_under_different_root_ports_compare_their_sockets(sim, packages, expected):
    sim(Machine([
        PciFunction("0000:3b:00.0", bridges=("0000:3a:00.0",), npu=Npu(0),
                    attrs={"local_cpus": "00000000,0000ffff\n"}),  # CPU 0
        PciFunction("0000:3c:00.0", bridges=("0000:3a:01.0",), npu=Npu(1),
                    attrs={"local_cpus": "00000000,00ff0000\n"}),  # CPU 16
    ], cpu_packages=packages))
    first, second = tarvina_smi.list_devices()
    assert first.device_to_device_link_type(second) is expected
    assert second.device_to_device_link_type(first) is expected


def remove(path):
    os.remove(path)


def write(text):
    return lambda path: Path(path).write_text(text)


# The second function's mask and a change to the CPU files. CPU 0, which
# the first function names, and CPU 48 alone are in package 0.
@pytest.mark.parametrize("mask, change, expected", [
    ("ffff0000,00000000\n", None, LinkType.Cpu),
    ("00000100,00000000\n", None, LinkType.Interconnect),  # CPU 40
    ("00000000,00000000\n", None, LinkType.Unknown),
    ("zz\n", None, LinkType.Unknown),
    ("ffff0000,00000000\n", (remove, CPUS / "cpu48/topology/physical_package_id"), LinkType.Unknown),
    ("ffff0000,00000000\n", (write("x\n"), CPUS / "cpu48/topology/physical_package_id"), LinkType.Unknown),
    ("ffff0000,00000000\n", (remove, "/sys/bus/pci/devices/0000:3b:00.0/local_cpus"), LinkType.Unknown),
])
def test_the_lowest_cpu_of_the_mask_decides_the_socket(sim, mask, change, expected):
    sim(Machine([
        PciFunction("0000:3b:00.0", bridges=("0000:3a:00.0",), npu=Npu(0),
                    attrs={"local_cpus": "00000000,00000001\n"}),
        PciFunction("0000:5e:00.0", bridges=("0000:5d:00.0",), npu=Npu(1), attrs={"local_cpus": mask}),
    ], cpu_packages=tuple(0 if cpu in (0, 48) else 1 for cpu in range(64))))
    if change:
        edit, path = change
        edit(path)
    first, second = tarvina_smi.list_devices()
    assert first.device_to_device_link_type(second) is expected


@pytest.mark.parametrize("removed, first_second, first_first, second_second", [
    ((), True, True, True),
    (("npu0ch7r",), False, False, True),
    (("npu0dmar",), False, False, True),
    (("npu1ch0r",), False, True, False),
])
def test_p2p_accessible_needs_the_files_of_both(sim, removed, first_second, first_first, second_second):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)), PciFunction("0000:52:00.0", npu=Npu(1)))
    first, second = tarvina_smi.list_devices()
    # Peer-to-peer needs no bound driver.
    os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    for name in removed:
        os.remove(f"/dev/zelk/{name}")
    assert (first.p2p_accessible(second), second.p2p_accessible(other=first)) == (first_second, first_second)
    assert (first.p2p_accessible(first), second.p2p_accessible(second)) == (first_first, second_second)


def test_a_device_without_peer_to_peer_files_is_not_accessible(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, p2p=False)), PciFunction("0000:52:00.0", npu=Npu(1)))
    first, second = tarvina_smi.list_devices()
    assert (first.p2p_accessible(second), second.p2p_accessible(first), second.p2p_accessible(second)) == \
        (False, False, True)


@pytest.mark.parametrize("method", ["p2p_accessible", "device_to_device_link_type"])
def test_other_must_be_a_device(sim, method):
    sim(PciFunction("0000:51:00.0", npu=Npu(0)))
    device, = tarvina_smi.list_devices()
    bound = getattr(device, method)
    for other in (5, None, "npu0", tarvina_smi.list_pci_devices()[0], device.bdf()):
        with pytest.raises(TypeError, match=rf"^{method}\(\) argument 'other' must be Device, not "):
            bound(other)
    with pytest.raises(TypeError):
        bound()
    with pytest.raises(TypeError):
        bound(device, device)
    with pytest.raises(TypeError):
        bound(another=device)
