// One tuning step on one entry of the parameter table, shared by "recpar" and "millora": try the
// entry one step in its current direction, then one step the other way, and keep the first trial
// that improves the measure. The entry's `step` field carries the direction (+1 or -1), or the
// passes it still sits out after both directions failed.
#pragma once

#include <functional>

enum class StepOutcome {
  SAT_OUT,          // the entry sits out this pass
  ACCEPTED_FIRST,   // the step in the current direction improved the measure
  ACCEPTED_SECOND,  // the step the other way did; the direction is now reversed
  FAILED,           // neither did, or both left the bounds: old value back, sits out two passes
  INTERRUPTED,      // "stop" or "quit" before a trial: old value and step back
};

struct TuningMeasure {
  bool largerIsBetter = false;
  // Measures the parameters now in force. A measure that failed must return a value that is
  // never better than any other (the infinity on the wrong side).
  std::function<double()> measure;
  // Asked before each trial.
  std::function<bool()> interrupted;
};

// Runs the step on entry `index`. On acceptance `best` becomes the new measure.
StepOutcome runTuningStep(int index, double& best, const TuningMeasure& how);

// Whether `candidate` improves on `best` in the measure's sense.
bool improves(double candidate, double best, bool largerIsBetter);
