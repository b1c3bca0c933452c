"""A simulated zelk machine: a /sys and /dev tree mounted in a private mount namespace.

    machine = Machine([PciFunction("0000:51:00.0", npu=Npu(0))])
    with mounted(machine) as root:
        ...  # /sys and /dev now show the simulated machine

Standard library only.
"""

from .machine import (
    BRIDGE_DEVICE_ID,
    BRIDGE_VENDOR_ID,
    DEBUG_TREE,
    DEVICE_ZELK,
    DEVICE_ZELK_PLUS,
    MGMT_CLASS,
    MINORS_PER_NPU,
    NPU_MAJOR,
    PCI_CLASS_ACCELERATOR,
    PCI_CLASS_BRIDGE,
    VENDOR_ID,
    Machine,
    Npu,
    PciFunction,
    make_char_device,
    set_pe_counters,
)
from .namespace import NamespaceUnavailable, enter_private_namespace, mounted, run_outside

__all__ = [
    "BRIDGE_DEVICE_ID",
    "BRIDGE_VENDOR_ID",
    "DEBUG_TREE",
    "DEVICE_ZELK",
    "DEVICE_ZELK_PLUS",
    "MGMT_CLASS",
    "MINORS_PER_NPU",
    "NPU_MAJOR",
    "PCI_CLASS_ACCELERATOR",
    "PCI_CLASS_BRIDGE",
    "VENDOR_ID",
    "Machine",
    "NamespaceUnavailable",
    "Npu",
    "PciFunction",
    "enter_private_namespace",
    "make_char_device",
    "mounted",
    "run_outside",
    "set_pe_counters",
]
