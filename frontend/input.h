// Non-blocking input: a test for a waiting line and the poll that executes at most one line.
#pragma once

#include <string>

void initConsoleInput();

// Set while a command runs searches of its own ("bench", the test suites): they leave the input
// to that command, which reads it between its own steps; a waiting "stop" or "quit" only cuts
// the running search short. Main thread only.
extern bool commandOwnsInput;
// Set by "bench": a waiting "quit" does not cut its searches short but waits, like any line but
// "stop", until the bench is over. Main thread only.
extern bool quitWaitsForCommand;
// True when a whole line (or the end of input) can be read without waiting.
bool inputAvailable();
// Executes at most one waiting line. During a search it looks only every ticksPerPoll ticks;
// "isready", "stop", "ponderhit" and "quit" are executed at once, any other line ends the search
// and is executed after the search has answered. At the end of input an open-ended search ends.
void pollInput();

// Executes one command line as a typed one is executed: a search that the command runs itself
// leaves the input to it. The buffer must have 32 bytes to spare beyond the text's terminator.
void executeLine(char* line);

// Takes the next waiting line without executing it (for developer tools that check for "stop"
// or "quit" between their own steps). False when no whole line waits.
bool takeWaitingLine(std::string& line);
