#!/usr/bin/env node
// Checks the referee, the clock and the runner against scripted engines that each break the
// protocol in one way; needs no chess engine. Run: node selftest.mjs
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const HERE = dirname(fileURLToPath(import.meta.url));
const RUN_MATCH = join(HERE, 'run-match.mjs');
const SCRIPTED = join(HERE, 'fake-engines', 'scripted-engine.mjs');

let modules;
try {
  modules = {
    ...(await import('./referee.mjs')),
    ...(await import('./match.mjs')),
    ...(await import('./time-control.mjs')),
  };
} catch (err) {
  if (err.code === 'ERR_MODULE_NOT_FOUND' && /chess\.js/.test(err.message)) {
    console.log('SKIPPED: the npm package chess.js is not installed; run "npm ci --prefix tests/games" first.');
    process.exit(77);
  }
  throw err;
}
const { Referee, normaliseFen, runMatch, GameClock, parseTimeControl, movetimeControl } = modules;
const { Chess } = await import('chess.js');
const { test } = await import('node:test');
const assert = (await import('node:assert/strict')).default;

const OPENINGS = readFileSync(join(HERE, 'openings.epd'), 'utf8').split('\n').filter(Boolean).slice(0, 3).map(normaliseFen);
const FAST = parseTimeControl('1+0.1');

function scripted(behaviour, normalMoves = 0, name = behaviour) {
  return { cmd: process.execPath, args: [SCRIPTED, behaviour, String(normalMoves)], name, options: [] };
}

async function match(first, second, { games = 2, tc = FAST, maxPlies = 30, handshakeMs = 1000 } = {}) {
  const lines = [];
  const { tally, results } = await runMatch({
    engines: [first, second],
    openings: OPENINGS,
    games,
    tc,
    limits: { handshakeMs, stopWaitMs: 500, maxPlies },
    concurrency: 1,
    seed: null,
    pgnPath: null,
    debug: false,
  }, (line) => lines.push(line));
  return { tally, results, lines };
}

const counts = (tally, index) => {
  const { time, illegal, crash, protocol } = tally.counts[index];
  return { time, illegal, crash, protocol };
};
const NONE = { time: 0, illegal: 0, crash: 0, protocol: 0 };

// --- the referee -------------------------------------------------------------------------

test('referee: castling is the king move, promotions need their lower-case piece', () => {
  const referee = new Referee('r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq - 0 1');
  assert.equal(referee.play('e1h1').ok, false, 'king takes own rook is not castling here');
  assert.equal(referee.play('b7b8').ok, false, 'promotion without a piece');
  assert.equal(referee.play('b7b8Q').ok, false, 'upper-case promotion piece');
  assert.equal(referee.play('0000').ok, false, 'null move');
  assert.equal(referee.play('').ok, false, 'empty move');
  assert.equal(referee.play('e1g1').ok, true);
  assert.equal(referee.play('e8c8').ok, false, 'the b7 pawn covers c8');
  assert.equal(referee.play('e8g8').ok, false, 'the f1 rook covers f8');
  assert.equal(referee.play('a8a1').ok, true);
  assert.equal(referee.play('b7a8q').ok, false, 'nothing left to take on a8');
  assert.equal(referee.play('b7b8q').ok, true);
  assert.deepEqual(referee.sanMoves, ['O-O', 'Rxa1', 'b8=Q+']);
  assert.equal(referee.positionCommand(),
    'position fen r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 a8a1 b7b8q');
  const queenside = new Referee('r3k3/8/8/8/8/8/8/4K3 b q - 0 1');
  assert.equal(queenside.play('e8c8').ok, true);
  assert.equal(queenside.sanMoves[0], 'O-O-O');
});

test('referee: en passant only right after the double step', () => {
  const referee = new Referee('4k3/8/8/8/4p3/8/3P1P2/4K3 w - - 0 1');
  assert.equal(referee.play('d2d4').ok, true);
  assert.equal(referee.play('e4d3').ok, true, 'en passant');
  const late = new Referee('4k3/8/8/8/4p3/8/3P1P2/4K3 w - - 0 1');
  for (const move of ['d2d4', 'e8d8', 'f2f3', 'd8e8']) assert.equal(late.play(move).ok, true, move);
  assert.equal(late.play('f3e4').ok, true);
  assert.equal(new Referee('4k3/8/8/8/3Pp3/8/8/4K3 b - - 0 1').play('e4d3').ok, false, 'no en-passant square in the FEN');
});

