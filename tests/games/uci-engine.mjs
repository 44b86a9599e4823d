// One UCI engine running as a child process: line reading with arrival times,
// the uci/isready handshakes with time limits, and the "go" / "bestmove" pairing.
// Faults (an exit nobody asked for, a "bestmove" nobody asked for, a handshake without
// answer) are logged for the caller to collect with takeFaults(); onFault only wakes it up.
import { spawn } from 'node:child_process';

const STDERR_LINES_KEPT = 20;
const QUIT_WAIT_MS = 1000;

// Every child ever started, so that nothing outlives the runner, whatever way it ends.
const liveChildren = new Set();
let exitHookInstalled = false;

function installExitHook() {
  if (exitHookInstalled) return;
  exitHookInstalled = true;
  process.on('exit', () => {
    for (const child of liveChildren) {
      try { child.kill('SIGKILL'); } catch { /* already gone */ }
    }
  });
  for (const [signal, code] of [['SIGINT', 130], ['SIGTERM', 143], ['SIGHUP', 129]]) {
    process.on(signal, () => process.exit(code));
  }
}

export function nowNs() {
  return process.hrtime.bigint();
}

export function msBetween(startNs, endNs) {
  return Number(endNs - startNs) / 1e6;
}

// "info ... score cp 35 ..." or "score mate -3"; bounds are kept as given.
function parseScore(tokens) {
  const at = tokens.indexOf('score');
  if (at < 0 || at + 2 >= tokens.length) return null;
  const kind = tokens[at + 1];
  const value = Number.parseInt(tokens[at + 2], 10);
  if ((kind !== 'cp' && kind !== 'mate') || Number.isNaN(value)) return null;
  const depthAt = tokens.indexOf('depth');
  const depth = depthAt >= 0 ? Number.parseInt(tokens[depthAt + 1], 10) : NaN;
  return { kind, value, depth: Number.isNaN(depth) ? null : depth };
}

export class UciEngine {
  // config: { cmd, args: [], name, options: [[name, value], ...] }
  constructor(config, { debug = null } = {}) {
    this.config = config;
    this.name = config.name || config.cmd;
    this.idName = null;
    this.debug = debug; // function(text) or null
    this.child = null;
    this.alive = false;
    this.expectExit = false;
    this.exitInfo = null;
    this.stderrTail = [];
    this.pending = '';
    this.thinking = false;
    this.goStartNs = 0n;
    this.goWaiter = null;
    this.lineWaiter = null;
    this.exitWaiters = [];
    this.lastScore = null;
    this.faults = [];
    this.onFault = null;
  }

  takeFaults() {
    return this.faults.splice(0);
  }

  log(direction, text) {
    if (this.debug) this.debug(`${this.name} ${direction} ${text}`);
  }

  // Spawns the process and runs the uci handshake, the options and isready.
  // Resolves { ok: true } or { ok: false, reason }; the failure is also in the fault log.
  async start(handshakeMs) {
    installExitHook();
    this.expectExit = false;
    this.exitInfo = null;
    this.stderrTail = [];
    this.pending = '';
    this.thinking = false;
    let child;
    try {
      child = spawn(this.config.cmd, this.config.args || [], { stdio: ['pipe', 'pipe', 'pipe'] });
    } catch (err) {
      const reason = `cannot start: ${err.message}`;
      this.fault({ type: 'crash', detail: reason });
      return { ok: false, reason };
    }
    this.child = child;
    this.alive = true;
    liveChildren.add(child);
    // A command that cannot be run gives 'error' and no 'exit'.
    child.on('error', (err) => {
      if (this.child === child && this.alive) this.onExit(null, null, `cannot start: ${err.message}`);
    });
    child.stdin.on('error', () => { /* a dead reader; the exit handler reports it */ });
    child.stdout.on('data', (chunk) => this.onData(chunk, nowNs()));
    child.stderr.on('data', (chunk) => this.onStderr(chunk));
    // 'close' comes after the last output has been read, so a "bestmove" written just before
    // dying still counts; the timer covers a grandchild that keeps the pipes open.
    child.on('exit', (code, signal) => {
      liveChildren.delete(child);
      setTimeout(() => { if (this.child === child) this.onExit(code, signal); }, 500);
    });
    child.on('close', (code, signal) => {
      liveChildren.delete(child);
      if (this.child === child) this.onExit(code, signal);
    });

    this.send('uci');
    const uciok = await this.waitForLine((tokens) => {
      if (tokens[0] === 'id' && tokens[1] === 'name') this.idName = tokens.slice(2).join(' ');
      return tokens[0] === 'uciok';
    }, handshakeMs);
    if (!uciok.ok) return this.handshakeFailure('uciok', handshakeMs);
    for (const [option, value] of this.config.options || []) {
      this.send(value === undefined ? `setoption name ${option}` : `setoption name ${option} value ${value}`);
    }
    return this.sync(handshakeMs);
  }

