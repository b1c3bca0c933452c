"""The PCI address class."""

import inspect

import pytest

from tarvina_smi import Bdf, ParseError


@pytest.mark.parametrize("text, rendered, fields", [
    ("0000:5e:00.0", "0000:5e:00.0", (0, 0x5e, 0, 0)),
    ("5e:00.0", "0000:5e:00.0", (0, 0x5e, 0, 0)),
    ("0000:5E:1F.7", "0000:5e:1f.7", (0, 0x5e, 0x1f, 7)),
    ("ffff:ff:1f.7", "ffff:ff:1f.7", (0xffff, 0xff, 0x1f, 7)),
])
def test_parses_and_renders(text, rendered, fields):
    bdf = Bdf(text)
    assert (str(bdf), repr(bdf)) == (rendered, f"Bdf('{rendered}')")
    assert (bdf.domain(), bdf.bus(), bdf.device(), bdf.function()) == fields
    assert Bdf(value=text) == bdf


@pytest.mark.parametrize("text", [
    "0000:5e:20.0", "0000:5e:00.8", "00000:5e:00.0", "0000:5e:00.0\n", " 0000:5e:00.0", "0000:5e:00",
    "", "xyz", "0000:5e:00.0 ", "5e:00.0\n", "٠٠٠٠:5e:00.0", "0000:5e:00.0\x00",
])
def test_rejects_what_the_grammar_does_not_match(text):
    with pytest.raises(ParseError) as caught:
        Bdf(text)
    assert str(caught.value) == f"parse error: invalid BDF: '{text}'"


def test_lone_surrogates_are_quoted_back_unchanged():
    with pytest.raises(ParseError) as caught:
        Bdf("\ud800")
    assert str(caught.value) == "parse error: invalid BDF: '\ud800'"


@pytest.mark.parametrize("call", [lambda: Bdf(5), lambda: Bdf(b"0000:5e:00.0"), lambda: Bdf(value=None)])
def test_value_must_be_a_str(call):
    with pytest.raises(TypeError, match="'value'"):
        call()


def test_bad_calls_are_type_errors():
    for call in (lambda: Bdf(), lambda: Bdf("5e:00.0", "x"), lambda: Bdf(text="5e:00.0")):
        with pytest.raises(TypeError):
            call()
    assert str(inspect.signature(Bdf)) == "(value)"
    assert str(inspect.signature(Bdf.domain)) == "(self, /)"


def test_orders_by_domain_bus_device_function():
    ordered = [Bdf("0000:01:00.0"), Bdf("0000:01:00.1"), Bdf("0000:02:00.0"), Bdf("0001:00:00.0")]
    assert sorted(reversed(ordered)) == ordered
    a, b = ordered[:2]
    assert (a < b, a <= b, a > b, a >= b, a == b, a != b) == (True, True, False, False, False, True)
    assert (a <= Bdf(str(a)), a >= Bdf(str(a)))  == (True, True)


def test_compares_with_other_types_by_identity_only():
    bdf = Bdf("0000:5e:00.0")
    assert bdf != "0000:5e:00.0" and not (bdf == "0000:5e:00.0")
    with pytest.raises(TypeError):
        bdf < "0000:5e:00.0"  # noqa: B015


def test_hash_is_fixed_and_works_for_dicts_and_sets():
    assert hash(Bdf("0000:00:00.0")) == -571723543541368174
    assert hash(Bdf("0000:5e:00.0")) == -3689742518598904334
    assert hash(Bdf("5e:00.0")) == hash(Bdf("0000:5E:00.0"))
    table = {Bdf("5e:00.0"): "x"}
    assert table[Bdf("0000:5e:00.0")] == "x"
    assert len({Bdf("5e:00.0"), Bdf("0000:5e:00.0"), Bdf("0000:5e:00.1")}) == 2
