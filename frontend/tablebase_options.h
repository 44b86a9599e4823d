// The endgame-table options: "SyzygyPath", "SyzygyProbeDepth", "Syzygy50MoveRule" and
// "SyzygyProbeLimit".
#pragma once

#include <string>

// The "option" lines announced after "uci"; none in a program built without the tables.
extern const char* const syzygyOptionLines[];
extern const int syzygyOptionLineCount;

// Sets the option when `name` is one of the four (in any letter case) and returns true; false
// for any other name.
bool setSyzygyOption(const std::string& name, const std::string& value);
