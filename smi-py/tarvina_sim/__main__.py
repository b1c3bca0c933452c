"""Demo: mount EXAMPLE_MACHINE and show what tarvina_smi finds on it.

    sudo /usr/bin/python3 -m tarvina_sim
"""

from __future__ import annotations

import sys

from .machine import DEVICE_ZELK, DEVICE_ZELK_PLUS, Machine, Npu, PciFunction
from .namespace import NamespaceUnavailable, mounted

EXAMPLE_MACHINE = Machine([
    # Cores 0 to 3 fused for one job, which owns four cores' memory.
    PciFunction("0000:51:00.0", DEVICE_ZELK, numa_node=0,
                npu=Npu(0, occupied=(0, 1, 2, 3), memory={0: (0x5F0000000, 0x40000000)})),
    PciFunction("0000:b1:00.0", DEVICE_ZELK, numa_node=1, driver=None),
    PciFunction("0000:3b:00.0", DEVICE_ZELK_PLUS, numa_node=0,
                bridges=("0000:39:01.0", "0000:3a:00.0"),
                npu=Npu(1, governor="powersave", throttle_mask=0x42, soc_peak_mc=88_500)),
    # Another vendor's function, which the library must leave out.
    PciFunction("0000:17:00.0", device_id=0x0042, vendor_id=0x1AF5, driver=None),
])


def describe(tarvina_smi, device) -> None:
    """Print what the module reads of one device; a failure prints as its text."""
    print(repr(device))
    readings = {
        "firmware": device.firmware_version,
        "temperature": device.device_temperature,
        "power (W)": device.power_consumption,
        "power limit (mW)": device.power_limit,
        "core status": device.core_status,
        "clocks (MHz)": device.core_frequency,
        "governor": device.governor_profile,
        "throttle": device.throttle_reason,
        "memory": device.memory_usage,
        "pcie link": lambda: device.pcie_info().link_info(),
    }
    for name, read in readings.items():
        try:
            value = read()
        except tarvina_smi.SmiError as e:
            value = e
        print(f"  {name}: {value}")


def main() -> int:
    try:
        import tarvina_smi
    except ImportError as e:
        print(f"cannot import tarvina_smi ({e}); build the extension module "
              "and put it on PYTHONPATH", file=sys.stderr)
        return 1
    try:
        with mounted(EXAMPLE_MACHINE):
            for function in tarvina_smi.list_pci_devices():
                print(repr(function))
            print(f"disabled: {tarvina_smi.list_disabled_devices()!r}")
            print(f"driver: {tarvina_smi.driver_info()}")
            devices = tarvina_smi.list_devices()
            for device in devices:
                describe(tarvina_smi, device)
            first, last = devices[0], devices[-1]
            print(f"{first.device_name()} to {last.device_name()}: {first.device_to_device_link_type(last)}, "
                  f"peer-to-peer {first.p2p_accessible(last)}")
    except NamespaceUnavailable as e:
        print(e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
