// Non-blocking line input over standard input. poll(2) tells whether bytes wait; read(2) moves
// them into our own buffer, so no stdio buffer can hide a waiting line from the test. Lines have
// no fixed length limit up to MAX_LINE_BYTES; a longer line is dropped whole with a message.
#include "frontend/input.h"

#include <cstring>
#include <string>
#include <vector>

#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/platform.h"
#include "search/search.h"

bool commandOwnsInput = false;
bool quitWaitsForCommand = false;

namespace {

// Far above any real command (a "position" line with ten thousand moves is about 50 KB), small
// enough that a runaway sender cannot exhaust memory.
constexpr size_t MAX_LINE_BYTES = size_t(16) << 20;
constexpr size_t READ_CHUNK = 65536;

std::string pending;           // bytes read but not yet handed out as lines
size_t scanned = 0;            // bytes of `pending` already known to hold no newline
size_t tailStart = 0;          // where the unfinished last line of `pending` begins
bool discardingLine = false;   // inside an over-long line: drop bytes up to its newline
size_t discardedBytes = 0;

bool haveWholeLine() {
  if (pending.find('\n', scanned) != std::string::npos) return true;
  scanned = pending.size();
  return inputClosed && !pending.empty();  // a last line without its newline
}

// Appends bytes that arrived to `pending`, dropping those of an over-long line.
void takeBytes(const char* bytes, size_t n) {
  while (n > 0) {
    if (discardingLine) {
      const char* newline = static_cast<const char*>(std::memchr(bytes, '\n', n));
      size_t upTo = newline ? size_t(newline - bytes) + 1 : n;
      discardedBytes += upTo;
      bytes += upTo;
      n -= upTo;
      if (newline) {
        discardingLine = false;
        emitLine("info string input line of %zu bytes is too long (limit %zu), ignored\n",
                 discardedBytes - 1, MAX_LINE_BYTES);
      }
      continue;
    }
    size_t lastNewline = n;
    while (lastNewline > 0 && bytes[lastNewline - 1] != '\n') --lastNewline;
    if (lastNewline > 0) tailStart = pending.size() + lastNewline;
    pending.append(bytes, n);
    n = 0;
    // Only the unfinished last line can be too long; whole lines before it stay.
    if (pending.size() - tailStart > MAX_LINE_BYTES) {
      discardedBytes = pending.size() - tailStart;
      discardingLine = true;
      pending.erase(tailStart);
      scanned = pending.size();
    }
  }
}

// Reads whatever waits on standard input without blocking. Stops at the first whole line so a
// fast sender cannot make one poll read without end.
void fillFromInput() {
  static std::vector<char> chunk(READ_CHUNK);
  while (!inputClosed && !haveWholeLine()) {
    if (platform::inputState() == platform::InputState::NOTHING_WAITING) return;
    long got = platform::readInput(chunk.data(), chunk.size());
    if (got < 0) return;
    if (got == 0) {
      // End of input, or an input that can no longer be read: no more lines will come.
      inputClosed = true;
      if (discardingLine) {
        discardingLine = false;
        emitLine("info string input line of %zu bytes is too long (limit %zu), ignored\n",
                 discardedBytes, MAX_LINE_BYTES);
      }
      return;
    }
    takeBytes(chunk.data(), size_t(got));
  }
}

// Takes the next line out of `pending`, without its newline and without a trailing CR.
std::vector<char> takeLine() {
  size_t end = pending.find('\n');
  size_t length = end == std::string::npos ? pending.size() : end;
  size_t consumed = end == std::string::npos ? length : length + 1;
  if (length > 0 && pending[length - 1] == '\r') --length;
  // Room beyond the text: the interpreter may rewrite a short line in place.
  std::vector<char> line(length + 32, '\0');
  std::memcpy(line.data(), pending.data(), length);
  pending.erase(0, consumed);
  scanned = 0;
  tailStart = tailStart > consumed ? tailStart - consumed : 0;
  return line;
}

// The next line as takeLine would give it, left waiting.
std::string peekLine() {
  size_t end = pending.find('\n');
  size_t length = end == std::string::npos ? pending.size() : end;
  if (length > 0 && pending[length - 1] == '\r') --length;
  return pending.substr(0, length);
}

// Lines that act on the running search, or that it answers and goes on: executed at once.
bool runsInsideSearch(const std::string& line) {
  return line == "isready" || line == "stop" || line == "ponderhit" || line == "quit";
}

// No limit of its own ends the search: only "stop" (or its input ending) can.
bool searchIsOpenEnded() {
  const uint8_t flags = goLimits.goFlags;
  return (flags & GO_INFINITE) || !(flags & (GO_TIME | GO_INC | GO_MOVETIME | GO_DEPTH | GO_NODES));
}

// Any other line ends the search and waits: the search answers its "go" as it unwinds, and the
// idle loop executes the line afterwards, so the answer always comes before what follows it.
void pollDuringSearch() {
  // A search that a command runs itself ("bench", the test suites) leaves the input to that
  // command, which reads it between its own steps; only a waiting "stop" or "quit" cuts the
  // search short, and stays for the command to read.
  if (commandOwnsInput) {
    if (inputAvailable() &&
        (peekLine() == "stop" || (peekLine() == "quit" && !quitWaitsForCommand))) {
      searchMode = SEARCH_IDLE;
      stopSearchNow();
    }
    return;
  }
  if (!inputAvailable()) {
    // Nobody is left to send "stop": an open-ended search answers now; a search with a limit of
    // its own finishes first.
    if (inputClosed && searchIsOpenEnded()) {
      searchMode = SEARCH_IDLE;
      stopSearchNow();
    }
    return;
  }
  if (runsInsideSearch(peekLine())) {
    std::vector<char> line = takeLine();
    executeCommand(line.data());
    return;
  }
  searchMode = SEARCH_IDLE;
  stopSearchNow();
}

}  // namespace

void initConsoleInput() {
  platform::initInput();
  pending.clear();
  scanned = 0;
  tailStart = 0;
  discardingLine = false;
  inputClosed = false;
  ticksPerPoll = 1;
  timerTicks = 0;
}

bool inputAvailable() {
  fillFromInput();
  return haveWholeLine();
}

bool takeWaitingLine(std::string& line) {
  if (!inputAvailable()) return false;
  std::vector<char> text = takeLine();
  line.assign(text.data());
  return true;
}

void pollInput() {
  if (searchMode != SEARCH_IDLE) {
    if (timerTicks < ticksPerPoll) return;
    timerTicks = 0;
    pollDuringSearch();
    return;
  }
  if (!inputAvailable()) return;
  std::vector<char> line = takeLine();
  executeLine(line.data());
}

void executeLine(char* line) {
  commandOwnsInput = true;
  executeCommand(line);
  commandOwnsInput = false;
}
