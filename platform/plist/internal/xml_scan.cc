#include "platform/plist/internal/xml_scan.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::pl::internal {
namespace {

Error fail(std::string message) { return Error{"XML property list: " + std::move(message)}; }

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':';
}
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class NestingScanner {
 public:
  NestingScanner(std::string_view text, std::size_t maxDepth, std::size_t maxNodes,
                 std::vector<std::string>* topKeys = nullptr)
      : text_(text), maxDepth_(maxDepth), maxNodes_(maxNodes), topKeys_(topKeys) {}

  Status run() {
    // XML allows no NUL, and libplist's C strings would silently cut a text at one.
    if (const auto nul = text_.find('\0'); nul != std::string_view::npos)
      return fail("NUL byte at " + std::to_string(nul));
    std::size_t pos = 0;
    while ((pos = text_.find('<', pos)) != std::string_view::npos) {
      auto next = markupAt(pos);
      if (!next) return Error{next.error()};
      pos = *next;
    }
    return Ok{};
  }

 private:
  // Handles the markup starting at `pos` (a '<') and returns where scanning resumes.
  Result<std::size_t> markupAt(std::size_t pos) {
    const std::string_view rest = text_.substr(pos);
    if (rest.starts_with("<!--")) return skipPast(pos + 4, "-->", "comment");
    if (rest.starts_with("<![CDATA[")) return skipPast(pos + 9, "]]>", "CDATA section");
    if (rest.starts_with("<?")) return skipMarkupFree(pos + 2, "?>", "processing instruction");
    if (rest.starts_with("<!")) return skipDeclaration(pos + 2);
    if (rest.starts_with("</")) return closeTag(pos + 2);
    return openTag(pos + 1);
  }

  Result<std::size_t> skipPast(std::size_t from, std::string_view terminator, const char* what) const {
    const std::size_t end = text_.find(terminator, from);
    if (end == std::string_view::npos) return fail(std::string("unterminated ") + what + " at byte " + std::to_string(from));
    return end + terminator.size();
  }

  // Like skipPast, but markup inside is refused: were libplist to end the construct earlier,
  // it would see tags this scan skipped.
  Result<std::size_t> skipMarkupFree(std::size_t from, std::string_view terminator, const char* what) const {
    auto end = skipPast(from, terminator, what);
    if (end && text_.substr(from, *end - from).find('<') != std::string_view::npos)
      return fail(std::string(what) + " at byte " + std::to_string(from) + " holds a '<'");
    return end;
  }

  // A DOCTYPE may carry an internal subset in brackets whose declarations contain '>'.
  Result<std::size_t> skipDeclaration(std::size_t from) const {
    int brackets = 0;
    char quote = 0;
    for (std::size_t i = from; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == '<') return fail("declaration at byte " + std::to_string(from) + " holds a '<'");
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        --brackets;
      } else if (c == '>' && brackets <= 0) {
        return i + 1;
      }
    }
    return fail("unterminated declaration at byte " + std::to_string(from));
  }

  std::string_view nameAt(std::size_t from) const {
    std::size_t end = from;
    while (end < text_.size() && isNameChar(text_[end])) ++end;
    return text_.substr(from, end - from);
  }

  Result<std::size_t> closeTag(std::size_t from) {
    const std::string_view name = nameAt(from);
    std::size_t i = from + name.size();
    while (i < text_.size() && isSpace(text_[i])) ++i;
    if (i >= text_.size() || text_[i] != '>') return fail("malformed close tag at byte " + std::to_string(from));
    if (name == "array" || name == "dict") {
      if (open_.empty() || open_.back() != name)
        return fail("</" + std::string(name) + "> at byte " + std::to_string(from) + " closes no matching container");
      open_.pop_back();
    }
    return i + 1;
  }

  Result<std::size_t> openTag(std::size_t from) {
    const std::string_view name = nameAt(from);
    if (name.empty()) return fail("'<' at byte " + std::to_string(from - 1) + " starts no tag");
    char quote = 0;
    std::size_t i = from + name.size();
    for (; i < text_.size(); ++i) {
      const char c = text_[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '<') {
        return fail("tag at byte " + std::to_string(from - 1) + " holds a '<'");
      } else if (c == '>') {
        break;
      }
    }
    if (i >= text_.size()) return fail("unterminated tag at byte " + std::to_string(from - 1));
    if (++elements_ > maxNodes_) return fail("more than " + std::to_string(maxNodes_) + " elements");
    const bool selfClosing = text_[i - 1] == '/';
    if (topKeys_ && name == "key" && !selfClosing && open_.size() == 1 && open_.front() == "dict") {
      const std::size_t end = text_.find("</key", i + 1);
      if (end != std::string_view::npos) topKeys_->emplace_back(text_.substr(i + 1, end - i - 1));
    }
    if ((name == "array" || name == "dict") && !selfClosing) {
      if (open_.size() >= maxDepth_) return fail("nesting deeper than " + std::to_string(maxDepth_) + " levels");
      open_.push_back(name);
    }
    return i + 1;
  }

  std::string_view text_;
  std::size_t maxDepth_;
  std::size_t maxNodes_;
  std::size_t elements_ = 0;
  std::vector<std::string_view> open_;
  std::vector<std::string>* topKeys_;  // collects the top dictionary's keys when set
};

}  // namespace

Status checkXmlNesting(std::span<const std::uint8_t> text, std::size_t maxDepth, std::size_t maxNodes) {
  const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
  return NestingScanner(view, maxDepth, maxNodes).run();
}

std::vector<std::string> xmlTopDictionaryKeys(std::span<const std::uint8_t> text) {
  const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
  std::vector<std::string> keys;
  (void)NestingScanner(view, SIZE_MAX, SIZE_MAX, &keys).run();
  return keys;
}

}  // namespace qv::pl::internal
