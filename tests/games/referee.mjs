#!/usr/bin/env node
// A handful of refereed games between two UCI engines under a clock with zero margin: the clock
// runs from writing "go" to reading "bestmove", and chess.js, an independent rules
// implementation, checks every move. Reports illegal moves, time losses, crashes and stalls (no
// answer at all) of each engine. Measurement matches go through fastchess (bench/match.sh).
//
//   node referee.mjs [--games 4] [--tc 2+0.05] [--strict] \
//        --engine cmd=PATH [name=N] [option.Name=Value ...] --engine cmd=PATH ...
//
// Exit code 0 clean; 1 a fault by the first engine (by either with --strict); 2 usage; 77 when
// chess.js is not installed (npm ci --prefix tests/games).
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';

let Chess;
try {
  ({ Chess } = await import('chess.js'));
} catch {
  console.log('SKIPPED: chess.js is missing; run "npm ci --prefix tests/games"');
  process.exit(77);
}

const STALL_MS = 3000;  // past its clock, an engine still silent this long has stalled
const MAX_PLIES = 300;  // then the game is called a draw
const HANDSHAKE_MS = 10000;

function parseArguments(argv) {
  const options = { games: 4, tc: '2+0.05', strict: false, engines: [] };
  for (let i = 0; i < argv.length; i++) {
    const word = argv[i];
    if (word === '--games') options.games = Number(argv[++i]);
    else if (word === '--tc') options.tc = argv[++i];
    else if (word === '--strict') options.strict = true;
    else if (word === '--engine') options.engines.push({ options: [] });
    else if (options.engines.length && word.includes('=')) {
      const [key, value] = [word.slice(0, word.indexOf('=')), word.slice(word.indexOf('=') + 1)];
      const engine = options.engines.at(-1);
      if (key.startsWith('option.')) engine.options.push([key.slice(7), value]);
      else engine[key] = value;
    } else throw new Error(`unexpected argument "${word}"`);
  }
  const [base, inc = '0'] = options.tc.split('+');
  options.baseMs = Number(base) * 1000;
  options.incMs = Number(inc) * 1000;
  if (options.engines.length !== 2 || options.engines.some((e) => !e.cmd) || !(options.games > 0) ||
      !(options.baseMs > 0)) throw new Error('two --engine cmd=PATH, a number of games and a clock are needed');
  options.engines.forEach((e, i) => { e.name ??= `${e.cmd.split('/').at(-1)}${i ? ' (2)' : ''}`; });
  return options;
}

// One engine process: lines with their arrival time, and waits for a line that passes a test.
class Engine {
  constructor(config) {
    this.config = config;
    this.lines = [];
    this.waiter = null;
    this.exited = null;
    this.child = spawn(config.cmd, [], { stdio: ['pipe', 'pipe', 'ignore'] });
    this.child.on('error', (err) => this.onExit(`cannot start: ${err.message}`));
    this.child.on('exit', (code, signal) => this.onExit(signal ? `killed by ${signal}` : `exit code ${code}`));
    this.child.stdin.on('error', () => {});
    let pending = '';
    this.child.stdout.on('data', (chunk) => {
      const now = performance.now();
      pending += chunk.toString('latin1');
      for (let at; (at = pending.indexOf('\n')) >= 0; pending = pending.slice(at + 1)) {
        this.lines.push({ text: pending.slice(0, at).replace(/\r$/, ''), at: now });
      }
      this.wake();
    });
  }
  onExit(why) {
    this.exited ??= why;
    this.wake();
  }
  wake() {
    if (this.waiter) this.waiter();
  }
  send(text) {
    if (!this.exited) this.child.stdin.write(`${text}\n`);
    return performance.now();
  }
  // The first line passing `test` within `ms`: { text, at }, or { exited } / { timeout }.
  async waitFor(test, ms) {
    const deadline = performance.now() + ms;
    for (;;) {
      const index = this.lines.findIndex((line) => test(line.text));
      if (index >= 0) return this.lines.splice(0, index + 1).pop();
      if (this.exited) return { exited: this.exited };
      const left = deadline - performance.now();
      if (left <= 0) return { timeout: true };
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.waiter = () => { clearTimeout(timer); resolve(); };
      });
      this.waiter = null;
    }
  }
  async ready() {
    this.send('isready');
    return !(await this.waitFor((t) => t === 'readyok', HANDSHAKE_MS)).timeout && !this.exited;
  }
  async start() {
    this.send('uci');
    const uciok = await this.waitFor((t) => t === 'uciok', HANDSHAKE_MS);
    for (const [name, value] of this.config.options) this.send(`setoption name ${name} value ${value}`);
    return !uciok.timeout && !uciok.exited && this.ready();
  }
  quit() {
    this.send('quit');
    setTimeout(() => this.child.kill('SIGKILL'), 1000).unref();
  }
}

