"""Core ranges as device-file names write them."""

import itertools
import re

import pytest

from tarvina_smi import DeviceCoreRange, ParseError

# The grammar of device-file names, with \Z: a trailing line feed does not match.
NAME = re.compile(r"^npu(?P<dev_node_index>\d+)((?:pe)(?P<start_core>\d+)(-(?P<end_core>\d+))?)?\Z")


def test_accepts_exactly_the_names_the_grammar_matches():
    # Every short combination of the grammar's pieces and some near misses,
    # Unicode digits (Arabic-Indic three, fullwidth one) included.
    pieces = ["npu", "pe", "-", "0", "7", "00", "255", "256", "4294967296", "\u0663", "\uff11", "x", " ", "\n"]
    for count in range(1, 5):
        for parts in itertools.product(pieces, repeat=count):
            text = "".join(parts)
            match = NAME.match(text)
            try:
                parsed = DeviceCoreRange(text)
            except ParseError as error:
                assert str(error) == f"parse error: invalid device file name: '{text}'"
                parsed = None
            if parsed is not None:
                assert match, text
                start = int(match["start_core"] or 0)
                expected = (int(match["dev_node_index"]), start, int(match["end_core"] or start))
                assert (parsed.dev_node_index(), parsed.start_core(), parsed.end_core()) == expected
            else:
                # Only matches whose numbers do not convert fail.
                assert not match or not text.isascii() or int(match["dev_node_index"]) > 255 or any(
                    int(match[g]) > 4294967295 for g in ("start_core", "end_core") if match[g]), text


@pytest.mark.parametrize("text, rendered, cores", [
    ("npu0", "npu0pe0", [0]),
    ("npu1pe2-3", "npu1pe2-3", [2, 3]),
    ("npu1pe3-3", "npu1pe3", [3]),
    ("npu1pe3-1", "npu1pe3-1", []),
    ("npu007", "npu7pe0", [0]),
])
def test_renders_and_lists_cores(text, rendered, cores):
    core_range = DeviceCoreRange(text)
    assert (str(core_range), repr(core_range)) == (rendered, f"DeviceCoreRange('{rendered}')")
    assert core_range.cores() == cores


def test_equal_ranges_hash_equally_and_hashes_are_fixed():
    assert DeviceCoreRange("npu0") == DeviceCoreRange("npu0pe0")
    assert hash(DeviceCoreRange("npu0")) == hash(DeviceCoreRange("npu0pe0"))
    assert {DeviceCoreRange("npu1pe2-3"): 1}[DeviceCoreRange.new(1, 2, 3)] == 1


def test_orders_by_node_then_first_then_last_core():
    ordered = [DeviceCoreRange.new(0, 5, 5), DeviceCoreRange.new(1, 0, 0), DeviceCoreRange.new(1, 0, 3),
               DeviceCoreRange.new(1, 1, 1), DeviceCoreRange.new(1, 1, 2)]
    assert sorted(reversed(ordered)) == ordered
    a, b = ordered[:2]
    assert (a < b, a <= b, a > b, a >= b, a == b, a != b) == (True, True, False, False, False, True)
    assert DeviceCoreRange("npu0") != "npu0pe0"
    with pytest.raises(TypeError):
        DeviceCoreRange("npu0") < 1  # noqa: B015


def test_new_checks_only_the_widths():
    assert str(DeviceCoreRange.new(0, 5, 1)) == "npu0pe5-1"
    assert DeviceCoreRange.new(dev_node_index=255, start_core=4294967295, end_core=0).start_core() == 4294967295
    for args in ((256, 0, 0), (-1, 0, 0), (0, 4294967296, 0), (0, 0, -1)):
        with pytest.raises(OverflowError):
            DeviceCoreRange.new(*args)
    with pytest.raises(TypeError, match="'start_core'"):
        DeviceCoreRange.new(0, 1.0, 2)
    with pytest.raises(TypeError, match="'value'"):
        DeviceCoreRange(3)


def test_huge_ranges_fail_cleanly():
    assert DeviceCoreRange.new(0, 4294967294, 4294967295).cores() == [4294967294, 4294967295]
    with pytest.raises(MemoryError):
        DeviceCoreRange.new(0, 0, 4294967295).cores()