test('referee: a move of the wrong side, or into check, is illegal', () => {
  const referee = new Referee('4k3/8/8/8/8/8/4r3/4K3 w - - 0 1');
  assert.equal(referee.play('e8d8').ok, false, 'black\'s move on white\'s turn');
  assert.equal(referee.play('e1d2').ok, false, 'the rook covers d2');
  assert.equal(referee.play('e1e2').ok, true, 'takes the rook');
});

test('referee: game ends by the rules', () => {
  const mate = new Referee('6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1');
  assert.equal(mate.play('a1a8').ok, true);
  assert.deepEqual(mate.outcome(), { result: '1-0', reason: 'white mates' });
  const stalemate = new Referee('7k/8/6Q1/8/8/8/8/K7 b - - 0 1');
  assert.equal(stalemate.outcome().reason, 'stalemate');
  assert.equal(new Referee('8/8/8/4k3/8/8/2B5/4K3 w - - 0 1').outcome().reason, 'insufficient material');
  const fifty = new Referee('8/8/8/4k3/8/8/2R5/4K3 w - - 99 80');
  assert.equal(fifty.outcome(), null);
  assert.equal(fifty.play('c2c3').ok, true);
  assert.equal(fifty.outcome().reason, 'fifty-move rule');
  const checkmateOnTheHundredth = new Referee('6k1/5ppp/8/8/8/8/8/R5K1 w - - 99 80');
  assert.equal(checkmateOnTheHundredth.play('a1a8').ok, true);
  assert.equal(checkmateOnTheHundredth.outcome().reason, 'white mates', 'mate outranks the fifty-move rule');
  const repetition = new Referee('4k3/8/8/8/8/8/8/4K2R w - - 0 1');
  for (const move of ['h1h2', 'e8d8', 'h2h1', 'd8e8', 'h1h2', 'e8d8', 'h2h1']) {
    assert.equal(repetition.outcome(), null, `not over before ${move}`);
    assert.equal(repetition.play(move).ok, true);
  }
  assert.equal(repetition.outcome(), null, 'twice is not yet a repetition draw');
  assert.equal(repetition.play('d8e8').ok, true);
  assert.equal(repetition.outcome().reason, 'threefold repetition');
});

test('referee: opening lines are FEN or EPD, bad ones are refused', () => {
  assert.equal(normaliseFen('4k3/8/8/8/8/8/8/4K2R w K - bm Rh8;'), '4k3/8/8/8/8/8/8/4K2R w K - 0 1');
  assert.equal(normaliseFen('4k3/8/8/8/8/8/8/4K2R w K - 3 40'), '4k3/8/8/8/8/8/8/4K2R w K - 3 40');
  assert.throws(() => normaliseFen('4k3/8/8 w - -'));
  assert.throws(() => normaliseFen('hello'));
});

// --- the clock ---------------------------------------------------------------------------

test('clock: zero margin, increment after the move, movestogo periods', () => {
  const clock = new GameClock(parseTimeControl('1+0.1'));
  assert.equal(clock.goCommand('w'), 'go wtime 1000 btime 1000 winc 100 binc 100');
  assert.equal(clock.charge('w', 1000).flagged, false, 'exactly zero left is still in time');
  assert.equal(clock.remaining('w'), 100);
  const over = clock.charge('w', 100.001);
  assert.equal(over.flagged, true, 'a microsecond below zero has lost');
  assert.ok(over.overByMs > 0 && over.overByMs < 0.01);
  const periods = new GameClock(parseTimeControl('2/1+0'));
  assert.equal(periods.goCommand('w'), 'go wtime 1000 btime 1000 winc 0 binc 0 movestogo 2');
  periods.charge('w', 300.7);
  assert.equal(periods.goCommand('w'), 'go wtime 699 btime 1000 winc 0 binc 0 movestogo 1', 'rounded down');
  periods.charge('w', 200);
  assert.equal(periods.goCommand('w'), 'go wtime 1499 btime 1000 winc 0 binc 0 movestogo 2', 'a new period');
  const fixed = new GameClock(movetimeControl(200));
  assert.equal(fixed.goCommand('b'), 'go movetime 200');
  assert.equal(fixed.charge('b', 200).flagged, false);
  assert.equal(fixed.charge('b', 200.01).flagged, true);
  assert.throws(() => parseTimeControl('fast'));
  assert.throws(() => parseTimeControl('0+1'));
});

// --- the runner against scripted engines -------------------------------------------------

test('well-behaved engines: no faults, every game finished and scored', async () => {
  const { tally, results } = await match(scripted('legal'), scripted('legal', 0, 'other'), { games: 3 });
  assert.deepEqual(counts(tally, 0), NONE);
  assert.deepEqual(counts(tally, 1), NONE);
  assert.equal(tally.games, 3);
  assert.equal(tally.wins + tally.draws + tally.losses, 3);
  assert.equal(results[0].fen, results[1].fen, 'each opening twice');
  assert.notEqual(results[1].fen, results[2].fen);
  for (const game of results) assert.ok(game.plies > 0 && game.plies <= 30);
});

