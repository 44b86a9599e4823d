// Stage 4: the reference files of "recpar". Pairs of lines, the FEN and then the reference in
// pawns from the side to move's view, which is the view and the unit in which the tuner reads
// the engine's static evaluation. Split into a training and a held-out part by a seeded hash
// of the position, so that a position always falls on the same side for the same seed.
import { positionKey, readRows, seededHash, writeWhole } from './common.mjs';
import { validLabelRow } from './label.mjs';

// The tuner leaves out references beyond this many pawns either way. A position whose search
// score lies beyond it keeps that score whatever the blend, so that the tuner leaves out the same
// positions at every lambda; a blended value that the game result pushes past it is held at it.
const REFERENCE_LIMIT = 5.0;
// The reference file's lines are read into 1,024-byte buffers.
const LONGEST_LINE = 1023;

const logistic = (x) => 1 / (1 + Math.exp(-x));

// The scale (pawns) of the curve score -> expected game score that fits the games best, by
// least squares over the labelled positions: golden-section search on its logarithm.
export function fitScale(samples) {
  const error = (logScale) => {
    const scale = Math.exp(logScale);
    let sum = 0;
    for (const { pawns, result } of samples) sum += (result - logistic(pawns / scale)) ** 2;
    return sum;
  };
  let lo = Math.log(0.1), hi = Math.log(20);
  const ratio = (Math.sqrt(5) - 1) / 2;
  for (let i = 0; i < 60; i++) {
    const a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
    if (error(a) < error(b)) hi = b; else lo = a;
  }
  return Math.exp((lo + hi) / 2);
}

// The reference of one position: the search score alone when lambda is 1, otherwise the blend
// of its expected score with the game's in the curve's terms, turned back into pawns.
// Clamping the far side instead keeps thousands of lopsided positions that the unblended set
// leaves out; their evaluations widen the spread by which the tuner rescales every evaluation,
// and the tuned table comes out stretched (one such table lost 132 of 166 games).
export function referenceValue(pawns, result, lambda, scale) {
  if (lambda >= 1 || Math.abs(pawns) > REFERENCE_LIMIT) return pawns;
  const expected = lambda * logistic(pawns / scale) + (1 - lambda) * result;
  const p = Math.min(Math.max(expected, 1e-9), 1 - 1e-9);
  const value = scale * Math.log(p / (1 - p));
  return Math.min(Math.max(value, -REFERENCE_LIMIT), REFERENCE_LIMIT);
}

function spread(values) {
  if (values.length < 2) return { mean: values[0] ?? 0, deviation: 0 };
  const mean = values.reduce((s, v) => s + v, 0) / values.length;
  const variance = values.reduce((s, v) => s + (v - mean) ** 2, 0) / (values.length - 1);
  return { mean, deviation: Math.sqrt(variance) };
}

// The whole stage: writes `training` and `heldout`; returns the counts it printed.
export function writeReferenceFiles({ positions, labels, training, heldout, lambda, heldoutPercent,
                                      seed }) {
  const labelOf = new Map(readRows(labels, true).filter(validLabelRow).map((row) => [row[0], row[2]]));
  const counts = { positions: 0, unlabelled: 0, mate: 0, noResult: 0, tooLong: 0 };
  const samples = [];
  for (const [fen, score] of readRows(positions)) {
    counts.positions++;
    const label = labelOf.get(fen);
    if (label === undefined) { counts.unlabelled++; continue; }
    const [kind, number] = label.split(' ');
    // A mate score says who wins, not by how much: no value in pawns fits it.
    if (kind === 'mate') { counts.mate++; continue; }
    if (lambda < 1 && score === '-') { counts.noResult++; continue; }
    if (fen.length > LONGEST_LINE) { counts.tooLong++; continue; }
    samples.push({ fen, pawns: Number(number) / 100, result: Number(score) });
  }

  const scale = lambda < 1 && samples.length > 0 ? fitScale(samples) : null;
  const parts = { training: [], heldout: [] };
  const values = [];
  for (const { fen, pawns, result } of samples) {
    const value = referenceValue(pawns, result, lambda, scale);
    if (Math.abs(value) <= REFERENCE_LIMIT) values.push(value);
    const draw = seededHash(seed, positionKey(fen)) / 4294967296;
    parts[draw < heldoutPercent / 100 ? 'heldout' : 'training'].push(`${fen}\n${value.toFixed(2)}\n`);
  }
  writeWhole(training, parts.training.join(''));
  writeWhole(heldout, parts.heldout.join(''));

  const { mean, deviation } = spread(values);
  const summary = {
    ...counts, training: parts.training.length, heldout: parts.heldout.length,
    beyondLimit: samples.length - values.length,
  };
  console.log(`write: ${Object.entries(summary).map(([k, v]) => `${k} ${v}`).join(', ')}`);
  if (scale !== null) console.log(`write: fitted curve scale ${scale.toFixed(3)} pawns, lambda ${lambda}`);
  console.log(`write: references within ${REFERENCE_LIMIT} pawns: mean ${mean.toFixed(3)}, ` +
              `standard deviation ${deviation.toFixed(3)} (the tuner rescales the evaluation to 1.788)`);
  return { ...summary, scale, mean, deviation };
}
