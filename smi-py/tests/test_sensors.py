"""Temperature and power sensors of the hardware monitor."""

import os
import shutil

import pytest

import tarvina_smi

HWMON = "/sys/bus/pci/devices/0000:51:00.0/hwmon"
SENSORS = HWMON + "/hwmon0"


def replace_sensors(files):
    """Leave exactly `files` in the sensor directory, created in the order given."""
    shutil.rmtree(SENSORS)
    os.mkdir(SENSORS)
    for name, content in files.items():
        with open(f"{SENSORS}/{name}", "w") as f:
            f.write(content)


def test_readings_of_the_simulated_machine(one_device):
    device = one_device(soc_peak_mc=45500, ambient_mc=30000, power_uw=15250000, power_limit_mw=250000)
    temperature = device.device_temperature()
    assert (temperature.soc_peak(), temperature.ambient()) == (45.5, 30.0)
    assert repr(temperature) == str(temperature) == "DeviceTemperature(soc_peak=45.5, ambient=30)"
    assert (device.power_consumption(), device.power_limit()) == (15.25, 250000)


@pytest.mark.parametrize("files, reading", [
    ({"temp1_label": "PEAK\n", "temp1_input": "45500", "temp2_label": "AMBIENT", "temp2_input": "30000"},
     (45.5, 30.0)),
    ({"temp1_label": "peak", "temp1_input": "1", "temp10_label": "PEAK", "temp10_input": "2000",
      "temp_label": "AMBIENT", "temp_input": "-500"}, (2.0, -0.5)),
    ({"temp_a_label": " PEAK ", "temp_a_input": "1e3", "tempx": "", "temp9_label": "AMBIENT\n",
      "temp9_input": "+12.5"}, (1.0, 0.0125)),
    ({"temp1_label": "PEAK", "temp1_input": "inf", "temp2_label": "AMBIENT", "temp2_input": "-0"},
     (float("inf"), -0.0)),
])
def test_sensors_are_found_by_label(one_device, files, reading):
    device = one_device()
    replace_sensors(files)
    temperature = device.device_temperature()
    assert (temperature.soc_peak(), temperature.ambient()) == reading


def test_the_first_matching_label_in_listing_order_wins(one_device):
    device = one_device()
    replace_sensors({"temp3_label": "PEAK", "temp3_input": "3000", "temp1_label": "PEAK", "temp1_input": "1000",
                     "temp2_label": "AMBIENT", "temp2_input": "0"})
    first = next(name for name in os.listdir(SENSORS) if name in ("temp1_label", "temp3_label"))
    assert device.device_temperature().soc_peak() == (3.0 if first == "temp3_label" else 1.0)


@pytest.mark.parametrize("files, error, message", [
    ({"temp1_label": "PEAK", "temp1_input": "1", "temp2_label": "AMBIENT"}, tarvina_smi.IoError,
     f"io error: No such file or directory (os error 2) ({SENSORS}/temp2_input)"),
    ({"temp1_label": "peak", "temp1_input": "1"}, tarvina_smi.IoError,
     f"io error: temp sensor 'PEAK' not found ({SENSORS})"),
    ({"temp1_label": "PEAK", "temp1_input": "1", "ambient_label": "AMBIENT"}, tarvina_smi.IoError,
     f"io error: temp sensor 'AMBIENT' not found ({SENSORS})"),
    ({"temp1_label": "PEAK", "temp1_input": "abc"}, tarvina_smi.ParseError,
     f"parse error: invalid sensor value: {SENSORS}/temp1_input"),
    ({"temp1_label": "PEAK", "temp1_input": "0x10"}, tarvina_smi.ParseError,
     f"parse error: invalid sensor value: {SENSORS}/temp1_input"),
    ({"temp1_label": "PEAK", "temp1_input": " \n"}, tarvina_smi.ParseError,
     f"parse error: empty attribute: {SENSORS}/temp1_input"),
])
def test_temperature_failures(one_device, files, error, message):
    device = one_device()
    replace_sensors(files)
    with pytest.raises(error) as caught:
        device.device_temperature()
    assert str(caught.value) == message


