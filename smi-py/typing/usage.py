"""A program using the whole API, which the type checker must accept with
the installed stubs (and without them would reject, under --strict)."""

import tarvina_smi
from tarvina_smi import CoreStatus, Device, DeviceCoreRange, GovernorProfile, LinkType, MemoryInfo


def report(device: Device, other: Device) -> list[str]:
    lines = [repr(device), device.bdf().__str__(), device.product_name(), str(device.arch())]
    busy: list[int] = [core for core, status in device.core_status().items() if status == CoreStatus.Occupied]
    clocks: dict[int, int] = device.core_frequency()
    temperature = device.device_temperature()
    watts: float = device.power_consumption() + temperature.soc_peak() + temperature.ambient()
    limit: int = device.power_limit()
    device.set_power_limit(limit)
    device.set_governor_profile(GovernorProfile.PowerSave)
    before = device.performance_counter()
    after = device.performance_counter()
    usage = {core: after[core].utilization_since(before[core]) for core in after}
    memory: dict[DeviceCoreRange, MemoryInfo] = device.memory_usage()
    link: LinkType = device.device_to_device_link_type(other)
    pcie = device.pcie_info()
    switch = pcie.switch_info()
    version = device.firmware_version()
    lines += [str(busy), str(clocks), str(watts), str(usage), str(memory), str(link), str(version.prerelease()),
              str(pcie.link_info().link_speed_status()), "" if switch is None else str(switch.bus())]
    lines += [str(reason) for reason in device.throttle_reason()]
    lines += [file.path() for file in device.device_files()]
    lines.append(str(device.p2p_accessible(other) and device.liveness()))
    return lines


def main() -> None:
    try:
        devices = tarvina_smi.list_devices()
        for device in devices:
            print("\n".join(report(device, devices[0])))
        print(tarvina_smi.driver_info().major(), tarvina_smi.__version__)
        for function in tarvina_smi.list_disabled_devices():
            function.enable()
        tarvina_smi.get_pci_device(tarvina_smi.Bdf("0000:51:00.0")).disable()
    except tarvina_smi.SmiError as error:
        print(error)