  // An exit was logged as a crash already; silence is logged here. The engine is then
  // ended, so that a late answer cannot be mistaken for the next one.
  handshakeFailure(word, limitMs) {
    if (!this.alive) return { ok: false, reason: `exited before "${word}" (${this.describeExit()})` };
    const reason = `no "${word}" within ${limitMs} ms`;
    this.fault({ type: 'protocol', detail: reason });
    this.kill();
    return { ok: false, reason };
  }

  // isready / readyok; any stray "bestmove" meanwhile is reported as a fault by onLine.
  async sync(limitMs) {
    if (!this.alive) return { ok: false, reason: `not running (${this.describeExit()})` };
    this.send('isready');
    const reply = await this.waitForLine((tokens) => tokens[0] === 'readyok', limitMs);
    if (!reply.ok) return this.handshakeFailure('readyok', limitMs);
    return { ok: true };
  }

  async newGame(limitMs) {
    if (!this.alive) return { ok: false, reason: `not running (${this.describeExit()})` };
    this.lastScore = null;
    this.send('ucinewgame');
    return this.sync(limitMs);
  }

  send(text) {
    if (!this.alive || !this.child) return false;
    this.log('<', text);
    try {
      this.child.stdin.write(`${text}\n`);
    } catch {
      return false;
    }
    return true;
  }

  // Writes position and go, and waits for the matching bestmove at most waitMs.
  // Resolves { kind: 'bestmove', move, ponder, elapsedMs, score } or
  // { kind: 'timeout' | 'exit' | 'aborted', elapsedMs }.
  go(positionLine, goLine, waitMs) {
    if (this.goWaiter) throw new Error('go while a search is outstanding');
    return new Promise((resolve) => {
      this.lastScore = null;
      this.thinking = true;
      const finish = (result) => {
        clearTimeout(timer);
        this.goWaiter = null;
        resolve(result);
      };
      const timer = setTimeout(() => {
        finish({ kind: 'timeout', elapsedMs: msBetween(this.goStartNs, nowNs()) });
      }, Math.max(0, Math.ceil(waitMs)));
      this.goWaiter = finish;
      this.send(positionLine);
      this.goStartNs = nowNs();
      this.send(goLine);
      if (!this.alive) finish({ kind: 'exit', elapsedMs: 0 });
    });
  }

  // Lets the caller stop waiting (the game ended for another reason); the search stays outstanding.
  abortWait() {
    if (this.goWaiter) this.goWaiter({ kind: 'aborted', elapsedMs: msBetween(this.goStartNs, nowNs()) });
  }

  // After a game: a search still outstanding is stopped; an engine that does not then answer
  // cannot be trusted with the next game and is ended (it is restarted when needed).
  async settle(stopWaitMs) {
    if (!this.alive || !this.thinking) return { answered: true };
    this.send('stop');
    const reply = await this.waitForLine((tokens) => tokens[0] === 'bestmove', stopWaitMs, true);
    if (reply.ok) return { answered: true };
    await this.quit();
    return { answered: false };
  }

  onData(chunk, arrivalNs) {
    this.pending += chunk.toString('latin1');
    let newline;
    while ((newline = this.pending.indexOf('\n')) >= 0) {
      const line = this.pending.slice(0, newline).replace(/\r$/, '');
      this.pending = this.pending.slice(newline + 1);
      this.onLine(line, arrivalNs);
    }
  }