test('the PGN of a match reads back into the same games', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'runner-pgn-'));
  const pgnPath = join(dir, 'games.pgn');
  try {
    const lines = [];
    const { results } = await runMatch({
      engines: [scripted('noisy'), scripted('legal')],
      openings: OPENINGS,
      games: 2,
      tc: FAST,
      limits: { handshakeMs: 1000, stopWaitMs: 500, maxPlies: 40 },
      concurrency: 1,
      seed: null,
      pgnPath,
      debug: false,
    }, (line) => lines.push(line));
    const games = readFileSync(pgnPath, 'utf8').split(/\n(?=\[Event )/);
    assert.equal(games.length, 2);
    games.forEach((text, i) => {
      const chess = new Chess();
      chess.loadPgn(text);
      assert.equal(chess.fen(), results[i].finalFen);
      assert.equal(chess.getHeaders().Result, results[i].result);
      assert.equal(chess.history().length, results[i].plies);
    });
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});

test('info lines and lines that do not parse are ignored; the last score is kept', async () => {
  const { tally, results } = await match(scripted('noisy'), scripted('slow'));
  assert.deepEqual(counts(tally, 0), NONE);
  assert.deepEqual(counts(tally, 1), NONE);
  assert.deepEqual(results[0].moves[0].score, { kind: 'cp', value: 12, depth: 3 });
  assert.ok(results[0].moves[1].elapsedMs >= 90, 'the slow engine\'s time is measured');
});

test('an illegal move loses and is counted', async () => {
  const { tally, results } = await match(scripted('illegal', 2), scripted('legal'));
  assert.deepEqual(counts(tally, 0), { ...NONE, illegal: 2 });
  assert.equal(tally.losses, 2);
  assert.match(results[0].reason, /illegal move.*e2e5/);
  assert.equal(results[0].plies, 4, 'two good moves each, then the illegal one');
});

test('an engine that never answers loses on time', async () => {
  const { tally, results } = await match(scripted('silent', 1), scripted('legal'));
  assert.deepEqual(counts(tally, 0), { ...NONE, time: 2 });
  assert.equal(tally.losses, 2);
  assert.match(results[0].reason, /loses on time: no bestmove/);
});

test('an answer after the clock ran out loses on time, with a clock or a fixed move time', async () => {
  const clocked = await match(scripted('late', 1), scripted('legal'));
  assert.deepEqual(counts(clocked.tally, 0), { ...NONE, time: 2 });
  assert.match(clocked.results[0].reason, /loses on time: bestmove after .* over/);
  const fixed = await match(scripted('late'), scripted('legal'), { tc: movetimeControl(150) });
  assert.deepEqual(counts(fixed.tally, 0), { ...NONE, time: 2 });
  const inTime = await match(scripted('slow'), scripted('legal'), { tc: movetimeControl(150), maxPlies: 8 });
  assert.deepEqual(counts(inTime.tally, 0), NONE);
});

test('two bestmoves for one go, or one without a go, are protocol errors', async () => {
  const twice = await match(scripted('double'), scripted('legal'));
  assert.deepEqual(counts(twice.tally, 0), { ...NONE, protocol: 2 });
  assert.match(twice.results[0].reason, /protocol error: extra bestmove/);
  const later = await match(scripted('double-late', 1), scripted('slow'));
  assert.ok(counts(later.tally, 0).protocol >= 2, 'the late second answer is seen');
  assert.equal(later.tally.losses, 2);
  const unasked = await match(scripted('unsolicited'), scripted('legal'));
  assert.deepEqual(counts(unasked.tally, 0), { ...NONE, protocol: 2 });
});

test('a crash loses, and the engine is started again for the next game', async () => {
  const { tally, results } = await match(scripted('crash', 2), scripted('legal'));
  assert.deepEqual(counts(tally, 0), { ...NONE, crash: 2 });
  assert.equal(results[1].plies, 5, 'the second game was played by a new process');
  const atStart = await match(scripted('crash-start'), scripted('legal'));
  assert.deepEqual(counts(atStart.tally, 0), { ...NONE, crash: 2 });
});

test('no uciok or no readyok in time is a protocol error', async () => {
  const noUciok = await match(scripted('no-uciok'), scripted('legal'), { handshakeMs: 300 });
  assert.deepEqual(counts(noUciok.tally, 0), { ...NONE, protocol: 2 });
  const noReadyok = await match(scripted('no-readyok'), scripted('legal'), { handshakeMs: 300 });
  assert.deepEqual(counts(noReadyok.tally, 0), { ...NONE, protocol: 2 });
});

