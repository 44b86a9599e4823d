// "corvanel datagen [options]": self-play games for the network's training data, appended to one
// data file by one or more worker processes. Options and file format: README, "The network".
#pragma once

// Runs the data generation with the words after "datagen"; returns the process's exit code.
int runDatagen(int argc, char** argv);
