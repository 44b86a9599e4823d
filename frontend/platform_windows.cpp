// The platform layer on Windows. Standard input is read by a thread of its own with blocking
// reads into a buffer that the main thread inspects without waiting: this works alike for a pipe
// from an interface, a console (the console's own line editing and echo keep working while the
// engine thinks) and a file, and for the pipes of Wine, which cannot be peeked at. The match
// script is started with CreateProcess.
#ifdef _WIN32

#include <windows.h>
#include <io.h>
#include <timeapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "frontend/platform.h"

namespace platform {

namespace {

// Filled by the reader thread, emptied by the main thread, both under `inputLock`;
// `inputArrived` wakes a main thread waiting for input.
std::mutex inputLock;
std::condition_variable inputArrived;
std::string inputBytes;
bool inputEnded = false;

void readStandardInput(HANDLE input) {
  char chunk[4096];
  for (;;) {
    DWORD got = 0;
    const BOOL ok = ReadFile(input, chunk, sizeof chunk, &got, nullptr);
    std::lock_guard<std::mutex> guard(inputLock);
    inputArrived.notify_one();
    if (!ok || got == 0) {  // end of input, or an input that can no longer be read
      inputEnded = true;
      return;
    }
    inputBytes.append(chunk, got);
  }
}

// Quotes one word of a command line the way the C runtime splits it again.
std::string quoted(const std::string& word) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}

// Windows runs no "#!" script itself: the interpreter named there (its file name, looked up on
// PATH, as with Git for Windows or MSYS2) runs it. Without a "#!" line the file is started as a
// program.
std::string commandLineFor(const char* path, const std::string& argument) {
  std::ifstream script(path, std::ios::binary);
  std::string first;
  std::getline(script, first);
  std::string interpreter;
  if (first.compare(0, 2, "#!") == 0) {
    const char* blanks = " \t\r";
    size_t start = first.find_first_not_of(blanks, 2);
    size_t end = first.find_first_of(blanks, start);
    interpreter = start == std::string::npos ? "" : first.substr(start, end - start);
    interpreter = interpreter.substr(interpreter.find_last_of("/\\") + 1);
    if (interpreter == "env" && end != std::string::npos) {
      start = first.find_first_not_of(blanks, end);
      end = first.find_first_of(blanks, start);
      interpreter = start == std::string::npos ? "" : first.substr(start, end - start);
    }
  }
  std::string line = interpreter.empty() ? "" : quoted(interpreter) + " ";
  return line + quoted(path) + " " + quoted(argument);
}

}  // namespace

void initOutput() {
  // The C runtime of Windows has no line buffering (it buffers such a stream fully). Every line
  // the engine prints is flushed where it is printed, so a full buffer sends each line whole.
  std::setvbuf(stdout, nullptr, _IOFBF, 65536);
  // The engine's Catalan messages are UTF-8; the console gets its code page back at exit.
  static UINT consoleCodePage = GetConsoleOutputCP();
  if (consoleCodePage != 0 && SetConsoleOutputCP(CP_UTF8))
    std::atexit([] { SetConsoleOutputCP(consoleCodePage); });
}

void initInput() {
  // Sleeps and timed waits to the millisecond rather than the default 15.6 ms ticks.
  timeBeginPeriod(1);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    // No mouse or window events; nothing typed before the engine started.
    SetConsoleMode(input, mode & ~DWORD(ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT));
    FlushConsoleInputBuffer(input);
  }
  // The thread lives as long as the process; its read ends with the process.
  std::thread(readStandardInput, input).detach();
}

InputState inputState() {
  std::lock_guard<std::mutex> guard(inputLock);
  return inputBytes.empty() && !inputEnded ? InputState::NOTHING_WAITING : InputState::READABLE;
}

long readInput(char* buffer, size_t capacity) {
  std::lock_guard<std::mutex> guard(inputLock);
  if (inputBytes.empty()) return inputEnded ? 0 : -1;
  const size_t n = std::min(capacity, inputBytes.size());
  std::memcpy(buffer, inputBytes.data(), n);
  inputBytes.erase(0, n);
  return long(n);
}

void waitForInput(int milliseconds) {
  std::unique_lock<std::mutex> guard(inputLock);
  inputArrived.wait_for(guard, std::chrono::milliseconds(milliseconds),
                        [] { return !inputBytes.empty() || inputEnded; });
}

bool scriptRunnable(const char* path, std::string& reason) {
  if (_access(path, 0) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

int runScript(const char* path, const std::string& argument, std::string& output,
              size_t keptBytes, int& startError) {
  output.clear();
  startError = 0;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    startError = int(GetLastError());
    return -1;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof process);
  std::string commandLine = commandLineFor(path, argument);
  BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  if (!started) startError = int(GetLastError());
  CloseHandle(writeEnd);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!started) {
    CloseHandle(readEnd);
    return -1;
  }
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    output.append(chunk, got);
    if (output.size() > 2 * keptBytes) output.erase(0, output.size() - keptBytes);
  }
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 127;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return int(code);
}

// One process, one worker: the data generator runs its single worker itself.
void* sharedMemory(size_t bytes) { return std::calloc(1, bytes); }

int startWorkerProcesses(int, int& started) {
  started = 0;
  return -2;
}

bool workersRunning(int&) { return false; }

void endWorkerProcess(int code) {
  std::fflush(stdout);
  std::_Exit(code);
}

int currentWorker() { return -1; }

}  // namespace platform

#endif  // _WIN32
