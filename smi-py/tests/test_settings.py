"""Versions, clocks, the governor and the power limit."""

import itertools
import os
import re
import shutil

import pytest

import tarvina_smi
from tarvina_sim import Npu, PciFunction
from tarvina_smi import Device, GovernorProfile

MGMT = "/sys/class/zelk_mgmt/zelk!npu0mgmt"
DEBUG = "/sys/kernel/debug/zelk/mgmt0"


def write(name, content):
    with open(f"{MGMT}/{name}", "w") as f:
        f.write(content)


def read(path):
    with open(path) as f:
        return f.read()


# What a version line means, by the regular expression that defines it.
VERSION_PATTERN = re.compile(
    r"^(?P<major>\d+)\.(?P<minor>\d+)\.(?P<patch>\d+)(?:~(?P<prerelease>[^,]*))?(,( (?P<metadata>.+)))?")


def expected_version(text):
    """(major, minor, patch, prerelease, metadata) or the error message."""
    match = VERSION_PATTERN.search(text)
    if not match:
        return f"couldn't parse version: {text}"
    numbers = []
    for field in ("major", "minor", "patch"):
        digits = match.group(field)
        if not digits.isascii() or int(digits) > 0xFFFFFFFF:
            return f"invalid '{field}' field in version: {text}"
        numbers.append(int(digits))
    return (*numbers, match.group("prerelease") or None, match.group("metadata") or None)


def version_fields(version):
    return version.major(), version.minor(), version.patch(), version.prerelease(), version.metadata()


@pytest.mark.parametrize("text, fields, rendered", [
    ("1.2.3", (1, 2, 3, None, None), "1.2.3"),
    ("1.2.3~rc1", (1, 2, 3, "rc1", None), "1.2.3(rc1)"),
    ("1.2.3~", (1, 2, 3, None, None), "1.2.3"),
    ("1.2.3~rc1, 4a5b6c", (1, 2, 3, "rc1", "4a5b6c"), "1.2.3(rc1), 4a5b6c"),
    ("1.2.3, 4a5b6c", (1, 2, 3, None, "4a5b6c"), "1.2.3, 4a5b6c"),
    ("1.2.3,4a5b6c", (1, 2, 3, None, None), "1.2.3"),
    ("1.2.3~a b c, d", (1, 2, 3, "a b c", "d"), "1.2.3(a b c), d"),
    ("1.2.3-beta", (1, 2, 3, None, None), "1.2.3"),
    ("007.0.1", (7, 0, 1, None, None), "7.0.1"),
    ("4294967295.0.0, x\ny", (4294967295, 0, 0, None, "x"), "4294967295.0.0, x"),
])
def test_firmware_version(one_device, text, fields, rendered):
    device = one_device()
    write("fw_version", text + "\n")
    version = device.firmware_version()
    assert version_fields(version) == fields
    assert (str(version), repr(version)) == (rendered, f"VersionInfo('{rendered}')")


@pytest.mark.parametrize("text, message", [
    ("v1.2.3", "couldn't parse version: v1.2.3"),
    ("1.2", "couldn't parse version: 1.2"),
    ("4294967296.0.0", "invalid 'major' field in version: 4294967296.0.0"),
    ("1.4294967296.0", "invalid 'minor' field in version: 1.4294967296.0"),
    ("1.2.\uff13", "invalid 'patch' field in version: 1.2.\uff13"),
    ("\n", "empty attribute: " + MGMT + "/fw_version"),
])
def test_bad_firmware_versions(one_device, text, message):
    device = one_device()
    write("fw_version", text)
    with pytest.raises(tarvina_smi.ParseError) as caught:
        device.firmware_version()
    assert str(caught.value) == "parse error: " + message


