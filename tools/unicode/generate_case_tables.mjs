// Writes src/scoring/unicode/case_tables_data.cc: the lowercase mappings and the
// Cased / Case_Ignorable properties as two-stage tables indexed by code
// point, plus the table that lowercases two-byte UTF-8 sequences directly.
//
//   node tools/unicode/generate_case_tables.mjs [OUTPUT]
//
// OUTPUT defaults to src/scoring/unicode/case_tables_data.cc. The run stops with a
// non-zero exit and a message whenever the data breaks an assumption that
// the C++ side relies on (see the checks below).

import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { load, packageName, packageVersion, toolDir, unicodeVersion } from './unicode_package.mjs';

const CODE_POINTS = 0x110000;
const BLOCK_SHIFT = 8;
const BLOCK_SIZE = 1 << BLOCK_SHIFT;
const BLOCK_COUNT = CODE_POINTS >> BLOCK_SHIFT;
// Two bits per code point in the property table: Cased, Case_Ignorable.
const CASED = 1;
const CASE_IGNORABLE = 2;
const PROPERTIES_PER_BYTE = 4;

function fail(message) {
  process.stderr.write(`generate_case_tables: ${message}\n`);
  process.exit(1);
}

const hex = (cp) => `U+${cp.toString(16).toUpperCase().padStart(4, '0')}`;
const utf8Length = (cp) => (cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4);

// ---- Read the data -------------------------------------------------------

const simpleLower = await load('Simple_Case_Mapping/Lowercase/code-points.mjs');
const specialLower = await load('Special_Casing/Lowercase/code-points.mjs');
const finalSigma = await load('Special_Casing/Lowercase--Final_Sigma/code-points.mjs');
const cased = await load('Binary_Property/Cased/code-points.mjs');
const caseIgnorable = await load('Binary_Property/Case_Ignorable/code-points.mjs');
const whiteSpace = await load('Binary_Property/White_Space/code-points.mjs');

// ---- Check the assumptions -----------------------------------------------

// The white-space table of the scoring core is written out by hand; the data
// must agree with it exactly.
const expectedWhiteSpace = [
  0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x20, 0x85, 0xa0, 0x1680,
  0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200a,
  0x2028, 0x2029, 0x202f, 0x205f, 0x3000,
];
{
  const got = [...whiteSpace].sort((a, b) => a - b);
  if (got.length !== expectedWhiteSpace.length ||
      got.some((cp, i) => cp !== expectedWhiteSpace[i])) {
    fail(`White_Space is not the expected 25 code points; got ${got.length}:` +
      ` ${got.map(hex).join(' ')}`);
  }
}

// U+0130 is the one unconditional mapping to more than one code point; every
// other unconditional special mapping must agree with the simple one.
for (const [cp, mapped] of specialLower) {
  if (mapped.length > 1) {
    if (cp !== 0x130 || mapped.length !== 2 || mapped[0] !== 0x69 || mapped[1] !== 0x307) {
      fail('unexpected multi-code-point lowercase mapping' +
        ` ${hex(cp)} -> ${mapped.map(hex).join(' ')}`);
    }
  } else if (mapped.length !== 1 || mapped[0] !== (simpleLower.get(cp) ?? cp)) {
    fail(`special lowercase mapping of ${hex(cp)} differs from its simple mapping`);
  }
}
if (specialLower.get(0x130)?.length !== 2) fail('U+0130 -> U+0069 U+0307 is missing');

// U+03A3 is the only context-dependent lowercase mapping, to U+03C2 at the
// end of a word and to its simple mapping U+03C3 elsewhere.
const finalSigmaTarget = finalSigma.get(0x3a3);
if (finalSigma.size !== 1 || finalSigmaTarget?.length !== 1 || finalSigmaTarget[0] !== 0x3c2) {
  fail('Final_Sigma is not exactly U+03A3 -> U+03C2');
}
if (simpleLower.get(0x3a3) !== 0x3c3) fail('U+03A3 does not map to U+03C3');

// Lowercase is stored as a 16-bit delta added within the code point's plane.
let mappingCount = 0;
const lengthening = [];
for (const [cp, lower] of simpleLower) {
  if (lower === cp) continue;
  ++mappingCount;
  if (cp >> 16 !== lower >> 16) fail(`${hex(cp)} -> ${hex(lower)} leaves its plane`);
  if (utf8Length(lower) > utf8Length(cp)) lengthening.push(cp);
}
// The converter bounds the output at 3/2 of the input: only two-byte
// sequences may become three bytes.
for (const cp of lengthening) {
  if (utf8Length(cp) !== 2 || utf8Length(simpleLower.get(cp)) !== 3) {
    fail(`${hex(cp)} -> ${hex(simpleLower.get(cp))} lengthens by more than two bytes to three`);
  }
}

// ---- Build the tables -----------------------------------------------------

const lowerDelta = new Uint16Array(CODE_POINTS);
for (const [cp, lower] of simpleLower) lowerDelta[cp] = (lower - cp) & 0xffff;

