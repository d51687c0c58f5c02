#include "core/repeat_limit.h"

#include <algorithm>

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
  usual_ << "alert " << std::int64_t{alert};
  if (unlimited) {
    usual_ << ", no limit";
    return;
  }
  if (counted != alert) usual_ << ", counted " << counted;
  usual_ << " of " << countSetting;
}

}  // namespace qv::core
