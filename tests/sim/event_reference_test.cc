// The event reference is the one table behind --list-kinds, docs/events.md and
// docs/events.schema.json: the documents must say what the table says (run
// scripts/update-docs.sh after changing it), and the table must cover every timeline kind.
#include <gtest/gtest.h>

#include "sim/event_reference.h"
#include "tests/sim/command_test_support.h"

namespace qv::sim {
namespace {

TEST(EventReference, HasARowForEveryTimelineKindInItsOrder) {
  for (std::size_t i = 0; i < timeline::kKindCount; ++i) {
    const auto kind = static_cast<timeline::Kind>(i);
    EXPECT_EQ(eventKinds()[i].name, timeline::kindName(kind));
    EXPECT_EQ(&kindDoc(kind), &eventKinds()[i]);
  }
  EXPECT_EQ(summaryDoc().name, "summary");
}

TEST(EventReference, DocumentsAndTheCommandLineSayWhatTheTableSays) {
  EXPECT_TRUE(fileText(sourcePath("docs/events.md")) == kindsMarkdown())
      << "docs/events.md differs from sim/event_reference.cc: run scripts/update-docs.sh";
  EXPECT_TRUE(fileText(sourcePath("docs/events.schema.json")) == eventsSchema())
      << "docs/events.schema.json differs from sim/event_reference.cc: run scripts/update-docs.sh";
  CommandRun text = runQuorvelSim({"--list-kinds"});
  ASSERT_EQ(text.status, 0) << text.err;
  for (const KindDoc& k : eventKinds()) EXPECT_NE(text.out.find("\n" + std::string(k.name)), std::string::npos);
  EXPECT_TRUE(runQuorvelSim({"--list-kinds", "--markdown"}).out == kindsMarkdown());
  EXPECT_TRUE(runQuorvelSim({"--json-schema"}).out == eventsSchema());
}

}  // namespace
}  // namespace qv::sim