const properties = new Uint8Array(CODE_POINTS);
for (const cp of cased) properties[cp] |= CASED;
for (const cp of caseIgnorable) properties[cp] |= CASE_IGNORABLE;

// Splits `values` into blocks of `size` entries, keeps each distinct block
// once (in order of first use) and gives the index of every block.
function twoStage(values, size) {
  const index = new Uint8Array(values.length / size);
  const blocks = [];
  const firstUse = [];
  const seen = new Map();
  for (let b = 0; b < index.length; ++b) {
    const block = values.subarray(b * size, (b + 1) * size);
    const key = block.join(',');
    let id = seen.get(key);
    if (id === undefined) {
      id = blocks.length;
      if (id > 255) fail('more than 256 distinct blocks; the block index no longer fits a byte');
      seen.set(key, id);
      blocks.push(Array.from(block));
      firstUse.push(b);
    }
    index[b] = id;
  }
  return { index, blocks, firstUse };
}

const lowerTables = twoStage(lowerDelta, BLOCK_SIZE);

const packedProperties = new Uint8Array(CODE_POINTS / PROPERTIES_PER_BYTE);
for (let cp = 0; cp < CODE_POINTS; ++cp) {
  packedProperties[cp >> 2] |= properties[cp] << ((cp & 3) * 2);
}
const propertyTables = twoStage(packedProperties, BLOCK_SIZE / PROPERTIES_PER_BYTE);

// Two-byte sequences (U+0080..U+07FF), indexed by the code point: the UTF-8
// bytes of the lowercase form when it is again one two-byte code point;
// zero for U+0130 and U+03A3, and for any mapping of another length.
const twoByte = new Uint8Array(0x800 * 2);
for (let cp = 0x80; cp < 0x800; ++cp) {
  const lower = simpleLower.get(cp) ?? cp;
  if (cp === 0x130 || cp === 0x3a3 || utf8Length(lower) !== 2) continue;
  twoByte[cp * 2] = 0xc0 | (lower >> 6);
  twoByte[cp * 2 + 1] = 0x80 | (lower & 0x3f);
}

// For each lead byte 0xC0..0xDF, the smallest range of continuation bytes
// that holds every two-byte sequence that the table above changes or marks;
// an empty range is 0xFF..0x00. The vector path copies sequences outside it.
const dirtyLow = new Uint8Array(32).fill(0xff);
const dirtyHigh = new Uint8Array(32);
for (let cp = 0x80; cp < 0x800; ++cp) {
  const lead = 0xc0 | (cp >> 6);
  const cont = 0x80 | (cp & 0x3f);
  if (twoByte[cp * 2] === lead && twoByte[cp * 2 + 1] === cont) continue;
  dirtyLow[lead & 0x1f] = Math.min(dirtyLow[lead & 0x1f], cont);
  dirtyHigh[lead & 0x1f] = Math.max(dirtyHigh[lead & 0x1f], cont);
}

// For each lead byte 0xE0..0xFF of a three- or four-byte sequence, the
// smallest range of second bytes that holds every sequence whose lowercase
// form differs; an empty range is 0xFF..0x00. The vector path copies
// sequences outside it and looks up the ones inside.
const longDirtyLow = new Uint8Array(32).fill(0xff);
const longDirtyHigh = new Uint8Array(32);
const longDirtyThirdLow = new Uint8Array(32).fill(0xff);
const longDirtyThirdHigh = new Uint8Array(32);
for (let cp = 0x800; cp < CODE_POINTS; ++cp) {
  if (cp >= 0xd800 && cp <= 0xdfff) continue;
  if ((simpleLower.get(cp) ?? cp) === cp) continue;
  const lead = cp < 0x10000 ? 0xe0 | (cp >> 12) : 0xf0 | (cp >> 18);
  const second = cp < 0x10000 ? 0x80 | ((cp >> 6) & 0x3f) : 0x80 | ((cp >> 12) & 0x3f);
  longDirtyLow[lead & 0x1f] = Math.min(longDirtyLow[lead & 0x1f], second);
  longDirtyHigh[lead & 0x1f] = Math.max(longDirtyHigh[lead & 0x1f], second);
  const third = cp < 0x10000 ? 0x80 | (cp & 0x3f) : 0x80 | ((cp >> 6) & 0x3f);
  longDirtyThirdLow[lead & 0x1f] = Math.min(longDirtyThirdLow[lead & 0x1f], third);
  longDirtyThirdHigh[lead & 0x1f] = Math.max(longDirtyThirdHigh[lead & 0x1f], third);
}

const casedCount = cased.length;
const caseIgnorableCount = caseIgnorable.length;
const lowerBytes = lowerTables.index.length + lowerTables.blocks.length * BLOCK_SIZE * 2;
const propertyBlockBytes = BLOCK_SIZE / PROPERTIES_PER_BYTE;
const propertyBytes = propertyTables.index.length + propertyTables.blocks.length * propertyBlockBytes;
const twoByteBytes = twoByte.length + dirtyLow.length + dirtyHigh.length;
const longBytes =
  longDirtyLow.length + longDirtyHigh.length + longDirtyThirdLow.length + longDirtyThirdHigh.length;

