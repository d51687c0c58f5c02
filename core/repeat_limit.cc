#include "core/repeat_limit.h"

#include <algorithm>
#include <charconv>

#include "core/settings_keys.h"

namespace qv::core {
namespace {

// A count setting below 1 (a negative one: 0 is read as no limit) acts as 1: say so beside the limit.
std::string readAs(std::int64_t countSetting, std::string_view countKey) {
  return std::string(countKey) + " " + std::to_string(countSetting) + " reads as 1";
}

// The detail with its notes, for the rare one that has any.
std::string notedAlertText(std::uint32_t alert, std::int64_t counted, std::int64_t countSetting, std::string_view countKey) {
  std::string text = "alert " + std::to_string(alert);
  if (countSetting == kUnlimitedRepeats) return text + ", no limit";
  const std::int64_t limit = limitActedOn(countSetting);
  text += counted == alert ? " of " : ", counted " + std::to_string(counted) + " of ";
  text += std::to_string(limit);
  std::string notes = countSetting < 1 ? readAs(countSetting, countKey) : "";
  // The count passes the limit only when the limit was lowered after the last re-arm.
  if (counted > limit) notes += (notes.empty() ? "" : "; ") + std::string("the limit was lowered while it ran");
  return notes.empty() ? text : text + " (" + notes + ")";
}

}  // namespace

std::int64_t limitActedOn(std::int64_t countSetting) {
  return std::max<std::int64_t>(countSetting, 1);
}

std::string limitReachedText(std::int64_t countSetting, std::string_view countKey) {
  const std::string text = "repeat limit " + std::to_string(limitActedOn(countSetting)) + " reached";
  return countSetting < 1 ? text + " (" + readAs(countSetting, countKey) + ")" : text;
}

AlertText::AlertText(std::uint32_t alert, std::int64_t counted, std::int64_t countSetting, std::string_view countKey) {
  const bool unlimited = countSetting == kUnlimitedRepeats;
  if (!unlimited && (countSetting < 1 || counted > countSetting)) {
    noted_ = notedAlertText(alert, counted, countSetting, countKey);
    return;
  }
  char* at = room_.data();
  char* const end = room_.data() + room_.size();
  auto put = [&](std::string_view s) { at = std::copy(s.begin(), s.end(), at); };
  auto number = [&](std::int64_t n) { at = std::to_chars(at, end, n).ptr; };
  put("alert ");
  number(alert);
  if (unlimited) {
    put(", no limit");
  } else {
    if (counted != alert) {
      put(", counted ");
      number(counted);
    }
    put(" of ");
    number(countSetting);
  }
  size_ = static_cast<std::size_t>(at - room_.data());
}

}  // namespace qv::core
