"""The benchmark's inputs: deterministic texts and queries.

Every generator is seeded, so two processes (the benchmark and the
subprocesses it starts for memory and instruction counts) build the same
strings. Large texts are repetitions of one block made by `str * k`, which
allocates the result once: no transient copy raises a process's peak memory.
"""

import random

KIB = 1024
MIB = 1024 * 1024

TINY_TEXT = "The Cat sat on the mat"
TINY_QUERY = "cat dog"

# Common English words. None holds an absent query word below as a substring,
# not even across a word boundary (checked when the block is made).
ENGLISH_WORDS = """
the of and to in is was he for it with as his on be at by had are but from or
have an they which one you were her all she there would their we him been has
when who will more no if out so said what up its about than into them can only
other new some could time these two may then do first any my now such like our
over man me even most made after also did many before must through back years
where much your way well down should because each just those people how too
little state good very make world still own see men work long get here between
both life being under never day same another know while last might us great old
year off come since against go came right used take three states himself few
house use during without again place around however home small found thought
went say part once general high upon school every does got united left number
course war until always away something fact though water less public put think
almost hand enough far took head yet government system better set told nothing
night end why called didn't eyes find going look asked later knew point next
program city business give group toward young days let room president side
social present given several order national possible rather second face per
among form important often things looking early white case john become large
big need four within felt along children saw best church ever least power
development light thing seemed family interest want members mind country area
others done turned although open god service certain kind problem began different
door thus help sense means whole matter perhaps itself york times law human line
above name example action company hands local show whether five history gave
today either act feet across taken past quite anything having seen death
experience body word half really field am car words already themselves information
""".split()

# Real words that the English block never holds, made of common letters, so
# that a search cannot skip them by looking for a rare byte.
ENGLISH_ABSENT = ["lantern", "pebble", "orchid", "velvet"]

GREEK_WORDS = """
και το της του η ο να στο με για που τα από την είναι δεν θα σε στην των τον
ένα μια αλλά όταν πολύ όλα εδώ εκεί μετά πριν ήταν έχει λόγος άνθρωπος χρόνος
ημέρα νύχτα θάλασσα ουρανός ήλιος φως πόλη χωριό σπίτι δρόμος οδός γλώσσα λέξη
βιβλίο σχολείο δάσκαλος μαθητής φίλος οικογένεια μητέρα πατέρας παιδιά νερό
ψωμί κρασί λάδι ελιά δέντρο βουνό ποτάμι νησί καράβι λιμάνι αέρας φωτιά γη
ιστορία πολιτεία νόμος δίκη αλήθεια ψυχή σώμα καρδιά μάτια χέρια πόδια κεφαλή
μεγάλος μικρός καλός κακός νέος παλιός ωραίος γρήγορα αργά σήμερα αύριο χθες
""".split()

CYRILLIC_WORDS = """
и в не на я что он с как а то все она так его но да ты к у же вы за бы по
только ее мне было вот от меня еще нет о из ему теперь когда даже ну вдруг ли
если уже или ни быть был него до вас нибудь опять уж вам ведь там потом себя
ничего ей может они тут где есть надо ней для мы тебя их чем была сам чтоб без
будто чего раз тоже себе под будет ж тогда кто этот того потому этого какой
совсем ним здесь этом один почти мой тем чтобы нее сейчас были куда зачем всех
никогда можно при наконец два об другой хоть после над больше тот через эти
город дом улица река лес поле море небо солнце земля вода огонь слово книга
школа учитель друг семья мать отец дети хлеб время жизнь человек работа
""".split()

# Query words for the Greek and Cyrillic blocks: two that the block never
# holds and one that occurs once, in capitals, at the block's very end, so
# the search for it runs through the whole text. The score is 1/3.
GREEK_QUERY = "Ναυπηγείο ΑΡΧΙΠΈΛΑΓΟΣ φιλοσοφία"
GREEK_PLANTED = "ΑΡΧΙΠΈΛΑΓΟΣ"
CYRILLIC_QUERY = "Электростанция ЛЕДОКОЛ космонавт"
CYRILLIC_PLANTED = "ЛЕДОКОЛ"


