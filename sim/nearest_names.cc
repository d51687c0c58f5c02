#include "sim/nearest_names.h"

#include <algorithm>
#include <cctype>

namespace qv::sim {
namespace {

// Optimal string alignment distance in tenths: an edit costs 10, a change of case alone 1, so
// "showbanner" is nearer "showBanner" than any word one real edit away.
int distance(std::string_view a, std::string_view b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i) * 10;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j) * 10;
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const int change = a[i - 1] == b[j - 1] ? 0 : lower(a[i - 1]) == lower(b[j - 1]) ? 1 : 10;
      d[i][j] = std::min({d[i - 1][j] + 10, d[i][j - 1] + 10, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 10);
    }
  }
  return d[n][m];
}

}  // namespace

std::vector<std::string> nearestNames(std::string_view name, const std::vector<std::string_view>& known,
                                      std::size_t most) {
  // A third of the name's letters may be wrong, and at least two (short names), so that a word
  // of its own is not taken for a mistyped one.
  const int furthest = static_cast<int>(std::max<std::size_t>(2, name.size() / 3)) * 10;
  std::vector<std::pair<int, std::size_t>> close;
  for (std::size_t i = 0; i < known.size(); ++i)
    if (int d = distance(name, known[i]); d <= furthest) close.emplace_back(d, i);
  std::stable_sort(close.begin(), close.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  // Only the nearest: a name one edit away is meant rather than one two edits away.
  std::vector<std::string> out;
  for (std::size_t i = 0; i < close.size() && i < most && close[i].first == close[0].first; ++i)
    out.emplace_back(known[close[i].second]);
  return out;
}

std::string oneOf(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i)
    out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  return out;
}

std::string didYouMean(std::string_view name, const std::vector<std::string_view>& known) {
  const std::vector<std::string> near = nearestNames(name, known);
  return near.empty() ? "" : " (did you mean " + oneOf(near) + "?)";
}

std::string commaList(const std::vector<std::string_view>& names) {
  std::string out;
  for (std::string_view name : names) (out += out.empty() ? "" : ", ") += name;
  return out;
}

}  // namespace qv::sim
