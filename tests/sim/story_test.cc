#include "sim/story.h"

#include <gtest/gtest.h>

#include "platform/timeline/timeline.h"

namespace qv::sim {
namespace {

using namespace std::chrono_literals;
using timeline::Event;
using timeline::Kind;

// A story writer over hand-made events, printing into a string.
class Story : public ::testing::Test {
 protected:
  // The story with its day heading.
  std::string tellWhole(const std::vector<Event>& events, OutputOptions options = {}) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
      LocalClock clock = [](dispatch::Instant t) {
        const auto s = std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
        return host::CalendarDate{
            2026, 12, 7, static_cast<int>(s / 3600 % 24), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60)};
      };
      AppNames names = [](std::string_view id) -> std::optional<std::string> {
        if (id == "com.apple.MobileSMS") return "Messages";
        return std::nullopt;
      };
      StoryWriter writer(out, options, clock, names);
      for (const Event& e : events) writer.add(e);
      writer.flush();
    }
    std::fclose(out);
    std::string story(text, size);
    std::free(text);
    return story;
  }
  // The story's lines; most tests look only at those.
  std::string tell(const std::vector<Event>& events, OutputOptions options = {}) {
    const std::string story = tellWhole(events, options);
    return story.substr(story.find('\n') + 1);
  }
  static Event at(dispatch::Duration d, Kind kind, std::string subject, std::string detail = {}) {
    return Event{dispatch::Instant(8h + d), "SpringBoard", kind, std::move(subject), std::move(detail)};
  }
};

TEST_F(Story, AlertShowsItsEffectsUnderItAndLeavesOutItsOwnReArm) {
  std::string story =
      tell({at(0s, Kind::ReminderFired, "SMS", "alert 1 of 3"), at(0s, Kind::Sound, "SMS 3.caf", "1.10 s"),
            at(0s, Kind::Banner, "com.apple.MobileSMS", "Quorvel — Missed Message! (content x 0, width 375)"),
            at(0s, Kind::ReminderArmed, "SMS", "next alert in 60 s"),
            at(300ms, Kind::Vibration, "pattern", "[true, 300, false, 300]")});
  EXPECT_EQ(story,
            "08:00:00.000  SpringBoard   alert          SMS - alert 1 of 3\n"
            "08:00:00.000  SpringBoard     sound        SMS 3.caf (1.10 s)\n"
            "08:00:00.000  SpringBoard     banner       Messages: Quorvel — Missed Message!\n"
            "08:00:00.300  SpringBoard   vibration      for the SMS alert\n");
}

TEST_F(Story, BlinkGoesUnderItsAlertOnlyWhenEveryAlertOfTheInstantAskedForOne) {
  std::string one =
      tell({at(0s, Kind::ReminderFired, "call", "alert 1, no limit"),
            at(0s, Kind::ReminderArmed, "call", "next alert in 60 s"), at(0s, Kind::Action, "opens Phone"),
            at(0s, Kind::TorchOn, "torch"), at(200ms, Kind::TorchOff, "torch"), at(700ms, Kind::TorchOn, "torch")});
  EXPECT_EQ(one,
            "08:00:00.000  SpringBoard   alert          call - alert 1, no limit\n"
            "08:00:00.000  SpringBoard     torch        blinks 5 times (3.5 s)\n"
            "08:00:00.000  SpringBoard   >>             opens Phone\n");
  std::string two = tell({at(0s, Kind::ReminderFired, "call", "alert 1, no limit"),
                          at(0s, Kind::ReminderFired, "SMS", "alert 1, no limit"), at(0s, Kind::TorchOn, "torch")});
  EXPECT_EQ(two,
            "08:00:00.000  SpringBoard   alert          call - alert 1, no limit\n"
            "08:00:00.000  SpringBoard   alert          SMS - alert 1, no limit\n"
            "08:00:00.000  SpringBoard   torch          blinks 5 times (3.5 s)\n");
}

