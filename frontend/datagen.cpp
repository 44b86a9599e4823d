// The data generator's driver: options, the data file (torn tail cut, finished games counted so
// that a stopped run resumes where it stopped), the worker processes and the progress lines.
// The games themselves are played by tuning/selfplay.cpp.
#include "frontend/datagen.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "frontend/engine.h"
#include "eval/network.h"
#include "frontend/engine_state.h"
#include "frontend/evaluation_options.h"
#include "frontend/platform.h"
#include "search/evaluation.h"
#include "search/search.h"
#include "search/tt.h"
#include "tuning/selfplay.h"

namespace {

struct DatagenOptions {
  std::string out;
  std::string book = "tests/games/openings.epd";
  uint64_t seed = 1;
  int64_t games = 0;       // stop once this many games are in the file (0: no such limit)
  int64_t positions = 0;   // stop once this many positions are in the file (0: no such limit)
  int workers = 1;
  int hashMb = 16;
  int reportSeconds = 10;
  bool table = TABLE_EVALUATION_DEFAULT;  // the evaluation the games are played with
  std::string evalFile;                   // the net, when not the embedded one
  SelfPlaySettings play;
};

// Shared by the starting process and its workers (one block of shared memory).
struct SharedProgress {
  std::atomic<bool> stop;
  std::atomic<int64_t> games;      // games written by this run
  std::atomic<int64_t> positions;  // positions written by this run
};

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

void say(const char* format, const std::string& text) {
  std::printf(format, text.c_str());
  std::fflush(stdout);
}

bool parseCount(const char* text, int64_t low, int64_t high, int64_t& value) {
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

std::string defaultDataFolder() {
  const char* folder = std::getenv("CORVANEL_DATA");
  return folder && *folder ? folder : "../corvanel-data";
}

bool parseOptions(int argc, char** argv, DatagenOptions& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) {
      say("datagen: option %s needs a value\n", name);
      return false;
    }
    const char* value = argv[++i];
    int64_t n = 0;
    bool ok = true;
    if (name == "--out") o.out = value;
    else if (name == "--book") o.book = value;
    else if (name == "--evalfile") o.evalFile = value;
    else if (name == "--evaluation") {
      ok = std::strcmp(value, "table") == 0 || std::strcmp(value, "network") == 0;
      o.table = std::strcmp(value, "table") == 0;
    } else if (name == "--seed")
      ok = parseCount(value, 0, INT64_MAX, n) && ((o.seed = uint64_t(n)), true);
    else if (name == "--games") ok = parseCount(value, 1, INT64_MAX, o.games);
    else if (name == "--positions") ok = parseCount(value, 1, INT64_MAX, o.positions);
    else if (name == "--workers") ok = parseCount(value, 1, 256, n) && ((o.workers = int(n)), true);
    else if (name == "--nodes") ok = parseCount(value, 100, 100000000, o.play.softNodes);
    else if (name == "--hard-nodes") ok = parseCount(value, 100, 1000000000, o.play.hardNodes);
    else if (name == "--random-plies")
      ok = parseCount(value, 0, 40, n) && ((o.play.randomPlies = int(n)), true);
    else if (name == "--skip-plies")
      ok = parseCount(value, 0, 400, n) && ((o.play.skipPlies = int(n)), true);
    else if (name == "--hash") ok = parseCount(value, 1, 4096, n) && ((o.hashMb = int(n)), true);
    else if (name == "--report")
      ok = parseCount(value, 1, 3600, n) && ((o.reportSeconds = int(n)), true);
    else {
      say("datagen: unknown option %s\n", name);
      return false;
    }
    if (!ok) {
      say("datagen: bad value for %s\n", name + " (" + value + ")");
      return false;
    }
  }
  if (o.hashMb & (o.hashMb - 1)) {
    std::printf("datagen: --hash must be a power of two\n");
    return false;
  }
  if (o.play.hardNodes < o.play.softNodes) o.play.hardNodes = o.play.softNodes;
  if (o.out.empty()) o.out = defaultDataFolder() + "/selfplay-" + std::to_string(o.seed) + ".bin";
  return true;
}

