// Drives a real engine process through pipes, as a chess interface would: write command lines,
// read answer lines with a time limit, close the input, wait for the exit code. Every wait is
// bounded, and the destructor kills a child that is still running, so a hung engine fails a test
// instead of hanging the suite.
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
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef CORVANEL_ENGINE_PATH
#define CORVANEL_ENGINE_PATH "corvanel-x64-popcnt"
#endif

extern char** environ;

class EngineProcess {
 public:
  // Sanitizer builds are much slower; the default time limits leave room for them.
  static constexpr int DEFAULT_TIMEOUT_MS = 20000;

  explicit EngineProcess(const std::vector<std::string>& args = {},
                         const std::string& path = CORVANEL_ENGINE_PATH) {
    // Writing to an engine that has died must fail with EPIPE, not kill the test program.
    signal(SIGPIPE, SIG_IGN);
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
      close(toChild[0]);
      close(toChild[1]);
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int failed = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (failed != 0) {
      pid_ = -1;
      closeFds();
      throw std::runtime_error("cannot start " + path);
    }
    // Writes must never block: a large write is interleaved with reading the engine's output,
    // so neither side can stall on a full pipe.
    fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  }

  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  ~EngineProcess() {
    closeFds();
    if (pid_ > 0 && !exitStatus_) {
      kill(pid_, SIGKILL);
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }

  // Writes `text` as it stands (no newline added). False if the engine stopped reading or the
  // time ran out.
  bool writeRaw(const std::string& text, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    if (input_ < 0) return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(input_, text.data() + done, text.size() - done);
      if (n > 0) {
        done += size_t(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      int left = msLeft(deadline);
      if (left <= 0) return false;
      pollfd fds[2] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}};
      if (poll(fds, output_ >= 0 ? 2 : 1, std::min(left, 100)) < 0 && errno != EINTR) return false;
      if (output_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP)) && !readAvailable()) {
        close(output_);
        output_ = -1;
      }
    }
    return true;
  }

  bool send(const std::string& line, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    return writeRaw(line + "\n", timeoutMs);
  }

  // The next whole output line without its newline, or nothing when the time runs out or the
  // engine's output has ended.
  std::optional<std::string> readLine(int timeoutMs = DEFAULT_TIMEOUT_MS) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      if (output_ < 0) return std::nullopt;
      int left = msLeft(deadline);
      if (left <= 0) return std::nullopt;
      pollfd fd = {output_, POLLIN, 0};
      int ready = poll(&fd, 1, left);
      if (ready < 0 && errno != EINTR) return std::nullopt;
      if (ready > 0 && !readAvailable()) {
        close(output_);
        output_ = -1;
      }
    }
  }

  // Lines up to and including the first that equals `last`; empty when it never comes.
  std::vector<std::string> readUntil(const std::string& last, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> lines;
    while (auto line = readLine(std::max(msLeft(deadline), 0))) {
      lines.push_back(*line);
      if (*line == last) return lines;
    }
    return {};
  }

  // Sends the line and returns its answer lines: everything the engine printed before it answered
  // a following "isready". Commands that print nothing give an empty list.
  std::vector<std::string> command(const std::string& line, int timeoutMs = DEFAULT_TIMEOUT_MS) {
    if (!send(line, timeoutMs) || !send("isready", timeoutMs)) return {"<write failed>"};
    std::vector<std::string> lines = readUntil("readyok", timeoutMs);
    if (lines.empty()) return {"<no readyok>"};
    lines.pop_back();
    return lines;
  }

  // Closes the engine's standard input, as an interface does when it goes away.
  void closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  // Stops reading the engine's output, as an interface that goes away abruptly does.
  void closeOutput() {
    if (output_ >= 0) close(output_);
    output_ = -1;
  }

  // The exit code, or nothing if the engine is still running when the time runs out (or was
  // ended by a signal: then -signal number).
  std::optional<int> waitForExit(int timeoutMs = DEFAULT_TIMEOUT_MS) {
    if (exitStatus_) return exitStatus_;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int status = 0;
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return exitStatus_;
      }
      if (done < 0 && errno != EINTR) return std::nullopt;
      if (msLeft(deadline) <= 0) return std::nullopt;
      // Keep draining the output so an engine blocked on a full pipe can still finish.
      if (output_ >= 0) {
        pollfd fd = {output_, POLLIN, 0};
        if (poll(&fd, 1, 5) > 0 && !readAvailable()) {
          close(output_);
          output_ = -1;
        }
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
  }

  // Output read but not yet returned as lines (for checking that nothing else was printed).
  const std::string& unreadOutput() const { return buffer_; }

 private:
  using Clock = std::chrono::steady_clock;

  static int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<long long>(left.count(), 0));
  }

  // Moves waiting output into the buffer; false at the end of the output.
  bool readAvailable() {
    char chunk[65536];
    ssize_t n = read(output_, chunk, sizeof chunk);
    while (n < 0 && errno == EINTR) n = read(output_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, size_t(n));
    return true;
  }

  void closeFds() {
    if (input_ >= 0) close(input_);
    if (output_ >= 0) close(output_);
    input_ = output_ = -1;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string buffer_;
  std::optional<int> exitStatus_;
};

using Lines = std::vector<std::string>;

inline bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

inline bool isInfoString(const std::string& line) { return startsWith(line, "info string "); }

inline std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  size_t at = 0;
  while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
    size_t end = std::min(line.find(' ', at), line.size());
    out.push_back(line.substr(at, end - at));
    at = end;
  }
  return out;
}

// A started engine whose banner has been read and checked.
inline std::unique_ptr<EngineProcess> startEngine(const std::vector<std::string>& args = {}) {
  auto engine = std::make_unique<EngineProcess>(args);
  EXPECT_EQ(engine->readLine().value_or("<nothing>"), "Corvanel 0.64 by Ferrolan");
  return engine;
}
