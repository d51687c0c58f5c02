// Scenarios played with --json and read back as a tool reads them: one parsed object a line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/command_test_support.h"

namespace qv::sim {

class JsonScenarioText : public ScenarioText {
 protected:
  using json = nlohmann::json;

  // Plays the scenario with --json (and `extra`); every line parsed. A failed run fails the test.
  std::vector<json> playJson(const std::string& scenario, std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), "--json");
    const std::string out = ScenarioText::play(scenario, std::move(extra));
    std::vector<json> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(json::parse(out.substr(start, end - start)));
    return lines;
  }
  static std::vector<json> ofKind(const std::vector<json>& lines, const std::string& kind) {
    std::vector<json> out;
    for (const json& j : lines)
      if (j["kind"] == kind) out.push_back(j);
    return out;
  }
};

}  // namespace qv::sim