bool readBook(DatagenOptions& o) {
  std::ifstream in(o.book);
  if (!in) {
    say("datagen: cannot read the opening book %s\n", o.book);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    // EPD lines may carry operations after the four position fields.
    std::vector<std::string> fields;
    size_t at = 0;
    while (fields.size() < 6 && at < line.size()) {
      const size_t start = line.find_first_not_of(' ', at);
      if (start == std::string::npos) break;
      const size_t end = line.find(' ', start);
      fields.push_back(
          line.substr(start, end == std::string::npos ? std::string::npos : end - start));
      at = end == std::string::npos ? line.size() : end;
    }
    std::string fen;
    for (size_t i = 0; i < std::min<size_t>(fields.size(), 4); ++i)
      fen += (i ? " " : "") + fields[i];
    Board board;
    PlyState state;
    if (!setPosition(board, state, fen.c_str())) {
      say("datagen: %s\n", o.book + " line " + std::to_string(number) + ": not a position");
      return false;
    }
    o.play.openings.push_back(fen);
  }
  if (o.play.openings.empty()) {
    say("datagen: the opening book %s holds no positions\n", o.book);
    return false;
  }
  return true;
}

// What decides the games' content: a file is only ever continued with the same.
std::string settingsText(const DatagenOptions& o) {
  const SelfPlaySettings& p = o.play;
  return "seed " + std::to_string(o.seed) + " book " + o.book + " openings " +
         std::to_string(p.openings.size()) + " nodes " + std::to_string(p.softNodes) +
         " hard-nodes " + std::to_string(p.hardNodes) + " random-plies " +
         std::to_string(p.randomPlies) + " skip-plies " + std::to_string(p.skipPlies) + " hash " +
         std::to_string(o.hashMb) + " engine " + versionString + " evaluation " +
         (o.table ? std::string("table") : "network " + std::to_string(networkChecksumInUse())) +
         "\n";
}

// The games already in the file; cuts off a torn tail. False when the file cannot be used.
bool prepareFile(const DatagenOptions& o, std::vector<uint64_t>& done, int64_t& positions) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path(o.out);
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), error);
  const std::string settingsPath = o.out + ".settings";
  const std::string settings = settingsText(o);
  std::ifstream oldSettings(settingsPath);
  if (oldSettings) {
    std::string text((std::istreambuf_iterator<char>(oldSettings)),
                     std::istreambuf_iterator<char>());
    if (text != settings) {
      say("datagen: %s was made with other settings; use another --out or the same settings\n",
          o.out);
      say("datagen: its settings: %s", text);
      return false;
    }
  } else if (fs::exists(path)) {
    say("datagen: %s exists without its .settings file; refusing to append to it\n", o.out);
    return false;
  } else {
    std::ofstream write(settingsPath);
    write << settings;
    if (!write) {
      say("datagen: cannot write %s\n", settingsPath);
      return false;
    }
  }
  positions = 0;
  if (!fs::exists(path)) return true;
  uint64_t torn = 0, valid = 0;
  {
    TrainingDataReader reader(o.out);
    if (!reader.isOpen()) {
      say("datagen: cannot read %s\n", o.out);
      return false;
    }
    static PositionRecord scratch[MAX_GAME_POSITIONS];
    GameRecord game;
    while (reader.nextGame(game, scratch, MAX_GAME_POSITIONS)) {
      done.push_back(game.gameIndex);
      positions += game.positions;
    }
    torn = reader.tornBytes();
    valid = reader.validBytes();
  }
  if (torn > 0) {
    fs::resize_file(path, valid, error);
    if (error) {
      say("datagen: cannot cut the torn tail of %s\n", o.out);
      return false;
    }
    std::printf("datagen: dropped a torn tail of %llu bytes (a stopped run)\n",
                (unsigned long long)torn);
  }
  std::sort(done.begin(), done.end());
  return true;
}

