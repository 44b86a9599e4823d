// Non-blocking input: a test for a waiting line and the poll that executes at most one line.
#pragma once

#include <string>

void initConsoleInput();
// True when a whole line (or the end of input) can be read without waiting.
bool inputAvailable();
// Executes at most one waiting line; during a search honours the tick gate and, in a search on
// the engine's own clock, only ends the search (the line is executed afterwards).
void pollInput();

// Takes the next waiting line without executing it (for developer tools that check for "stop"
// or "quit" between their own steps). False when no whole line waits.
bool takeWaitingLine(std::string& line);
