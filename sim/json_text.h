// A JSON text built by appending, for output that must be fast and byte-stable: one object at a
// time, keys in the order written, strings escaped as JSON requires and invalid UTF-8 replaced
// by U+FFFD (so every line is valid JSON whatever a scenario spelled).
//   JsonText j; j.open(); j.key("kind").string("sound"); j.key("alert").integer(2); j.close();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sim {

class JsonText {
 public:
  JsonText& open();   // {
  JsonText& close();  // }
  JsonText& openList();
  JsonText& closeList();
  JsonText& key(std::string_view k);
  JsonText& string(std::string_view s);
  JsonText& integer(std::int64_t n);
  JsonText& unsignedInteger(std::uint64_t n);  // a seed, up to 2^64-1
  JsonText& flag(bool b);
  JsonText& null();
  JsonText& strings(const std::vector<std::string>& list);
  // Ends a JSON Lines line.
  void endLine() { text_ += '\n'; }

  const std::string& text() const { return text_; }
  void clear() {
    text_.clear();
    first_ = true;
  }

 private:
  void separate();

  std::string text_;
  bool first_ = true;  // no value yet in the innermost object or list
};

}  // namespace qv::sim
