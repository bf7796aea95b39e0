// Writes the expected full lowercase form and case properties of every code
// point taken alone, for the exhaustive test of the C++ tables. Kept
// deliberately plain and separate from generate_case_tables.mjs: it reads
// the same data through the full (special) mapping first, then the simple
// one, and stores no tables.
//
//   node tools/unicode/dump_expected_lowercase.mjs OUTPUT
//
// One line per code point that lowercases to anything but itself or has a
// property: "CP;LOWER;FLAGS", hexadecimal, LOWER a space-separated list,
// FLAGS made of C (Cased) and I (Case_Ignorable). Unlisted code points
// lowercase to themselves and have neither property.

import { writeFileSync } from 'node:fs';
import { load, unicodeVersion } from './unicode_package.mjs';

const output = process.argv[2];
if (!output) {
  process.stderr.write('usage: node dump_expected_lowercase.mjs OUTPUT\n');
  process.exit(2);
}

const special = await load('Special_Casing/Lowercase/code-points.mjs');
const simple = await load('Simple_Case_Mapping/Lowercase/code-points.mjs');
const cased = new Set(await load('Binary_Property/Cased/code-points.mjs'));
const ignorable = new Set(await load('Binary_Property/Case_Ignorable/code-points.mjs'));

const h = (cp) => cp.toString(16).toUpperCase().padStart(4, '0');
const lines = [`# Unicode ${unicodeVersion}: CP;LOWER;FLAGS`];
for (let cp = 0; cp <= 0x10ffff; ++cp) {
  const lower = special.get(cp) ?? [simple.get(cp) ?? cp];
  const flags = (cased.has(cp) ? 'C' : '') + (ignorable.has(cp) ? 'I' : '');
  if (lower.length === 1 && lower[0] === cp && flags === '') continue;
  lines.push(`${h(cp)};${lower.map(h).join(' ')};${flags}`);
}
writeFileSync(output, lines.join('\n') + '\n');
