"""The benchmark command's health: its agreement checks catch a scorer or a
batch API that differs from the pure-Python peer, a disagreeing module stops
the run before anything is timed, and a quick run on the real module
completes, its batch tables printed with a positive figure in every cell. No
speed is asserted."""

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


class OffOnTwoThreads:
    """The batch API with score_many wrong on two threads (each text scored
    with the next one's query word count)."""

    @staticmethod
    def lexical_score(text, query):
        return peer.lexical_score_peer(text, query)

    class Query:
        def __init__(self, query):
            self.query = query

        def score_many(self, texts, *, workers=1):
            scores = [peer.lexical_score_peer(text, self.query) for text in texts]
            return scores if workers == 1 else scores[1:] + scores[:1]

    @staticmethod
    def extract(query, texts, *, limit, workers):
        return run._expected_extract(texts, [peer.lexical_score_peer(t, query) for t in texts], limit)


def test_batch_check_reports_a_differing_batch_api():
    config = {"batch_texts": 40, "batch_source": 8 * 1024, "batch_large": (2, 4096)}
    summary = run.check_batch(OffOnTwoThreads, config, aho=None)
    assert summary["mismatches"]
    assert {m["method"] for m in summary["mismatches"]} == {"score_many workers=2"}


@pytest.fixture(scope="module")
def quick_run(tmp_path_factory):
    out = tmp_path_factory.mktemp("quick") / "figures.json"
    done = subprocess.run([sys.executable, str(BENCHMARKS / "run.py"), "--quick", "--no-plot", "--json", str(out)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout, json.loads(out.read_text())


def test_quick_run_of_the_module_completes(quick_run):
    import _corvane

    _, figures = quick_run
    assert figures["agreement"]["mismatches"] == []
    assert figures["module"]["path"] == _corvane.__file__
    assert figures["targets"] and all(t["result"] in ("PASS", "MISS") for t in figures["targets"])


def positive(value):
    return isinstance(value, (int, float)) and 0 < value < float("inf")


def test_quick_run_has_the_batch_tables(quick_run):
    printed, figures = quick_run
    batch = figures["cases"]["batch"]
    assert figures["agreement"]["batch"]["mismatches"] == []
    assert {(c["kind"], c["bytes"]) for c in batch["cells"]} == {
        (kind, size) for kind in run.inputs.SCRIPT_KINDS for size in run.BATCH_SIZES}
    timed = ["peer", "loop", "many1", "many2", "extract", "pool"]
    timed += ["aho"] if batch["ahocorasick"]["installed"] else []
    for cell in batch["cells"]:
        assert sorted(cell["ns_per_text"]) == sorted(timed)
        assert all(positive(ns) for ns in cell["ns_per_text"].values()), cell
        assert all(positive(cell[key]) for key, *_ in run.BATCH_RATIOS if key in cell), cell
    large = batch["large"]
    assert all(positive(large[key]["ns_per_text"]) and positive(large[key]["gbps"])
               for key in ("loop", "many1", "many2"))
    assert [m["workers"] for m in batch["memory"]] == [1, run.BATCH_WORKERS]
    assert all(m["added_kib"] >= 0 and positive(m["result_list_bytes"]) for m in batch["memory"])
    assert sum(t["case"].startswith("batch") for t in figures["targets"]) == 12
    for size in ("64 B", "1 KiB"):
        assert f"Batch of {batch['texts']} texts of {size} of each kind" in printed
    assert "Batch ratios" in printed and "Batch memory" in printed
    if not batch["ahocorasick"]["installed"]:
        assert "not installed" in printed