def _prose(words, utf8_size, seed, tail=""):
    """Sentences of `words` about `utf8_size` UTF-8 bytes long (at most that),
    ending in `tail` and a line end: first words capitalised, one word in
    twelve in capitals, punctuation, paragraphs of a few sentences."""
    rng = random.Random(seed)
    parts = []
    size = 0
    budget = utf8_size - len(tail.encode()) - 2
    while size < budget:
        sentence = [rng.choice(words) for _ in range(rng.randint(5, 16))]
        sentence[0] = sentence[0].capitalize()
        for i in range(1, len(sentence)):
            if rng.random() < 1 / 12:
                sentence[i] = sentence[i].upper()
        if len(sentence) > 6 and rng.random() < 0.5:
            sentence[rng.randrange(1, len(sentence) - 1)] += ","
        piece = " ".join(sentence) + rng.choice([".", ".", ".", "?", "!", ";"])
        piece += "\n\n" if rng.random() < 0.2 else " "
        parts.append(piece)
        size += len(piece.encode())
    block = "".join(parts)
    while len(block.encode()) > budget:
        block = block[: len(block) - max(1, (len(block.encode()) - budget) // 3)]
    block = block.rstrip() + (" " + tail if tail else "") + "\n"
    return block


def _check_absent(block, words):
    lowered = block.lower()
    for word in words:
        assert word.lower() not in lowered, f"{word!r} occurs in the text block"


def ascii_block(size=MIB):
    """English prose of exactly `size` bytes, all ASCII, ending in a line end."""
    block = _prose(ENGLISH_WORDS, size + 64, seed=1)
    block = block[: size - 1] + "\n"
    assert len(block) == size and block.isascii()
    _check_absent(block, ENGLISH_ABSENT)
    return block


def ascii_blocks(count, size=MIB):
    """`count` different blocks like `ascii_block` (other seeds)."""
    blocks = []
    for seed in range(100, 100 + count):
        block = _prose(ENGLISH_WORDS, size + 64, seed=seed)
        block = block[: size - 1] + "\n"
        _check_absent(block, ENGLISH_ABSENT)
        blocks.append(block)
    return blocks


def ascii_text(size, block=None):
    """`size` bytes of English prose: a prefix of the 1 MiB block, or whole
    repetitions of it when `size` is a multiple of 1 MiB."""
    block = block if block is not None else ascii_block()
    if size <= len(block):
        return block[: size - 1] + "\n"
    assert size % len(block) == 0, "large texts are whole repetitions of the block"
    return block * (size // len(block))


ASCII_QUERY = " ".join(ENGLISH_ABSENT)


def greek_block(size=MIB):
    block = _prose(GREEK_WORDS, size, seed=2, tail=GREEK_PLANTED)
    _check_absent(block[: -len(GREEK_PLANTED) - 2], GREEK_QUERY.split())
    return block


def cyrillic_block(size=MIB):
    block = _prose(CYRILLIC_WORDS, size, seed=3, tail=CYRILLIC_PLANTED)
    _check_absent(block[: -len(CYRILLIC_PLANTED) - 2], CYRILLIC_QUERY.split())
    return block


def absent_words(count, block, seed=4):
    """`count` distinct made-up words of common letters, none in `block`."""
    rng = random.Random(seed)
    lowered = block.lower()
    consonants, vowels = "tnshrdlcmpbfgvw", "aeiou"
    found = []
    while len(found) < count:
        length = rng.randint(5, 8)
        word = "".join(rng.choice(vowels if i % 2 else consonants) for i in range(length))
        if word not in lowered and word not in found:
            found.append(word)
    return found


# Adversarial inputs: (name, description, text maker, needle). Each needle is
# one query word that the text never holds, chosen to defeat a naive or a
# byte-frequency-guided search.
def adversarial_cases():
    return [
        ("a^999 b in a^n", lambda n: "a" * n, "a" * 999 + "b"),
        ("(ab)^500 c in (ab)^n", lambda n: "ab" * (n // 2), "ab" * 500 + "c"),
        ("frequent bytes + rare end", _frequent_bytes_text, _frequent_bytes_needle()),
        ("q^999 e in q^n", lambda n: "q" * n, "q" * 999 + "e"),
    ]


# The third case: a text dominated by two bytes and a needle made of them,
# in the text's own pattern, ending in a byte that the text holds only rarely
# (never right after such a run). Every 25th position is a candidate for a
# search that scans for the needle's first or most common bytes, and each
# candidate matches a long stretch before it fails.
_FREQUENT_UNIT = "ee" * 12 + "t"  # 25 bytes


def _frequent_bytes_text(n):
    unit = _FREQUENT_UNIT * 40 + "z"  # a rare byte once per 1001 bytes
    return (unit * (n // len(unit) + 1))[:n]


def _frequent_bytes_needle():
    return _FREQUENT_UNIT * 39 + "ee" * 12 + "z"


# ---------------------------------------------------------------- scripts
FRENCH_WORDS = """
le la les un une des et est à été être avoir fait très où déjà après père mère
élève école éducation été forêt fenêtre garçon français ça leçon noël hôtel côte
théâtre église rivière lumière première dernière voilà là-bas ainsi peut-être
journée matinée soirée pensée idée année société qualité réalité vérité liberté
""".split()

CHINESE_WORDS = """
我们 今天 城市 图书馆 阅读 关于 历史 文化 书籍 港口 渡轮 每天 早上 出发 天气
但是 昨天 下雨 学生 老师 朋友 一起 讨论 问题 经济 发展 科学 技术 网络 数据
系统 研究 报告 北京 上海 东京 中国 世界 时间 生活 工作 国家 政府 社会 人民
""".split()

EMOJI = "🚢 👋 🐦 ☕ 😀 😂 🌞 🌙 🎉 ❤️ 🙏 🔥 👍 🚀 🐈 🐕".split()

SCRIPT_KINDS = ["ascii", "typographic", "french", "greek", "cyrillic", "chinese", "emoji", "mixed"]


def _typographic(text, rng):
    words = text.replace("'", "\u2019").split(" ")
    for i in range(0, len(words) - 1, 9):
        words[i] = "\u201c" + words[i] + "\u201d"
    for i in range(4, len(words), 17):
        words[i] += " \u2014"
    return " ".join(words)


def _chinese(utf8_size, seed):
    rng = random.Random(seed)
    parts, size = [], 0
    while size < utf8_size:
        sentence = "".join(rng.choice(CHINESE_WORDS) for _ in range(rng.randint(4, 12)))
        sentence += rng.choice(["，", "。", "。", "；", "：", "！"])
        parts.append(sentence)
        size += len(sentence.encode())
    return "".join(parts)


def _emoji(utf8_size, seed):
    rng = random.Random(seed)
    words = _prose(ENGLISH_WORDS, utf8_size, seed).split(" ")
    for i in range(3, len(words), 7):
        words[i] += " " + rng.choice(EMOJI)
    return " ".join(words)


def _mixed(utf8_size, seed):
    """English prose quoting Greek words and Chinese terms, as documents do
    that cite another language: one word in six followed by a Greek word,
    one in nine by a Chinese term."""
    rng = random.Random(seed)
    words = _prose(ENGLISH_WORDS, utf8_size, seed).split(" ")
    for i in range(2, len(words), 6):
        words[i] += " " + rng.choice(GREEK_WORDS)
    for i in range(4, len(words), 9):
        words[i] += " " + rng.choice(CHINESE_WORDS)
    return " ".join(words)


def _cut(text, utf8_size):
    data = text.encode()[:utf8_size]
    return data.decode("utf-8", "ignore")


def script_text(kind, utf8_size, seed=7):
    """About `utf8_size` bytes of running text of one kind (at most that)."""
    rng = random.Random(seed)
    room = utf8_size * 2 + 256
    if kind == "ascii":
        text = _prose(ENGLISH_WORDS, room, seed)
    elif kind == "typographic":
        text = _typographic(_prose(ENGLISH_WORDS, room, seed), rng)
    elif kind == "french":
        text = _prose(FRENCH_WORDS + ENGLISH_WORDS[:40], room, seed)
    elif kind == "greek":
        text = _prose(GREEK_WORDS, room, seed)
    elif kind == "cyrillic":
        text = _prose(CYRILLIC_WORDS, room, seed)
    elif kind == "chinese":
        text = _chinese(room, seed)
    elif kind == "mixed":
        text = _mixed(room, seed)
    else:
        text = _emoji(room, seed)
    return _cut(text, utf8_size)


def _is_greek(word):
    return all("\u0370" <= c <= "\u03ff" or "\u1f00" <= c <= "\u1fff" for c in word)


def _is_han(word):
    return all("\u4e00" <= c <= "\u9fff" for c in word)


def script_query(kind, text):
    """Four words: two that occur in `text` (near its middle and its end) and
    two that never do. For mixed text five: an English, a Greek and a
    Chinese word that occur, and an English and a Greek word that never do."""
    if kind == "mixed":
        words = [w for w in text.split() if w.isalpha()]
        english = [w for w in words if w.isascii() and len(w) > 3]
        greek = [w for w in words if _is_greek(w) and len(w) > 3] or english
        han = [w for w in words if _is_han(w)] or english
        present = [english[len(english) // 2], greek[len(greek) // 2], han[-1]]
        return " ".join(present + ["Zyqwarvex", "Ναυπηγείο"])
    if kind == "chinese":
        present = [text[len(text) // 2:len(text) // 2 + 2], text[-6:-4]]
        absent = ["鲸鱼", "潜水艇"]
    else:
        words = [w for w in text.split() if len(w) > 3 and w.isalpha()]
        present = [words[len(words) // 2], words[-2]]
        absent = {"greek": ["Ναυπηγείο", "Ξψφωμυκ"],
                  "cyrillic": ["Электростанция", "Щъюйфыв"]}.get(kind, ["Zyqwarvex", "Quolmbrith"])
    return " ".join(present + absent)


# ---------------------------------------------------------------- batches
_SOURCES = {}


def batch_source(kind, utf8_size):
    """One long text of a kind as UTF-8 bytes, which batch texts are cut from
    (made once per process)."""
    key = (kind, utf8_size)
    if key not in _SOURCES:
        _SOURCES[key] = script_text(kind, utf8_size).encode()
    return _SOURCES[key]


def batch_texts(kind, utf8_size, count, source_bytes):
    """`count` different texts of one kind, each at most `utf8_size` UTF-8
    bytes: windows of a source of `source_bytes` at offsets 997 bytes apart
    (wrapping round), cut at code point boundaries. The offsets are distinct
    while `count` is below the source's length, so no two texts are equal,
    and each is a str of its own, as a corpus read from files holds them."""
    data = batch_source(kind, max(source_bytes, 2 * utf8_size))
    span = len(data) - utf8_size
    if span % 997 == 0:  # 997 is prime: any other span visits every offset
        span -= 1
    assert count <= span, "more texts than distinct offsets"
    return [data[at:at + utf8_size].decode("utf-8", "ignore")
            for at in (k * 997 % span for k in range(count))]


def batch_query(kind, source_bytes):
    """The query for a batch of a kind: `script_query` of the first 4 KiB of
    its source, so its present words occur in some of the texts, not all."""
    return script_query(kind, batch_source(kind, source_bytes)[:4 * KIB].decode("utf-8", "ignore"))
