// What chooses the evaluation from outside: the options "EvalFile" (which net) and
// "TableEvaluation" (the table or the net), the "-av" start-up switch, and "evalnet".
#pragma once

#include <string>

// The evaluation the engine starts with: the embedded net, since one beat the table by SPRT (true
// makes the table the default again; every table tool and "-av" use the table either way).
constexpr bool TABLE_EVALUATION_DEFAULT = false;

// Start-up, before the first command: the embedded net (engine data, every program) ...
void installStartupNetwork();
// ... and the engine's choice: the default above, the table after "-av", each said in an
// "info string" when it is not the default's plain course.
void applyStartupEvaluation();

// "setoption name EvalFile value <path>": empty or "<default>" is the embedded net. A file that
// is no usable net is refused in one "info string" naming it and the reason; the net stays.
void setEvalFileOption(const std::string& value);
// "setoption name TableEvaluation value true|false".
void setTableEvaluationOption(const std::string& value);

// Before every "go": the evaluation chosen above, or the table for a limited-strength search (the
// levels were calibrated on it), said in an "info string" when a limited search leaves the net.
void selectSearchEvaluation(bool limitedStrength);

// Runs a tool that measures the parameter table ("provred", "provale") on the table, whatever
// the searches use otherwise, and restores the selection afterwards.
void runOnTable(void (*tool)());
