// Runs a match: the schedule of openings and colours, one pair of engine processes per game
// slot, the per-game report and the tally.
import { basename } from 'node:path';
import { UciEngine } from './uci-engine.mjs';
import { playGame } from './play-game.mjs';
import { MatchTally, gameLine } from './match-report.mjs';
import { PgnFile } from './pgn-writer.mjs';
import { describeTimeControl } from './time-control.mjs';

// Small seeded generator (mulberry32), so that a seed picks the same openings everywhere.
function seededRandom(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// Each opening is played twice, the first engine white in the first game of the pair. Without a
// seed the openings are taken in file order; with one, in a shuffled order.
export function scheduleGames({ openingCount, games, seed = null }) {
  const order = Array.from({ length: openingCount }, (_, i) => i);
  if (seed !== null) {
    const random = seededRandom(seed);
    for (let i = order.length - 1; i > 0; i -= 1) {
      const j = Math.floor(random() * (i + 1));
      [order[i], order[j]] = [order[j], order[i]];
    }
  }
  return Array.from({ length: games }, (_, index) => ({
    index,
    openingIndex: order[Math.floor(index / 2) % openingCount],
    firstIsWhite: index % 2 === 0,
  }));
}

export function engineNames(configs) {
  const names = configs.map((config) => config.name || basename(config.cmd));
  if (names[0] === names[1]) return names.map((name, i) => `${name} (${i + 1})`);
  return names;
}

// config: { engines: [first, second] engine configs, openings: [fen], games, tc,
//   limits: { handshakeMs, stopWaitMs, maxPlies }, concurrency, seed, pgnPath, debug }
// print receives each output line. Returns { tally, results }.
export async function runMatch(config, print = (line) => console.log(line)) {
  const names = engineNames(config.engines);
  const tally = new MatchTally(names);
  const schedule = scheduleGames({ openingCount: config.openings.length, games: config.games, seed: config.seed });
  const pgn = config.pgnPath ? new PgnFile(config.pgnPath) : null;
  const timeControl = describeTimeControl(config.tc);
  const results = new Array(schedule.length);
  const debug = config.debug ? (text) => process.stderr.write(`[${(performance.now() / 1000).toFixed(3)}] ${text}\n`) : null;
  let next = 0;
  let finished = 0;

  print(`Match ${names[0]} vs ${names[1]}: ${schedule.length} games at ${timeControl}, `
    + `${config.openings.length} openings, concurrency ${config.concurrency}`);

  const worker = async () => {
    const pair = config.engines.map((engineConfig, i) => new UciEngine({ ...engineConfig, name: names[i] }, { debug }));
    try {
      while (next < schedule.length) {
        const slot = schedule[next];
        next += 1;
        const [white, black] = slot.firstIsWhite ? pair : [pair[1], pair[0]];
        const fen = config.openings[slot.openingIndex];
        const game = await playGame({ engines: [white, black], fen, tc: config.tc, limits: config.limits });
        results[slot.index] = game;
        tally.add(game, slot.firstIsWhite ? 'w' : 'b');
        finished += 1;
        print(`${gameLine({
          number: slot.index + 1,
          total: schedule.length,
          whiteName: white.name,
          blackName: black.name,
          openingNumber: slot.openingIndex + 1,
          game,
        })} [${names[0]} ${tally.wins + tally.draws / 2}/${finished}]`);
        if (pgn) {
          pgn.add(game, {
            event: `${names[0]} vs ${names[1]}`,
            round: slot.index + 1,
            white: white.name,
            black: black.name,
            tc: config.tc,
          });
        }
      }
    } finally {
      await Promise.all(pair.map((engine) => engine.quit()));
    }
  };

  const workers = Math.max(1, Math.min(config.concurrency, schedule.length));
  await Promise.all(Array.from({ length: workers }, worker));
  for (const line of tally.summaryLines({ timeControl })) print(line);
  return { tally, results };
}
