"""Draws the benchmark's figures (the dictionary that run.py writes as JSON)
into one PNG, with matplotlib's Agg backend."""

import math

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.ticker import FuncFormatter, LogLocator, NullFormatter  # noqa: E402


def _size_label(n):
    return f"{n // (1024 * 1024)}M" if n >= 1024 * 1024 else f"{n // 1024}K"


def _plain(value):
    return f"{value:,.0f}" if value >= 1 else f"{value:g}"


def _log_y(ax, unit=""):
    """A logarithmic y axis labelled in plain numbers (10x, 20x, 50x rather
    than 10^1, 2x10^1, 5x10^1); _log_ticks places the labels once the
    limits are final."""
    ax.set_yscale("log")
    ax.yaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{_plain(v)}{unit}"))
    ax.yaxis.set_minor_formatter(NullFormatter())


def _log_ticks(ax):
    """Labels at 1, 2 and 5 of each decade on a short log axis, at each
    decade on a long one."""
    low, high = ax.get_ylim()
    decades = math.log10(high) - math.log10(low)
    ax.yaxis.set_major_locator(LogLocator(base=10, subs=(1.0, 2.0, 5.0) if decades <= 3 else (1.0,)))


def _legend(ax, share=0.3, ncol=2):
    """The legend in the top `share` of the plot, which is kept free of
    data by raising the upper limit of the y axis."""
    low, high = ax.get_ylim()
    if ax.get_yscale() == "log":
        span = math.log10(high) - math.log10(low)
        high = 10 ** (math.log10(low) + span / (1 - share))
    else:
        high = low + (high - low) / (1 - share)
    ax.set_ylim(low, high)
    ax.legend(fontsize=7, loc="upper left", ncol=ncol, framealpha=0.9)


def _bars_with_target(ax, labels, values, target, title, ylabel, higher_is_better=True, log=False,
                      judged=None, target_label=None):
    """Bars against a target line; only the bars whose index is in `judged`
    (all, by default) are coloured by it, the rest are grey."""
    judged = range(len(values)) if judged is None else judged
    colours = [("tab:green" if (v >= target if higher_is_better else v <= target) else "tab:red")
               if i in judged else "tab:gray" for i, v in enumerate(values)]
    ax.bar(range(len(values)), values, color=colours)
    ax.axhline(target, color="black", linestyle="--", linewidth=1, label=target_label or f"target {target}")
    ax.set_xticks(range(len(values)), labels, rotation=30, ha="right", fontsize=8)
    ax.set_title(title, fontsize=10)
    ax.set_ylabel(ylabel)
    if log:
        _log_y(ax)
    for x, v in enumerate(values):
        ax.annotate(f"{v:.1f}", (x, v), ha="center", va="bottom", fontsize=7)
    _legend(ax)