@pytest.mark.parametrize("files, watts", [
    ({"power1_label": "RMS_TOTAL", "power1_average": "15250000"}, 15.25),
    ({"power2_label": "RMS_TOTAL\n", "power2_average": "1e400"}, float("inf")),
    ({"power1_label": "RMS_TOTAL", "power1_average": "1e-400"}, 0.0),
    ({"power1_label": "RMS", "power1_average": "1"},
     f"io error: power sensor 'RMS_TOTAL' not found ({SENSORS})"),
])
def test_power_consumption(one_device, files, watts):
    device = one_device()
    replace_sensors(files)
    if isinstance(watts, str):
        with pytest.raises(tarvina_smi.IoError, match="^" + watts.replace("(", r"\(").replace(")", r"\)") + "$"):
            device.power_consumption()
    else:
        assert device.power_consumption() == watts


@pytest.mark.parametrize("text, milliwatts", [
    ("300000000\n", 300000), ("999", 0), ("+1000", 1), ("4294967295999", 4294967295),
    ("4294967296000", None), ("-1", None), ("12.5", None), ("0x10", None), ("18446744073709551616", None),
])
def test_power_limit(one_device, text, milliwatts):
    device = one_device()
    with open(f"{SENSORS}/power1_max", "w") as f:
        f.write(text)
    if milliwatts is None:
        with pytest.raises(tarvina_smi.ParseError) as caught:
            device.power_limit()
        assert str(caught.value) == f"parse error: power1_max value: '{text.strip()}'"
    else:
        assert device.power_limit() == milliwatts


@pytest.mark.parametrize("change, message", [
    ("empty", f"io error: no hwmon directory found ({HWMON})"),
    ("missing", f"io error: No such file or directory (os error 2) ({HWMON})"),
    ("unbound", "device not available: 0000:51:00.0"),
])
def test_without_a_hardware_monitor(one_device, change, message):
    device = one_device()
    if change == "unbound":
        os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    else:
        shutil.rmtree(SENSORS)
        if change == "missing":
            os.rmdir(HWMON)
    for method in (device.device_temperature, device.power_consumption, device.power_limit):
        with pytest.raises(tarvina_smi.SmiError) as caught:
            method()
        assert str(caught.value) == message


def test_any_entry_of_the_hwmon_directory_serves(one_device):
    device = one_device()
    os.rename(SENSORS, HWMON + "/hwmon7")
    assert device.power_limit() == 300000


@pytest.mark.parametrize("peak, ambient, text", [
    (45000, 30000, "DeviceTemperature(soc_peak=45, ambient=30)"),
    (1, -1, "DeviceTemperature(soc_peak=0.001, ambient=-0.001)"),
    (1e25, 0.1, "DeviceTemperature(soc_peak=10000000000000000000000, ambient=0.0001)"),
    ("nan", "-inf", "DeviceTemperature(soc_peak=NaN, ambient=-inf)"),
    ("-0", "inf", "DeviceTemperature(soc_peak=-0, ambient=inf)"),
])
def test_temperature_repr(one_device, peak, ambient, text):
    device = one_device()
    for sensor, value in (("temp1_input", peak), ("temp2_input", ambient)):
        with open(f"{SENSORS}/{sensor}", "w") as f:
            f.write(str(value))
    assert repr(device.device_temperature()) == text


def test_temperature_equality(one_device):
    device = one_device()
    a, b = device.device_temperature(), device.device_temperature()
    assert a == b and not (a != b) and a is not b
    with open(f"{SENSORS}/temp2_input", "w") as f:
        f.write("31000")
    c = device.device_temperature()
    assert a != c and not (a == c) and a != 45.0
    with open(f"{SENSORS}/temp2_input", "w") as f:
        f.write("nan")
    nan = device.device_temperature()
    assert nan != nan and not (nan == nan)
    with pytest.raises(TypeError):
        a < b  # noqa: B015
    with pytest.raises(TypeError):
        hash(a)
