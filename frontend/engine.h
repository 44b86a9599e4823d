// The engine's spine: start-up in a fixed order, then the main loop that alternates between
// polling the input and running the search that a "go" made pending.
#pragma once

// Brings every subsystem into its initial state, sets the start position and runs the main loop.
// Returns after "quit", or when standard input has ended and no search is left to finish.
void runEngine();

// The tables every part of the engine reads, in start-up order: evaluation weights and derived
// tables, geometric tables, hash keys and hash tables, move-ordering tables. Tests and benchmarks
// that work in-process call it once.
void initEngineData();

// The start-up sequence alone (everything runEngine does before its loop); tools and tests that
// drive the engine in-process call it once.
void initEngine();

// The main loop alone: polls input and runs pending searches until "quit" or the end of input.
void mainLoop();

// Ends the timer thread and the helper search threads before the process ends.
void shutdownEngine();
