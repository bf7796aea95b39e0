"""Ranking spread over processes: _corvane.lexical_score travelling by pickle,
a local process pool and a Dask cluster giving exactly the in-process ranking,
and failures (a dying worker, an unreachable scheduler) never passing off a
partial ranking as complete."""

import contextlib
import os
import pathlib
import pickle
import subprocess
import sys
import time
from concurrent.futures import ProcessPoolExecutor

import pytest

import _corvane

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "examples"))
import make_corpus  # noqa: E402
import paragraph_ranking as ranking  # noqa: E402

QUERY = "İSTANBUL straße ΟΔΟΣ cat ville улица"


def run_rank(*args):
    return subprocess.run([sys.executable, str(ROOT / "examples" / "rank.py"), *args],
                          env=dict(os.environ), capture_output=True, text=True, timeout=120)


@pytest.fixture(scope="module")
def corpus(tmp_path_factory):
    """Eight files, 2,400 paragraphs, with many equal scores across files."""
    return make_corpus.write_corpus(str(tmp_path_factory.mktemp("corpus")),
                                    files=8, paragraphs=300, seed=11)


@pytest.fixture(scope="module")
def cluster_address():
    """A two-worker Dask cluster on loopback, shut down whatever happens."""
    from distributed import LocalCluster
    cluster = LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                           dashboard_address=None, host="127.0.0.1")
    try:
        yield cluster.scheduler_address
    finally:
        cluster.close()


@pytest.fixture(scope="module")
def in_process_ranking(corpus):
    return ranking.rank_files(corpus, QUERY, 60, ranking.submit_in_process)


CASES = [("Straße hinter dem ΟΔΟΣ", "straße οδος"), ("İSTANBUL", "i̇stanbul"),
         ("nothing here", "cat dog"), ("", "x")]


@pytest.mark.timeout(60)
def test_lexical_score_pickles_by_reference_and_runs_in_a_pool():
    restored = pickle.loads(pickle.dumps(_corvane.lexical_score))
    assert restored is _corvane.lexical_score
    with ProcessPoolExecutor(max_workers=2) as pool:
        futures = [pool.submit(restored, text, query) for text, query in CASES]
        assert [f.result() for f in futures] == [_corvane.lexical_score(*c) for c in CASES]
        with pytest.raises(RuntimeError, match="^invalid input: query cannot be empty$"):
            pool.submit(restored, "text", " ").result()


@pytest.mark.parametrize("partitions", [2, 3, 7, 100])
def test_partitioning_leaves_the_ranking_unchanged(corpus, in_process_ranking, partitions):
    # The ranking must hold ties across files for their order to be tested.
    scores = [r.score for r in in_process_ranking]
    assert len(scores) == 60 and len(set(scores)) < 10
    assert len({r.file_index for r in in_process_ranking if r.score == scores[0]}) > 2
    assert ranking.rank_files(corpus, QUERY, 60, ranking.submit_in_process,
                              partitions) == in_process_ranking


@pytest.mark.timeout(180)
@pytest.mark.parametrize("where", ["threads", "workers", "scheduler"])
def test_scaled_out_output_is_the_in_process_output(corpus, cluster_address, where):
    expected = run_rank(QUERY, *corpus, "-n", "60")
    assert expected.returncode == 0 and expected.stdout.count("\n") == 60
    option = {"threads": ["--threads", "2"], "workers": ["--workers", "2"],
              "scheduler": ["--scheduler", cluster_address]}[where]
    result = run_rank(QUERY, *corpus, "-n", "60", *option)
    assert (result.returncode, result.stderr) == (0, "")
    assert result.stdout == expected.stdout


def die_first_time(marker, fn, *args):
    """Ends its worker process abruptly unless the marker file exists."""
    try:
        os.close(os.open(marker, os.O_CREAT | os.O_EXCL | os.O_WRONLY))
    except FileExistsError:
        return fn(*args)
    os._exit(1)


@pytest.mark.timeout(180)
@pytest.mark.parametrize("where", ["pool", "cluster"])
def test_a_dying_worker_never_yields_a_partial_ranking(corpus, in_process_ranking,
                                                       cluster_address, tmp_path, where):
    marker = str(tmp_path / "died")
    with contextlib.ExitStack() as stack:
        if where == "pool":
            inner = stack.enter_context(ProcessPoolExecutor(max_workers=2)).submit
        else:
            from distributed import Client
            # The cluster's processes share this process's path, so they
            # import the ranking code and this module by name.
            client = stack.enter_context(Client(cluster_address, set_as_default=False))
            inner = ranking.cluster_submit(client, upload=False)

        def submit(fn, *args):
            return inner(die_first_time, marker, fn, *args)

        try:
            got = ranking.rank_files(corpus, QUERY, 60, submit, partitions=8)
        except ranking.RankingError as error:
            assert str(error).startswith("a ranking task failed: a worker process died")
            assert "\n" not in str(error)
        else:
            assert got == in_process_ranking
    assert os.path.exists(marker)


@pytest.mark.timeout(60)
@pytest.mark.parametrize("address, message", [
    ("tcp://127.0.0.1:9", "cannot reach the scheduler at tcp://127.0.0.1:9: "),
    ("tcp://", "bad scheduler address 'tcp://': "),
])
def test_unreachable_scheduler_is_one_line_in_bounded_time(corpus, address, message):
    started = time.monotonic()
    result = run_rank(QUERY, *corpus, "--scheduler", address, "--connect-timeout", "2")
    assert time.monotonic() - started < 15
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr.startswith(f"rank.py: error: {message}")
    assert result.stderr.count("\n") == 1
