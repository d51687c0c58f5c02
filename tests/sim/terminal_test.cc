// Colour and progress appear only for a person at a terminal: the decisions as tables and the
// progress line's wording (the story's colours: story_test.cc).
#include "sim/terminal.h"

#include <gtest/gtest.h>

#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

TEST(Terminal, ColourOnlyOnATerminalAndOnlyWhileNoColorIsUnsetOrEmpty) {
  struct Case {
    bool terminal;
    const char* noColor;
    bool colour;
  } cases[] = {
      {true, nullptr, true}, {true, "", true}, {true, "1", false}, {false, nullptr, false}, {false, "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(colourWanted(c.terminal, c.noColor), c.colour) << c.terminal << " " << (c.noColor ? c.noColor : "unset");
}

TEST(Terminal, ProgressOnlyOnATerminalTheStoryIsNotPrintingTo) {
  struct Case {
    bool stderrTerminal, stdoutTerminal, quiet, realtime;
    bool progress;
  } cases[] = {
      {true, false, false, false, true},   // the story goes to a file: progress on the terminal
      {true, true, true, false, true},     // --quiet: nothing else on the terminal
      {true, true, false, false, false},   // the story itself is on the terminal
      {true, false, false, true, false},   // --realtime paces itself
      {false, false, false, false, false}, // stderr in a file or a pipe
  };
  for (const Case& c : cases)
    EXPECT_EQ(progressWanted(c.stderrTerminal, c.stdoutTerminal, c.quiet, c.realtime), c.progress)
        << c.stderrTerminal << c.stdoutTerminal << c.quiet << c.realtime;
}

TEST(Terminal, ProgressLineGivesTheDateReachedTheShareDoneTheEventsAndTheSpeed) {
  EXPECT_EQ(progressLine({2026, 12, 9, 14, 5, 59}, 0.456, 12345, 3.25),
            "simulated 2026-12-09 14:05 (45%), 12345 events, 3.2 days/s");
  EXPECT_EQ(progressLine({2026, 12, 9, 14, 5, 0}, 1.5, 0, 0), "simulated 2026-12-09 14:05 (100%), 0 events, 0.0 days/s");
}

TEST(Terminal, MemoryStreamsAndFilesAreNoTerminalSoTheirOutputHasNoColourNorProgress) {
  std::FILE* file = std::tmpfile();
  EXPECT_FALSE(isTerminal(file));
  std::fclose(file);
  CommandRun run = runQuorvelSim({sourcePath("examples/repeat-limits.json")});
  EXPECT_EQ(run.out.find('\033'), std::string::npos);
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace qv::sim
