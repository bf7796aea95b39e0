"""What the Python tests share: the white-space code points, the lowercase
mappings this interpreter lacks, and a plain Python model of the score."""

import re
import struct

# The 25 White_Space code points.
WHITE_SPACE = (*map(chr, range(0x09, 0x0E)), " ", "\x85", "\xa0", "\u1680",
               *map(chr, range(0x2000, 0x200B)), "\u2028", "\u2029", "\u202f",
               "\u205f", "\u3000")
assert len(WHITE_SPACE) == 25
ALL_SPACES = "".join(WHITE_SPACE)
_SEPARATORS = re.compile(f"[{re.escape(ALL_SPACES)}]+")

# The interpreter's unicodedata is Unicode 16.0; these are the lowercase
# mappings that Unicode 17.0 adds.
UNICODE_17_LOWERCASE = {0xA7CE: 0xA7CF, 0xA7D2: 0xA7D3, 0xA7D4: 0xA7D5,
                        **{cp: cp + 0x1B for cp in range(0x16EA0, 0x16EB9)}}
assert len(UNICODE_17_LOWERCASE) == 28

EMPTY_QUERY = "invalid input: query cannot be empty"

_F32 = struct.Struct("f")


def words_of(query):
    return [word for word in _SEPARATORS.split(query) if word]


def lowered(text):
    # str.lower() is the full default lowercase conversion, Final_Sigma
    # included, without locale tailoring.
    return text.lower().translate(UNICODE_17_LOWERCASE)


def float32(value):
    return _F32.unpack(_F32.pack(value))[0]


def float32_quotient(hits, count):
    """hits / count as the module divides them: each made single precision,
    then divided in single precision. Two single-precision values divide
    in double precision and round once more to the same quotient (53 bits
    are at least 2 * 24 + 2)."""
    return float32(float32(hits) / float32(count))


def reference_score(text, query):
    """The score, or None for a query that holds no word."""
    words = words_of(query)
    if not words:
        return None
    haystack = lowered(text)
    hits = sum(lowered(word) in haystack for word in words)
    return float32_quotient(hits, len(words))
