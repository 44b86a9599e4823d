// Time controls and the clocks of one game. Times are kept in milliseconds as floats, so a
// clock is charged exactly what was measured; the engine is told whole milliseconds.

// "10+0.1" (seconds + increment), "40/60+0.5" (moves per period / seconds + increment), "5" (no
// increment). Returns { type: 'clock', baseMs, incMs, movesPerPeriod } or throws.
export function parseTimeControl(text) {
  const match = /^(?:(\d+)\/)?(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(String(text).trim());
  if (!match) throw new Error(`bad time control "${text}" (expected base+inc in seconds, e.g. 10+0.1 or 40/60+0)`);
  const baseMs = Math.round(Number(match[2]) * 1000);
  const incMs = Math.round(Number(match[3] ?? 0) * 1000);
  const movesPerPeriod = match[1] ? Number(match[1]) : 0;
  if (baseMs <= 0) throw new Error(`time control "${text}" has no time`);
  if (match[1] && movesPerPeriod <= 0) throw new Error(`time control "${text}" has no moves per period`);
  return { type: 'clock', baseMs, incMs, movesPerPeriod };
}

export function movetimeControl(ms) {
  const moveMs = Number(ms);
  if (!Number.isInteger(moveMs) || moveMs <= 0) throw new Error(`bad movetime "${ms}" (milliseconds)`);
  return { type: 'movetime', moveMs };
}

export function describeTimeControl(tc) {
  if (tc.type === 'movetime') return `movetime ${tc.moveMs} ms`;
  const seconds = (ms) => String(ms / 1000);
  const period = tc.movesPerPeriod ? `${tc.movesPerPeriod}/` : '';
  return `${period}${seconds(tc.baseMs)}+${seconds(tc.incMs)}`;
}

// The PGN TimeControl tag.
export function pgnTimeControl(tc) {
  if (tc.type === 'movetime') return `${tc.moveMs / 1000}/move`;
  const base = `${tc.baseMs / 1000}${tc.incMs ? `+${tc.incMs / 1000}` : ''}`;
  return tc.movesPerPeriod ? `${tc.movesPerPeriod}/${base}` : base;
}

const SIDES = { w: 0, b: 1 };

export class GameClock {
  constructor(tc) {
    this.tc = tc;
    const base = tc.type === 'clock' ? tc.baseMs : 0;
    this.remainingMs = [base, base];
    this.movesMade = [0, 0];
  }

  remaining(side) {
    return this.remainingMs[SIDES[side]];
  }

  // The longest the mover may think before it has lost.
  allowanceMs(side) {
    return this.tc.type === 'movetime' ? this.tc.moveMs : this.remaining(side);
  }

  // Whole milliseconds, rounded down: the engine never believes it has more than it has.
  goCommand(side) {
    if (this.tc.type === 'movetime') return `go movetime ${this.tc.moveMs}`;
    const [white, black] = this.remainingMs.map((ms) => Math.max(0, Math.floor(ms)));
    let line = `go wtime ${white} btime ${black} winc ${this.tc.incMs} binc ${this.tc.incMs}`;
    if (this.tc.movesPerPeriod) {
      const made = this.movesMade[SIDES[side]];
      line += ` movestogo ${this.tc.movesPerPeriod - (made % this.tc.movesPerPeriod)}`;
    }
    return line;
  }

  // Charges a move that took elapsedMs. Zero margin: a clock below zero, or a fixed move
  // time exceeded by any amount, has lost. Returns { flagged, overByMs }.
  charge(side, elapsedMs) {
    const index = SIDES[side];
    this.movesMade[index] += 1;
    if (this.tc.type === 'movetime') {
      const overByMs = elapsedMs - this.tc.moveMs;
      return { flagged: overByMs > 0, overByMs };
    }
    this.remainingMs[index] -= elapsedMs;
    if (this.remainingMs[index] < 0) return { flagged: true, overByMs: -this.remainingMs[index] };
    this.remainingMs[index] += this.tc.incMs;
    if (this.tc.movesPerPeriod && this.movesMade[index] % this.tc.movesPerPeriod === 0) {
      this.remainingMs[index] += this.tc.baseMs;
    }
    return { flagged: false, overByMs: 0 };
  }
}
