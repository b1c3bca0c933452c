"""Per-core cycle counters and memory usage."""

import os

import pytest

import tarvina_smi
from tarvina_sim import set_pe_counters
from tarvina_smi import DeviceCoreRange

CLASS = "/sys/class/zelk_mgmt"
SHARE = {1: 6375342080, 2: 9596567552}  # each core's memory when nothing is allocated


def write_core(core, name, content):
    with open(f"{CLASS}/zelk!npu0pe{core}/{name}", "w") as f:
        f.write(content)


def remove_core_files(cores):
    for core in cores:
        for name in ("metrics", "alloc_status"):
            os.remove(f"{CLASS}/zelk!npu0pe{core}/{name}")


def counters(reading):
    return {core: (c.cycle_count(), c.task_execution_cycle()) for core, c in reading.items()}


def memory(usage):
    return {str(group): (info.total_bytes(), info.in_use_bytes()) for group, info in usage.items()}


def test_only_occupied_cores_are_read(one_device):
    device = one_device(cores=4, occupied=(1,), counters={1: (1000, 250), 2: (7, 7)})
    remove_core_files([0, 2, 3])
    reading = device.performance_counter()
    assert list(reading) == [0, 1, 2, 3]
    assert counters(reading) == {0: (0, 0), 1: (1000, 250), 2: (0, 0), 3: (0, 0)}
    assert repr(reading[1]) == "PePerformanceCounter(cycle_count=1000, task_execution_cycle=250)"


def test_an_idle_device_reads_no_core_file(one_device):
    device = one_device(cores=2, device_files=("npu0", "npu0pe0", "npu0pe1", "npu0pe5"))
    remove_core_files([0, 1])
    assert counters(device.performance_counter()) == {0: (0, 0), 1: (0, 0), 5: (0, 0)}
    assert memory(device.memory_usage()) == {f"npu0pe{core}": (SHARE[1], 0) for core in (0, 1, 5)}


@pytest.mark.parametrize("metrics, values", [
    ("CycleCount: 0x3e8\nTaskCycleCount: 0xfa\n", (1000, 250)),
    ("Other: x\nTaskCycleCount: FA \r\n CycleCount : 0X3E8\nCycleCount: 0x3e9", (1001, 250)),
    ("CycleCount: ffffffffffffffff\nTaskCycleCount: +0", (18446744073709551615, 0)),
    ("CycleCount=0x3e8\nTaskCycleCount: 0xfa", "performance counter has unexpected format"),
    ("cyclecount: 0x3e8\nTaskCycleCount: 0xfa", "performance counter has unexpected format"),
    ("CycleCount: 0x\nTaskCycleCount: 0xfa", "invalid hex u64: '0x'"),
    ("CycleCount: 1\nTaskCycleCount: 10000000000000000", "invalid hex u64: '10000000000000000'"),
    ("\n", "empty attribute: /sys/class/zelk_mgmt/zelk!npu0pe0/metrics"),
])
def test_metrics_file(one_device, metrics, values):
    device = one_device(cores=1, occupied=(0,))
    write_core(0, "metrics", metrics)
    if isinstance(values, str):
        with pytest.raises(tarvina_smi.ParseError) as caught:
            device.performance_counter()
        assert str(caught.value) == "parse error: " + values
    else:
        assert counters(device.performance_counter()) == {0: values}


@pytest.mark.parametrize("text, value", [
    ("0x1F", 31), ("1f", 31), (" 0XaB \n", 171), ("+ff", 255), ("0x+10", 16), ("0", 0), ("X", None),
    ("0x", None), ("-1", None), ("0x1g", None), ("+0x10", None), ("", None), ("10000000000000000", None),
    ("0x 1", None),
])
def test_hex_counters(one_device, text, value):
    device = one_device(cores=1, occupied=(0,))
    write_core(0, "metrics", f"CycleCount: {text}\nTaskCycleCount: 0")
    if value is None:
        with pytest.raises(tarvina_smi.ParseError) as caught:
            device.performance_counter()
        assert str(caught.value) == f"parse error: invalid hex u64: '{text.strip()}'"
    else:
        assert counters(device.performance_counter()) == {0: (value, 0)}


def test_an_occupied_core_without_a_file(one_device):
    device = one_device(cores=2, occupied=(1,))
    remove_core_files([1])
    with pytest.raises(tarvina_smi.IoError, match=r"\(/sys/class/zelk_mgmt/zelk!npu0pe1/metrics\)$"):
        device.performance_counter()
    with pytest.raises(tarvina_smi.IoError, match=r"\(/sys/class/zelk_mgmt/zelk!npu0pe1/alloc_status\)$"):
        device.memory_usage()


def test_utilization_and_duration_between_readings(one_device):
    device = one_device(cores=1, occupied=(0,), counters={0: (1000, 100)})
    a = device.performance_counter()[0]
    set_pe_counters(0, 0, 3000, 1100)
    b = device.performance_counter()[0]
    assert b.utilization_since(a) == 0.5 and b.utilization_since(prev=a) == 0.5
    assert a.utilization_since(b) == 0.0 and a.utilization_since(a) == 0.0
    assert b.duration_since(a) > 0 and a.duration_since(b) == 0.0 and a.duration_since(a) == 0.0
    set_pe_counters(0, 0, 4000, 0)  # a task counter going back counts as no task cycles
    c = device.performance_counter()[0]
    assert c.utilization_since(b) == 0.0
    set_pe_counters(0, 0, 4001, 10)  # not clamped
    assert device.performance_counter()[0].utilization_since(c) == 10.0
    # Equality covers the time stamp too.
    assert a == a and a != device.performance_counter()[0] and a != 5
    with pytest.raises(TypeError, match="'prev'"):
        a.utilization_since(5)
    with pytest.raises(TypeError, match="'prev'"):
        a.duration_since(prev=None)
    with pytest.raises(TypeError):
        hash(a)
    with pytest.raises(TypeError):
        a < b  # noqa: B015


