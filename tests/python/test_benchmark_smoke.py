"""The benchmark command's health: its agreement check catches a scorer that
differs from the pure-Python peer, a disagreeing module stops the run before
anything is timed, and a quick run on the real module completes. No timing
is asserted."""

import json
import os
import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BENCHMARKS = ROOT / "benchmarks"
sys.path.insert(0, str(BENCHMARKS))

import peer  # noqa: E402
import run  # noqa: E402

pytestmark = pytest.mark.timeout(600)


def rounded_in_double(text, query):
    """The peer without single-precision rounding."""
    words = peer.split_words(query)
    if not words:
        raise RuntimeError(peer.EMPTY_QUERY_MESSAGE)
    lowered = text.lower()
    return sum(w.lower() in lowered for w in words) / len(words)


def casefolded(text, query):
    """The peer with case folding in place of lowercasing."""
    words = peer.split_words(query)
    if not words:
        raise RuntimeError(peer.EMPTY_QUERY_MESSAGE)
    folded = text.casefold()
    return peer.float32_quotient(sum(w.casefold() in folded for w in words), len(words))


def refuses_nothing(text, query):
    return peer.lexical_score_peer(text, query) if query.strip() else 0.0


CASES = run.agreement_cases([("tiny", "The Cat sat on the mat", "cat dog")])


@pytest.mark.parametrize("scorer", [peer.lexical_score_naive, rounded_in_double, casefolded, refuses_nothing])
def test_agreement_check_reports_a_differing_scorer(scorer):
    assert run.check_agreement(scorer, CASES)["mismatches"]


def test_agreement_check_accepts_the_peer_and_its_rounding():
    summary = run.check_agreement(peer.lexical_score_peer, CASES)
    assert summary["mismatches"] == [] and summary["peer_faults"] == []
    assert summary["float32_rounding_exact"]


def test_run_stops_before_timing_when_the_module_disagrees(tmp_path):
    (tmp_path / "_corvane.py").write_text(
        "def lexical_score(text, query):\n"
        "    words = query.split()\n"
        "    if not words:\n"
        "        raise RuntimeError('invalid input: query cannot be empty')\n"
        "    low = text.lower()\n"
        "    return sum(w.lower() in low for w in words) / len(words)\n"
    )
    env = dict(os.environ, PYTHONPATH=str(tmp_path))
    done = subprocess.run([sys.executable, str(BENCHMARKS / "run.py"), "--quick", "--no-plot"],
                          env=env, capture_output=True, text=True)
    assert done.returncode == 1, done.stderr
    assert "DISAGREE" in done.stderr
    assert "timing" not in done.stderr and done.stdout == ""


def test_quick_run_of_the_module_completes(tmp_path):
    import _corvane

    out = tmp_path / "figures.json"
    done = subprocess.run([sys.executable, str(BENCHMARKS / "run.py"), "--quick", "--no-plot", "--json", str(out)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    figures = json.loads(out.read_text())
    assert figures["agreement"]["mismatches"] == []
    assert figures["module"]["path"] == _corvane.__file__
    assert figures["targets"] and all(t["result"] in ("PASS", "MISS") for t in figures["targets"])
