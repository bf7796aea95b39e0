"""CORVANE_ISA: every level scores and fails as the default does; a value that
is no level, or a level beyond this CPU, fails the import. Read as the library
loads, each value gets a process: this file run as a script."""

import functools
import json
import os
import platform
import subprocess
import sys

import pytest

from _corvane import lexical_score
from test_argument_forms import ALPHABETS, LENGTHS, LONG, text_of

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "benchmarks"))
import inputs  # noqa: E402

NOT_A_LEVEL = "CORVANE_ISA='{value}' is not an instruction set level; valid values: {levels}"
BEYOND_THE_CPU = "CORVANE_ISA='{value}' is beyond this CPU; it supports: {levels}"

# The architecture's levels, lowest first, and values that name none of them.
LEVELS, NOT_LEVELS = {
    "x86_64": (["portable", "sse2", "ssse3", "avx2", "avx512bw", "avx512vbmi2"],
               ["avx512vbmi", "avx2x", "neon"]),
    "aarch64": (["portable", "neon"], ["neo", "neon2", "avx2"]),
}.get(platform.machine(), (["portable"], ["portable2", "sse2"]))


def _pairs():
    # Every script, long and under the short path's limit, in capitals (final
    # sigmas among them) and with shouted queries; then Latin-1 capitals, and
    # two bytes a code point with İ, whose lowercase form is longer.
    pairs = []
    for kind in inputs.SCRIPT_KINDS:
        for text in (inputs.script_text(kind, 6000), inputs.script_text(kind, 70000)):
            query = inputs.script_query(kind, text)
            pairs += [(text, query), (text.upper(), query), (text, query.upper()),
                      (text[:20], f"{text[2:9]} {query}"), (text[:20].upper(), text[2:9])]
    latin1 = inputs.script_text("french", 20000).upper().replace("TH", "Þ")
    pairs += [(latin1, "þe école Zyqwarvex"), (latin1.replace("I", "İ"), "i\u0307ci þe école")]
    pairs += [(make(20000), f"{word} {word[:40]}") for _, make, word in inputs.adversarial_cases()]
    # One, two and four bytes a code point, at the lengths where paths change.
    pairs += [(text, f"{text[:12]} {text[len(text) // 2:][:12]} {text[-9:]} Þ")
              for width in ALPHABETS for text in (text_of(width, n) for n in LENGTHS)]
    # Lone surrogates, the last far into a long text, and queries without words.
    return pairs + [(LONG + "\ud800", "σοφία"), ("x\udfffy" * 30, "x"), (LONG, "\udc00 σοφία"),
                    ("\U0001f600 " * 9000 + "\ud800", ""), (LONG, " \u3000 ")]


PAIRS = _pairs()


def outcome(text, query):
    try:
        return repr(lexical_score(text, query))
    except Exception as error:
        return f"{type(error).__name__}: {error}"


@functools.cache
def run_with(value):
    """This file run as a script with CORVANE_ISA=value."""
    return subprocess.run([sys.executable, __file__], env=os.environ | {"CORVANE_ISA": value},
                          capture_output=True, text=True, errors="backslashreplace", timeout=300)


def refusal(value):
    """The ImportError that ended the run, in order (status 1, no signal)."""
    done = run_with(value)
    if done.returncode == 0:
        return None
    lines = done.stderr.splitlines()
    assert done.returncode == 1 and lines and lines[-1].startswith("ImportError: "), done.stderr
    return lines[-1].removeprefix("ImportError: ")


def supported():
    return [level for level in LEVELS if refusal(level) is None]


# The empty value counts as unset. A level the CPU lacks is checked below.
@pytest.mark.parametrize("value", [*LEVELS, ""], ids=[*LEVELS, "empty"])
def test_level_gives_the_default_outcomes(value):
    if value and value not in supported():
        pytest.skip(refusal(value))
    assert refusal(value) is None
    assert json.loads(run_with(value).stdout) == [outcome(*pair) for pair in PAIRS]


def test_levels_beyond_the_cpu_are_refused():
    # A level needs those below it: the CPU has a leading part of the list.
    levels = supported()
    assert levels and levels == LEVELS[:len(levels)]
    if levels == LEVELS:
        pytest.skip("this CPU has every level")
    for level in LEVELS[len(levels):]:
        assert refusal(level) == BEYOND_THE_CPU.format(value=level, levels=", ".join(levels))


@pytest.mark.parametrize("value", NOT_LEVELS)
def test_value_that_names_no_level_is_refused(value):
    assert refusal(value) == NOT_A_LEVEL.format(value=value, levels=", ".join(LEVELS))


if __name__ == "__main__":
    print(json.dumps([outcome(*pair) for pair in PAIRS]))