def test_memory_usage_of_fused_cores(one_device):
    # Cores 0 to 3 fused: core 0 owns four shares.
    device = one_device(occupied=(0, 1, 2, 3), memory={0: (0x5F0000000, 0x1000), 1: (0x100, 0x100)})
    usage = device.memory_usage()
    assert memory(usage) == {"npu0pe0-3": (25501368320, 0x1000), "npu0pe4": (SHARE[1], 0),
                             "npu0pe5": (SHARE[1], 0), "npu0pe6": (SHARE[1], 0), "npu0pe7": (SHARE[1], 0)}
    assert list(usage) == sorted(usage) and all(type(group) is DeviceCoreRange for group in usage)
    assert repr(usage[DeviceCoreRange("npu0pe4")]) == "MemoryInfo(total_bytes=6375342080, in_use_bytes=0)"


@pytest.mark.parametrize("files, occupied, memory_of, groups", [
    # PE 2 owns two shares and takes in PE 5, the next accessible one.
    (("npu0", "npu0pe0", "npu0pe1", "npu0pe2", "npu0pe5"), (2,), {2: (2 * SHARE[1], 5)},
     {"npu0pe0": (SHARE[1], 0), "npu0pe1": (SHARE[1], 0), "npu0pe2-5": (2 * SHARE[1], 5)}),
    # Below one share: a group of one with its own total.
    (("npu0", "npu0pe0"), (0,), {0: (0x100000, 0x10)}, {"npu0pe0": (0x100000, 0x10)}),
    # Nothing allocated: one share.
    (("npu0", "npu0pe0"), (0,), {}, {"npu0pe0": (SHARE[1], 0)}),
    ((), (), {}, {}),
])
def test_memory_groups(one_device, files, occupied, memory_of, groups):
    device = one_device(cores=8, occupied=occupied, memory=memory_of)
    keep = set(files)
    for name in os.listdir("/dev/zelk"):
        if name not in keep and "pe" in name:
            os.remove(f"/dev/zelk/{name}")
    if not files:
        for name in os.listdir("/dev/zelk"):
            os.remove(f"/dev/zelk/{name}")
    assert memory(device.memory_usage()) == groups


def test_a_group_past_the_last_accessible_core(one_device):
    device = one_device(occupied=(6,), memory={6: (4 * SHARE[1], 0)})
    with pytest.raises(tarvina_smi.UnexpectedValueError) as caught:
        device.memory_usage()
    assert str(caught.value) == "unexpected value: fusion group at PE 6 (size 4) exceeds accessible cores"


@pytest.mark.parametrize("alloc_status, result", [
    ("dram_capacity: 0x10\ndram_usage: 0x1\nshared_capacity: 0x20\nshared_usage: 0x2", (0x30, 3)),
    ("dram_capacity: 0x10\ndram_usage: 1\ndram_usage: 2\nshared_capacity: 0\nshared_usage: 0", (0x10, 2)),
    ("dram_capacity: ffffffffffffffff\ndram_usage: 0\nshared_capacity: 2\nshared_usage: 0", (1, 0)),
    ("dram_capacity: 0x10\ndram_usage: 0x1\nshared_capacity: 0x20", "alloc_status has unexpected format"),
    ("dram_capacity:0x10\ndram_usage: 0x1\nshared_capacity: 0\nshared_usage: 0",
     "alloc_status has unexpected format"),
    ("dram_capacity: 1\ndram_usage: x\nshared_capacity: y\nshared_usage: 0", "invalid hex u64: 'y'"),
])
def test_alloc_status(one_device, alloc_status, result):
    device = one_device(cores=1, occupied=(0,))
    write_core(0, "alloc_status", alloc_status)
    if isinstance(result, str):
        with pytest.raises(tarvina_smi.ParseError) as caught:
            device.memory_usage()
        assert str(caught.value) == "parse error: " + result
    else:
        assert memory(device.memory_usage()) == {"npu0pe0": result}


def test_share_of_a_zelk_plus_core(one_device):
    device = one_device(device_id=2, cores=1)
    info, = device.memory_usage().values()
    assert repr(info) == "MemoryInfo(total_bytes=9596567552, in_use_bytes=0)"
    assert info == device.memory_usage()[DeviceCoreRange("npu0pe0")] and info != 9596567552
    with pytest.raises(TypeError):
        hash(info)


def test_per_core_readings_check_the_core_status_first(one_device):
    device = one_device()
    write_core(0, "metrics", "garbage")
    with open(f"{CLASS}/zelk!npu0mgmt/pe_occupancy", "w") as f:
        f.write("1\n2\n")
    for method in (device.performance_counter, device.memory_usage):
        with pytest.raises(tarvina_smi.ParseError, match="invalid pe_occupancy status '2' for core 1"):
            method()
    os.remove("/sys/bus/pci/devices/0000:51:00.0/driver")
    for method in (device.performance_counter, device.memory_usage):
        with pytest.raises(tarvina_smi.DeviceNotAvailableError):
            method()


def test_a_device_file_covering_every_core_fails_cleanly(one_device):
    device = one_device(cores=1, device_files=("npu0", "npu0pe0-4294967295"))
    for method in (device.performance_counter, device.memory_usage):
        with pytest.raises(tarvina_smi.UnexpectedValueError) as caught:
            method()
        assert str(caught.value) == "unexpected value: too many accessible cores to read: 4294967296"
