// How the timeline tells an alert's place against its reminder's repeat limit, the same for the
// fixed categories and listed apps. The alert is numbered in its run; the repeat count may lag it
// (alerts made while no limit was set are never counted), and a count setting below 1 acts as 1.
//   AlertText(8, 1, 3, "smsCount").view() == "alert 8, counted 1 of 3"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stack_text.h"

namespace qv::core {

// The limit a count setting acts as (any value below 1 ends the reminder at its first alert);
// kUnlimitedRepeats stays as it is.
std::int64_t limitActedOn(std::int64_t countSetting);
// The detail of a fire: `alert` its number in the run, `counted` its repeat count,
// `countSetting` the count as the library read it, `countKey` that setting's name. The usual one
// (no note on the count) is written into room on the stack: a recorded fire allocates nothing for it.
class AlertText {
 public:
  AlertText(std::uint32_t alert, std::int64_t counted, std::int64_t countSetting, std::string_view countKey);
  AlertText(const AlertText&) = delete;
  AlertText& operator=(const AlertText&) = delete;
  std::string_view view() const noexcept { return noted_.empty() ? usual_.view() : noted_; }

 private:
  StackText<80> usual_;  // "alert N, counted C of L" at its longest
  std::string noted_;    // a detail with a note, rare
};

// The detail of the end at the limit: "repeat limit 3 reached".
std::string limitReachedText(std::int64_t countSetting, std::string_view countKey);

}  // namespace qv::core
