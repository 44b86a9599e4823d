// Stage 3: the reference score of each position, a fixed-depth search of Stockfish (one thread,
// 16 MB, tables cleared before every position so that the score does not depend on which
// positions came before or on which process searched it). Scores are written as the engine gives
// them ("cp N" or "mate N", side to move's view) and appended as they come, so that an
// interrupted run resumes where it stopped.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import readline from 'node:readline';
import { readRows } from './common.mjs';

// One UCI engine process: lines in, lines out.
class UciEngine {
  constructor(program) {
    this.process = spawn(program, [], { stdio: ['pipe', 'pipe', 'inherit'] });
    this.lines = [];
    this.waiting = null;
    this.exited = false;
    this.process.on('error', (error) => this.fail(`cannot run ${program}: ${error.message}`));
    this.process.on('exit', () => this.fail(`${program} ended unexpectedly`));
    readline.createInterface({ input: this.process.stdout }).on('line', (line) => {
      this.lines.push(line);
      this.wake();
    });
  }

  fail(message) {
    this.exited = this.exited || message;
    this.wake();
  }

  wake() {
    if (this.waiting) {
      const resolve = this.waiting;
      this.waiting = null;
      resolve();
    }
  }

  send(text) {
    this.process.stdin.write(text + '\n');
  }

  // The lines up to and including the first that satisfies `last`.
  async readUntil(last) {
    const read = [];
    for (;;) {
      while (this.lines.length > 0) {
        const line = this.lines.shift();
        read.push(line);
        if (last(line)) return read;
      }
      if (this.exited) throw new Error(this.exited);
      await new Promise((resolve) => { this.waiting = resolve; });
    }
  }

  quit() {
    this.process.removeAllListeners('exit');
    this.send('quit');
  }
}

// The score of the deepest completed iteration: the last exact score at the asked depth, else
// the last score given at all. Returns "cp N", "mate N" or null.
export function finalScore(lines, depth) {
  let exact = null, any = null;
  for (const line of lines) {
    const m = line.match(/^info .*\bscore (cp|mate) (-?\d+)( lowerbound| upperbound)?/);
    if (!m) continue;
    const score = `${m[1]} ${m[2]}`;
    any = score;
    const d = line.match(/\bdepth (\d+)/);
    if (!m[3] && d && Number(d[1]) === depth) exact = score;
  }
  return exact ?? any;
}

// A row of the labels file as this stage writes it: FEN, the game score, "cp N" or "mate N".
export function validLabelRow(row) {
  return row.length === 3 && /^(cp|mate) -?\d+$/.test(row[2]);
}

async function startLabeller(program) {
  const engine = new UciEngine(program);
  engine.send('uci');
  const id = (await engine.readUntil((line) => line === 'uciok')).find((l) => l.startsWith('id name'));
  engine.send('setoption name Threads value 1');
  engine.send('setoption name Hash value 16');
  engine.send('isready');
  await engine.readUntil((line) => line === 'readyok');
  return { engine, name: id ? id.slice(8) : program };
}

// The whole stage: labels every position of `positions` not yet in `out`.
export async function labelPositions({ positions, out, stockfish, depth, concurrency }) {
  // A run stopped in the middle of a line leaves that line unfinished: it is cut off and redone.
  if (fs.existsSync(out)) {
    const text = fs.readFileSync(out, 'utf8');
    if (text !== '' && !text.endsWith('\n')) {
      const whole = text.slice(0, text.lastIndexOf('\n') + 1);
      fs.truncateSync(out, Buffer.byteLength(whole));
    }
  }
  const done = new Set(readRows(out, true).filter(validLabelRow).map((row) => row[0]));
  const todo = readRows(positions).filter((row) => !done.has(row[0]));
  const stream = fs.createWriteStream(out, { flags: 'a' });
  const started = Date.now();
  let next = 0, labelled = 0, failure = null;

  // One worker per engine process; the first failure stops them all, and what was written so far
  // stays valid for the next run.
  async function work(w) {
    const { engine, name } = await startLabeller(stockfish);
    try {
      if (w === 0) console.log(`label: ${name}, depth ${depth}, ${todo.length} positions to do` +
                              ` (${done.size} already done), ${concurrency} at a time`);
      if (w === 0 && !/Stockfish 15\.1\b/.test(name))
        console.log(`label: warning: the reference engine is ${name}, not Stockfish 15.1`);
      while (!failure && next < todo.length) {
        const [fen, score] = todo[next++];
        engine.send('ucinewgame');
        engine.send(`position fen ${fen}`);
        engine.send(`go depth ${depth}`);
        const label = finalScore(await engine.readUntil((l) => l.startsWith('bestmove')), depth);
        if (label === null) continue;
        stream.write(`${fen}\t${score}\t${label}\n`);
        if (++labelled % 1000 === 0)
          console.log(`label: ${labelled} of ${todo.length}, ` +
                      `${((Date.now() - started) / labelled).toFixed(1)} ms a position`);
      }
    } finally {
      engine.quit();
    }
  }
  const workers = [];
  for (let w = 0; w < Math.min(concurrency, todo.length); w++)
    workers.push(work(w).catch((error) => { failure = failure ?? error; }));
  await Promise.all(workers);
  await new Promise((resolve) => stream.end(resolve));
  if (failure) throw failure;
  const seconds = (Date.now() - started) / 1000;
  console.log(`label: ${labelled} positions in ${seconds.toFixed(1)} s`);
  return { labelled, seconds };
}
