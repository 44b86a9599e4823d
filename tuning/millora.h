// "millora": tunes the evaluation parameters by external matches. Each trial writes the table to
// valorsjp.txt99999 and runs ./millora.sh with that file name; the script prints the match
// result as one decimal number (larger is better) on the last line of its standard output.
#pragma once

#include "tuning/param_tuner.h"

// Runs one match with the parameters in force. A script that cannot be started, fails or prints
// no number gives minus infinity, which is never accepted.
double runMatchScript();

// The tuning step of "millora" on entry `index` with its output lines and, on acceptance, the
// parameter file valorsx12.txt + fileNumber (then fileNumber + 1).
StepOutcome milloraEntry(int index, double& best, int& fileNumber);
