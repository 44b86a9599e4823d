// Self-play data generation, started as "corvanel-x64-popcnt datagen ...".
#pragma once

// Runs the whole data generation and returns the process's exit code. `argv[1]` is "datagen";
// the words after it are its own. main has only made the output unbuffered when it calls this:
// the engine's start-up (initEngine or initEngineData) and shutdown are the caller's to do here.
int runDatagen(int argc, char** argv);