TEST_F(Story, VibrationsFollowTheirAlertsInOrderSkippingThoseSilencedByQuietMode) {
  std::string story =
      tell({at(0s, Kind::ReminderFired, "call"), at(0s, Kind::Decision, "call", "quiet mode: no sound"),
            at(0s, Kind::ReminderFired, "SMS"), at(0s, Kind::ReminderFired, "mail"),
            at(300ms, Kind::Decision, "vibration", "off: vibeMail"), at(300ms, Kind::Vibration, "pattern")},
           {.explain = true});
  // Mail's task ran after SMS's, but the vibration that happened belongs to SMS: mail's was refused.
  EXPECT_NE(story.find("why            vibration - off: vibeMail (SMS alert)"), std::string::npos) << story;
}

TEST_F(Story, RequestRuleDecisionsComeRightAfterTheNotificationTheyExplain) {
  std::string story = tell({at(0s, Kind::NotificationPosted, "notification posted", "Messages — Anna: hi"),
                            at(0s, Kind::Banner, "com.apple.MobileSMS", "Anna — hi (content x 0, width 375)"),
                            at(0s, Kind::Decision, "com.apple.MobileSMS", "request rules, SMS: started SMS"),
                            at(0s, Kind::ReminderArmed, "SMS", "next alert in 60 s")},
                           {.explain = true});
  EXPECT_EQ(story,
            "08:00:00.000  SpringBoard   device         notification posted - Messages — Anna: hi\n"
            "08:00:00.000  SpringBoard   why            Messages - request rules, SMS: started SMS\n"
            "08:00:00.000  SpringBoard   armed          SMS - next alert in 60 s\n"
            "08:00:00.000  SpringBoard   banner         Messages: Anna — hi\n");
}

TEST_F(Story, AClearNotificationHeardSeveralTimesIsExplainedOncePerProcessWhileOtherDecisionsAllShow) {
  Event inApp = at(0s, Kind::Decision, "Viber call", "clear notification ignored: no reminder pending");
  inApp.process = "Viber";
  std::string story =
      tell({at(0s, Kind::Decision, "Viber call", "cleared by com.tarnwick.missed.clearViperCallTimer"),
            at(0s, Kind::ReminderCleared, "Viber call"), inApp,
            at(0s, Kind::Decision, "Viber call", "clear notification ignored: no reminder pending"), inApp,
            at(0s, Kind::Decision, "Viber call", "clear notification ignored: no reminder pending"),
            at(0s, Kind::Decision, "alert gate", "open"), at(0s, Kind::Decision, "alert gate", "open")},
           {.explain = true});
  EXPECT_EQ(
      story,
      "08:00:00.000  SpringBoard   why            Viber call - cleared by com.tarnwick.missed.clearViperCallTimer\n"
      "08:00:00.000  SpringBoard   cleared        Viber call\n"
      "08:00:00.000  Viber         why            Viber call - clear notification ignored: no reminder pending\n"
      "08:00:00.000  SpringBoard   why            Viber call - clear notification ignored: no reminder pending\n"
      "08:00:00.000  SpringBoard   why            alert gate - open\n"
      "08:00:00.000  SpringBoard   why            alert gate - open\n");
}

TEST_F(Story, ColoursItsLabelsOnlyWhenAsked) {
  const std::vector<Event> alert{at(0s, Kind::ReminderFired, "SMS", "alert 1")};
  EXPECT_EQ(tellWhole(alert), "--- Mon 2026-12-07 ---\n08:00:00.000  SpringBoard   alert          SMS - alert 1\n");
  EXPECT_EQ(tellWhole(alert, {.colour = true}),
            "\033[1m--- Mon 2026-12-07 ---\033[0m\n"
            "08:00:00.000  SpringBoard   \033[1;33malert          SMS - alert 1\033[0m\n");
}

}  // namespace
}  // namespace qv::sim
