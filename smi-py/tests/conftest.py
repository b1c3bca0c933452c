"""Fixtures that give each test a simulated machine mounted over /sys and /dev."""

from __future__ import annotations

import sys
from contextlib import ExitStack
from pathlib import Path

import pytest

# Import the simulated machine from the source tree.
sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

from tarvina_sim import Machine, NamespaceUnavailable, Npu, PciFunction  # noqa: E402
from tarvina_sim import enter_private_namespace, mounted  # noqa: E402


@pytest.fixture(scope="session")
def sim_namespace() -> None:
    """Enter the private mount namespace once per session and check that a
    machine can be mounted in it (a user namespace may unshare but not mknod).

    When either is impossible the skip is cached with the fixture, so every
    test that needs it is skipped with the same reason.
    """
    try:
        enter_private_namespace()
        with mounted(Machine()):
            pass
    except NamespaceUnavailable as e:
        pytest.skip(str(e))


def as_machine(items: tuple[Machine | PciFunction, ...]) -> Machine:
    if len(items) == 1 and isinstance(items[0], Machine):
        return items[0]
    if not all(isinstance(item, PciFunction) for item in items):
        raise TypeError("sim() takes one Machine or any number of PciFunction")
    return Machine(list(items))


@pytest.fixture
def sim(sim_namespace):
    """sim(Machine(...)) or sim(PciFunction(...), ...): mount that machine for
    the rest of the test and return the tree's root; unmounted at teardown."""
    with ExitStack() as mounts:
        def mount(*items: Machine | PciFunction) -> Path:
            try:
                return mounts.enter_context(mounted(as_machine(items)))
            except NamespaceUnavailable as e:
                pytest.skip(str(e))
        yield mount


@pytest.fixture
def one_device(sim):
    """one_device(device_id=1, **npu): mount a machine with one accelerator,
    npu0 at 0000:51:00.0 described by Npu(0, **npu), and return its Device."""
    import tarvina_smi

    def mount(device_id: int = 1, **npu):
        sim(PciFunction("0000:51:00.0", device_id=device_id, npu=Npu(0, **npu)))
        device, = tarvina_smi.list_devices()
        return device
    return mount
