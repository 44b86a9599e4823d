// Plays one game between two running UCI engines from a given position, under the clock and the
// referee. Every way an engine can break the protocol ends the game with a loss for it.
import { Referee } from './referee.mjs';
import { GameClock } from './time-control.mjs';

// How long past its allowance an engine is still waited for, only so that the report can say
// how late it was; the judgement itself has no margin.
const LATE_ANSWER_WAIT_MS = 250;

const FAULT_NAMES = {
  time: 'time forfeit',
  illegal: 'illegal move',
  crash: 'crash',
  protocol: 'protocol error',
};

function faultFromEngineLog(entry) {
  if (entry.type === 'crash') return { kind: 'crash', detail: `crashed (${entry.detail})` };
  if (entry.type === 'extra-bestmove') return { kind: 'protocol', detail: `extra bestmove: ${entry.detail}` };
  return { kind: 'protocol', detail: entry.detail };
}

function formatMs(ms) {
  return `${ms.toFixed(1)} ms`;
}

export function faultName(kind) {
  return FAULT_NAMES[kind] ?? kind;
}

// engines: [white, black] UciEngine; limits: { handshakeMs, stopWaitMs, maxPlies }.
// Returns { result, reason, termination, faults, moves, plies, fen, durationMs }; each fault is
// { side: 'w'|'b', kind, detail, decisive }.
export async function playGame({ engines, fen, tc, limits, onMove = null }) {
  const startMs = performance.now();
  const [white, black] = engines;
  const sideOf = (engine) => (engine === white ? 'w' : 'b');
  const referee = new Referee(fen);
  const clock = new GameClock(tc);
  const moves = [];
  const faults = [];
  let ending = null;

  const record = (side, kind, detail, decisive) => faults.push({ side, kind, detail, decisive });

  // A fault ends the game against the engine that made it; later ones are counted, not scored.
  const lose = (side, kind, detail) => {
    record(side, kind, detail, ending === null);
    if (ending !== null) return;
    const engine = side === 'w' ? white : black;
    ending = {
      result: side === 'w' ? '0-1' : '1-0',
      reason: `${engine.name} ${kind === 'time' ? 'loses on time' : `loses by ${faultName(kind)}`}: ${detail}`,
      termination: kind,
    };
  };

  const collectFaults = () => {
    const logged = [...white.takeFaults(), ...black.takeFaults()].sort((a, b) => (a.atNs < b.atNs ? -1 : 1));
    for (const entry of logged) {
      const { kind, detail } = faultFromEngineLog(entry);
      lose(sideOf(entry.engine), kind, detail);
    }
  };

  // Before the first move: a fresh process where needed, then ucinewgame and isready.
  for (const engine of engines) {
    if (!engine.alive && !(await engine.start(limits.handshakeMs)).ok) continue;
    await engine.newGame(limits.handshakeMs);
  }
  collectFaults();

  while (ending === null) {
    const ruled = referee.outcome();
    if (ruled) {
      ending = { ...ruled, termination: 'rules' };
      break;
    }
    if (referee.plies() >= limits.maxPlies) {
      ending = { result: '1/2-1/2', reason: `adjudicated a draw after ${limits.maxPlies} plies`, termination: 'adjudication' };
      break;
    }
    const side = referee.sideToMove();
    const mover = side === 'w' ? white : black;
    const allowanceMs = clock.allowanceMs(side);
    for (const engine of engines) engine.onFault = () => mover.abortWait();
    const answer = await mover.go(referee.positionCommand(), clock.goCommand(side), allowanceMs + LATE_ANSWER_WAIT_MS);
    for (const engine of engines) engine.onFault = null;
    collectFaults();
    if (ending !== null) break;

    if (answer.kind === 'timeout') {
      lose(side, 'time', `no bestmove in the ${formatMs(allowanceMs)} allowed (waited ${formatMs(answer.elapsedMs)})`);
      break;
    }
    if (answer.kind !== 'bestmove') {
      // An exit is in the fault log; reaching here means it was not, which is a runner bug.
      lose(side, 'crash', `search ended without an answer (${answer.kind})`);
      break;
    }
    const charged = clock.charge(side, answer.elapsedMs);
    if (charged.flagged) {
      lose(side, 'time', `bestmove after ${formatMs(answer.elapsedMs)}, ${formatMs(charged.overByMs)} over (allowed ${formatMs(allowanceMs)})`);
      break;
    }
    const played = referee.play(answer.move);
    if (!played.ok) {
      lose(side, 'illegal', played.reason);
      break;
    }
    const move = {
      uci: answer.move,
      san: played.san,
      elapsedMs: answer.elapsedMs,
      score: answer.score,
      clockMs: tc.type === 'clock' ? clock.remaining(side) : null,
    };
    moves.push(move);
    if (onMove) onMove(move);
  }

  // Afterwards: stop whatever still searches, then let isready flush out anything else the
  // engines had to say about this game (a late second bestmove is still a protocol error).
  for (const engine of engines) await engine.settle(limits.stopWaitMs);
  for (const engine of engines) {
    if (engine.alive) await engine.sync(limits.handshakeMs);
  }
  collectFaults();

  return {
    ...ending,
    faults,
    moves,
    plies: referee.plies(),
    fen,
    finalFen: referee.fen(),
    durationMs: performance.now() - startMs,
  };
}