  onLine(line, arrivalNs) {
    this.log('>', line);
    const tokens = line.trim().split(/\s+/).filter(Boolean);
    if (tokens.length === 0) return;
    if (tokens[0] === 'info') {
      const score = parseScore(tokens);
      if (score) this.lastScore = score;
      return;
    }
    if (tokens[0] === 'bestmove') {
      if (this.thinking) {
        this.thinking = false;
        const result = {
          kind: 'bestmove',
          move: tokens[1] ?? '',
          ponder: tokens[2] === 'ponder' ? (tokens[3] ?? null) : null,
          elapsedMs: msBetween(this.goStartNs, arrivalNs),
          score: this.lastScore,
        };
        if (this.goWaiter) this.goWaiter(result);
        if (this.lineWaiter && this.lineWaiter.acceptsBestmove) this.lineWaiter.done({ ok: true, tokens });
      } else {
        this.fault({ type: 'extra-bestmove', detail: `unrequested "${line.trim()}"` });
      }
      return;
    }
    if (this.lineWaiter && this.lineWaiter.match(tokens)) this.lineWaiter.done({ ok: true, tokens });
  }

  // Waits for a line that satisfies match; resolves { ok } and never rejects.
  waitForLine(match, limitMs, acceptsBestmove = false) {
    return new Promise((resolve) => {
      if (!this.alive) {
        resolve({ ok: false });
        return;
      }
      const timer = setTimeout(() => done({ ok: false }), limitMs);
      const done = (result) => {
        clearTimeout(timer);
        if (this.lineWaiter === waiter) this.lineWaiter = null;
        resolve(result);
      };
      const waiter = { match, done, acceptsBestmove };
      this.lineWaiter = waiter;
    });
  }

  onStderr(chunk) {
    for (const line of chunk.toString('latin1').split('\n')) {
      if (!line.trim()) continue;
      this.log('!', line);
      this.stderrTail.push(line);
      if (this.stderrTail.length > STDERR_LINES_KEPT) this.stderrTail.shift();
    }
  }

  onExit(code, signal, error = null) {
    if (!this.alive) return;
    this.alive = false;
    this.thinking = false;
    this.exitInfo = { code, signal, error };
    this.log('x', this.describeExit());
    if (this.goWaiter) this.goWaiter({ kind: 'exit', elapsedMs: msBetween(this.goStartNs, nowNs()) });
    if (this.lineWaiter) this.lineWaiter.done({ ok: false });
    for (const wake of this.exitWaiters.splice(0)) wake();
    if (!this.expectExit) {
      const tail = this.stderrTail.slice(-3).join(' | ');
      this.fault({ type: 'crash', detail: tail ? `${this.describeExit()}; stderr: ${tail}` : this.describeExit() });
    }
  }

  describeExit() {
    if (!this.exitInfo) return 'running';
    const { code, signal, error } = this.exitInfo;
    if (error) return error;
    return signal ? `killed by ${signal}` : `exit code ${code}`;
  }

  fault(fault) {
    this.faults.push({ ...fault, engine: this, atNs: nowNs() });
    if (this.onFault) this.onFault(this, fault);
  }

  waitForExit(limitMs) {
    if (!this.alive) return Promise.resolve(true);
    return new Promise((resolve) => {
      const timer = setTimeout(() => resolve(false), limitMs);
      this.exitWaiters.push(() => {
        clearTimeout(timer);
        resolve(true);
      });
    });
  }

  // "quit", then the hard way if it does not go.
  async quit() {
    if (!this.alive) return;
    this.expectExit = true;
    this.send('quit');
    if (await this.waitForExit(QUIT_WAIT_MS)) return;
    this.kill();
    await this.waitForExit(QUIT_WAIT_MS);
  }

  kill() {
    if (!this.alive || !this.child) return;
    this.expectExit = true;
    try { this.child.kill('SIGKILL'); } catch { /* already gone */ }
  }
}
