#include "platform/plist/internal/plain_xml_writer.h"

#include <string>
#include <string_view>

#include "platform/plist/internal/plain_xml_form.h"

namespace qv::pl::internal {
namespace {

constexpr std::string_view kEpilogue = "</plist>\n";
constexpr std::int64_t kLargestPlainInteger = 999'999'999'999'999'999;

bool plainText(std::string_view s) {
  for (char c : s)
    if (c < 0x20 || c > 0x7E || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return false;
  return true;
}

class PlainWriter {
 public:
  bool value(const Value& v, std::size_t depth) {
    switch (v.type()) {
      case Value::Type::Bool:
        line(depth, *v.ifBool() ? "<true/>" : "<false/>");
        return true;
      case Value::Type::Integer: {
        const std::int64_t n = *v.ifInteger();
        if (v.isUnsigned64() || n > kLargestPlainInteger || n < -kLargestPlainInteger) return false;
        indent(depth);
        out_ += "<integer>";
        out_ += std::to_string(n);
        out_ += "</integer>\n";
        return true;
      }
      case Value::Type::String: {
        const std::string& s = *v.ifString();
        if (!plainText(s)) return false;
        indent(depth);
        out_ += "<string>";
        out_ += s;
        out_ += "</string>\n";
        return true;
      }
      case Value::Type::Array: {
        if (depth >= kPlainDepth) return false;
        const Array& a = *v.ifArray();
        if (a.empty()) {
          line(depth, "<array/>");
          return true;
        }
        line(depth, "<array>");
        for (const Value& e : a)
          if (!value(e, depth + 1)) return false;
        line(depth, "</array>");
        return true;
      }
      case Value::Type::Dict: {
        if (depth >= kPlainDepth) return false;
        const Dict& d = *v.ifDict();
        if (d.empty()) {
          line(depth, "<dict/>");
          return true;
        }
        line(depth, "<dict>");
        for (const auto& [key, e] : d) {
          if (key.empty() || !plainText(key)) return false;
          indent(depth + 1);
          out_ += "<key>";
          out_ += key;
          out_ += "</key>\n";
          if (!value(e, depth + 1)) return false;
        }
        line(depth, "</dict>");
        return true;
      }
      default:
        return false;  // reals, dates, data, uids and nulls are left to libplist
    }
  }

  std::string out_;

 private:
  void indent(std::size_t depth) { out_.append(depth, '\t'); }
  void line(std::size_t depth, std::string_view text) {
    indent(depth);
    out_ += text;
    out_ += '\n';
  }
};

}  // namespace

std::optional<std::vector<std::uint8_t>> writePlainXml(const Value& v) {
  if (!v.ifDict() && !v.ifArray()) return std::nullopt;
  PlainWriter w;
  w.out_.reserve(4096);
  w.out_ += kPlainProlog;
  w.out_ += '\n';
  if (!w.value(v, 0)) return std::nullopt;
  w.out_ += kEpilogue;
  return std::vector<std::uint8_t>(w.out_.begin(), w.out_.end());
}

}  // namespace qv::pl::internal
