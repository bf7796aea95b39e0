#!/usr/bin/env python3.14
"""Writes a corpus of multilingual text files for ranking and benchmarks.

    python3.14 examples/make_corpus.py DIR --files F --paragraphs-per-file P
                                       --seed S [--size-mib M]

Writes DIR/corpus-00000.txt ... one file per index: paragraphs of made-up
sentences in English, Greek, Turkish, German, French and Russian, separated
by blank lines and wrapped at 72 columns. Some words are written in capitals
(ΟΔΟΣ, İSTANBUL, STRAẞE), so case folding matters when ranking them.

With --size-mib M each file gets paragraphs until it holds its share of M MiB
(M * 2**20 / F bytes, rounded up to a whole paragraph) instead of P paragraphs.

The output depends only on the arguments: each file draws from its own
generator seeded with the seed and the file's index, so the same arguments
give byte-identical files.
"""

from __future__ import annotations

import argparse
import os
import random
import sys

VOCABULARY: dict[str, tuple[str, ...]] = {
    "english": (
        "the", "a", "cat", "river", "harbour", "street", "city", "morning",
        "bread", "ferry", "lantern", "garden", "window", "market", "quiet",
        "old", "small", "bright", "walks", "sleeps", "waits", "carries",
        "along", "under", "across", "near", "evening", "rain", "stone",
        "bridge", "Istanbul", "Athens", "Berlin", "road", "map", "letter",
        "train", "station", "light", "shadow", "baker", "fisherman",
    ),
    "greek": (
        "ο", "η", "το", "δρόμος", "οδός", "ΟΔΟΣ", "ήλιος", "καιρός", "θάλασσα",
        "πόλις", "σταθμός", "ουρανός", "ποταμός", "κήπος", "γάτα", "ψωμί",
        "λιμάνι", "Αθήνα", "ΑΘΗΝΑΣ", "ΕΡΜΟΥ", "πρωί", "βράδυ", "μικρός",
        "παλιός", "φως", "σκιά", "περνάει", "κοιμάται", "περιμένει", "στις",
        "της", "τους", "νέος", "καλός", "ΣΟΦΟΣ", "λόγος", "χρόνος",
    ),
    "turkish": (
        "İstanbul", "İSTANBUL", "İzmir", "İZMİR", "ılık", "ışık", "kedi",
        "sokak", "deniz", "vapur", "köprü", "simit", "sabah", "akşam",
        "küçük", "büyük", "eski", "yeni", "rüzgâr", "martı", "ıslık", "iskele",
        "bahçe", "ev", "yol", "ve", "bir", "çok", "güneş", "yağmur", "şehir",
        "ĞÜZEL", "IŞIK", "liman", "ekmek", "tren",
    ),
    "german": (
        "die", "der", "das", "Straße", "STRAẞE", "Fuß", "groß", "Größe",
        "weiß", "heiß", "Katze", "Bäckerei", "Brot", "Bahnhof", "Kreuzung",
        "Gasse", "Brunnen", "Haus", "Ecke", "Fenster", "Morgen", "Abend",
        "Regen", "Brücke", "Fluss", "Hafen", "klein", "alt", "leise", "geht",
        "schläft", "wartet", "über", "unter", "neben", "Stadt", "Licht",
    ),
    "french": (
        "le", "la", "les", "rue", "chat", "rivière", "pont", "gare", "été",
        "hiver", "fenêtre", "marché", "boulangerie", "pain", "soleil", "pluie",
        "vieux", "petit", "grand", "lumière", "ombre", "attend", "dort",
        "traverse", "près", "sous", "ÉCOLE", "CAFÉ", "matin", "soir", "ville",
    ),
    "russian": (
        "улица", "кошка", "река", "мост", "вокзал", "хлеб", "утро", "вечер",
        "дождь", "солнце", "город", "старый", "маленький", "свет", "тень",
        "ждёт", "спит", "идёт", "через", "под", "рядом", "ГОРОД", "МОСКВА",
        "окно", "рынок", "сад", "пекарня", "гавань", "паром",
    ),
}
LANGUAGES = tuple(VOCABULARY)
WIDTH = 72
MIB = 1 << 20


def sentence(rng: random.Random, words: tuple[str, ...]) -> str:
    chosen = rng.choices(words, k=rng.randint(5, 14))
    first = chosen[0]
    chosen[0] = first[:1].upper() + first[1:]
    return " ".join(chosen) + rng.choice((".", ".", ".", "!", "?", ";"))


def wrap(text: str) -> str:
    """Breaks text into lines of at most WIDTH characters at spaces (a longer
    word stands alone)."""
    lines: list[str] = []
    current = ""
    for word in text.split(" "):
        if current and len(current) + 1 + len(word) > WIDTH:
            lines.append(current)
            current = word
        else:
            current = f"{current} {word}" if current else word
    lines.append(current)
    return "\n".join(lines)


def paragraph(rng: random.Random) -> str:
    language = rng.choice(LANGUAGES)
    words = VOCABULARY[language]
    if rng.random() < 0.15:
        # Now and then a paragraph mixes in words of a second language.
        words = words + VOCABULARY[rng.choice(LANGUAGES)]
    return wrap(" ".join(sentence(rng, words) for _ in range(rng.randint(1, 5))))


def file_text(seed: int, index: int, paragraphs: int, target_bytes: int | None) -> bytes:
    rng = random.Random(f"corvane-corpus:{seed}:{index}")
    parts: list[bytes] = []
    size = 0
    while (len(parts) < paragraphs) if target_bytes is None else (size < target_bytes):
        encoded = (paragraph(rng) + "\n\n").encode("utf-8")
        parts.append(encoded)
        size += len(encoded)
    return b"".join(parts)


def file_name(index: int) -> str:
    return f"corpus-{index:05d}.txt"


def write_corpus(directory: str, files: int, paragraphs: int, seed: int,
                 size_mib: float | None = None) -> list[str]:
    """Writes the corpus and returns the paths of its files, in index order."""
    os.makedirs(directory, exist_ok=True)
    target = None if size_mib is None else -(-int(size_mib * MIB) // files)
    paths = []
    for index in range(files):
        path = os.path.join(directory, file_name(index))
        with open(path, "wb") as stream:
            stream.write(file_text(seed, index, paragraphs, target))
        paths.append(path)
    return paths


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(prog="make_corpus.py", description=__doc__.splitlines()[0])
    parser.add_argument("directory", metavar="DIR")
    parser.add_argument("--files", type=int, required=True, metavar="F")
    parser.add_argument("--paragraphs-per-file", type=int, default=100, metavar="P")
    parser.add_argument("--seed", type=int, required=True, metavar="S")
    parser.add_argument("--size-mib", type=float, metavar="M",
                        help="total size to reach instead of P paragraphs per file")
    arguments = parser.parse_args(argv)
    if arguments.files < 1 or arguments.paragraphs_per_file < 0:
        parser.error("--files must be at least 1 and --paragraphs-per-file not negative")
    if arguments.size_mib is not None and not arguments.size_mib > 0:
        parser.error("--size-mib must be more than 0")
    try:
        paths = write_corpus(arguments.directory, arguments.files,
                             arguments.paragraphs_per_file, arguments.seed,
                             arguments.size_mib)
    except OSError as error:
        print(f"make_corpus.py: error: {error}", file=sys.stderr)
        return 1
    total = sum(os.path.getsize(path) for path in paths)
    print(f"wrote {len(paths)} files, {total / MIB:.1f} MiB, to {arguments.directory}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
