// What the stages share: seeded hashing and random numbers (so that a seed names one data set),
// position keys, and the tab-separated files that pass positions from stage to stage.
import fs from 'node:fs';

// 32-bit FNV-1a of the text, started from the seed, then mixed so that every bit of the result
// depends on every input bit (the split and the sampling read its low bits).
export function seededHash(seed, text) {
  let h = (0x811c9dc5 ^ Math.imul(seed >>> 0, 0x9e3779b1)) >>> 0;
  for (let i = 0; i < text.length; i++) {
    h ^= text.charCodeAt(i);
    h = Math.imul(h, 0x01000193) >>> 0;
  }
  h ^= h >>> 16;
  h = Math.imul(h, 0x85ebca6b) >>> 0;
  h ^= h >>> 13;
  h = Math.imul(h, 0xc2b2ae35) >>> 0;
  h ^= h >>> 16;
  return h >>> 0;
}

// A small generator (mulberry32): numbers in [0, 1), the same sequence for the same seed.
export function randomGenerator(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// The position without its move counters: two FENs with the same key are the same position.
export function positionKey(fen) {
  return fen.trim().split(/\s+/).slice(0, 4).join(' ');
}

// The side to move of a FEN: 'w' or 'b'.
export function sideToMove(fen) {
  return fen.trim().split(/\s+/)[1] === 'b' ? 'b' : 'w';
}

// Rows of a tab-separated file (a missing file reads as none when `missingIsEmpty`).
export function readRows(path, missingIsEmpty = false) {
  if (missingIsEmpty && !fs.existsSync(path)) return [];
  return fs.readFileSync(path, 'utf8').split('\n').filter((line) => line.trim() !== '')
    .map((line) => line.replace(/\r$/, '').split('\t'));
}

// Writes a whole file through a temporary name, so that a stopped run leaves no half file.
export function writeWhole(path, text) {
  const temporary = `${path}.partial`;
  fs.writeFileSync(temporary, text);
  fs.renameSync(temporary, path);
}

// "--name value" pairs into an object; every name must be among `known` (with its default).
export function parseOptions(argv, known) {
  const options = { ...known };
  for (let i = 0; i < argv.length; i += 2) {
    const name = argv[i].replace(/^--/, '');
    if (!argv[i].startsWith('--') || !(name in known) || i + 1 >= argv.length)
      throw new Error(`unknown option or missing value: ${argv[i]}`);
    options[name] = argv[i + 1];
  }
  return options;
}

// A whole number option within bounds, or an error naming it.
export function integerOption(options, name, min, max) {
  const value = Number(options[name]);
  if (!Number.isInteger(value) || value < min || value > max)
    throw new Error(`--${name} must be a whole number from ${min} to ${max} (got ${options[name]})`);
  return value;
}

// A decimal option within bounds, or an error naming it.
export function numberOption(options, name, min, max) {
  const value = Number(options[name]);
  if (!Number.isFinite(value) || value < min || value > max)
    throw new Error(`--${name} must be a number from ${min} to ${max} (got ${options[name]})`);
  return value;
}
