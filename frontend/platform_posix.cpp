// The platform layer on Linux and other POSIX systems: poll(2) and read(2) on standard input,
// posix_spawn for the match script.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frontend/platform.h"

extern char** environ;

namespace platform {

void initOutput() {
  // Line buffering; emitLine flushes each protocol line anyway. The mode can only be chosen
  // before the first output.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

void initInput() {
  // An interface that closes its end of our output must not kill the engine mid-line; the end
  // of its input follows and ends the engine normally.
  std::signal(SIGPIPE, SIG_IGN);
}

InputState inputState() {
  for (;;) {
    pollfd request = {STDIN_FILENO, POLLIN, 0};
    int ready = poll(&request, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    // poll also reports a closed or broken input as ready; the read then sees its end.
    return ready > 0 ? InputState::READABLE : InputState::NOTHING_WAITING;
  }
}

long readInput(char* buffer, size_t capacity) {
  ssize_t got = read(STDIN_FILENO, buffer, capacity);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return -1;
  return got < 0 ? 0 : long(got);
}

void waitForInput(int milliseconds) {
  pollfd request = {STDIN_FILENO, POLLIN, 0};
  poll(&request, 1, milliseconds);  // interrupted or not, the caller looks again
}

bool scriptRunnable(const char* path, std::string& reason) {
  if (access(path, X_OK) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

int runScript(const char* path, const std::string& argument, std::string& output,
              size_t keptBytes, int& startError) {
  output.clear();
  startError = 0;
  int fromChild[2];
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    startError = errno;
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  char* argv[] = {const_cast<char*>(path), const_cast<char*>(argument.c_str()), nullptr};
  pid_t pid = -1;
  int failed = posix_spawn(&pid, path, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fromChild[1]);
  if (failed != 0) {
    close(fromChild[0]);
    startError = failed;
    return -1;
  }
  char chunk[4096];
  for (;;) {
    ssize_t got = read(fromChild[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    output.append(chunk, size_t(got));
    if (output.size() > 2 * keptBytes) output.erase(0, output.size() - keptBytes);
  }
  close(fromChild[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

namespace {
std::vector<pid_t> workerIds;  // the starting process's record of its workers
int workerIndex = -1;
}  // namespace

void* sharedMemory(size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

int startWorkerProcesses(int count, int& started) {
  started = 0;
  std::fflush(stdout);
  for (int i = 0; i < count; ++i) {
    const pid_t id = fork();
    if (id == 0) {
      workerIndex = i;
      workerIds.clear();
      return i;
    }
    if (id < 0) break;
    workerIds.push_back(id);
    ++started;
  }
  return -1;
}

bool workersRunning(int& failed) {
  for (size_t i = 0; i < workerIds.size();) {
    int status = 0;
    const pid_t id = waitpid(workerIds[i], &status, WNOHANG);
    if (id == 0 || (id < 0 && errno == EINTR)) {
      ++i;
      continue;
    }
    if (id > 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) ++failed;
    workerIds.erase(workerIds.begin() + long(i));
  }
  return !workerIds.empty();
}

void endWorkerProcess(int code) {
  std::fflush(stdout);
  _exit(code);
}

int currentWorker() { return workerIndex; }

}  // namespace platform

#endif  // _WIN32
