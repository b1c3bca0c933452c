"""The module frame: registration, exception classes and the conventions that
every class follows."""

import inspect
import os
import subprocess
import sys
import weakref

import pytest

import tarvina_smi

# Every name the module registers, in registration order.
MODULE_ATTRIBUTES = [
    "list_devices", "list_pci_devices", "get_pci_device", "list_disabled_devices", "driver_info",
    "Arch", "Bdf", "CoreStatus", "DeviceCoreRange", "DeviceFile", "Device", "DeviceTemperature",
    "GovernorProfile", "LinkType", "MemoryInfo", "PciDevice", "PcieDeviceInfo", "PcieInfo",
    "PcieLinkInfo", "PcieRootComplexInfo", "PePerformanceCounter", "SriovInfo", "ThrottleReason",
    "VersionInfo", "SmiError", "UnknownArchError", "ParseError", "IoError",
    "DeviceNotAvailableError", "DeviceNotFoundError", "UnexpectedValueError", "__version__",
]

EXCEPTIONS = ["UnknownArchError", "ParseError", "IoError", "DeviceNotAvailableError",
              "DeviceNotFoundError", "UnexpectedValueError"]

CLASSES = [getattr(tarvina_smi, name) for name in MODULE_ATTRIBUTES
           if isinstance(getattr(tarvina_smi, name, None), type) and not name.endswith("Error")]
CONSTRUCTIBLE = {"Bdf", "DeviceCoreRange"}


def test_all_lists_the_registered_names_in_order():
    registered = [name for name in MODULE_ATTRIBUTES if hasattr(tarvina_smi, name)]
    assert tarvina_smi.__all__ == registered
    assert tarvina_smi.__version__ == "2026.4.0"
    assert tarvina_smi.__doc__ == ""


def test_functions_have_text_signatures():
    assert str(inspect.signature(tarvina_smi.list_pci_devices)) == "()"
    assert str(inspect.signature(tarvina_smi.get_pci_device)) == "(bdf)"
    assert str(inspect.signature(tarvina_smi.list_disabled_devices)) == "()"
    assert str(inspect.signature(tarvina_smi.driver_info)) == "()"


def test_exception_hierarchy():
    base = tarvina_smi.SmiError
    assert base.__bases__ == (Exception,)
    assert not issubclass(base, (OSError, ValueError))
    assert base.__module__ == "tarvina_smi" and base.__qualname__ == "SmiError"
    for name in EXCEPTIONS:
        cls = getattr(tarvina_smi, name)
        assert cls.__bases__ == (base,)
        assert (cls.__module__, cls.__name__) == ("tarvina_smi", name)
    class Mine(base):  # exception classes can be subclassed, as any
        pass


def test_core_errors_raise_one_exception_with_the_text_as_only_argument():
    with pytest.raises(tarvina_smi.ParseError) as caught:
        tarvina_smi.Bdf("xyz")
    assert caught.value.args == ("parse error: invalid BDF: 'xyz'",)
    assert caught.value.__cause__ is None and caught.value.__context__ is None


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
def test_class_conventions(cls):
    assert cls.__module__ == "builtins"
    assert cls.__bases__ == (object,)
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    with pytest.raises(TypeError):
        cls.anything = 1
    if cls.__name__ not in CONSTRUCTIBLE:
        assert cls.__doc__ == ""
        with pytest.raises(TypeError):
            cls()
    for name, member in vars(cls).items():
        if callable(member) and not name.startswith("__"):
            assert inspect.signature(member).parameters  # every method has a text signature


@pytest.mark.parametrize("make", [lambda: tarvina_smi.Bdf("0000:00:00.0"), lambda: tarvina_smi.Arch.Zelk],
                         ids=["value", "enumeration"])
def test_instances_have_no_dict_and_no_weak_references(make):
    instance = make()
    with pytest.raises(AttributeError):
        instance.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(instance)


def test_hashes_are_the_same_in_every_process():
    code = "import tarvina_smi as t; print(hash(t.Bdf('0000:5e:00.0')), hash(t.Arch.Zelk))"
    outputs = {subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True,
                              env={**os.environ, "PYTHONHASHSEED": seed}).stdout
               for seed in ("1", "2")}
    assert outputs == {"-3689742518598904334 -3315872660926475476\n"}


# Each enumeration's members in order, with what str() gives.
ENUMERATIONS = {
    "Arch": [("Zelk", "ZELK")],
    "CoreStatus": [("Available", "Available"), ("Occupied", "Occupied")],
    "GovernorProfile": [("Performance", "Performance"), ("PowerSave", "PowerSave")],
    "LinkType": [("Unknown", "Unknown"), ("Interconnect", "Interconnect"), ("Cpu", "Cpu"), ("Bridge", "Bridge"),
                 ("Noc", "Noc")],
    "ThrottleReason": [("Idle", "Idle"), ("ThermalSlowdown", "Thermal Slowdown"), ("AppPowerCap", "App Power Cap"),
                       ("AppClockCap", "App Clock Cap"), ("HwClockCap", "HW Clock Cap"),
                       ("HwBusLimit", "HW Bus Limit"), ("HwPowerCap", "HW Power Cap"),
                       ("GovClockCap", "Gov Clock Cap"), ("OtherReason", "Other Reason"), ("Unknown", "Unknown")],
}

# The hash of a member covers its ordinal; Arch's lone member covers nothing.
HASH_OF_ORDINAL = {0: -4800647303603446203, 1: 2206609067086327257}
ARCH_HASH = -3315872660926475476


@pytest.mark.parametrize("name", [name for name in ENUMERATIONS if hasattr(tarvina_smi, name)])
def test_enumerations(name):
    cls = getattr(tarvina_smi, name)
    members = [getattr(cls, member) for member, _ in ENUMERATIONS[name]]
    for ordinal, (member, (member_name, text)) in enumerate(zip(members, ENUMERATIONS[name])):
        assert (str(member), repr(member), int(member)) == (text, f"{name}.{member_name}", ordinal)
        assert member is getattr(cls, member_name) and type(member) is cls
        assert member == ordinal and ordinal == member and member != ordinal + 1 and member == member
        assert member != text and not (member == float(ordinal))
        with pytest.raises(TypeError):
            member < member  # noqa: B015
        with pytest.raises(TypeError):
            member >= ordinal  # noqa: B015
    hashes = [hash(member) for member in members]
    if name == "Arch":
        assert hashes == [ARCH_HASH]
    else:
        assert hashes[:2] == [HASH_OF_ORDINAL[0], HASH_OF_ORDINAL[1]] and len(set(hashes)) == len(hashes)
    if len(members) > 1:
        assert members[0] != members[1]
