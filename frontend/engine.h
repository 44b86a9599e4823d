// The engine's spine: start-up in a fixed order, then the main loop that alternates between
// polling the input and running the search that a "go" made pending.
#pragma once

// The tables every part of the engine reads, in start-up order: evaluation weights and derived
// tables, geometric tables, hash keys and hash tables, move-ordering tables. Tests and benchmarks
// that work in-process call it once.
void initEngineData();

// The start-up sequence: console input, the timer thread, the tables, the parameter file, the
// start position. main calls it once before the main loop.
void initEngine();

// The main loop alone: polls input and runs pending searches until "quit" or the end of input.
void mainLoop();

// Runs each of the `count` words as one command line, in order, until they are done or one of
// them (or a "quit" typed meanwhile) asks to quit. A search that a word orders runs to its end,
// and is answered, before the next word: the words are not input waiting behind it.
void runArgumentCommands(int count, char* const* words);

// Ends the timer thread and the helper search threads before the process ends.
void shutdownEngine();
