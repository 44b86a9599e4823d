#include "frontend/tablebase_options.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>

#include "frontend/engine_state.h"
#include "search/syzygy.h"
#include "search/tablebase.h"

#ifdef CORVANEL_SYZYGY
const char* const syzygyOptionLines[] = {
    "option name SyzygyPath type string default <empty>",
    "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
    "option name Syzygy50MoveRule type check default true",
    "option name SyzygyProbeLimit type spin default 7 min 0 max 7",
};
const int syzygyOptionLineCount = 4;
#else
const char* const syzygyOptionLines[] = {nullptr};
const int syzygyOptionLineCount = 0;
#endif

namespace {

constexpr int MAX_PROBE_DEPTH = 100;
constexpr int MAX_PROBE_LIMIT = 7;

bool readSpin(const std::string& value, int low, int high, int& out) {
  long long number = 0;
  if (std::sscanf(value.c_str(), "%lld", &number) != 1) return false;
  out = int(std::clamp<long long>(number, low, high));
  return true;
}

void setPath(const std::string& folders) {
  const SyzygyPathReport report = setSyzygyPath(folders);
  const std::string& inUse = syzygyPathInUse();
  const char* stays = inUse.empty() ? "none" : inUse.c_str();
  switch (report.result) {
    case SyzygyPathResult::OFF:
      break;
    case SyzygyPathResult::LOADED:
    case SyzygyPathResult::UNCHANGED:
      emitLine("info string SyzygyPath %s: %d WDL and %d DTZ tables, up to %d pieces\n",
               folders.c_str(), report.wdlFiles, report.dtzFiles, report.pieces);
      break;
    case SyzygyPathResult::NOT_FOUND:
      emitLine("info string SyzygyPath %s: no such folder; the tablebases in use stay %s\n",
               folders.c_str(), stays);
      break;
    case SyzygyPathResult::NO_TABLES:
      emitLine(
          "info string SyzygyPath %s: no tablebase files there; the tablebases in use stay %s\n",
          folders.c_str(), stays);
      break;
    case SyzygyPathResult::UNREADABLE:
      emitLine("info string SyzygyPath %s: the tablebase files could not be loaded; the "
               "tablebases in use stay %s\n",
               folders.c_str(), stays);
      break;
    case SyzygyPathResult::NOT_BUILT_IN:
      emitLine("info string SyzygyPath %s: this program is built without Syzygy tablebases\n",
               folders.c_str());
      break;
  }
}

}  // namespace

bool setSyzygyOption(const std::string& name, const std::string& value) {
  const char* option = name.c_str();
  if (strcasecmp(option, "SyzygyPath") == 0) {
    setPath(value);
    return true;
  }
  if (strcasecmp(option, "SyzygyProbeDepth") == 0) {
    readSpin(value, 1, MAX_PROBE_DEPTH, syzygyOptions.probeDepth);
    return true;
  }
  if (strcasecmp(option, "SyzygyProbeLimit") == 0) {
    readSpin(value, 0, MAX_PROBE_LIMIT, syzygyOptions.probeLimit);
    return true;
  }
  if (strcasecmp(option, "Syzygy50MoveRule") == 0) {
    const bool on = strcasecmp(value.c_str(), "true") == 0;
    if (on || strcasecmp(value.c_str(), "false") == 0) syzygyOptions.rule50 = on;
    return true;
  }
  return false;
}
