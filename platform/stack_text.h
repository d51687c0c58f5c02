// A short text written into room of its own, for a detail recorded at every event (a fire, a
// re-arm): building it allocates nothing. What does not fit is left off; size the room for the
// longest text.
//   StackText<48> t;  t << "next alert in " << 60 << " s";  t.view() == "next alert in 60 s"
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

template <std::size_t N>
class StackText {
 public:
  StackText() = default;
  StackText(const StackText&) = delete;
  StackText& operator=(const StackText&) = delete;

  StackText& operator<<(std::string_view s) {
    const std::size_t n = std::min(s.size(), N - size_);
    std::copy_n(s.data(), n, room_.data() + size_);
    size_ += n;
    return *this;
  }
  StackText& operator<<(std::int64_t n) {
    const auto [end, error] = std::to_chars(room_.data() + size_, room_.data() + N, n);
    if (error == std::errc()) size_ = static_cast<std::size_t>(end - room_.data());
    return *this;
  }
  std::string_view view() const noexcept { return {room_.data(), size_}; }

 private:
  std::array<char, N> room_;
  std::size_t size_ = 0;
};

}  // namespace qv