def test_versions_read_as_the_pattern_reads_them(one_device):
    device = one_device()
    heads = ["1.2.3", "007.0.1", "4294967296.0.0", "1.4294967296.0", "1.2", "v1.2.3", "\u0661.2.3", "1..3",
             "1.2.\u0663", "12.34.56"]
    tails = ["", "~", "~rc1", "~a b", ",", ", ", ", x", ",x", ", x, y", "\nz", "\r", "-beta", ".4", " 9", "\u0663",
             "~r\nc", "~\u0663, \u0663"]
    for head, tail, more in itertools.product(heads, tails, tails):
        text = (head + tail + more).strip()
        write("fw_version", text)
        expected = expected_version(text)
        if isinstance(expected, str):
            with pytest.raises(tarvina_smi.ParseError) as caught:
                device.firmware_version()
            assert str(caught.value) == "parse error: " + expected, text
        else:
            assert version_fields(device.firmware_version()) == expected, text


def test_version_equality(one_device):
    device = one_device()
    write("fw_version", "1.2.3~rc1, abc")
    a, b = device.firmware_version(), device.firmware_version()
    write("fw_version", "1.2.3~rc1")
    c = device.firmware_version()
    assert a == b and not (a != b) and a != c and a is not b
    assert a != "1.2.3(rc1), abc" and not (a == 1)
    with pytest.raises(TypeError):
        hash(a)
    with pytest.raises(TypeError):
        a < b  # noqa: B015


def test_driver_info_takes_the_first_device_that_answers(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, driver_version="1.0.0")),
        PciFunction("0000:52:00.0", npu=Npu(1, driver_version="2.0.0~rc1")),
        PciFunction("0000:53:00.0", npu=Npu(2, driver_version="3.0.0")))
    assert str(tarvina_smi.driver_info()) == "1.0.0"
    os.remove(f"{MGMT}/version")
    assert str(tarvina_smi.driver_info()) == "2.0.0(rc1)"
    os.remove("/sys/bus/pci/devices/0000:52:00.0/driver")
    assert str(tarvina_smi.driver_info()) == "3.0.0"


def test_driver_info_without_an_answer(sim):
    sim(PciFunction("0000:51:00.0", npu=Npu(0, driver_version="not a version")))
    with pytest.raises(tarvina_smi.DeviceNotFoundError) as caught:
        tarvina_smi.driver_info()
    assert caught.value.args == ("device not found: no available device to read driver version",)
    sim(PciFunction("0000:51:00.0"))  # no device at all
    with pytest.raises(tarvina_smi.DeviceNotFoundError):
        tarvina_smi.driver_info()


@pytest.mark.parametrize("files, clocks, core, tcp", [
    (None, "1000000000\n800000000\n1999999\n", {0: 1000, 1: 800, 2: 1}, {0: 500, 1: 400, 2: 0}),
    (("npu0", "npu0pe0", "npu0pe2"), "1000000000\n800000000\n1999999\n", {0: 1000, 2: 1}, {0: 500, 2: 0}),
    (("npu0pe1-3",), "3000000\n", {}, {}),
    (None, "  +5000000 \r\n999999\r\n4294967295", {0: 5, 1: 0, 2: 4294}, {0: 2, 1: 0, 2: 2147}),
])
def test_core_and_tcp_frequency(one_device, files, clocks, core, tcp):
    device = one_device(cores=3, device_files=files)
    write("npu_clocks", clocks)
    assert (device.core_frequency(), device.tcp_frequency()) == (core, tcp)
    assert list(device.core_frequency()) == sorted(core)


def test_the_simulated_clocks(one_device):
    device = one_device(cores=2, clock_hz=1_500_000_000)
    assert device.core_frequency() == {0: 1500, 1: 1500}


@pytest.mark.parametrize("clocks, message", [
    ("1000000\n\n1000000", "invalid frequency '' for core 1"),
    ("1000000\n x \n1", "invalid frequency ' x ' for core 1"),
    ("1.5", "invalid frequency '1.5' for core 0"),
    ("1\n2\n4294967296", "invalid frequency '4294967296' for core 2"),
    ("-1", "invalid frequency '-1' for core 0"),
    ("+", "invalid frequency '+' for core 0"),
    ("1 000", "invalid frequency '1 000' for core 0"),
])
def test_bad_clocks(one_device, clocks, message):
    device = one_device()
    write("npu_clocks", clocks)
    for method in (device.core_frequency, device.tcp_frequency):
        with pytest.raises(tarvina_smi.ParseError) as caught:
            method()
        assert str(caught.value) == "parse error: " + message


