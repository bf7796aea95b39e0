// How common each byte value is in typical lowercased UTF-8 text.
//
// Contract: `kByteFrequencyRank[b]` orders the 256 byte values from the
// rarest (0) to the most common (255); every rank occurs once. It is a fixed
// heuristic, not a measurement of any particular input: the ASCII ranks come
// from counting the bytes of a large body of lowercased English technical
// prose, and non-ASCII bytes get fixed middle ranks (UTF-8 lead bytes above
// continuation bytes, both common in non-English text), while control
// bytes and the bytes that lowercased well-formed UTF-8 never holds (A-Z,
// 0xC0, 0xC1, 0xF5-0xFF) rank lowest. A search uses it only to pick needle
// bytes worth scanning for.
#pragma once

#include <array>
#include <cstdint>

namespace corvane::scoring {

// clang-format off: sixteen ranks to a row, by the high nibble.
inline constexpr std::array<std::uint8_t, 256> kByteFrequencyRank = {
     85,   0,   1,   2,   3,   4,   5,  64,  66,  77, 247,   6,  65,  72,   7,   8,  // 0x00
      9,  10,  11,  12,  13,  14,  15,  16,  17,  18,  63,  67,  19,  20,  21,  22,  // 0x10
    255,  71, 180,  82,  76,  73,  79,  86, 166, 165, 150,  78, 161, 230, 240, 242,  // 0x20
    239, 183, 231, 178, 182, 179, 168, 169, 170, 167, 184,  93, 174, 160, 175,  69,  // 0x30
     75,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  // 0x40
     38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48, 159,  92, 158,  68, 173,  // 0x50
     94, 251, 234, 243, 244, 254, 233, 235, 237, 250, 176, 164, 245, 238, 248, 249,  // 0x60
    241,  83, 246, 252, 253, 236, 177, 171, 172, 181,  84,  80,  74,  81,  70,  49,  // 0x70
    162, 151, 157, 116, 120, 111, 112, 117, 133, 107,  96, 100, 126, 114,  98, 101,  // 0x80
    118, 106, 103, 142, 163, 113, 140, 108, 130, 143, 110, 109, 153, 147,  95, 144,  // 0x90
    155, 141, 156, 121, 149, 128, 123, 134, 115, 152,  99, 148, 122, 129, 105, 102,  // 0xA0
    136, 132, 125, 124, 135, 127, 145, 146, 139,  97, 131, 119, 154, 138, 137, 104,  // 0xB0
     50,  51, 228, 229, 224, 225, 185, 202, 205, 212, 204, 206, 216, 186, 213, 210,  // 0xC0
    227, 226, 187, 188, 189, 190, 191, 218, 211, 209, 192, 193, 194, 195, 196, 197,  // 0xD0
    222, 220, 232, 207, 219, 223, 221, 214, 215, 217, 200, 201, 203, 198, 199, 208,  // 0xE0
     91,  87,  88,  89,  90,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  // 0xF0
};
// clang-format on

}  // namespace corvane::scoring
