#include "sim/scenario_json.h"

#include <set>
#include <vector>

namespace qv::sim {
namespace {

using json = nlohmann::json;

// The first problem the guards find; thrown out of the parser's callback to stop it there.
struct JsonRefusal {
  std::string place;
  std::string what;
};

// Follows the parser through the document: where it is (as the reader's messages name places,
// "actions[3].at"), and the keys each open object has had so far.
class Guard {
 public:
  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start: {
        const std::string place = element();
        if (open_.size() >= kDeepestScenarioJson)
          throw JsonRefusal{place, "objects and arrays nested more than " + std::to_string(kDeepestScenarioJson) +
                                   " deep; a scenario needs a few levels"};
        open_.push_back({event == json::parse_event_t::array_start, place, 0, {}, {}});
        break;
      }
      case json::parse_event_t::key: {
        Open& object = open_.back();
        object.key = parsed.get<std::string>();
        if (!object.keys.insert(object.key).second)
          throw JsonRefusal{object.place, "\"" + object.key + "\" is given twice; give each key once"};
        break;
      }
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        open_.pop_back();
        next();
        break;
      case json::parse_event_t::value: next(); break;
    }
    return true;
  }

 private:
  struct Open {
    bool array;
    std::string place;
    std::size_t index;          // arrays: the element being read
    std::string key;            // objects: the key being read
    std::set<std::string> keys;  // objects: every key so far
  };

  // The place of the element being read in the innermost open object or array.
  std::string element() const {
    if (open_.empty()) return {};
    const Open& o = open_.back();
    if (o.array) return o.place + "[" + std::to_string(o.index) + "]";
    return o.place.empty() ? o.key : o.place + "." + o.key;
  }
  void next() {
    if (!open_.empty() && open_.back().array) ++open_.back().index;
  }

  std::vector<Open> open_;
};

// A place of a deep document stays one readable line.
std::string shortPlace(const std::string& place) {
  constexpr std::size_t kLongest = 60;
  return place.size() > kLongest ? place.substr(0, kLongest) + "..." : place;
}

// nlohmann's message for text that is no JSON, from "parse error" on ("parse error at line 1,
// column 14: ..."); a number too large for a double is its own kind of error ("number overflow").
std::string syntaxError(std::string_view text) {
  try {
    json ignored = json::parse(text.begin(), text.end(), nullptr, true, true);
    (void)ignored;
  } catch (const json::parse_error& e) {
    const std::string what = e.what();
    const auto pos = what.find("parse error");
    return pos == std::string::npos ? what : what.substr(pos);
  } catch (const json::exception& e) {
    const std::string what = e.what();
    const auto pos = what.find("] ");
    return pos == std::string::npos ? what : what.substr(pos + 2);
  }
  return {};
}

void preview(const json& v, std::string& out, std::size_t longest) {
  if (v.is_array() || v.is_object()) {
    out += v.is_array() ? '[' : '{';
    bool first = true;
    for (auto it = v.begin(); it != v.end() && out.size() <= longest; ++it, first = false) {
      if (!first) out += ',';
      if (v.is_object()) out += json(it.key()).dump(-1, ' ', false, json::error_handler_t::replace) + ':';
      preview(it.value(), out, longest);
    }
    out += v.is_array() ? ']' : '}';
    return;
  }
  out += v.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

Result<json> readScenarioJson(std::string_view text, std::string_view fileName) {
  const std::string file(fileName);
  json doc;
  try {
    Guard guard;
    doc = json::parse(text.begin(), text.end(), std::ref(guard), false, true);
  } catch (const JsonRefusal& r) {
    return Error{file + ": " + (r.place.empty() ? "" : shortPlace(r.place) + ": ") + r.what};
  }
  if (doc.is_discarded()) {
    const std::string what = syntaxError(text);
    return Error{file + ": not valid JSON" + (what.empty() ? "" : ": " + what)};
  }
  return doc;
}

std::string previewJson(const json& value, std::size_t longest) {
  std::string out;
  preview(value, out, longest);
  return out.size() > longest ? out.substr(0, longest - 3) + "..." : out;
}

}  // namespace qv::sim
