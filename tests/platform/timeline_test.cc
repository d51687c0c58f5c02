// Listeners hear an event that borrows the recorder's texts and fields; what they keep by copying
// must stay whole after the recorder's strings are gone, and a nested recording must not disturb
// the event a listener is still reading.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/dispatch/virtual_scheduler.h"
#include "platform/timeline/timeline.h"

namespace qv::timeline {
namespace {

TEST(Timeline, WhatAListenerCopiesOutlivesTheRecordersStrings) {
  dispatch::VirtualScheduler clock{dispatch::Instant{}};
  Timeline timeline(clock);
  std::vector<Event> kept;
  Text keptSubject;
  FieldList keptFields;
  timeline.addListener(
      [&](const Event& e) {
        kept.push_back(e);
        keptSubject = e.subject;
        keptFields = e.fields;
      },
      false);
  {
    // Longer than the small-string buffer, so a dangling view would read freed memory.
    std::string subject(40, 's'), detail(50, 'd'), text(60, 't');
    timeline.record("SpringBoard", Kind::Banner, subject, detail,
                    {Field{"title", text}, Field{"message", Borrowed{text}}, Field{"count", std::int64_t{3}}});
    subject.assign(40, 'x');
    detail.assign(50, 'y');
    text.assign(60, 'z');
  }
  timeline.record("SpringBoard", Kind::Sound, "other", "", {Field{"file", std::string("b.caf")}});

  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].subject, std::string(40, 's'));
  EXPECT_EQ(kept[0].detail, std::string(50, 'd'));
  EXPECT_EQ(kept[0].process, "SpringBoard");
  ASSERT_NE(kept[0].field("title"), nullptr);
  EXPECT_EQ(std::get<timeline::Text>(*kept[0].field("title")), std::string(60, 't'));
  ASSERT_NE(kept[0].field("message"), nullptr);
  EXPECT_EQ(std::get<timeline::Text>(*kept[0].field("message")), std::string(60, 't'));
  EXPECT_EQ(std::get<std::int64_t>(*kept[0].field("count")), 3);
  EXPECT_EQ(kept[1].subject, "other");
  EXPECT_EQ(keptSubject, "other");
  ASSERT_EQ(keptFields.size(), 1u);
  EXPECT_EQ(std::get<timeline::Text>(keptFields[0].value), "b.caf");

  // Copies of copies, moved through a growing vector, keep their own characters.
  std::vector<Event> moved;
  for (int i = 0; i < 20; ++i) moved.push_back(kept[0]);
  EXPECT_EQ(moved.front().subject, std::string(40, 's'));
  EXPECT_EQ(moved.back().detail, std::string(50, 'd'));
  EXPECT_EQ(std::string(moved.back().subject.c_str()), std::string(40, 's'));
}

TEST(Timeline, ABorrowedTextReadsLikeAStringAndGivesANullTerminatedCopy) {
  dispatch::VirtualScheduler clock{dispatch::Instant{}};
  Timeline timeline(clock);
  std::string seen, cText, joined;
  bool compared = false;
  timeline.addListener(
      [&](const Event& e) {
        seen = e.subject;
        cText = e.subject.c_str();  // the view is not null-terminated where it is borrowed
        joined = e.process + ": " + e.subject;
        compared = e.subject == "com.example.Chat" && e.subject.starts_with("com.") && e.subject < std::string("z");
      },
      false);
  const std::string whole = "com.example.Chat and more";
  timeline.record("SpringBoard", Kind::Badge, std::string_view(whole).substr(0, 16), "badge 3");
  EXPECT_EQ(seen, "com.example.Chat");
  EXPECT_EQ(cText, "com.example.Chat");
  EXPECT_EQ(joined, "SpringBoard: com.example.Chat");
  EXPECT_TRUE(compared);
  std::ostringstream out;
  out << Text("printed");
  EXPECT_EQ(out.str(), "printed");
}

TEST(Timeline, AListenerThatRecordsMeanwhileLeavesTheOuterEventAsItWas) {
  dispatch::VirtualScheduler clock{dispatch::Instant{}};
  Timeline timeline(clock);
  std::vector<std::string> order;
  timeline.addListener(
      [&](const Event& e) {
        if (e.kind == Kind::Action) {
          timeline.record("SpringBoard", Kind::Host, "inner", "nested");
          order.push_back(std::string(e.subject) + "/" + std::string(e.detail));  // read after the nested record
        } else {
          order.push_back(std::string(e.subject));
        }
      },
      false);
  timeline.record("sim", Kind::Action, "outer", "first");
  EXPECT_EQ(order, (std::vector<std::string>{"inner", "outer/first"}));
}

// A listener hears only the kinds it names; decisions are asked for only while one names them.
TEST(Timeline, AListenerHearsOnlyTheKindsItNames) {
  dispatch::VirtualScheduler clock{dispatch::Instant{}};
  Timeline timeline(clock);
  std::vector<std::string> few, all;
  timeline.addListener([&](const Event& e) { few.push_back(kindName(e.kind)); }, KindSet{Kind::Sound, Kind::Decision});
  EXPECT_TRUE(timeline.wantsDecisions());
  timeline.addListener([&](const Event& e) { all.push_back(kindName(e.kind)); }, false);
  timeline.record("SpringBoard", Kind::Sound, "sms-received1.caf");
  timeline.record("SpringBoard", Kind::Vibration, "pattern");
  timeline.decision("SpringBoard", "gate", "open");
  EXPECT_EQ(few, (std::vector<std::string>{"sound", "decision"}));
  EXPECT_EQ(all, (std::vector<std::string>{"sound", "vibration"}));

  timeline.clearListeners();
  timeline.addListener([&](const Event& e) { few.push_back(kindName(e.kind)); }, KindSet{Kind::Sound});
  EXPECT_FALSE(timeline.wantsDecisions());
  EXPECT_TRUE(timeline.active());
}

}  // namespace
}  // namespace qv::timeline
