// Drives the real engine through pipes, as a chess interface does: write lines, read answer lines
// with a time limit, close the input, wait for the exit code. Every wait is bounded and the
// destructor kills a child still running, so a hung engine fails a test instead of the suite.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

inline long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}
inline bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
inline bool isInfoString(const std::string& line) { return startsWith(line, "info string "); }
// The word after `key` in an info line ("" when the line has no such word).
inline std::string infoField(const std::string& line, const std::string& key) {
  std::istringstream words(line);
  for (std::string word; words >> word;)
    if (word == key && words >> word) return word;
  return "";
}
inline int countBestmoves(const std::vector<std::string>& lines) {
  return int(std::count_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return startsWith(l, "bestmove"); }));
}

class EngineProcess {
 public:
  static constexpr int TIMEOUT_MS = 20000;  // room for the sanitizer builds

  // `program` is started with `args`: the engine under test unless another is named.
  explicit EngineProcess(const std::vector<std::string>& args = {},
                         const std::string& program = CORVANEL_ENGINE_PATH) {
    signal(SIGPIPE, SIG_IGN);  // writing to a dead engine fails with EPIPE instead
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (failed != 0) {
      pid_ = -1;
      closeInput();
      closeOutput();
      throw std::runtime_error("cannot start the engine");
    }
    // Writes never block: a long write goes on reading the engine's output meanwhile.
    fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  }
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;
  ~EngineProcess() {
    closeInput();
    closeOutput();
    if (pid_ > 0 && !exitStatus_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Writes the text as it stands; false when the engine stopped reading or the time ran out.
  bool writeRaw(const std::string& text, int timeoutMs = TIMEOUT_MS) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (size_t done = 0; done < text.size();) {
      ssize_t n = input_ < 0 ? -1 : write(input_, text.data() + done, text.size() - done);
      if (n > 0) {
        done += size_t(n);
      } else if (input_ < 0 || (errno != EAGAIN && errno != EINTR) || Clock::now() > deadline) {
        return false;
      } else {
        pollfd fds[2] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}};
        if (poll(fds, output_ >= 0 ? 2 : 1, 100) > 0 && (fds[1].revents & (POLLIN | POLLHUP)))
          fill();
      }
    }
    return true;
  }
  bool send(const std::string& line) { return writeRaw(line + "\n"); }

  // The next output line without its newline; nothing when the time runs out or output ended.
  std::optional<std::string> readLine(int timeoutMs = TIMEOUT_MS) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      int left = int(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (output_ < 0 || left <= 0) return std::nullopt;
      pollfd fd = {output_, POLLIN, 0};
      if (poll(&fd, 1, left) > 0) fill();
    }
  }

  // Lines up to and including the first equal to `last`; empty when it never comes.
  Lines readUntil(const std::string& last, int timeoutMs = TIMEOUT_MS) {
    Clock::time_point start = Clock::now();
    Lines lines;
    while (auto line = readLine(std::max(0, timeoutMs - int(msSince(start))))) {
      lines.push_back(*line);
      if (*line == last) return lines;
    }
    return {};
  }

  // Everything printed before the answer to an "isready" sent now.
  Lines drain(int timeoutMs = TIMEOUT_MS) {
    if (!send("isready")) return {"<write failed>"};
    Lines lines = readUntil("readyok", timeoutMs);
    if (lines.empty()) return {"<no readyok>"};
    lines.pop_back();
    return lines;
  }
  // Sends the line and returns its answer: what came before the answer to a following "isready".
  Lines command(const std::string& line, int timeoutMs = TIMEOUT_MS) {
    return send(line) ? drain(timeoutMs) : Lines{"<write failed>"};
  }

  void closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }
  void closeOutput() {
    if (output_ >= 0) close(output_);
    output_ = -1;
  }

  // The exit code (-signal when killed), or nothing while it still runs when the time is up.
  std::optional<int> waitForExit(int timeoutMs = TIMEOUT_MS) {
    Clock::time_point start = Clock::now();
    while (pid_ > 0 && !exitStatus_ && msSince(start) < timeoutMs) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      } else if (output_ >= 0) {  // keep draining, so a blocked writer can finish
        pollfd fd = {output_, POLLIN, 0};
        if (poll(&fd, 1, 5) > 0) fill();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return exitStatus_;
  }

 private:
  void fill() {
    char chunk[65536];
    ssize_t n;
    while ((n = read(output_, chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n > 0)
      buffer_.append(chunk, size_t(n));
    else
      closeOutput();
  }

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1;
  std::string buffer_;
  std::optional<int> exitStatus_;
};

// A started engine whose banner has been checked and which has answered "isready", as an
// interface waits for before its first order (the tables are built after the banner).
inline std::unique_ptr<EngineProcess> startEngine(const std::vector<std::string>& args = {},
                                                  bool ready = true) {
  auto engine = std::make_unique<EngineProcess>(args);
  EXPECT_EQ(engine->readLine().value_or("<nothing>"), "Corvanel 0.64 by Ferrolan");
  EXPECT_EQ(ready ? engine->drain() : Lines{}, Lines{});
  return engine;
}

// The answer to one "go": what was printed up to the bestmove line and when that line came.
struct Answer {
  Lines lines;
  std::string bestmove;  // "" when none came
  long long ms = -1;     // from `start` to reading the bestmove line
};
inline Answer readAnswer(EngineProcess& engine, Clock::time_point start, int timeoutMs) {
  Answer answer;
  while (auto line = engine.readLine(std::max(0, timeoutMs - int(msSince(start))))) {
    answer.lines.push_back(*line);
    if (startsWith(*line, "bestmove")) {
      answer.ms = msSince(start);
      answer.bestmove = line->substr(9, line->find(' ', 9) - 9);
      break;
    }
  }
  return answer;
}
// Sends the line and reads its answer; the clock starts just before the line is written.
inline Answer goAndWait(EngineProcess& engine, const std::string& go, int timeoutMs = 60000) {
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(engine.send(go));
  return readAnswer(engine, start, timeoutMs);
}