@pytest.mark.parametrize("text, profile", [
    ("performance\n", GovernorProfile.Performance),
    ("powersave", GovernorProfile.PowerSave),
    ("governor: performance", GovernorProfile.Performance),
    (" powersave \r\nperformance", GovernorProfile.PowerSave),
    ("performance\nanything else", GovernorProfile.Performance),
    ("[powersave]", "unknown governor profile: '[powersave]'"),
    ("Performance", "unknown governor profile: 'Performance'"),
    ("ondemand \nperformance", "unknown governor profile: 'ondemand'"),
])
def test_governor_profile(one_device, text, profile):
    device = one_device()
    write("npu_governor", text)
    if isinstance(profile, str):
        with pytest.raises(tarvina_smi.ParseError) as caught:
            device.governor_profile()
        assert str(caught.value) == "parse error: " + profile
    else:
        assert device.governor_profile() is profile


def test_setting_the_governor_writes_its_word(one_device):
    device = one_device(governor="powersave")
    assert device.governor_profile() is GovernorProfile.PowerSave
    device.set_governor_profile(GovernorProfile.Performance)
    assert read(f"{MGMT}/npu_governor") == "performance\n"
    assert device.set_governor_profile(profile=GovernorProfile.PowerSave) is None
    assert read(f"{MGMT}/npu_governor") == "powersave\n"
    assert device.governor_profile() is GovernorProfile.PowerSave


def test_setting_the_power_limit_writes_the_debug_tree(one_device):
    device = one_device()
    assert read(f"{DEBUG}/power_limit_mw") == "300000\n"
    assert device.set_power_limit(250000) is None
    assert read(f"{DEBUG}/power_limit_mw") == "250000\n"
    device.set_power_limit(power_limit_mw=4294967295)
    assert read(f"{DEBUG}/power_limit_mw") == "4294967295\n"
    device.set_power_limit(0)
    assert read(f"{DEBUG}/power_limit_mw") == "0\n"
    assert not os.path.exists(f"{MGMT}/power_limit_mw")


@pytest.mark.parametrize("call, error, words", [
    (lambda d: d.set_power_limit(-1), OverflowError, "'power_limit_mw'"),
    (lambda d: d.set_power_limit(2**32), OverflowError, "'power_limit_mw'"),
    (lambda d: d.set_power_limit("300000"), TypeError, "'power_limit_mw'"),
    (lambda d: d.set_power_limit(300000.0), TypeError, "'power_limit_mw'"),
    (lambda d: d.set_power_limit(), TypeError, "power_limit_mw"),
    (lambda d: d.set_power_limit(1, 2), TypeError, "set_power_limit"),
    (lambda d: d.set_governor_profile(1), TypeError, "'profile'"),
    (lambda d: d.set_governor_profile("powersave"), TypeError, "'profile'"),
    (lambda d: d.set_governor_profile(GovernorProfile.PowerSave, mode=1), TypeError, "set_governor_profile"),
])
def test_bad_arguments_fail_before_any_file_is_touched(one_device, call, error, words):
    device = one_device()
    # Without the directories any write would fail with IoError.
    shutil.rmtree(DEBUG)
    os.remove(f"{MGMT}/npu_governor")
    with pytest.raises(error, match=words):
        call(device)


def test_writes_that_fail(one_device):
    device = one_device()
    shutil.rmtree(DEBUG)
    with pytest.raises(tarvina_smi.IoError) as caught:
        device.set_power_limit(1)
    assert str(caught.value) == f"io error: No such file or directory (os error 2) ({DEBUG}/power_limit_mw)"
    os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    with pytest.raises(tarvina_smi.DeviceNotAvailableError):
        device.set_governor_profile(GovernorProfile.PowerSave)
    assert read(f"{MGMT}/npu_governor") == "performance\n"


def test_method_signatures():
    assert Device.set_power_limit.__text_signature__ == "($self, power_limit_mw)"
    assert Device.set_governor_profile.__text_signature__ == "($self, profile)"
    assert Device.tcp_frequency.__text_signature__ == "($self)"
