// Checks the stages after the games on a hand-made PGN, with the real quiet filter and made-up
// labels (no Stockfish): which positions are kept, from whose view the game score is given, and
// the reference files' format and split.
//
//   node check.mjs PATH/corvanel-quiet     exit 0 passed, 1 failed, 77 chess.js not installed
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

let Chess;
try {
  ({ Chess } = await import('chess.js'));
} catch {
  console.log('SKIPPED: chess.js is missing; run "npm ci --prefix tuning/dataset"');
  process.exit(77);
}
const { positionKey } = await import('./common.mjs');
const { finalScore } = await import('./label.mjs');
const { gamePositions, selectPositions, splitGames } = await import('./positions.mjs');
const { fitScale, referenceValue, writeReferenceFiles } = await import('./write_set.mjs');

const quiet = process.argv[2];
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'corvanel-dataset-'));
const file = (name) => path.join(dir, name);
const rows = (name) => fs.readFileSync(file(name), 'utf8').split('\n').filter(Boolean)
  .map((line) => line.split('\t'));

// The scholar's mate, the same moves again (nothing new), and a game from a set-up position.
const SCHOLAR = '1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0';
const SET_UP = '4k3/8/8/8/8/2n5/8/2R1K3 w - - 0 1';
const PGN = `[Event "a"]\n[Result "1-0"]\n\n${SCHOLAR}\n\n` +
  `[Event "b"]\n[Result "0-1"]\n\n${SCHOLAR.replace('1-0', '0-1')}\n\n` +
  `[Event "c"]\n[Result "1/2-1/2"]\n[FEN "${SET_UP}"]\n[SetUp "1"]\n\n` +
  `1. Kd2 {+0.30/5 0.01s} Kd7 2. Ke3 Kd6 1/2-1/2\n`;
fs.writeFileSync(file('games.pgn'), PGN);
const after = (moves) => { const c = new Chess(); moves.forEach((m) => c.move(m)); return c.fen(); };
const MATE_THREAT = after(['e4', 'e5', 'Qh5', 'Nc6', 'Bc4', 'Nf6']);  // Qxf7# is a capture
const MATED = after(['e4', 'e5', 'Qh5', 'Nc6', 'Bc4', 'Nf6', 'Qxf7#']);

try {
  assert.equal(splitGames(PGN).length, 3);
  const replay = gamePositions(splitGames(PGN)[0], 2);
  assert.deepEqual([replay.result, replay.fens.length, replay.fens[0]], [1, 5, after(['e4', 'e5', 'Qh5'])]);

  // Every position once, none in check, none with a capture that pays, the score of its mover.
  selectPositions({ pgn: file('games.pgn'), quiet, out: file('all.tsv'), skipPlies: 0, perGame: 100, seed: 5 });
  const kept = rows('all.tsv');
  const fens = kept.map(([fen]) => fen);
  assert.equal(new Set(fens.map(positionKey)).size, fens.length, 'no position twice');
  assert.ok(!fens.includes(MATE_THREAT), 'the position with Qxf7# to play is not quiet');
  assert.ok(!fens.includes(MATED), 'a side in check is left out');
  assert.ok(kept.filter(([, , game]) => game === '0').length >= 3, 'the quiet part of the mate game');
  assert.ok(!kept.some(([, , game]) => game === '1'), 'a repeated game brings nothing new');
  assert.ok(kept.some(([, , game]) => game === '2'), 'a game from a set-up position is read');
  for (const [fen, score, game] of kept) {
    assert.ok(!new Chess(fen).inCheck(), fen);
    const white = fen.split(' ')[1] === 'w';
    assert.equal(score, game === '2' ? '0.5' : white ? '1' : '0', `${fen}: the mover's score`);
  }

  // At most --per-game a game, the same ones for the same seed.
  selectPositions({ pgn: file('games.pgn'), quiet, out: file('two.tsv'), skipPlies: 0, perGame: 2, seed: 5 });
  selectPositions({ pgn: file('games.pgn'), quiet, out: file('again.tsv'), skipPlies: 0, perGame: 2, seed: 5 });
  assert.ok(rows('two.tsv').filter(([, , game]) => game === '0').length === 2);
  assert.deepEqual(rows('again.tsv'), rows('two.tsv'));

  // Reference files: pairs of lines, pawns from the mover's view, mates left out, a seeded split.
  const labels = kept.map(([fen, score], i) => `${fen}\t${score}\t${i === 0 ? 'mate 3' : `cp ${i * 37 - 90}`}\n`);
  fs.writeFileSync(file('labels.tsv'), labels.join(''));
  const write = (heldoutPercent, lambda = 1) => writeReferenceFiles({
    positions: file('all.tsv'), labels: file('labels.tsv'), training: file('punt5.txt'),
    heldout: file('punt5-heldout.txt'), lambda, heldoutPercent, seed: 9 });
  write(0);
  const lines = fs.readFileSync(file('punt5.txt'), 'utf8').split('\n');
  assert.equal(lines.pop(), '', 'the file ends with a line end');
  assert.equal(lines.length, 2 * (kept.length - 1), 'every position but the mate, as a pair');
  for (let i = 0; i < lines.length; i += 2) {
    assert.equal(lines[i], kept[i / 2 + 1][0]);
    assert.equal(lines[i + 1], (((i / 2 + 1) * 37 - 90) / 100).toFixed(2));
  }
  assert.equal(fs.readFileSync(file('punt5-heldout.txt'), 'utf8'), '');
  write(100);
  assert.equal(fs.readFileSync(file('punt5.txt'), 'utf8'), '');
  write(50);
  const training = fs.readFileSync(file('punt5.txt'), 'utf8');
  write(50);
  assert.equal(fs.readFileSync(file('punt5.txt'), 'utf8'), training, 'the split follows the seed');

  // The game result pulls the reference its way, never past the tuner's limit of 5 pawns.
  assert.equal(referenceValue(1.25, 0, 1, 1), 1.25);
  assert.ok(referenceValue(0.5, 1, 0.5, 1) > 0.5 && referenceValue(0.5, 0, 0.5, 1) < 0.5);
  assert.equal(referenceValue(0, 1, 0, 1), 5);
  // Beyond the limit the search score stands, so the tuner leaves out the same positions at any blend.
  assert.equal(referenceValue(7.5, 0, 0.5, 1), 7.5);
  assert.equal(referenceValue(-5.5, 1, 0, 1), -5.5);
  const samples = [];
  for (let s = -4; s <= 4; s += 0.25) samples.push({ pawns: s, result: 1 / (1 + Math.exp(-s / 1.5)) });
  assert.ok(Math.abs(fitScale(samples) - 1.5) < 0.01, 'the curve is fitted');

  // The label is the last exact score at the asked depth.
  assert.equal(finalScore(['info depth 9 score cp 20', 'info depth 10 score cp 31',
                           'info depth 10 score cp 45 lowerbound', 'bestmove e2e4'], 10), 'cp 31');
  assert.equal(finalScore(['info depth 3 score mate -2', 'bestmove a1a2'], 10), 'mate -2');
  assert.equal(finalScore(['bestmove (none)'], 10), null);
  console.log('dataset: every check passed');
} catch (error) {
  console.log(`dataset: a check failed\n${error.stack}`);
  process.exitCode = 1;
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}
