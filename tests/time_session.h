// Helpers for the timing and protocol-session tests: a started engine, the answer to one "go"
// with the time it took, legality of the answer, and a second process that keeps a core busy.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/movegen.h"
#include "board/movetext.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace timetest {

using Clock = std::chrono::steady_clock;

inline long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// An engine whose banner has been read and which has answered "isready".
inline std::unique_ptr<EngineProcess> startReadyEngine() {
  auto engine = std::make_unique<EngineProcess>();
  EXPECT_TRUE(engine->readLine().has_value());  // banner
  EXPECT_TRUE(engine->send("isready"));
  EXPECT_EQ(engine->readLine().value_or("<nothing>"), "readyok");
  return engine;
}

// What the engine printed up to its bestmove line, and when that line was read.
struct Answer {
  Lines lines;            // everything read, the bestmove line last when there is one
  std::string bestmove;   // the move word of the bestmove line, "" when none came
  long long ms = -1;      // from `start` to reading the bestmove line
};

// Reads until a "bestmove" line or until `timeoutMs` passes without one.
inline Answer readAnswer(EngineProcess& engine, Clock::time_point start, int timeoutMs) {
  Answer answer;
  auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return answer;
    std::optional<std::string> line = engine.readLine(int(left));
    if (!line) return answer;
    answer.lines.push_back(*line);
    if (startsWith(*line, "bestmove")) {
      answer.ms = msSince(start);
      size_t blank = line->find(' ');
      std::string rest = blank == std::string::npos ? "" : line->substr(blank + 1);
      answer.bestmove = rest.substr(0, rest.find(' '));
      return answer;
    }
  }
}

// Sends the line and reads its answer; the clock starts just before the line is written.
inline Answer goAndWait(EngineProcess& engine, const std::string& go, int timeoutMs = 30000) {
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(engine.send(go));
  return readAnswer(engine, start, timeoutMs);
}

// Lines printed before the answer to a following "isready"; a second "bestmove" would be there.
inline Lines linesUntilReady(EngineProcess& engine, int timeoutMs = 20000) {
  if (!engine.send("isready")) return {"<write failed>"};
  Lines lines = engine.readUntil("readyok", timeoutMs);
  if (lines.empty()) return {"<no readyok>"};
  lines.pop_back();
  return lines;
}

inline int countBestmoves(const Lines& lines) {
  int n = 0;
  for (const std::string& line : lines) n += startsWith(line, "bestmove") ? 1 : 0;
  return n;
}

// Nothing but info lines (no "bestmove", nothing unexpected).
inline bool onlyInfo(const Lines& lines) {
  for (const std::string& line : lines)
    if (!startsWith(line, "info ")) return false;
  return true;
}

// A child process that spins on one core until the object goes away, so that the engine under
// test shares the machine as it does in a match with another engine thinking.
class BusyCore {
 public:
  BusyCore() {
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // Never outlive the test: die with the parent, and stop after two minutes whatever happens.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      Clock::time_point start = Clock::now();
      volatile unsigned long spin = 0;
      while (getppid() == parent && msSince(start) < 120000)
        for (int i = 0; i < 1000000; ++i) spin = spin + 1;
      _exit(0);
    }
  }
  ~BusyCore() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  BusyCore(const BusyCore&) = delete;
  BusyCore& operator=(const BusyCore&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

const std::string OPENING_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string MIDDLEGAME_FEN =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";
const std::string BLACK_TO_MOVE_FEN =
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 5 4";
// A back-rank mate: Ra8 is the one mate in one.
const std::string MATE_IN_ONE_FEN = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";
const std::string MATE_IN_ONE_MOVE = "a1a8";

inline std::string positionLine(const std::string& fen) { return "position fen " + fen; }

}  // namespace timetest
