// The parameter text in and out: the embedded defaults, parameter files read with "-av" or
// written by the tuners, and the "juntarfit" reload. One line per table entry, in table order:
// value;step;min;max.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "eval/derived.h"
#include "eval/params.h"

// Generated at configure time from eval/default_params.txt, the source of the default values.
extern const char embeddedEvalParamText[];

namespace {

using ParamLine = std::array<int32_t, 4>;  // value, step, min, max

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole field as a 32-bit decimal integer. Leading and trailing white space is allowed (the
// CR of a CR LF line, the LF the embedded walker keeps); anything else is not a number.
bool parseField(const std::string& field, int32_t* out) {
  const char* begin = field.c_str();
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(begin, &end, 10);
  if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
  while (isBlank(*end)) ++end;
  if (*end != '\0') return false;
  *out = int32_t(value);
  return true;
}

// Splits a line at ";" and converts its first four fields; further fields are ignored.
bool parseLine(const std::string& line, ParamLine* out, std::string* reason) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ';')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  if (fields.size() < 4) {
    *reason = "expected value;step;min;max";
    return false;
  }
  static const char* const kFieldNames[4] = {"value", "step", "min", "max"};
  for (int k = 0; k < 4; ++k) {
    if (!parseField(fields[k], &(*out)[k])) {
      *reason = std::string(kFieldNames[k]) + " \"" + fields[k] + "\" is not a 32-bit integer";
      return false;
    }
  }
  return true;
}

void storeEntry(int entry, const ParamLine& line) {
  *evalParams[entry].var = line[0];
  evalParams[entry].step = line[1];
  evalParams[entry].min = line[2];
  evalParams[entry].max = line[3];
}

bool lineIsBlank(const std::string& line) {
  for (char c : line)
    if (!isBlank(c)) return false;
  return true;
}

enum class FileLoad { OK, CANNOT_OPEN, MALFORMED };

// Reads and checks the whole file before storing anything, so a bad file changes nothing.
// Lines past the last table entry are ignored; blank lines at the very end are tolerated.
FileLoad loadParamFile(const char* path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = std::string("No es pot obrir fitxer avaluacions ") + path;
    return FileLoad::CANNOT_OPEN;
  }
  std::vector<std::string> lines;
  std::string text;
  while (int(lines.size()) < EVAL_PARAM_COUNT && std::getline(in, text)) lines.push_back(text);
  if (in.bad()) {
    *error = std::string("Error reading parameter file ") + path;
    return FileLoad::MALFORMED;
  }
  while (!lines.empty() && lineIsBlank(lines.back())) lines.pop_back();

  std::vector<ParamLine> parsed(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string reason;
    if (!parseLine(lines[i], &parsed[i], &reason)) {
      *error = std::string("Bad parameter file ") + path + ", line " + std::to_string(i + 1) +
               " (" + evalParamName(int(i)) + "): " + reason;
      return FileLoad::MALFORMED;
    }
  }
  for (size_t i = 0; i < parsed.size(); ++i) storeEntry(int(i), parsed[i]);
  // The loaded values take full effect (the fixed ones forced as at start-up) and the tuners
  // walk the whole table again.
  ForceFixedEvalValues();
  RebuildAllDerivedTables();
  evalParamCount = EVAL_PARAM_COUNT;
  return FileLoad::OK;
}

}  // namespace

void LoadEmbeddedEvalParams() { LoadEvalParamText(embeddedEvalParamText); }

int LoadEvalParamText(const char* text) {
  // A CR or LF met with an empty buffer stays in it as leading white space of the next line, so
  // a blank line reaches the check below without a number and ends loading.
  std::string line;
  int entry = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '\r' && *p != '\n') {
      line += *p;
      continue;
    }
    if (line.empty()) {
      line += *p;
      continue;
    }
    ParamLine values;
    std::string reason;
    if (entry >= EVAL_PARAM_COUNT || !parseLine(line, &values, &reason)) return entry;
    storeEntry(entry++, values);
    line.clear();
  }
  // A last line without its line end is not taken.
  return entry;
}

bool TryLoadEvalParamFile(const char* path, std::string* error) {
  std::string message;
  bool ok = loadParamFile(path, &message) == FileLoad::OK;
  if (error) *error = ok ? std::string() : message;
  return ok;
}

void LoadEvalParamFile(const char* path) {
  std::string message;
  switch (loadParamFile(path, &message)) {
    case FileLoad::OK:
      return;
    case FileLoad::CANNOT_OPEN:
      std::printf("No es pot obrir fitxer avaluacions %s\n", path);
      std::fflush(stdout);
      std::exit(0);
    case FileLoad::MALFORMED:
      std::printf("%s\n", message.c_str());
      std::fflush(stdout);
      std::exit(1);
  }
}

bool WriteEvalParamFile(const char* baseName, int number) {
  return WriteEvalParamFileAt((std::string(baseName) + std::to_string(number)).c_str());
}

bool WriteEvalParamFileAt(const char* path) {
  std::FILE* out = std::fopen(path, "w");
  if (!out) return false;
  bool ok = true;
  for (int i = 0; i < evalParamCount && i < EVAL_PARAM_COUNT && ok; ++i) {
    const EvalParam& p = evalParams[i];
    ok = std::fprintf(out, "%i;%i;%i;%i\n", *p.var, p.step, p.min, p.max) > 0;
  }
  ok = std::fflush(out) == 0 && ok;
  return std::fclose(out) == 0 && ok;
}

void ReloadTuningParams() {
  std::string error;
  if (!TryLoadEvalParamFile(TUNING_PARAM_FILE, &error)) {
    std::printf("%s\n", error.c_str());
    std::fflush(stdout);
    return;
  }
  // The file's steps and bounds give way to the table's own; its values stay.
  SetupEvalParamTable();
  RebuildAllDerivedTables();
  if (!WriteEvalParamFile(TUNING_PARAM_FILE, 999)) {
    std::printf("No es pot escriure fitxer avaluacions %s999\n", TUNING_PARAM_FILE);
    std::fflush(stdout);
  }
}