test('the opponent crashing while the first engine thinks is the opponent\'s fault only', async () => {
  const { tally } = await match(scripted('slow'), scripted('crash-after-move', 1));
  assert.deepEqual(counts(tally, 0), NONE, 'the stopped search answered "stop", which is no extra bestmove');
  assert.deepEqual(counts(tally, 1), { ...NONE, crash: 2 });
  assert.equal(tally.wins, 2);
});

// --- the command line --------------------------------------------------------------------

function runCli(args, extraEnv = {}, script = RUN_MATCH) {
  const started = Date.now();
  const result = spawnSync(process.execPath, [script, ...args], {
    stdio: ['ignore', 'pipe', 'pipe'],
    encoding: 'utf8',
    timeout: 60000,
    env: { ...process.env, ...extraEnv },
  });
  return { ...result, seconds: (Date.now() - started) / 1000 };
}

const cliEngine = (behaviour, normalMoves = 0) => ['--engine', `cmd=${process.execPath}`, `name=${behaviour}`,
  `arg=${SCRIPTED}`, `arg=${behaviour}`, `arg=${normalMoves}`];

test('exit codes: 0 clean, 1 for faults of the first engine (of either with --strict), 2 usage', () => {
  const common = ['--games', '2', '--tc', '0.5+0.05', '--max-plies', '12'];
  const clean = runCli([...cliEngine('legal'), ...cliEngine('slow'), ...common]);
  assert.equal(clean.status, 0, clean.stdout + clean.stderr);
  assert.match(clean.stdout, /PASSED/);
  assert.match(clean.stdout, /legal: \d+ wins, \d+ draws, \d+ losses, score/);
  const faulty = runCli([...cliEngine('illegal'), ...cliEngine('legal'), ...common]);
  assert.equal(faulty.status, 1, faulty.stdout + faulty.stderr);
  assert.match(faulty.stdout, /illegal moves\s+2\s+0/);
  const opponentFaulty = runCli([...cliEngine('legal'), ...cliEngine('illegal'), ...common]);
  assert.equal(opponentFaulty.status, 0, opponentFaulty.stdout);
  const strict = runCli([...cliEngine('legal'), ...cliEngine('illegal'), ...common, '--strict']);
  assert.equal(strict.status, 1, strict.stdout);
  assert.equal(runCli([...cliEngine('legal')]).status, 2, 'one engine only');
  assert.equal(runCli(['--engine', 'cmd=/nonexistent/engine', ...cliEngine('legal')]).status, 2);
  assert.equal(runCli([...cliEngine('legal'), ...cliEngine('legal'), '--tc', 'soon']).status, 2);
});

test('an engine that ignores quit and signals is killed; the run ends and leaves no process', () => {
  const pidDir = mkdtempSync(join(tmpdir(), 'scripted-pids-'));
  const pidFile = join(pidDir, 'pids');
  try {
    const run = runCli([...cliEngine('stubborn', 1), ...cliEngine('legal'), '--games', '2', '--tc', '0.3+0'],
      { SCRIPTED_ENGINE_PID_FILE: pidFile });
    assert.equal(run.status, 1, run.stdout + run.stderr);
    assert.match(run.stdout, /time forfeits\s+2\s+0/);
    assert.ok(run.seconds < 20, `took ${run.seconds} s`);
    const pids = readFileSync(pidFile, 'utf8').split('\n').filter(Boolean).map(Number);
    assert.ok(pids.length >= 3, 'a new stubborn process for the second game');
    for (const pid of pids) {
      assert.throws(() => process.kill(pid, 0), { code: 'ESRCH' }, `process ${pid} still alive`);
    }
  } finally {
    rmSync(pidDir, { recursive: true, force: true });
  }
});

test('without the npm packages the runner says so and exits 77', () => {
  const bare = mkdtempSync(join(tmpdir(), 'runner-without-packages-'));
  try {
    for (const file of readdirSync(HERE).filter((name) => name.endsWith('.mjs'))) {
      copyFileSync(join(HERE, file), join(bare, file));
    }
    mkdirSync(join(bare, 'fake-engines'));
    copyFileSync(join(HERE, 'openings.epd'), join(bare, 'openings.epd'));
    const run = runCli([...cliEngine('legal'), ...cliEngine('legal')], {}, join(bare, 'run-match.mjs'));
    assert.equal(run.status, 77, run.stdout + run.stderr);
    assert.match(run.stdout, /npm ci/);
  } finally {
    rmSync(bare, { recursive: true, force: true });
  }
});
