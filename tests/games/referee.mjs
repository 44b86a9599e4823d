// The legality referee: an independent rules implementation (chess.js) that checks every move an
// engine plays and decides when a game is over. It knows nothing of the engines.
import { Chess } from 'chess.js';

// UCI long algebraic: from, to, and a lower-case promotion piece. Castling is the king's move
// (e1g1); the null move "0000" and anything else is not a move here.
const UCI_MOVE = /^[a-h][1-8][a-h][1-8][qrbn]?$/;

// Opening lines: FEN, or EPD whose four position fields may be followed by operations.
// Returns a complete FEN or throws when chess.js does not accept the position.
export function normaliseFen(line) {
  const fields = line.trim().split(/\s+/);
  if (fields.length < 4) throw new Error(`not a FEN: "${line}"`);
  const counters = /^\d+$/.test(fields[4] ?? '') && /^\d+$/.test(fields[5] ?? '')
    ? [fields[4], fields[5]]
    : ['0', '1'];
  const fen = [...fields.slice(0, 4), ...counters].join(' ');
  try {
    new Chess(fen);
  } catch (err) {
    throw new Error(`bad position "${line}": ${err.message}`);
  }
  return fen;
}

export class Referee {
  constructor(fen) {
    this.startFen = fen;
    this.chess = new Chess(fen);
    this.uciMoves = [];
    this.sanMoves = [];
  }

  sideToMove() {
    return this.chess.turn();
  }

  plies() {
    return this.uciMoves.length;
  }

  // The line that sets up the current position for an engine.
  positionCommand() {
    const moves = this.uciMoves.length ? ` moves ${this.uciMoves.join(' ')}` : '';
    return `position fen ${this.startFen}${moves}`;
  }

  // Plays the move if it is legal here. Returns { ok: true, san } or { ok: false, reason }.
  play(text) {
    if (!UCI_MOVE.test(text)) {
      return { ok: false, reason: text ? `"${text}" is not a move in UCI notation` : 'no move given' };
    }
    const legal = this.chess.moves({ verbose: true }).find((move) => move.lan === text);
    if (!legal) return { ok: false, reason: `"${text}" is not legal in ${this.chess.fen()}` };
    this.chess.move({ from: legal.from, to: legal.to, promotion: legal.promotion });
    this.uciMoves.push(text);
    this.sanMoves.push(legal.san);
    return { ok: true, san: legal.san };
  }

  // null while the game goes on, else { result, reason } by the rules alone.
  outcome() {
    const chess = this.chess;
    if (chess.isCheckmate()) {
      return chess.turn() === 'w'
        ? { result: '0-1', reason: 'black mates' }
        : { result: '1-0', reason: 'white mates' };
    }
    if (chess.isStalemate()) return { result: '1/2-1/2', reason: 'stalemate' };
    if (chess.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'insufficient material' };
    if (chess.isThreefoldRepetition()) return { result: '1/2-1/2', reason: 'threefold repetition' };
    if (chess.isDrawByFiftyMoves()) return { result: '1/2-1/2', reason: 'fifty-move rule' };
    return null;
  }

  fen() {
    return this.chess.fen();
  }
}
