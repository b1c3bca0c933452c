"""Demo: mount EXAMPLE_MACHINE and show what tarvina_smi finds on it.

    sudo /usr/bin/python3 -m tarvina_sim
"""

from __future__ import annotations

import sys

from .machine import DEVICE_ZELK, DEVICE_ZELK_PLUS, Machine, Npu, PciFunction
from .namespace import NamespaceUnavailable, mounted

EXAMPLE_MACHINE = Machine([
    PciFunction("0000:51:00.0", DEVICE_ZELK, numa_node=0, npu=Npu(0)),
    PciFunction("0000:b1:00.0", DEVICE_ZELK, numa_node=1, driver=None),
    PciFunction("0000:3b:00.0", DEVICE_ZELK_PLUS, numa_node=0,
                bridges=("0000:39:01.0", "0000:3a:00.0"), npu=Npu(1)),
    # Another vendor's function, which the library must leave out.
    PciFunction("0000:17:00.0", device_id=0x0042, vendor_id=0x1AF5, driver=None),
])


def main() -> int:
    try:
        import tarvina_smi
    except ImportError as e:
        print(f"cannot import tarvina_smi ({e}); build the extension module "
              "and put it on PYTHONPATH", file=sys.stderr)
        return 1
    try:
        with mounted(EXAMPLE_MACHINE):
            for device in tarvina_smi.list_pci_devices():
                print(repr(device))
            print(f"disabled: {tarvina_smi.list_disabled_devices()!r}")
            # The accelerators the driver manages, where the module lists them.
            if hasattr(tarvina_smi, "list_devices"):
                for device in tarvina_smi.list_devices():
                    print(repr(device))
    except NamespaceUnavailable as e:
        print(e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