// Plays one game; returns { result: '1-0' | '0-1' | '1/2-1/2', reason, fault: { side, kind } }.
async function playGame(engines, fen, options) {
  const chess = new Chess(fen);
  const moves = [];
  const clock = { w: options.baseMs, b: options.baseMs };
  const lose = (side, kind, reason) => ({ result: side === 'w' ? '0-1' : '1-0', reason, fault: { side, kind } });
  for (const engine of engines) {
    engine.send('ucinewgame');
    if (!(await engine.ready())) return lose(engine === engines[0] ? 'w' : 'b', engine.exited ? 'crash' : 'stall', 'no readyok');
  }
  while (!chess.isGameOver() && moves.length < MAX_PLIES) {
    const side = chess.turn();
    const engine = engines[side === 'w' ? 0 : 1];
    engine.send(`position fen ${fen}${moves.length ? ` moves ${moves.join(' ')}` : ''}`);
    const sent = engine.send(`go wtime ${Math.floor(clock.w)} btime ${Math.floor(clock.b)} winc ${options.incMs} binc ${options.incMs}`);
    const answer = await engine.waitFor((t) => t.startsWith('bestmove'), clock[side] + STALL_MS);
    if (answer.exited) return lose(side, 'crash', `${engine.config.name} ${answer.exited}`);
    if (answer.timeout) return lose(side, 'stall', `${engine.config.name} silent ${Math.round(clock[side] + STALL_MS)} ms`);
    const used = answer.at - sent;
    if (used > clock[side]) return lose(side, 'time', `${engine.config.name} used ${used.toFixed(1)} ms of ${clock[side].toFixed(1)}`);
    clock[side] += options.incMs - used;
    const move = answer.text.split(/\s+/)[1] ?? '';
    const legal = chess.moves({ verbose: true }).find((m) => m.lan === move);
    if (!legal) return lose(side, 'illegal', `${engine.config.name} played "${move}" in ${chess.fen()}`);
    chess.move(legal);
    moves.push(move);
  }
  if (chess.isCheckmate()) return { result: chess.turn() === 'w' ? '0-1' : '1-0', reason: 'checkmate' };
  return { result: '1/2-1/2', reason: chess.isGameOver() ? 'drawn by the rules' : `${MAX_PLIES} plies` };
}

async function main() {
  let options;
  try {
    options = parseArguments(process.argv.slice(2));
  } catch (err) {
    console.error(`referee: ${err.message}`);
    return 2;
  }
  const openings = readFileSync(new URL('openings.epd', import.meta.url), 'utf8').split('\n')
    .filter((line) => line.trim()).map((line) => `${line.trim().split(/\s+/).slice(0, 4).join(' ')} 0 1`);
  const faults = [{}, {}];
  const score = { wins: 0, draws: 0, losses: 0 };
  let engines = [];
  for (let game = 0; game < options.games; game++) {
    if (engines.length === 0 || engines.some((e) => e.exited)) {
      engines.forEach((e) => e.quit());
      engines = options.engines.map((config) => new Engine(config));
      const started = await Promise.all(engines.map((e) => e.start()));
      started.forEach((ok, i) => { if (!ok) faults[i].crash = (faults[i].crash ?? 0) + 1; });
      if (!started.every(Boolean)) break;
    }
    const firstIsWhite = game % 2 === 0;  // each opening twice, colours swapped
    const pair = firstIsWhite ? engines : [engines[1], engines[0]];
    const { result, reason, fault } = await playGame(pair, openings[Math.floor(game / 2) % openings.length], options);
    if (fault) {
      const index = (fault.side === 'w') === firstIsWhite ? 0 : 1;
      faults[index][fault.kind] = (faults[index][fault.kind] ?? 0) + 1;
      if (fault.kind === 'stall' || fault.kind === 'time') engines[index].exited ??= 'restarted after a fault';
    }
    const firstScore = result === '1/2-1/2' ? 0.5 : (result === '1-0') === firstIsWhite ? 1 : 0;
    score[firstScore === 1 ? 'wins' : firstScore === 0 ? 'losses' : 'draws']++;
    console.log(`Game ${game + 1}: ${pair[0].config.name} - ${pair[1].config.name} ${result} (${reason})`);
  }
  engines.forEach((e) => e.quit());
  console.log(`${options.engines[0].name}: +${score.wins} =${score.draws} -${score.losses}`);
  const kinds = ['illegal', 'time', 'crash', 'stall'];
  options.engines.forEach((e, i) =>
    console.log(`${e.name}: ${kinds.map((k) => `${faults[i][k] ?? 0} ${k}`).join(', ')}`));
  const judged = options.strict ? [0, 1] : [0];
  return judged.some((i) => kinds.some((k) => faults[i][k])) ? 1 : 0;
}

process.exit(await main());
