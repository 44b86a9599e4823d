// Writes finished games as PGN with the opening position in a FEN tag, each move commented with
// the mover's last reported score and depth and its thinking time.
import { appendFileSync, writeFileSync } from 'node:fs';
import { pgnTimeControl } from './time-control.mjs';

const LINE_WIDTH = 79;

function tag(name, value) {
  return `[${name} "${String(value).replace(/\\/g, '\\\\').replace(/"/g, '\\"')}"]`;
}

function today() {
  const now = new Date();
  const pad = (n) => String(n).padStart(2, '0');
  return `${now.getFullYear()}.${pad(now.getMonth() + 1)}.${pad(now.getDate())}`;
}

function scoreText(score) {
  if (!score) return '';
  const value = score.kind === 'mate'
    ? `${score.value < 0 ? '-' : '+'}M${Math.abs(score.value)}`
    : `${score.value < 0 ? '-' : '+'}${(Math.abs(score.value) / 100).toFixed(2)}`;
  return score.depth === null ? `${value} ` : `${value}/${score.depth} `;
}

function terminationTag(termination) {
  if (termination === 'rules') return 'normal';
  if (termination === 'time') return 'time forfeit';
  if (termination === 'adjudication') return 'adjudication';
  return 'rules infraction';
}

// PGN comments cannot hold a closing brace.
function comment(text) {
  return `{${text.replace(/[{}]/g, '')}}`;
}

function wrap(tokens) {
  const lines = [];
  let line = '';
  for (const token of tokens) {
    if (line && line.length + 1 + token.length > LINE_WIDTH) {
      lines.push(line);
      line = token;
    } else {
      line = line ? `${line} ${token}` : token;
    }
  }
  if (line) lines.push(line);
  return lines.join('\n');
}

export function gameToPgn(game, { event, round, white, black, tc }) {
  const [, side, , , , fullMove] = game.fen.split(' ');
  const headers = [
    tag('Event', event),
    tag('Site', '?'),
    tag('Date', today()),
    tag('Round', round),
    tag('White', white),
    tag('Black', black),
    tag('Result', game.result),
    tag('SetUp', '1'),
    tag('FEN', game.fen),
    tag('TimeControl', pgnTimeControl(tc)),
    tag('PlyCount', game.plies),
    tag('Termination', terminationTag(game.termination)),
  ];
  const tokens = [];
  let moveNumber = Number(fullMove) || 1;
  let whiteToMove = side === 'w';
  game.moves.forEach((move, index) => {
    if (whiteToMove) tokens.push(`${moveNumber}.`);
    else if (index === 0) tokens.push(`${moveNumber}...`);
    tokens.push(move.san);
    // The last move's comment also carries how the game ended: some readers refuse two
    // comments in a row.
    const last = index === game.moves.length - 1 ? `, ${game.reason}` : '';
    tokens.push(comment(`${scoreText(move.score)}${(move.elapsedMs / 1000).toFixed(3)}s${last}`));
    if (!whiteToMove) moveNumber += 1;
    whiteToMove = !whiteToMove;
  });
  if (game.moves.length === 0) tokens.push(comment(game.reason));
  tokens.push(game.result);
  return `${headers.join('\n')}\n\n${wrap(tokens)}\n\n`;
}

export class PgnFile {
  constructor(path) {
    this.path = path;
    writeFileSync(path, '');
  }

  // Appended as each game ends, so an interrupted match keeps what it played.
  add(game, info) {
    appendFileSync(this.path, gameToPgn(game, info));
  }
}
