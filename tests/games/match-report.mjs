// Counts a match's results and faults and prints the per-game lines and the final summary.
// Results are from the first engine's point of view: it is the one under test.
import { faultName } from './play-game.mjs';

export const FAULT_KINDS = ['time', 'illegal', 'crash', 'protocol'];
const FAULT_LABELS = { time: 'time forfeits', illegal: 'illegal moves', crash: 'crashes', protocol: 'protocol errors' };

function emptyCounts() {
  return { time: 0, illegal: 0, crash: 0, protocol: 0, moves: 0, thinkMs: 0 };
}

function eloFromScore(score) {
  return -400 * Math.log10(1 / score - 1);
}

export class MatchTally {
  constructor(names) {
    this.names = names;
    this.games = 0;
    this.wins = 0;
    this.draws = 0;
    this.losses = 0;
    this.counts = [emptyCounts(), emptyCounts()];
  }

  // firstSide: the colour the first engine had in this game.
  add(game, firstSide) {
    this.games += 1;
    const indexOf = (side) => (side === firstSide ? 0 : 1);
    if (game.result === '1/2-1/2') this.draws += 1;
    else if ((game.result === '1-0') === (firstSide === 'w')) this.wins += 1;
    else this.losses += 1;
    for (const fault of game.faults) this.counts[indexOf(fault.side)][fault.kind] += 1;
    game.moves.forEach((move, ply) => {
      const moverSide = (ply % 2 === 0) === (game.fen.split(' ')[1] === 'w') ? 'w' : 'b';
      const counts = this.counts[indexOf(moverSide)];
      counts.moves += 1;
      counts.thinkMs += move.elapsedMs;
    });
  }

  faultsOf(index) {
    return FAULT_KINDS.reduce((sum, kind) => sum + this.counts[index][kind], 0);
  }

  score() {
    return this.games ? (this.wins + this.draws / 2) / this.games : 0;
  }

  // Elo difference with a 95% interval from the per-game spread; null when it is unbounded.
  elo() {
    const n = this.games;
    const s = this.score();
    if (n === 0 || s <= 0 || s >= 1) return null;
    const variance = (this.wins * (1 - s) ** 2 + this.draws * (0.5 - s) ** 2 + this.losses * s ** 2) / n;
    const margin = 1.96 * Math.sqrt(variance / n);
    const low = Math.max(s - margin, 1e-6);
    const high = Math.min(s + margin, 1 - 1e-6);
    return { elo: eloFromScore(s), margin: (eloFromScore(high) - eloFromScore(low)) / 2 };
  }

  summaryLines({ timeControl }) {
    const [first, second] = this.names;
    const lines = [];
    lines.push(`Match ${first} vs ${second}, ${this.games} games at ${timeControl}`);
    const elo = this.elo();
    const eloText = elo ? `, Elo ${elo.elo >= 0 ? '+' : ''}${elo.elo.toFixed(0)} +/- ${elo.margin.toFixed(0)}` : '';
    lines.push(`${first}: ${this.wins} wins, ${this.draws} draws, ${this.losses} losses, `
      + `score ${(this.score() * 100).toFixed(1)}%${eloText}`);
    const width = Math.max(12, first.length, second.length) + 2;
    const row = (label, cells) => `  ${label.padEnd(18)}${cells.map((c) => String(c).padStart(width)).join('')}`;
    lines.push(row('', [first, second]));
    for (const kind of FAULT_KINDS) {
      lines.push(row(FAULT_LABELS[kind], this.counts.map((c) => c[kind])));
    }
    lines.push(row('moves played', this.counts.map((c) => c.moves)));
    lines.push(row('ms per move', this.counts.map((c) => (c.moves ? (c.thinkMs / c.moves).toFixed(1) : '-'))));
    return lines;
  }
}

export function gameLine({ number, total, whiteName, blackName, openingNumber, game }) {
  const faults = game.faults.filter((fault) => !fault.decisive)
    .map((fault) => `; also ${fault.side === 'w' ? whiteName : blackName} ${faultName(fault.kind)}: ${fault.detail}`)
    .join('');
  return `Game ${number}/${total}: ${whiteName} - ${blackName} ${game.result} (${game.reason}${faults}) `
    + `opening ${openingNumber}, ${game.plies} plies, ${(game.durationMs / 1000).toFixed(1)} s`;
}
