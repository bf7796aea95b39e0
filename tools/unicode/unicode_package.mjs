// Locates the Unicode data package that package.json pins and loads its
// properties. The pinned dependency in package.json (with package-lock.json)
// is the one place that names the Unicode version; everything else reads it
// from here.

import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const toolDir = dirname(fileURLToPath(import.meta.url));

function fail(message) {
  process.stderr.write(`${message}\n`);
  process.exit(1);
}

const manifest = JSON.parse(readFileSync(join(toolDir, 'package.json'), 'utf8'));
const names = Object.keys(manifest.dependencies ?? {}).filter((n) =>
  /^@unicode\/unicode-\d+\.\d+\.\d+$/.test(n));
if (names.length !== 1) {
  fail('tools/unicode/package.json must depend on exactly one @unicode/unicode-X.Y.Z package' +
    ` (found ${names.length})`);
}

export const packageName = names[0];
export const unicodeVersion = packageName.slice('@unicode/unicode-'.length);
export const pinnedVersion = manifest.dependencies[packageName];
export const packageDir = join(toolDir, 'node_modules', ...packageName.split('/'));

let installed;
try {
  installed = JSON.parse(readFileSync(join(packageDir, 'package.json'), 'utf8')).version;
} catch {
  fail(`${packageName} is not installed; run npm ci in tools/unicode` +
    ' (tools/unicode/generate does it)');
}
if (installed !== pinnedVersion) {
  fail(`${packageName} ${installed} is installed but package.json pins ${pinnedVersion};` +
    ' run npm ci in tools/unicode');
}
export const packageVersion = installed;

// Loads one property module, e.g. 'Binary_Property/Cased/code-points.mjs'.
export async function load(relativePath) {
  const module = await import(pathToFileURL(join(packageDir, relativePath)).href);
  return module.default;
}
