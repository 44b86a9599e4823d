#include "tuning/tool_support.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "board/fen.h"
#include "board/keys.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/input.h"
#include "frontend/search_commands.h"

ToolLimits toolLimits;

int tunedEntryCount() {
  if (toolLimits.entries > 0 && toolLimits.entries < EVAL_PARAM_COUNT) return toolLimits.entries;
  return EVAL_PARAM_COUNT;
}

bool readToolFile(const char* tool, const char* path, std::vector<std::string>& lines,
                  bool missingIsEmpty) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in && missingIsEmpty && access(path, F_OK) != 0) return true;
  if (!in) {
    emitLine("info string %s: cannot open %s\n", tool, path);
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) {
    emitLine("info string %s: error reading %s\n", tool, path);
    return false;
  }
  while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos)
    lines.pop_back();
  return true;
}

void reportBadLine(const char* tool, const char* path, size_t lineIndex, const std::string& what) {
  emitLine("info string %s: %s line %zu: %s\n", tool, path, lineIndex + 1, what.c_str());
}

bool fenAccepted(const std::string& fen, std::string* reason) {
  static Board board;
  static PlyState state;
  return setPosition(board, state, fen.c_str(), reason);
}

void setToolPosition(const std::string& fen) {
  std::string line = "pf " + fen;
  commandPf(line.c_str());
}

bool toolStopRequested(const char* tool) {
  std::string line;
  while (takeWaitingLine(line)) {
    if (line == "isready") {
      commandIsReady();
    } else if (line == "stop") {
      emitLine("info string %s stopped\n", tool);
      return true;
    } else if (line == "quit") {
      commandQuit();
      return true;
    } else if (!line.empty()) {
      emitLine("info string %s is running, \"%s\" ignored (stop or quit ends it)\n", tool,
               line.c_str());
    }
  }
  return false;
}

bool toolSearch(const char* tool, int ply, int depth, bool& stopped, SearchResult& result) {
  stopped = false;
  currentPly = ply;
  if (searchForCommand(ply, depth, 0, result)) return true;
  // A "stop" or "quit" that the search executed itself has left no line behind.
  if (quitRequested || !inputAvailable()) {
    if (!quitRequested) emitLine("info string %s stopped\n", tool);
    stopped = true;
  } else {
    stopped = toolStopRequested(tool);
  }
  return false;
}

// Renames over an existing file as one step (std::rename refuses that on Windows).
static bool replaceFile(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  return !error;
}

bool appendRecord(const std::string& path, const std::string& record) {
  std::FILE* out = std::fopen(path.c_str(), "ab");
  if (!out) return false;
  bool ok = std::fwrite(record.data(), 1, record.size(), out) == record.size();
  ok = std::fflush(out) == 0 && ok;
  return std::fclose(out) == 0 && ok;
}

bool writeParamFileSafely(const char* tool, const char* base, int number) {
  // The writer appends the number to its base name; a hidden base gives the temporary file.
  std::string finalName = std::string(base) + std::to_string(number);
  std::string temporaryBase = std::string(".part") + std::to_string(getpid()) + "-" + base;
  std::string temporary = temporaryBase + std::to_string(number);
  bool ok = WriteEvalParamFile(temporaryBase.c_str(), number) &&
            replaceFile(temporary, finalName);
  if (!ok) {
    std::remove(temporary.c_str());
    emitLine("info string %s: cannot write %s\n", tool, finalName.c_str());
  }
  return ok;
}

ToolRandom::ToolRandom() : generator(seedFromSystem()) {}