def draw(results, path):
    c = results["cases"]
    fig, axes = plt.subplots(2, 4, figsize=(20, 9))
    fig.suptitle(
        f"_corvane.lexical_score vs pure-Python peer ({results['mode']} run) - {results['machine']['model']}, "
        f"CPython {results['interpreter']['version']}",
        fontsize=12,
    )

    # Speed-up over the peer.
    labels = ["tiny", "ASCII 1M", "Greek 1M", "Cyrillic 1M"]
    values = [c["tiny"]["speedup"], c["ascii"]["speedup"], c["greek"]["speedup"], c["cyrillic"]["speedup"]]
    goals = [10, 20, 5, 5]
    ax = axes[0][0]
    colours = ["tab:green" if v >= g else "tab:red" for v, g in zip(values, goals)]
    ax.bar(range(4), values, color=colours)
    ax.scatter(range(4), goals, marker="_", s=600, color="black", label="target")
    floor = results["cases"]["tiny"]["call_floor_ns"]
    ax.scatter([0], [c["tiny"]["peer_ns"] / floor], marker="x", color="black",
               label="tiny: peer / interpreter call floor")
    ax.set_xticks(range(4), labels, fontsize=8)
    _log_y(ax, "x")
    ax.set_title("speed-up over the peer (peer time / module time)", fontsize=10)
    for x, v in enumerate(values):
        ax.annotate(f"{v:.1f}x", (x, v), ha="center", va="bottom", fontsize=7)
    _legend(ax, ncol=1)

    # Multiple of the machine limit.
    lengths = c["text_length"]["sizes"]
    # The text-length rows are ASCII prose too; "length" tells them from the
    # 1 MiB cases.
    labels = ["ASCII 1M", "Greek 1M", "Cyrillic 1M"] + [f"length {_size_label(s['bytes'])}" for s in lengths]
    values = [c["ascii"]["x_limit"], c["greek"]["x_limit"], c["cyrillic"]["x_limit"]] + [s["x_limit"] for s in lengths]
    _bars_with_target(axes[0][1], labels, values, 2.5, "module time / (memcpy + memchr per word)", "x limit",
                      higher_is_better=False, judged=[0], target_label="target 2.5 (ASCII 1 MiB; grey: none)")

    # Time per byte against text length.
    ax = axes[0][2]
    sizes = [s["bytes"] for s in lengths]
    ax.plot(sizes, [s["module_ns_per_byte"] for s in lengths], "o-", label="module")
    ax.plot(sizes, [s["peer_ns_per_byte"] for s in lengths], "s-", label="peer")
    ax.plot(sizes, [s["limit_ns_per_byte"] for s in lengths], "^--", label="machine limit")
    ax.set_xscale("log", base=2)
    _log_y(ax)
    ax.set_xticks(sizes, [_size_label(n) for n in sizes], fontsize=8)
    L = c["text_length"]
    within = L.get("in_cache_spread", L["per_byte_spread"])
    ax.set_title(f"ns per byte vs text length (spread {within:.2f}x within the last-level cache, "
                 f"{L['per_byte_spread']:.2f}x in all)", fontsize=10)
    cache = L.get("last_level_cache_bytes")
    if cache:
        ax.axvline(cache, color="grey", linestyle=":", linewidth=1, label="last-level cache")
    ax.set_ylabel("ns / byte")
    _legend(ax)

    # Time against query length.
    ax = axes[0][3]
    rows = c["query_length"]["rows"]
    words = [q["words"] for q in rows]
    ax.plot(words, [q["module_ns"] / 1e3 for q in rows], "o-", label="module")
    ax.plot(words, [q["peer_ns"] / 1e3 for q in rows], "s-", label="peer")
    ax.set_xscale("log", base=2)
    _log_y(ax)
    ax.set_xticks(words, [str(w) for w in words], fontsize=8)
    ax.set_title(f"time vs query words ({_size_label(c['query_length']['text_bytes'])} text)", fontsize=10)
    ax.set_ylabel("us per call")
    _legend(ax)

    # Adversarial throughput at n and 2n.
    ax = axes[1][0]
    cases = c["adversarial"]
    width = 0.2
    for i, (key, impl, colour) in enumerate((("n", "module", "tab:blue"), ("2n", "module", "tab:cyan"),
                                             ("n", "peer", "tab:orange"), ("2n", "peer", "tab:brown"))):
        ax.bar([x + (i - 1.5) * width for x in range(len(cases))], [e[key][f"{impl}_gbps"] for e in cases],
               width, color=colour, label=f"{impl} @ {key}")
    ax.axhline(1.0, color="black", linestyle="--", linewidth=1, label="1 GB/s")
    ax.set_xticks(range(len(cases)), [e["name"] for e in cases], rotation=20, ha="right", fontsize=7)
    _log_y(ax)
    ax.set_ylabel("GB/s")
    ax.set_title(f"adversarial needles (n = {_size_label(cases[0]['n']['bytes'])})", fontsize=10)
    _legend(ax, ncol=3)

    # Doubling ratio.
    _bars_with_target(axes[1][1], [e["name"] for e in cases], [e["doubling"] for e in cases], 2.2,
                      "adversarial: module time at 2n / time at n", "ratio", higher_is_better=False)

    # Peak memory.
    ax = axes[1][2]
    if "memory" in c:
        labels, values = [], []
        for e in c["memory"]:
            for impl in ("module", "peer"):
                labels.append(f"{e['kind']} {impl}")
                values.append(e[impl]["x_text"])
        _bars_with_target(ax, labels, values, 2.1, f"peak memory above baseline / text ({c['memory'][0]['mib']} MiB)",
                          "x text size", higher_is_better=False)
        for bar, label in zip(ax.patches, labels):
            if label.endswith("peer"):
                bar.set_color("tab:gray")  # the peer has no target
        ax.axhline(1.1, color="grey", linestyle=":", linewidth=1, label="stretch 1.1")
        ax.legend(fontsize=7, loc="upper left", ncol=2, framealpha=0.9)
    else:
        ax.set_axis_off()
        ax.text(0.5, 0.5, "memory not measured", ha="center")

    # Instructions per tiny call.
    ax = axes[1][3]
    g = c.get("callgrind", {})
    if "module" in g:
        values = [g["module"]["instructions_per_call"], g["peer"]["instructions_per_call"]]
        ax.bar([0, 1], values, color=["tab:blue", "tab:orange"])
        ax.set_xticks([0, 1], ["module", "peer"])
        for x, v in enumerate(values):
            ax.annotate(f"{v:.0f}", (x, v), ha="center", va="bottom", fontsize=8)
        ax.set_title(f"instructions per tiny call (callgrind; {g['ratio']:.1f}x)", fontsize=10)
    else:
        ax.set_axis_off()
        ax.text(0.5, 0.5, "instructions not counted", ha="center")

    for ax in fig.axes:
        if ax.get_yscale() == "log":
            _log_ticks(ax)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)
