// The stages after the games, one subcommand each (tuning/make_dataset.sh runs them in turn):
//
//   node dataset.mjs positions --pgn GAMES.pgn --quiet corvanel-quiet --out positions.tsv
//                              [--skip-plies 4] [--per-game 24] [--seed N]
//   node dataset.mjs label --positions positions.tsv --out labels.tsv --stockfish PATH
//                          [--depth 10] [--concurrency 2]
//   node dataset.mjs write --positions positions.tsv --labels labels.tsv --training punt5.txt
//                          --heldout punt5-heldout.txt [--lambda 1.0] [--heldout-percent 10] [--seed N]
import { integerOption, numberOption, parseOptions } from './common.mjs';
import { labelPositions } from './label.mjs';
import { selectPositions } from './positions.mjs';
import { writeReferenceFiles } from './write_set.mjs';

const REQUIRED = Symbol('required');

function options(argv, known) {
  const parsed = parseOptions(argv, known);
  for (const [name, value] of Object.entries(parsed))
    if (value === REQUIRED) throw new Error(`--${name} is needed`);
  return parsed;
}

async function main([stage, ...argv]) {
  if (stage === 'positions') {
    const o = options(argv, { pgn: REQUIRED, quiet: REQUIRED, out: REQUIRED, 'skip-plies': 4,
                              'per-game': 24, seed: 1 });
    selectPositions({ pgn: o.pgn, quiet: o.quiet, out: o.out,
                      skipPlies: integerOption(o, 'skip-plies', 0, 1000),
                      perGame: integerOption(o, 'per-game', 1, 10000),
                      seed: integerOption(o, 'seed', 0, 4294967295) });
  } else if (stage === 'label') {
    const o = options(argv, { positions: REQUIRED, out: REQUIRED, stockfish: REQUIRED, depth: 10,
                              concurrency: 2 });
    await labelPositions({ positions: o.positions, out: o.out, stockfish: o.stockfish,
                           depth: integerOption(o, 'depth', 1, 60),
                           concurrency: integerOption(o, 'concurrency', 1, 256) });
  } else if (stage === 'write') {
    const o = options(argv, { positions: REQUIRED, labels: REQUIRED, training: REQUIRED,
                              heldout: REQUIRED, lambda: 1.0, 'heldout-percent': 10, seed: 1 });
    writeReferenceFiles({ positions: o.positions, labels: o.labels, training: o.training,
                          heldout: o.heldout, lambda: numberOption(o, 'lambda', 0, 1),
                          heldoutPercent: numberOption(o, 'heldout-percent', 0, 100),
                          seed: integerOption(o, 'seed', 0, 4294967295) });
  } else {
    throw new Error('the stage must be "positions", "label" or "write"');
  }
}

main(process.argv.slice(2)).catch((error) => {
  console.error(`dataset: ${error.message}`);
  process.exit(1);
});
