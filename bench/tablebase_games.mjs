#!/usr/bin/env node
// The helper of bench/tablebase_games.sh: makes the endgame positions and judges the games.
//
//   node tablebase_games.mjs generate --per-kind N --seed S --fathom PROBE --path TABLES > out.tsv
//     N random legal placements of each kind (KQvK, KRvK, KPvK, KRvKP, KQvKR, KBNvK, KPvKP),
//     each with white and with black to move, written as "FEN<TAB>result" where the result is
//     what the tables say with best play under the fifty-move rule ("1-0", "1/2-1/2", "0-1"),
//     asked of Debian's stand-alone probe (package fathom). Drawn KPvK and KRvKP placements make
//     up about half of those kinds.
//   node tablebase_games.mjs check --expected out.tsv --pgn games.pgn
//     Compares each game's result with the tables' and Corvanel's first score with the tables'
//     verdict; prints the mismatches and a summary. Exit code 1 when anything differs.
//
// chess.js comes from tests/games (npm ci --prefix tests/games).
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { randomGenerator as random } from '../tuning/dataset/common.mjs';

const here = dirname(fileURLToPath(import.meta.url));
let Chess;
try {
  ({ Chess } = createRequire(join(here, '..', 'tests', 'games', 'package.json'))('chess.js'));
} catch {
  console.error('tablebase_games: chess.js is missing; run "npm ci --prefix tests/games"');
  process.exit(2);
}

function option(args, name, fallback) {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
}


// White's pieces, then black's (upper case white); kings first.
const KINDS = {
  KQvK: ['K', 'Q', 'k'],
  KRvK: ['K', 'R', 'k'],
  KPvK: ['K', 'P', 'k'],
  KRvKP: ['K', 'R', 'k', 'p'],
  KQvKR: ['K', 'Q', 'k', 'r'],
  KBNvK: ['K', 'B', 'N', 'k'],
  KPvKP: ['K', 'P', 'k', 'p'],
};
// Kinds whose drawn placements are sought out: about half of their positions.
const DRAWN_HALF = new Set(['KPvK', 'KRvKP']);

function placementFen(pieces, next) {
  const board = Array(64).fill(null);
  for (const piece of pieces) {
    for (;;) {
      const square = Math.floor(next() * 64);
      const rank = square >> 3;
      if (board[square] || ('Pp'.includes(piece) && (rank === 0 || rank === 7))) continue;
      board[square] = piece;
      break;
    }
  }
  const rows = [];
  for (let rank = 7; rank >= 0; rank--) {
    let row = '';
    let empty = 0;
    for (let file = 0; file < 8; file++) {
      const piece = board[rank * 8 + file];
      if (!piece) { empty++; continue; }
      if (empty) row += empty;
      empty = 0;
      row += piece;
    }
    rows.push(row + (empty ? empty : ''));
  }
  return rows.join('/');
}

// A position either side may have to move in: legal with white and with black to move, and not
// over already.
function playable(placement) {
  for (const side of ['w', 'b']) {
    try {
      const game = new Chess(`${placement} ${side} - - 0 1`);
      if (game.isGameOver()) return false;
      // The side that just moved must not stand in check.
      const other = new Chess(`${placement} ${side === 'w' ? 'b' : 'w'} - - 0 1`);
      if (other.inCheck()) return false;
    } catch {
      return false;
    }
  }
  return true;
}

function tablesSay(fathom, path, fen) {
  const out = execFileSync(fathom, ['--test', `--path=${path}`, fen], { encoding: 'utf8' }).trim();
  if (!['1-0', '1/2-1/2', '0-1'].includes(out)) throw new Error(`the probe cannot judge ${fen}: "${out}"`);
  return out;
}

function generate(args) {
  const perKind = Number(option(args, '--per-kind', 15));
  const next = random(Number(option(args, '--seed', 1)));
  const fathom = option(args, '--fathom', '/usr/games/fathom');
  const path = option(args, '--path', '');
  const lines = [];
  for (const [kind, pieces] of Object.entries(KINDS)) {
    let drawn = 0;
    let placed = 0;
    for (let tries = 0; placed < perKind && tries < 100000; tries++) {
      const placement = placementFen(pieces, next);
      if (!playable(placement)) continue;
      const white = tablesSay(fathom, path, `${placement} w - - 0 1`);
      const black = tablesSay(fathom, path, `${placement} b - - 0 1`);
      if (DRAWN_HALF.has(kind)) {
        const isDrawn = white === '1/2-1/2' || black === '1/2-1/2';
        const drawnWanted = Math.ceil(perKind / 2);
        if (isDrawn ? drawn >= drawnWanted : placed - drawn >= perKind - drawnWanted) continue;
        if (isDrawn) drawn++;
      }
      placed++;
      lines.push(`${placement} w - - 0 1\t${white}\t${kind}`, `${placement} b - - 0 1\t${black}\t${kind}`);
    }
    if (placed < perKind) throw new Error(`only ${placed} positions of ${kind} found`);
  }
  process.stdout.write(lines.join('\n') + '\n');
}