// The game indices a worker plays: the gaps below the highest finished game first (a stopped
// run with several workers leaves some), then new ones; every worker takes every count-th.
struct GameQueue {
  std::vector<uint64_t> gaps;
  uint64_t next = 0;
  int worker = 0, count = 1;
  size_t gapAt = 0;

  GameQueue(const std::vector<uint64_t>& done, int workerIndex, int workers)
      : worker(workerIndex), count(workers) {
    uint64_t expected = 0;
    for (uint64_t index : done) {
      for (; expected < index; ++expected) gaps.push_back(expected);
      expected = std::max(expected, index + 1);
    }
    next = expected;
    gapAt = size_t(worker);
  }
  uint64_t take() {
    if (gapAt < gaps.size()) {
      const uint64_t index = gaps[gapAt];
      gapAt += size_t(count);
      return index;
    }
    const uint64_t first = gapAt - gaps.size();
    gapAt += size_t(count);
    return next + first;
  }
};

bool targetReached(const DatagenOptions& o, int64_t games, int64_t positions) {
  return (o.games > 0 && games >= o.games) || (o.positions > 0 && positions >= o.positions);
}

std::string clockText(double seconds) {
  const long long s = (long long)seconds;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

// "datagen: games G positions P (+p this run) R pos/s, left H:MM:SS"
void reportProgress(const DatagenOptions& o, int64_t doneGames, int64_t donePositions,
                    const SharedProgress& progress, double seconds) {
  const int64_t games = progress.games, positions = progress.positions;
  const double rate = seconds > 0 ? double(positions) / seconds : 0;
  std::string left = "unknown";
  if (o.positions > 0 && rate > 0) {
    left = clockText(std::max<double>(0, double(o.positions - donePositions - positions)) / rate);
  } else if (o.games > 0 && games > 0) {
    left = clockText(std::max<double>(0, double(o.games - doneGames - games)) * seconds /
                     double(games));
  } else if (o.games == 0 && o.positions == 0) {
    left = "no target";
  }
  std::printf("datagen: games %lld positions %lld (%lld this run) %.0f pos/s, left %s\n",
              (long long)(doneGames + games), (long long)(donePositions + positions),
              (long long)positions, rate, left.c_str());
  std::fflush(stdout);
}

// Plays games until told to stop or the target is reached; returns the exit code. The worker
// that runs in the starting process itself (no worker processes) prints the progress too.
int runWorker(const DatagenOptions& o, const std::vector<uint64_t>& done, int64_t donePositions,
              int workerIndex, int workers, SharedProgress& progress, bool printsProgress) {
  std::FILE* file = std::fopen(o.out.c_str(), "ab");
  if (!file) {
    say("datagen: cannot open %s for appending\n", o.out);
    return 1;
  }
  // One game block goes out in one write, so that workers' blocks never interleave.
  static char buffer[(MAX_GAME_POSITIONS + 2) * TRAINING_RECORD_BYTES];
  std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  static SelfPlayGame game;
  static uint8_t block[(MAX_GAME_POSITIONS + 1) * TRAINING_RECORD_BYTES];
  GameQueue queue(done, workerIndex, workers);
  const int64_t doneGames = int64_t(done.size());
  const auto start = std::chrono::steady_clock::now();
  auto lastReport = start;
  int code = 0;
  for (;;) {
    if (interrupted) progress.stop = true;
    if (progress.stop ||
        targetReached(o, doneGames + progress.games, donePositions + progress.positions))
      break;
    const uint64_t index = queue.take();
    // With a game target the run plays exactly the games numbered below it.
    if (o.games > 0 && index >= uint64_t(o.games)) break;
    if (!playSelfPlayGame(o.play, o.seed, index, game, progress.stop)) {
      if (progress.stop || interrupted) break;
      continue;
    }
    encodeGameRecord(game.record, block);
    for (uint32_t i = 0; i < game.record.positions; ++i)
      encodePositionRecord(game.positions[i], block + (i + 1) * TRAINING_RECORD_BYTES);
    const size_t bytes = (game.record.positions + 1) * size_t(TRAINING_RECORD_BYTES);
    if (std::fwrite(block, 1, bytes, file) != bytes || std::fflush(file) != 0) {
      say("datagen: cannot write to %s (disk full?)\n", o.out);
      progress.stop = true;
      code = 1;
      break;
    }
    progress.games += 1;
    progress.positions += game.record.positions;
    const auto now = std::chrono::steady_clock::now();
    if (printsProgress && now - lastReport >= std::chrono::seconds(o.reportSeconds)) {
      lastReport = now;
      reportProgress(o, doneGames, donePositions, progress,
                     std::chrono::duration<double>(now - start).count());
    }
  }
  std::fclose(file);
  return code;
}

// Each worker searches alone, prints nothing and reads no input.
void prepareWorkerSearch(const DatagenOptions& o) {
  installSearchHost(SearchHost());
  setSearchThreads(1);
  rebuildHashTables(uint64_t(o.hashMb) << 20);
}

// The evaluation the games are played with: the table, or a net (the embedded one or a file).
bool chooseEvaluation(const DatagenOptions& o) {
  std::string error;
  if (!o.evalFile.empty() && !installNetworkFile(o.evalFile, error)) {
    say("datagen: %s\n", "--evalfile " + o.evalFile + " refused: " + error);
    return false;
  }
  if (!useTableEvaluation(o.table)) {
    std::printf("datagen: no usable network is installed\n");
    return false;
  }
  return true;
}

}  // namespace

