#!/usr/bin/env node
// Plays a refereed match between two UCI engines; see --help. The first engine is under test.
import { readFileSync } from 'node:fs';
import { parseArguments, USAGE, UsageError } from './cli-options.mjs';

const EXIT_FAULTS = 1;
const EXIT_USAGE = 2;
const EXIT_SKIP = 77; // ctest's SKIP_RETURN_CODE: the referee's package is not installed

async function loadMatchModules() {
  try {
    const match = await import('./match.mjs');
    const referee = await import('./referee.mjs');
    return { ...match, ...referee };
  } catch (err) {
    if (err.code === 'ERR_MODULE_NOT_FOUND' && /chess\.js/.test(err.message)) return null;
    throw err;
  }
}

function readOpenings(path, normaliseFen) {
  let text;
  try {
    text = readFileSync(path, 'utf8');
  } catch (err) {
    throw new UsageError(`cannot read openings "${path}": ${err.message}`);
  }
  const lines = text.split('\n').map((line) => line.trim()).filter((line) => line && !line.startsWith('#'));
  if (lines.length === 0) throw new UsageError(`no positions in "${path}"`);
  return lines.map((line, i) => {
    try {
      return normaliseFen(line);
    } catch (err) {
      throw new UsageError(`${path}:${i + 1}: ${err.message}`);
    }
  });
}

async function main() {
  let options;
  try {
    options = parseArguments(process.argv.slice(2));
  } catch (err) {
    if (!(err instanceof UsageError)) throw err;
    console.error(`run-match: ${err.message}\n\n${USAGE}`);
    return EXIT_USAGE;
  }
  if (options.help) {
    console.log(USAGE);
    return 0;
  }
  const modules = await loadMatchModules();
  if (!modules) {
    console.log('SKIPPED: the npm package chess.js is not installed; run "npm ci --prefix tests/games" first.');
    return EXIT_SKIP;
  }
  let openings;
  try {
    openings = readOpenings(options.openingsPath, modules.normaliseFen);
  } catch (err) {
    console.error(`run-match: ${err.message}`);
    return EXIT_USAGE;
  }
  const { tally } = await modules.runMatch({
    engines: options.engines,
    openings,
    games: options.games,
    tc: options.tc,
    limits: { handshakeMs: options.handshakeMs, stopWaitMs: 1000, maxPlies: options.maxPlies },
    concurrency: options.concurrency,
    seed: options.seed,
    pgnPath: options.pgnPath,
    debug: options.debug,
  });
  const judged = options.strict ? [0, 1] : [0];
  const failures = judged.filter((index) => tally.faultsOf(index) > 0)
    .map((index) => `${tally.names[index]} had ${tally.faultsOf(index)} fault(s)`);
  if (failures.length) {
    console.log(`FAILED: ${failures.join('; ')} (time forfeits, illegal moves, crashes or protocol errors)`);
    return EXIT_FAULTS;
  }
  console.log(`PASSED: no time forfeit, illegal move, crash or protocol error by ${judged.map((i) => tally.names[i]).join(' or ')}`);
  return 0;
}

// process.exit also ends any engine still running (see uci-engine.mjs).
main().then(
  (code) => process.exit(code),
  (err) => {
    console.error(`run-match: internal error: ${err.stack || err}`);
    process.exit(EXIT_USAGE);
  },
);
