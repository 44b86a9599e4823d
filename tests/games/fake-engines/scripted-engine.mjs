#!/usr/bin/env node
// A scripted UCI engine for the runner's self-test: it plays legal moves (the first one chess.js
// lists) except where its behaviour says to misbehave in one particular way.
//   node scripted-engine.mjs BEHAVIOUR [N]
// Behaviours: legal, slow, noisy, illegal, silent, stubborn, late, double, double-late,
// unsolicited, crash, crash-start, crash-after-move, no-uciok, no-readyok.
// N: the number of moves played normally in each game before misbehaving (default 0).
import { appendFileSync } from 'node:fs';
import { createInterface } from 'node:readline';
import { Chess } from 'chess.js';

const behaviour = process.argv[2] || 'legal';
const normalMoves = Number(process.argv[3] || 0);
let movesPlayed = 0;
let position = new Chess();
let pendingAnswer = null; // the timer of an answer not yet written
let thinkingMove = null;

if (process.env.SCRIPTED_ENGINE_PID_FILE) appendFileSync(process.env.SCRIPTED_ENGINE_PID_FILE, `${process.pid}\n`);

const write = (text) => process.stdout.write(`${text}\n`);

// chess.js is slow enough to matter at fast time controls, so a position that extends the
// previous one only plays the new moves.
let positionBase = null;
let positionMoves = [];

function setPosition(tokens) {
  let at = 2;
  let base = 'startpos';
  if (tokens[1] === 'fen') {
    base = tokens.slice(2, 8).join(' ');
    at = 8;
  }
  const moves = tokens[at] === 'moves' ? tokens.slice(at + 1) : [];
  const extends_ = base === positionBase && positionMoves.every((move, i) => moves[i] === move);
  if (!extends_) {
    position = base === 'startpos' ? new Chess() : new Chess(base);
    positionBase = base;
    positionMoves = [];
  }
  for (const lan of moves.slice(positionMoves.length)) {
    position.move({ from: lan.slice(0, 2), to: lan.slice(2, 4), promotion: lan[4] });
    positionMoves.push(lan);
  }
}

function goValue(tokens, name) {
  const at = tokens.indexOf(name);
  return at >= 0 ? Number(tokens[at + 1]) : null;
}

// The time this engine has for the move: movetime, or its own side's clock.
function allowance(tokens) {
  const movetime = goValue(tokens, 'movetime');
  if (movetime !== null) return movetime;
  return goValue(tokens, position.turn() === 'w' ? 'wtime' : 'btime') ?? 1000;
}

function answer(move) {
  pendingAnswer = null;
  thinkingMove = null;
  write(`bestmove ${move}`);
  movesPlayed += 1;
}

function go(tokens) {
  const legal = position.moves({ verbose: true })[0].lan;
  const misbehave = movesPlayed >= normalMoves;
  if (!misbehave) {
    answer(legal);
    return;
  }
  switch (behaviour) {
    case 'silent':
    case 'stubborn':
      return;
    case 'illegal':
      answer('e2e5'); // a pawn never moves three squares
      return;
    case 'late':
      thinkingMove = legal;
      pendingAnswer = setTimeout(() => answer(legal), allowance(tokens) + 30);
      return;
    case 'slow':
      thinkingMove = legal;
      pendingAnswer = setTimeout(() => answer(legal), Math.min(100, allowance(tokens) / 4));
      return;
    case 'noisy':
      write('this line means nothing');
      write('info depth 3 seldepth 5 score cp 12 nodes 400 pv ' + legal);
      write('info string thinking hard');
      write('');
      answer(legal);
      return;
    case 'double':
      process.stdout.write(`bestmove ${legal}\nbestmove ${legal}\n`);
      movesPlayed += 1;
      return;
    case 'double-late':
      answer(legal);
      setTimeout(() => write(`bestmove ${legal}`), 20);
      return;
    case 'crash':
      process.exit(3);
      return;
    case 'crash-after-move':
      answer(legal);
      setTimeout(() => process.exit(4), 10);
      return;
    default:
      answer(legal);
  }
}

// Ignores quit, signals and the end of its input: only SIGKILL ends it.
if (behaviour === 'stubborn') {
  process.on('SIGTERM', () => {});
  process.on('SIGINT', () => {});
  setInterval(() => {}, 1000);
}

const input = createInterface({ input: process.stdin });
input.on('line', (line) => {
  const tokens = line.trim().split(/\s+/);
  switch (tokens[0]) {
    case 'uci':
      if (behaviour === 'crash-start') process.exit(5);
      if (behaviour === 'no-uciok') return;
      write(`id name scripted-${behaviour}`);
      write('id author the Corvanel developers');
      write('option name Hash type spin default 16 min 1 max 1024');
      write('uciok');
      return;
    case 'isready':
      if (behaviour !== 'no-readyok') write('readyok');
      return;
    case 'ucinewgame':
      if (behaviour === 'unsolicited') write('bestmove e2e4');
      position = new Chess();
      positionBase = null;
      movesPlayed = 0;
      return;
    case 'position':
      setPosition(tokens);
      return;
    case 'go':
      go(tokens);
      return;
    case 'stop':
      if (pendingAnswer) {
        clearTimeout(pendingAnswer);
        answer(thinkingMove);
      }
      return;
    case 'quit':
      if (behaviour !== 'stubborn') process.exit(0);
      return;
    default:
  }
});
input.on('close', () => {
  if (behaviour !== 'stubborn') process.exit(0);
});
