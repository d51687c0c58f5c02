// Colour and progress appear only for a person at a terminal: the decisions as tables, the
// progress line's wording, and the story's colours turned on and off.
#include "sim/terminal.h"

#include <gtest/gtest.h>

#include "sim/story.h"
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

TEST(Terminal, StoryColoursItsLabelsOnlyWhenAsked) {
  auto tell = [](bool colour) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
      OutputOptions options;
      options.colour = colour;
      StoryWriter writer(out, options, [](dispatch::Instant) { return host::CalendarDate{2026, 12, 7, 8, 0, 0}; }, {});
      writer.add(timeline::Event{dispatch::Instant{}, "SpringBoard", timeline::Kind::ReminderFired, "SMS", "alert 1"});
      writer.flush();
    }
    std::fclose(out);
    std::string story(text, size);
    std::free(text);
    return story;
  };
  EXPECT_EQ(tell(false), "--- Mon 2026-12-07 ---\n08:00:00.000  SpringBoard   alert          SMS - alert 1\n");
  EXPECT_EQ(tell(true),
            "\033[1m--- Mon 2026-12-07 ---\033[0m\n"
            "08:00:00.000  SpringBoard   \033[1;33malert          SMS - alert 1\033[0m\n");
}

}  // namespace
}  // namespace qv::sim
