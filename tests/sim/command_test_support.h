// Runs quorvel-sim in-process and captures what it prints, for the command-line tests, and the
// fixture of tests that play scenario text they write.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/plist/io.h"
#include "sim/command.h"
#include "tests/scratch_folder.h"

namespace qv::sim {

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Captures through memory streams, so nothing reaches the terminal; `input` is its standard input.
inline CommandRun runQuorvelSim(const std::vector<std::string>& args, const std::string& input = "") {
  CommandRun run;
  std::string inputCopy = input;  // fmemopen wants a buffer of at least one byte: /dev/null for none
  std::FILE* in = input.empty() ? std::fopen("/dev/null", "r") : fmemopen(inputCopy.data(), input.size(), "r");
  char* outText = nullptr;
  char* errText = nullptr;
  std::size_t outSize = 0, errSize = 0;
  std::FILE* out = open_memstream(&outText, &outSize);
  std::FILE* err = open_memstream(&errText, &errSize);
  run.status = runCommand(args, in, out, err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  run.out.assign(outText, outSize);
  run.err.assign(errText, errSize);
  std::free(outText);
  std::free(errText);
  return run;
}

inline std::string sourcePath(const std::string& relative) {
  std::string path = QV_SOURCE_DIR;
  path += '/';
  path += relative;
  return path;
}

// Each line followed by a line break, as warnings are printed.
inline std::string joinedLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// Scenario files written in a folder of the test's own and played through quorvel-sim.
class ScenarioText : public ::testing::Test {
 protected:
  // Writes `scenario` to `file`, plays it with `options` and returns what it printed; a run that
  // does not succeed fails the test.
  std::string play(const std::string& scenario, std::vector<std::string> options = {},
                   const std::string& file = "day.json") {
    options.push_back(scratch.write(file, scenario));
    CommandRun run = runQuorvelSim(options);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  // Writes `values` to `name` as a property-list file of `format` and returns its path.
  std::string writePlist(const std::string& name, const pl::Dict& values, pl::Format format) {
    auto bytes = pl::serialize(pl::Value(values), format);
    EXPECT_TRUE(bytes) << bytes.error();
    return scratch.write(name, std::string(bytes->begin(), bytes->end()));
  }
  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  ScratchFolder scratch{"quorvel-scenario"};
};

}  // namespace qv::sim
