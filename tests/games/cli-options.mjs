// Command-line options of the match runner. Needs no installed package, so that usage errors and
// --help work before the dependencies are there.
import { accessSync, constants, statSync } from 'node:fs';
import { delimiter, dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { movetimeControl, parseTimeControl } from './time-control.mjs';

const HERE = dirname(fileURLToPath(import.meta.url));

export const USAGE = `Usage: node run-match.mjs --engine cmd=PATH [name=NAME] [arg=ARG]... [option.NAME=VALUE]...
                          --engine cmd=PATH ... [options]

Plays games between two UCI engines and referees every move. The first engine is the one under
test: the exit code is 1 when it lost a game by time forfeit, illegal move, crash or protocol
error (with --strict, when either engine did), 2 on a usage error, 77 when the npm packages are
not installed (run "npm ci" in this folder).

Engine keys (--engine applies to one engine, --each to both; --engine wins):
  cmd=PATH            the engine's executable (required)
  name=NAME           name in reports (default: the executable's file name)
  arg=ARG             a command-line argument for the engine (repeatable)
  option.NAME=VALUE   a UCI option, sent as "setoption name NAME value VALUE"
                      (quote it when NAME has blanks: "option.Number of Threads=1")

Options:
  --games N           games to play (default 2); each opening is played twice, colours swapped
  --rounds N          the same as --games 2N
  --tc BASE+INC       time control in seconds, e.g. 10+0.1 or 2+0.05; MOVES/BASE+INC adds
                      BASE every MOVES moves and sends movestogo (default 10+0.1)
  --movetime MS       fixed time per move in milliseconds instead of a clock
  --openings FILE     one FEN (or EPD) per line (default: openings.epd beside this script)
  --seed N            take the openings in an order shuffled by N (default: file order)
  --concurrency N     games played at once (default 1: one core per engine on two cores)
  --max-plies N       adjudicate a draw after N plies (default 300)
  --pgn FILE          write the games as PGN
  --handshake-timeout MS  limit for uciok and readyok (default 10000)
  --strict            exit 1 on faults of the second engine too
  --debug             print all engine traffic to stderr
  --help              this text`;

export class UsageError extends Error {}

function positiveInteger(name, text) {
  const value = Number(text);
  if (!Number.isInteger(value) || value <= 0) throw new UsageError(`${name} needs a positive whole number, not "${text}"`);
  return value;
}

// A command with a slash must be an executable file; a bare name must be one on PATH.
function checkExecutable(cmd) {
  const candidates = cmd.includes('/')
    ? [cmd]
    : (process.env.PATH || '').split(delimiter).filter(Boolean).map((dir) => join(dir, cmd));
  for (const candidate of candidates) {
    try {
      accessSync(candidate, constants.X_OK);
      if (statSync(candidate).isFile()) return;
    } catch {
      // try the next one
    }
  }
  throw new UsageError(`engine "${cmd}" is not an executable file${cmd.includes('/') ? '' : ' on PATH'}`);
}

function applyEngineKey(engine, pair) {
  const at = pair.indexOf('=');
  if (at <= 0) throw new UsageError(`engine setting "${pair}" is not KEY=VALUE`);
  const key = pair.slice(0, at);
  const value = pair.slice(at + 1);
  if (key === 'cmd') engine.cmd = value;
  else if (key === 'name') engine.name = value;
  else if (key === 'arg') engine.args.push(value);
  else if (key.startsWith('option.') && key.length > 'option.'.length) engine.options.set(key.slice(7), value);
  else throw new UsageError(`unknown engine key "${key}" (cmd, name, arg, option.NAME)`);
}

function newEngine() {
  return { cmd: null, name: null, args: [], options: new Map() };
}

export function parseArguments(argv) {
  const engines = [];
  const each = newEngine();
  const config = {
    games: 2,
    tc: parseTimeControl('10+0.1'),
    openingsPath: join(HERE, 'openings.epd'),
    seed: null,
    concurrency: 1,
    maxPlies: 300,
    pgnPath: null,
    handshakeMs: 10000,
    strict: false,
    debug: false,
    help: false,
  };
  let timeSet = null;
  for (let i = 0; i < argv.length; i += 1) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length || argv[i + 1].startsWith('--')) throw new UsageError(`${arg} needs a value`);
      i += 1;
      return argv[i];
    };
    const pairs = () => {
      const list = [];
      while (i + 1 < argv.length && !argv[i + 1].startsWith('--')) list.push(argv[(i += 1)]);
      return list;
    };
    try {
      switch (arg) {
        case '--engine': {
          const engine = newEngine();
          for (const pair of pairs()) applyEngineKey(engine, pair);
          engines.push(engine);
          break;
        }
        case '--each': for (const pair of pairs()) applyEngineKey(each, pair); break;
        case '--games': config.games = positiveInteger(arg, value()); break;
        case '--rounds': config.games = 2 * positiveInteger(arg, value()); break;
        case '--tc':
        case '--movetime':
          if (timeSet && timeSet !== arg) throw new UsageError('give either --tc or --movetime, not both');
          timeSet = arg;
          config.tc = arg === '--tc' ? parseTimeControl(value()) : movetimeControl(value());
          break;
        case '--openings': config.openingsPath = value(); break;
        case '--seed': config.seed = Number.parseInt(value(), 10); break;
        case '--concurrency': config.concurrency = positiveInteger(arg, value()); break;
        case '--max-plies': config.maxPlies = positiveInteger(arg, value()); break;
        case '--pgn': config.pgnPath = value(); break;
        case '--handshake-timeout': config.handshakeMs = positiveInteger(arg, value()); break;
        case '--strict': config.strict = true; break;
        case '--debug': config.debug = true; break;
        case '--help': case '-h': config.help = true; break;
        default: throw new UsageError(`unknown argument "${arg}"`);
      }
    } catch (err) {
      if (err instanceof UsageError) throw err;
      throw new UsageError(err.message);
    }
  }
  if (config.help) return config;
  if (Number.isNaN(config.seed)) throw new UsageError('--seed needs a whole number');
  if (engines.length !== 2) throw new UsageError(`give exactly two --engine, not ${engines.length}`);
  config.engines = engines.map((engine) => {
    const cmd = engine.cmd ?? each.cmd;
    if (!cmd) throw new UsageError('every --engine needs cmd=PATH');
    checkExecutable(cmd);
    return {
      cmd,
      name: engine.name ?? each.name,
      args: engine.args.length ? engine.args : each.args,
      options: [...new Map([...each.options, ...engine.options])],
    };
  });
  return config;
}