int runDatagen(int argc, char** argv) {
  DatagenOptions o;
  if (!parseOptions(argc, argv, o)) return 2;
  initEngineData();
  if (!readBook(o) || !chooseEvaluation(o)) return 2;
  std::vector<uint64_t> done;
  int64_t donePositions = 0;
  if (!prepareFile(o, done, donePositions)) return 2;
  std::printf("datagen: %s, %lld games and %lld positions already in it; %s", o.out.c_str(),
              (long long)done.size(), (long long)donePositions, settingsText(o).c_str());
  if (targetReached(o, int64_t(done.size()), donePositions)) {
    std::printf("datagen: the target is already reached\n");
    return 0;
  }
  std::fflush(stdout);
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);

  auto* progress = static_cast<SharedProgress*>(platform::sharedMemory(sizeof(SharedProgress)));
  if (!progress) {
    std::printf("datagen: no shared memory for the workers\n");
    return 1;
  }
  new (progress) SharedProgress();
  prepareWorkerSearch(o);
  int started = 0;
  const int worker = o.workers > 1 ? platform::startWorkerProcesses(o.workers, started) : -2;
  if (worker >= 0)
    platform::endWorkerProcess(
        runWorker(o, done, donePositions, worker, o.workers, *progress, false));
  const auto begin = std::chrono::steady_clock::now();
  int code = 0;
  if (worker == -2) {
    if (o.workers > 1) std::printf("datagen: this system runs one worker per process\n");
    code = runWorker(o, done, donePositions, 0, 1, *progress, true);
  } else {
    if (started < o.workers) {
      std::printf("datagen: only %d of %d workers could be started\n", started, o.workers);
      if (started == 0) return 1;
    }
    int failed = 0;
    auto lastReport = begin;
    while (platform::workersRunning(failed)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (interrupted) progress->stop = true;
      const auto now = std::chrono::steady_clock::now();
      if (now - lastReport >= std::chrono::seconds(o.reportSeconds)) {
        lastReport = now;
        reportProgress(o, int64_t(done.size()), donePositions, *progress,
                       std::chrono::duration<double>(now - begin).count());
      }
    }
    if (failed > 0) {
      std::printf("datagen: %d worker(s) failed\n", failed);
      code = 1;
    }
  }
  reportProgress(o, int64_t(done.size()), donePositions, *progress,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  std::printf(interrupted ? "datagen: stopped; run the same command again to resume\n"
                          : "datagen: done\n");
  return code;
}