// Per game: its FEN, result, termination and the first move's comment (Corvanel's first score).
function readPgn(text) {
  const games = [];
  for (const block of text.split(/\n(?=\[Event )/)) {
    const tag = (name) => (block.match(new RegExp(`\\[${name} "([^"]*)"\\]`)) || [])[1];
    if (!tag('Result')) continue;
    const comment = (block.replace(/\[[^\]]*\]\s*/g, '').match(/\{([^}]*)\}/) || [])[1] || '';
    games.push({ fen: tag('FEN'), result: tag('Result'), termination: tag('Termination') || '', comment });
  }
  return games;
}

// The class of the first score fastchess wrote ("+98.60/12 ..." or "+M5/..." or "-M3/..."),
// from the mover's view: 'win', 'draw', 'loss' or '?'.
function scoreClass(comment) {
  const m = comment.match(/^\s*([+-]?)(M?)([0-9.]+)\//);
  if (!m) return '?';
  if (m[2] === 'M') return m[1] === '-' ? 'loss' : 'win';
  const pawns = Number(m[3]) * (m[1] === '-' ? -1 : 1);
  return pawns >= 97.32 ? 'win' : pawns <= -97.32 ? 'loss' : pawns === 0 ? 'draw' : '?';
}

function check(args) {
  const expected = new Map();
  for (const line of readFileSync(option(args, '--expected'), 'utf8').split('\n')) {
    const [fen, result, kind] = line.split('\t');
    if (fen) expected.set(fen, { result, kind });
  }
  const games = readPgn(readFileSync(option(args, '--pgn'), 'utf8'));
  const faults = [];
  const tally = {};
  let scoreMismatches = 0;
  let noTbhits = 0;
  let matched = 0;
  for (const game of games) {
    const want = expected.get(game.fen);
    if (!want) continue;
    matched++;
    const t = (tally[want.kind] ??= { games: 0, right: 0, wins: 0, draws: 0, losses: 0 });
    t.games++;
    const mover = game.fen.split(' ')[1];
    const moverResult = (r) => (r === '1/2-1/2' ? 'draw' : (r === '1-0') === (mover === 'w') ? 'win' : 'loss');
    const got = moverResult(game.result);
    t[got === 'win' ? 'wins' : got === 'draw' ? 'draws' : 'losses']++;
    const verdict = moverResult(want.result);
    if (got === verdict) t.right++;
    else faults.push(`${game.fen}: the tables say ${want.result}, the game ended ${game.result} (${game.termination})`);
    if (/time|illegal|crash|disconnect|stall/i.test(game.termination))
      faults.push(`${game.fen}: ${game.termination}`);
    if (scoreClass(game.comment) !== verdict) {
      scoreMismatches++;
      faults.push(`${game.fen}: first score {${game.comment}} is not the tables' ${verdict}`);
    }
    if (!/tbhits=?\s*[1-9]/.test(game.comment)) noTbhits++;
  }
  for (const line of faults) console.log(line);
  console.log('kind    games  as the tables say  won-drawn-lost by the side to move');
  for (const [kind, t] of Object.entries(tally))
    console.log(`${kind.padEnd(7)} ${String(t.games).padStart(5)}  ${String(t.right).padStart(17)}  ${t.wins}-${t.draws}-${t.losses}`);
  console.log(`${matched} of ${expected.size} positions played; ${faults.length} faults; ` +
              `${scoreMismatches} first scores not the tables'; ${noTbhits} first moves without tbhits`);
  process.exit(faults.length || matched < expected.size ? 1 : 0);
}

const [command, ...args] = process.argv.slice(2);
if (command === 'generate') generate(args);
else if (command === 'check') check(args);
else {
  console.error('usage: tablebase_games.mjs generate|check ...');
  process.exit(2);
}