// ---- Write the C++ --------------------------------------------------------

const WIDTH = 100;
const INDENT = '    ';

// Lays out numbers in columns of equal width, as many per line as fit.
function columns(values, format) {
  const cells = values.map((v) => `${format(v)},`);
  const cellWidth = Math.max(...cells.map((c) => c.length));
  const perLine = Math.max(1, Math.floor((WIDTH - INDENT.length + 1) / (cellWidth + 1)));
  const lines = [];
  for (let i = 0; i < cells.length; i += perLine) {
    lines.push(INDENT + cells.slice(i, i + perLine).map((c) => c.padStart(cellWidth)).join(' '));
  }
  return lines;
}

const decimal = (v) => String(v);
const hex2 = (v) => `0x${v.toString(16).toUpperCase().padStart(2, '0')}`;
const hex4 = (v) => `0x${v.toString(16).toUpperCase().padStart(4, '0')}`;
const range = (block, size) => `${hex(block * size)}..${hex(block * size + size - 1)}`;

const out = [];
out.push('// generated by tools/unicode/generate_case_tables.mjs; do not edit');
out.push('// regenerate: tools/toolchain tools/unicode/generate');
out.push(`// Unicode ${unicodeVersion} (npm ${packageName} ${packageVersion})`);
out.push(`// simple lowercase mappings: ${mappingCount}; Cased: ${casedCount};` +
  ` Case_Ignorable: ${caseIgnorableCount}`);
out.push(`// table bytes: ${lowerBytes + propertyBytes + twoByteBytes + longBytes}` +
  ` (lowercase ${lowerBytes}, properties ${propertyBytes}, two-byte lowercase ${twoByteBytes},` +
  ` longer sequences ${longBytes})`);
out.push('');
out.push('#include "scoring/unicode/case_tables.h"');
out.push('');
out.push('namespace corvane::scoring::case_data {');
out.push('');
out.push(`const std::uint8_t kLowercaseBlockIndex[${lowerTables.index.length}] = {`);
out.push(...columns(Array.from(lowerTables.index), decimal));
out.push('};');
out.push('');
out.push(`const std::uint16_t kLowercaseBlocks[${lowerTables.blocks.length}][${BLOCK_SIZE}] = {`);
lowerTables.blocks.forEach((block, id) => {
  out.push(`  // ${id}: first used for ${range(lowerTables.firstUse[id], BLOCK_SIZE)}`);
  out.push('  {');
  out.push(...columns(block, hex4));
  out.push('  },');
});
out.push('};');
out.push('');
out.push(`const std::uint8_t kPropertyBlockIndex[${propertyTables.index.length}] = {`);
out.push(...columns(Array.from(propertyTables.index), decimal));
out.push('};');
out.push('');
out.push(`const std::uint8_t kPropertyBlocks[${propertyTables.blocks.length}][${propertyBlockBytes}] = {`);
propertyTables.blocks.forEach((block, id) => {
  out.push(`  // ${id}: first used for ${range(propertyTables.firstUse[id], BLOCK_SIZE)}`);
  out.push('  {');
  out.push(...columns(block, hex2));
  out.push('  },');
});
out.push('};');
out.push('');
out.push('const unsigned char kTwoByteLowercase[0x800][2] = {');
for (let cp = 0; cp < 0x800; cp += 0x40) {
  out.push(`  // ${hex(cp)}..${hex(cp + 0x3f)}`);
  const pairs = [];
  for (let c = cp; c < cp + 0x40; ++c) {
    pairs.push(`{${hex2(twoByte[c * 2])}, ${hex2(twoByte[c * 2 + 1])}}`);
  }
  out.push(...columns(pairs, (p) => p));
}
out.push('};');
out.push('');
out.push('const unsigned char kTwoByteDirtyLow[32] = {');
out.push(...columns(Array.from(dirtyLow), hex2));
out.push('};');
out.push('');
out.push('const unsigned char kTwoByteDirtyHigh[32] = {');
out.push(...columns(Array.from(dirtyHigh), hex2));
out.push('};');
out.push('');
out.push('const unsigned char kLongDirtyLow[32] = {');
out.push(...columns(Array.from(longDirtyLow), hex2));
out.push('};');
out.push('');
out.push('const unsigned char kLongDirtyHigh[32] = {');
out.push(...columns(Array.from(longDirtyHigh), hex2));
out.push('};');
out.push('');
out.push('const unsigned char kLongDirtyThirdLow[32] = {');
out.push(...columns(Array.from(longDirtyThirdLow), hex2));
out.push('};');
out.push('');
out.push('const unsigned char kLongDirtyThirdHigh[32] = {');
out.push(...columns(Array.from(longDirtyThirdHigh), hex2));
out.push('};');
out.push('');
out.push('}  // namespace corvane::scoring::case_data');
out.push('');

const outputPath =
  process.argv[2] ?? join(toolDir, '..', '..', 'src', 'scoring', 'unicode', 'case_tables_data.cc');
writeFileSync(outputPath, out.join('\n'));
