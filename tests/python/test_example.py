"""The example program examples/rank.py as a user runs it: its ranking checked
against a line-by-line oracle, and its one-line errors."""

import os
import pathlib
import subprocess
import sys

import pytest

import _corvane

ROOT = pathlib.Path(__file__).resolve().parents[2]
RANK = ROOT / "examples" / "rank.py"
SAMPLE = ROOT / "examples" / "sample.txt"


def run_rank(*args, cwd=ROOT):
    # The environment (PYTHONPATH included) passes on, so the program and its
    # worker processes import the same _corvane as these tests.
    return subprocess.run([sys.executable, str(RANK), *args], cwd=cwd, env=dict(os.environ),
                          capture_output=True, text=True, timeout=120)


# Every way rank.py ranks on this machine: in this process on one thread or
# on several (two, and every CPU), and in a pool of worker processes.
MODES = [[], ["--threads", "2"], ["--threads", "-1"], ["--workers", "2"]]
MODE_IDS = ["in-process", "threads", "all-threads", "workers"]


def oracle(files, names, query, top):
    """The expected output, built the plain way: line by line, one sort."""
    found = []
    for index, path in enumerate(files):
        lines = pathlib.Path(path).read_text(encoding="utf-8").split("\n")
        start = None
        for number, line in enumerate([*lines, ""], start=1):
            if line.strip() and start is None:
                start = number
            elif not line.strip() and start is not None:
                text = "\n".join(lines[start - 1:number - 1])
                score = _corvane.lexical_score(text, query)
                if score > 0:
                    found.append((-score, index, start, " ".join(text.split())[:60].rstrip()))
                start = None
    return "".join(f"{-s:.4f}  {names[i]}:{line}  {shown}\n"
                   for s, i, line, shown in sorted(found)[:top])


@pytest.mark.timeout(60)
@pytest.mark.parametrize("query, top", [
    ("istanbul straße οδος cat", None),
    ("ΟΔΟΣ", None),
    ("İSTANBUL kedi", "3"),
    ("cat the street", "20"),
])
def test_default_run_ranks_the_sample(query, top):
    result = run_rank(query, *(["-n", top] if top else []))
    expected = oracle([SAMPLE], ["examples/sample.txt"], query, int(top or 5))
    assert (result.returncode, result.stderr) == (0, "")
    assert result.stdout == expected
    assert expected.count("\n") >= 2


@pytest.fixture
def awkward_files(tmp_path):
    """Files whose paragraphs are framed in unusual ways, and ties across files."""
    texts = {
        "crlf.txt": "cat and dog\r\n\r\nthe dog\r\n \t\r\nCAT again\r\nsecond line\r\n",
        "edges.txt": "\n\n   \nΟΔΟΣ cat\n\u3000\n  indented cat dog\n\n\n\nlast cat dog",
        "plain.txt": "cat dog\n\ndog\n\ncat dog\n",
        "runs.txt": "\ncat\n\n\ndog cat\n\n\n\ndog\ncat\n\n\n",
        "empty.txt": "",
    }
    for name, text in texts.items():
        (tmp_path / name).write_bytes(text.encode("utf-8"))
    return tmp_path, sorted(texts)


@pytest.mark.timeout(60)
@pytest.mark.parametrize("mode", MODES, ids=MODE_IDS)
def test_ranks_several_files_like_the_oracle(awkward_files, mode):
    directory, names = awkward_files
    result = run_rank("CAT dog", *names, "-n", "50", *mode, cwd=directory)
    assert (result.returncode, result.stderr) == (0, "")
    assert result.stdout == oracle([directory / n for n in names], names, "CAT dog", 50)


@pytest.fixture
def bad_inputs(tmp_path):
    (tmp_path / "bad.txt").write_bytes(b"fine text\n\nbroken \xc3\x28 here\n")
    (tmp_path / "good.txt").write_text("cat\n", encoding="utf-8")
    (tmp_path / "folder").mkdir()
    return tmp_path


@pytest.mark.timeout(60)
@pytest.mark.parametrize("mode", MODES, ids=MODE_IDS)
@pytest.mark.parametrize("args, status, message", [
    (["cat", "good.txt", "missing.txt"], 1, "cannot read 'missing.txt': No such file or directory"),
    (["cat", "folder", "good.txt"], 1, "cannot read 'folder': Is a directory"),
    (["cat", "good.txt", "bad.txt"], 1,
     "cannot read 'bad.txt': not valid UTF-8 (byte 0xc3 at offset 18)"),
    (["", "good.txt"], 2, "invalid input: query cannot be empty"),
    ([" \t\u2003", "good.txt"], 2, "invalid input: query cannot be empty"),
], ids=["missing", "directory", "undecodable", "empty-query", "blank-query"])
def test_errors_are_one_line_and_nothing_else(bad_inputs, mode, args, status, message):
    result = run_rank(*args, *mode, cwd=bad_inputs)
    assert result.stdout == ""
    assert result.stderr == f"rank.py: error: {message}\n"
    assert result.returncode == status


@pytest.mark.timeout(60)
@pytest.mark.parametrize("mode", MODES, ids=MODE_IDS)
def test_no_matching_paragraph_is_said_and_fails(bad_inputs, mode):
    result = run_rank("zeppelin", "good.txt", *mode, cwd=bad_inputs)
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr == "rank.py: no paragraph holds a query word\n"


@pytest.mark.timeout(60)
@pytest.mark.parametrize("args, message", [
    (["--threads", "0"], "argument --threads: must be at least 1, or -1 for every CPU: '0'"),
    (["--threads", "-2"], "argument --threads: must be at least 1, or -1 for every CPU: '-2'"),
    (["--threads", "x"], "argument --threads: not a whole number: 'x'"),
    (["--threads", "2", "--workers", "2"],
     "argument --workers: not allowed with argument --threads"),
    (["--scheduler", "tcp://127.0.0.1:9", "--threads", "2"],
     "argument --threads: not allowed with argument --scheduler"),
], ids=["zero", "below-minus-one", "not-a-number", "with-workers", "with-scheduler"])
def test_bad_thread_counts_are_a_bad_command_line(bad_inputs, args, message):
    result = run_rank("cat", "good.txt", *args, cwd=bad_inputs)
    assert (result.returncode, result.stdout) == (2, "")
    assert result.stderr.startswith("usage: rank.py ")
    assert result.stderr.endswith(f"\nrank.py: error: {message}\n")


def test_scale_benchmark_help_describes_the_run_and_every_option():
    sys.path.insert(0, str(ROOT / "examples"))
    import scale_benchmark

    parser = scale_benchmark.build_parser()
    assert parser.description == scale_benchmark.__doc__
    assert "in a local process pool and on a local Dask cluster." in " ".join(
        parser.format_help().split())
    assert [a.dest for a in parser._actions if not a.help] == []
