// Stage 2: from the games to the positions worth labelling. Every position after the first
// plies past the opening, seen once across all games, judged by the engine's own quiet test
// (corvanel-quiet: not in check, legal moves, quiescence result equal to the static evaluation),
// then at most a fixed number per game drawn with the seed.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { Chess } from 'chess.js';
import { positionKey, randomGenerator, seededHash, sideToMove, writeWhole } from './common.mjs';

// The games of a PGN file, each as its own text.
export function splitGames(text) {
  return text.replace(/\r\n/g, '\n').split(/\n(?=\[Event )/).map((game) => game.trim())
    .filter((game) => game.startsWith('['));
}

// White's score of a result tag: 1, 0.5, 0, or null for an unfinished game.
function whiteScore(result) {
  return { '1-0': 1, '0-1': 0, '1/2-1/2': 0.5 }[result] ?? null;
}

// The positions of one game after its first `skipPlies` plies from the start position (the
// opening of the book), with White's score. Throws when the game does not replay.
export function gamePositions(pgn, skipPlies) {
  const chess = new Chess();
  chess.loadPgn(pgn);
  const result = whiteScore(chess.getHeaders().Result);
  const moves = chess.history({ verbose: true });
  const fens = moves.slice(skipPlies).map((move) => move.after);
  return { result, fens };
}

// The side to move's score of the game: 1 won, 0.5 drawn, 0 lost; '-' when unknown.
function scoreFor(fen, result) {
  if (result === null) return '-';
  return String(sideToMove(fen) === 'w' ? result : 1 - result);
}

// Runs the quiet filter on the FENs: one verdict word per FEN.
export function quietVerdicts(filterProgram, fens) {
  if (fens.length === 0) return [];
  const run = spawnSync(filterProgram, [], {
    input: fens.join('\n') + '\n', maxBuffer: 1 << 30, encoding: 'utf8',
  });
  if (run.error) throw new Error(`cannot run ${filterProgram}: ${run.error.message}`);
  if (run.status !== 0) throw new Error(`${filterProgram} failed (exit ${run.status}): ${run.stderr}`);
  const verdicts = run.stdout.split('\n').filter((line) => line !== '').map((line) => line.split(' ')[0]);
  if (verdicts.length !== fens.length)
    throw new Error(`${filterProgram} answered ${verdicts.length} of ${fens.length} positions`);
  return verdicts;
}

// Up to `count` of the items, drawn without replacement by `random`, in their original order.
export function sample(items, count, random) {
  const order = items.map((_, i) => i);
  const take = Math.min(count, items.length);
  for (let i = 0; i < take; i++) {
    const j = i + Math.floor(random() * (order.length - i));
    [order[i], order[j]] = [order[j], order[i]];
  }
  return order.slice(0, take).sort((a, b) => a - b).map((i) => items[i]);
}

// The whole stage. Returns the counts it printed.
export function selectPositions({ pgn, quiet, out, skipPlies, perGame, seed }) {
  const games = splitGames(fs.readFileSync(pgn, 'utf8'));
  const seen = new Set();
  const candidates = [];  // { fen, score, game }
  let unreadable = 0, plies = 0;
  games.forEach((text, game) => {
    let replay;
    try {
      replay = gamePositions(text, skipPlies);
    } catch (error) {
      unreadable++;
      return;
    }
    plies += replay.fens.length;
    for (const fen of replay.fens) {
      const key = positionKey(fen);
      if (seen.has(key)) continue;
      seen.add(key);
      candidates.push({ fen, score: scoreFor(fen, replay.result), game });
    }
  });

  const verdicts = quietVerdicts(quiet, candidates.map((c) => c.fen));
  const tally = {};
  const quietByGame = new Map();
  candidates.forEach((candidate, i) => {
    tally[verdicts[i]] = (tally[verdicts[i]] ?? 0) + 1;
    if (verdicts[i] !== 'quiet') return;
    if (!quietByGame.has(candidate.game)) quietByGame.set(candidate.game, []);
    quietByGame.get(candidate.game).push(candidate);
  });

  const kept = [];
  for (const [game, list] of quietByGame)
    kept.push(...sample(list, perGame, randomGenerator(seededHash(seed, `game ${game}`))));
  writeWhole(out, kept.map((c) => `${c.fen}\t${c.score}\t${c.game}\n`).join(''));

  const counts = {
    games: games.length, unreadable, plies, distinct: candidates.length, ...tally, kept: kept.length,
  };
  console.log(`positions: ${Object.entries(counts).map(([k, v]) => `${k} ${v}`).join(', ')}`);
  return counts;
}
