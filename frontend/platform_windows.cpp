// The platform layer on Windows: standard input is a pipe (what interfaces use), a console (a
// person typing) or a file, each asked in its own way whether input waits; the match script is
// started with CreateProcess.
#ifdef _WIN32

#include <windows.h>
#include <io.h>
#include <timeapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "frontend/platform.h"

namespace platform {

namespace {

enum class InputKind { PIPE, CONSOLE, OTHER };

// Set once by initInput, read by the main thread only.
HANDLE inputHandle = INVALID_HANDLE_VALUE;
InputKind inputKind = InputKind::OTHER;

// A console reads a line at a time: ReadFile returns once Enter is pressed, so a smaller request
// loses nothing, and very large console reads can fail.
constexpr DWORD CONSOLE_READ_LIMIT = 4096;

// A key that types something starts a line; the console's own line editing then reads it (with
// echo) up to Enter. Mouse, focus and key-release events would otherwise wait forever.
bool consoleHasTyping() {
  for (;;) {
    DWORD events = 0;
    if (!GetNumberOfConsoleInputEvents(inputHandle, &events)) return true;
    if (events == 0) return false;
    INPUT_RECORD record;
    DWORD got = 0;
    if (!PeekConsoleInputW(inputHandle, &record, 1, &got) || got == 0) return true;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
        record.Event.KeyEvent.uChar.UnicodeChar != 0)
      return true;
    ReadConsoleInputW(inputHandle, &record, 1, &got);
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
  // The engine's Catalan messages are UTF-8.
  SetConsoleOutputCP(CP_UTF8);
}

void initInput() {
  // Sleeps and timed waits to the millisecond rather than the default 15.6 ms ticks.
  timeBeginPeriod(1);
  inputHandle = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(inputHandle, &mode)) {
    inputKind = InputKind::CONSOLE;
    SetConsoleMode(inputHandle, mode & ~DWORD(ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT));
    FlushConsoleInputBuffer(inputHandle);
  } else if (GetFileType(inputHandle) == FILE_TYPE_PIPE) {
    inputKind = InputKind::PIPE;
  } else {
    inputKind = InputKind::OTHER;  // a file or the NUL device: reads never wait
  }
}

InputState inputState() {
  switch (inputKind) {
    case InputKind::PIPE: {
      DWORD waiting = 0;
      // A pipe that can no longer be asked has been closed: the read reports its end.
      if (!PeekNamedPipe(inputHandle, nullptr, 0, nullptr, &waiting, nullptr))
        return InputState::READABLE;
      return waiting > 0 ? InputState::READABLE : InputState::NOTHING_WAITING;
    }
    case InputKind::CONSOLE:
      return consoleHasTyping() ? InputState::READABLE : InputState::NOTHING_WAITING;
    case InputKind::OTHER:
      break;
  }
  return InputState::READABLE;
}

long readInput(char* buffer, size_t capacity) {
  DWORD request = DWORD(std::min<size_t>(capacity, 1u << 30));
  if (inputKind == InputKind::PIPE) {
    DWORD waiting = 0;
    if (PeekNamedPipe(inputHandle, nullptr, 0, nullptr, &waiting, nullptr)) {
      if (waiting == 0) return -1;
      request = std::min(request, waiting);  // never wait for more than is there
    }
  } else if (inputKind == InputKind::CONSOLE) {
    request = std::min(request, CONSOLE_READ_LIMIT);
  }
  DWORD got = 0;
  if (!ReadFile(inputHandle, buffer, request, &got, nullptr)) return 0;  // broken pipe: the end
  return long(got);
}

void sleepMs(int milliseconds) { Sleep(DWORD(milliseconds)); }

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

}  // namespace platform

#endif  // _WIN32
