// The command line, read with CLI11. This is the only file that includes it: the library is
// header-only and heavy to compile, and nothing else needs to know how options are spelt.
#include "sim/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>

#include "sim/scenario.h"

#ifndef QV_VERSION
#define QV_VERSION "unknown"
#endif

namespace qv::sim {
namespace {

// More seeds than a day's random runs need, and few enough that a typo is noticed.
constexpr std::uint64_t kMostSeeds = 1'000'000;

// A value the command line will not take, said as "--seed needs ..., got ...".
struct Refusal {
  std::string message;
};

// Where an option sits. Options that print a reference play nothing and stand alone;
// --dump-scenario reads the scenario options but takes no option about playing or printing.
enum class Group { Scenario, Playing, Output, Reference };

const char* groupTitle(Group g) {
  switch (g) {
    case Group::Scenario: return "Scenario";
    case Group::Playing: return "Playing";
    case Group::Output: return "Output";
    case Group::Reference: return "Instead of playing";
  }
  return "";
}

// Combinations where one option would do nothing: refused, with the reason.
struct Pairing {
  const char* option;
  const char* other;
  bool needsOther;  // false: the two exclude each other
  const char* why;
  const char* orOther = nullptr;  // needed: either will do
  const char* unless = nullptr;   // excluded: unless this one is given too
};
constexpr Pairing kPairings[] = {
    {"--speed", "--realtime", true, "it is the pace of --realtime"},
    {"--days", "--random", true, "it is the length of a random scenario"},
    {"--markdown", "--list-kinds", true, "it is the format of a list", "--list-settings"},
    {"--verbose", "--json", false, "JSON Lines hold every event already"},
    {"--explain", "--quiet", false, "--quiet prints no timeline to explain (--html would explain the report)",
     nullptr, "--html"},
    {"--explain", "--matrix", false, "--matrix prints a table (--html would explain the report)", nullptr, "--html"},
    {"--verbose", "--quiet", false, "--quiet prints no timeline"},
    {"--random", "scenario", false, "--random makes its own scenario"},
    {"--seed", "--random", true, "a scenario file plays with its own \"seed\""},
    {"--strict", "--random", false, "a random scenario holds odd settings on purpose, played as the library reads them"},
    {"--seeds", "--random", true, "it counts random scenarios"},
    {"--seeds", "--check", true, "many seeds in one run are for checking the invariants"},
    {"--seeds", "--html", false, "one page shows one run"},
    {"--seeds", "--realtime", false, "many seeds are played as fast as they can be"},
    {"--seeds", "--dump-scenario", false, "one scenario is printed"},
    {"--ios", "--matrix", true, "it chooses the releases of --matrix"},
    {"--device", "--matrix", true, "it chooses the devices of --matrix"},
    {"--until", "--matrix", false, "--matrix plays the scenario to its end on every device"},
    {"--check", "--matrix", false, "--matrix plays without the invariant checker"},
    {"--realtime", "--matrix", false, "--matrix plays many devices at once, as fast as it can"},
    {"--verbose", "--matrix", false, "--matrix prints a table, not a timeline"},
    {"--quiet", "--matrix", false, "--matrix prints a table, not a timeline"},
    {"--no-summary", "--matrix", false, "--matrix prints a table, not a summary"},
};

std::uint64_t readSeed(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    throw Refusal{"--seed needs a whole number from 0 to 18446744073709551615, got \"" + text + "\""};
  return value;
}

// A plain decimal number ("2", "0.25", "1e3"); no hex, no infinity.
std::optional<double> readNumber(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::uint64_t readSeedCount(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > kMostSeeds)
    throw Refusal{"--seeds needs a whole number from 1 to " + std::to_string(kMostSeeds) + ", got \"" + text + "\""};
  return value;
}

double readDays(const std::string& text) {
  const std::optional<double> days = readNumber(text);
  if (!days || !(*days > 0) || *days > kLongestRunDays)
    throw Refusal{"--days needs a number of days above 0 and up to " + std::to_string(kLongestRunDays) + ", got \"" +
                  text + "\""};
  return *days;
}

double readSpeed(const std::string& text) {
  const std::optional<double> speed = readNumber(text);
  if (!speed || !(*speed > 0)) throw Refusal{"--speed needs a number above 0, got \"" + text + "\""};
  return *speed;
}

// The whole command line. To add an option: a field in Options (sim/options.h), one row here
// in its group, and a row in kPairings if it does nothing without (or beside) another.
class CommandLine {
 public:
  explicit CommandLine(Options& o) : app_("Plays a scenario (the built-in morning on an iPhone when none is given)\n"
                                          "and prints what the phone's user would notice, each reminder's life\n"
                                          "and a summary.",
                                          "quorvel-sim") {
    app_.set_help_flag();  // a row of its own below, so it is listed and read like the others
    app_.allow_extras();   // unknown options and second scenarios get messages of our own
    app_.get_formatter()->column_width(24);
    app_.footer(
        "Exit status: 0 played (and --check found nothing), or printed what was asked;\n"
        "1 --check found a broken invariant (the run stops there; with --seeds, that seed does);\n"
        "2 bad usage or a bad scenario: a message on stderr, nothing played.");

    in(Group::Scenario);
    app_.add_option("scenario", o.scenarioFile,
                    "the scenario file (JSON, docs/scenarios.md); - reads it from standard input;\n"
                    "none: the built-in scenario; after --, a name that starts with -")
        ->type_name("FILE");
    optionGroup_["scenario"] = Group::Scenario;
    flag("--random", o.random, "play a random scenario made from the seed");
    value("--seed", "N", "with --random: the seed, a whole number 0..2^64-1 (default 1)",
          [&o](const std::string& v) { o.seed = readSeed(v), o.seedGiven = true; });
    value("--seeds", "N", "with --random and --check: play N seeds one after another from --seed,\n"
                          "each on a new device, in one process (1 to 1000000); every seed that\n"
                          "breaks an invariant is reported, the others go on",
          [&o](const std::string& v) { o.seeds = readSeedCount(v); });
    value("--days", "D", "the length of the --random scenario in days, above 0 up to 400, as a scenario's run (default 1)",
          [&o](const std::string& v) { o.days = readDays(v); });
    flag("--strict", o.strict, "treat every warning about the scenario file as an error (exit status 2,\n"
                               "nothing played)");

    in(Group::Playing);
    value("--until", "TIME", "stop early: a local time (\"07:30\") or an offset from the start (\"+10m\")",
          [&o](const std::string& v) { o.until = v; });
    flag("--realtime", o.realtime, "play at wall-clock speed");
    value("--speed", "X", "with --realtime: X times faster, a number above 0 (default 1)",
          [&o](const std::string& v) { o.speed = readSpeed(v); });
    flag("--check", o.check, "check the device's invariants throughout; a broken one ends the run\n"
                             "with status 1 and the command that replays it");
    flag("--matrix", o.matrix, "play the scenario on every release 7.0-10.3, on iPhone and iPad, and\n"
                               "print one row per release and device (both cores)");
    value("--ios", "LIST", "with --matrix: the releases, comma-separated: 9.3, a major (7) or a range\n"
                           "(9.0-10.1)",
          [&o](const std::string& v) { o.ios = v; });
    value("--device", "LIST", "with --matrix: iPhone, iPad or iPhone,iPad",
          [&o](const std::string& v) { o.devices = v; });

    in(Group::Output);
    flag("--json", o.output.json, "print every event as JSON Lines (docs/events.md), then a summary object");
    flag("--explain", o.output.explain, "also print why each thing happened or did not (entry point, rule, gate) and each banner dismissal");
    flag("--verbose", o.output.verbose, "print every torch step, Darwin notification and banner dismissal");
    flag("--quiet", o.quiet, "print no timeline (the summary and broken invariants still show)");
    action("--no-summary", "leave out the summary at the end", [&o] { o.output.summary = false; });
    value("--html", "FILE", "also write the run as one self-contained HTML page: timeline, phone,\n"
                            "summary (with --matrix: and its table); FILE is new or an earlier page,\n"
                            "never another file",
          [&o](const std::string& v) { o.htmlFile = v; });

    in(Group::Reference);
    flag("--dump-scenario", o.dump, "print the scenario as JSON instead of playing it (handy with --random)");
    flag("--print-default", o.printDefault, "print the built-in scenario (a starting point for your own)");
    flag("--events", o.listEvents, "list the notification events scenarios can name");
    flag("--list-kinds", o.listKinds, "list the event kinds of --json output and their fields");
    flag("--list-settings", o.listSettings, "list every settings key: type, default, values read as given, meaning");
    flag("--list-apps", o.listApps, "list the apps a scenario can name without declaring them");
    flag("--markdown", o.markdown, "with --list-kinds or --list-settings: as Markdown (docs/events.md,\n"
                                   "docs/settings.md)");
    flag("--json-schema", o.jsonSchema, "print the JSON Schema every line of --json output meets");
    flag("--version", o.version, "print the version");
    flag("-h,--help", o.help, "print this text");
  }

  // Reads the arguments; throws Refusal or a CLI11 error.
  void parse(const std::vector<std::string>& args) {
    // "--html=" would take the next argument as its value: an empty value is refused here.
    for (const std::string& arg : args)
      if (arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.back() == '=') {
        const std::string name = arg.substr(0, arg.size() - 1);
        const CLI::Option* option = app_.get_option_no_throw(name);
        throw Refusal{name + " needs a value" + (option ? " (" + option->get_type_name() + ")" : "") + ", got \"\""};
      }
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 reads from the back
    app_.parse(reversed);
    // After "--" every argument is a scenario's name, even one that starts with "-".
    const auto endOfOptions = std::find(args.begin(), args.end(), "--");
    bool markSeen = false;
    for (const std::string& extra : app_.remaining()) {
      if (extra == "--" && !markSeen) {
        markSeen = true;  // CLI11 keeps the mark among the extras
        continue;
      }
      const bool afterMark = endOfOptions != args.end() && std::find(endOfOptions + 1, args.end(), extra) != args.end();
      if (!afterMark && extra.size() > 1 && extra[0] == '-')
        throw Refusal{"unknown option " + extra + nearestOption(extra)};
      throw Refusal{"more than one scenario given (\"" + extra + "\" after \"" + given("scenario") + "\")"};
    }
    for (const std::string& name : flagNames_)
      if (name != "--help" && app_.get_option(name)->count() > 1) throw Refusal{name + " is given more than once"};
    if (isGiven("scenario") && given("scenario").empty())
      throw Refusal{"the scenario file's name is empty (give none for the built-in scenario, - for standard input)"};
    if (given("--html") == "-")
      throw Refusal{"--html needs the name of the file to write the page to, got \"-\""};
    if (!isGiven("--help")) checkCombinations();  // --help answers whatever else is given
  }

  // A CLI11 error as one line that names the option ("--until needs a value: TIME").
  std::string explain(const CLI::ParseError& e) const {
    const std::string what = e.what();
    if (what.find("flag override") != std::string::npos) return "--" + what.substr(0, what.find(' ')) + " takes no value";
    for (const CLI::Option* option : app_.get_options()) {
      const std::string name = option->get_name();
      if (what.rfind(name + ":", 0) != 0 && what.rfind(name + " ", 0) != 0) continue;
      if (what.find("missing") != std::string::npos)
        return name + " needs a value (" + option->get_type_name() + ")";
      if (what.find("At Most") != std::string::npos) return name + " is given more than once";
    }
    return what;
  }

  std::string help() const { return app_.help(); }

 private:
  void in(Group g) { group_ = groupTitle(g), groupOf_[group_] = g; }

  CLI::Option* flag(const std::string& names, bool& target, const std::string& description) {
    CLI::Option* option = app_.add_flag(names, target, description);
    flagNames_.push_back(option->get_name());
    return place(option->disable_flag_override());
  }
  CLI::Option* action(const std::string& name, const std::string& description, std::function<void()> act) {
    CLI::Option* option = app_.add_flag_callback(name, std::move(act), description);
    flagNames_.push_back(option->get_name());
    return place(option->disable_flag_override());
  }
  CLI::Option* value(const std::string& name, const std::string& typeName, const std::string& description,
                     std::function<void(const std::string&)> read) {
    // An empty value ("--until ''") would read as no option at all: refused, not ignored.
    auto readGiven = [name, typeName, read = std::move(read)](const std::string& v) {
      if (v.empty()) throw Refusal{name + " needs a value (" + typeName + "), got \"\""};
      read(v);
    };
    CLI::Option* option = app_.add_option_function<std::string>(name, std::move(readGiven), description);
    return place(option->type_name(typeName)->multi_option_policy(CLI::MultiOptionPolicy::Throw));
  }
  CLI::Option* place(CLI::Option* option) {
    optionGroup_[option->get_name()] = groupOf_[group_];
    return option->group(group_);
  }

  bool isGiven(const std::string& name) const {
    const CLI::Option* option = app_.get_option_no_throw(name);
    return option && option->count() > 0;
  }
  std::string given(const std::string& name) const {
    const CLI::Option* option = app_.get_option_no_throw(name);
    return option && !option->results().empty() ? option->results().front() : "";
  }
  // "--json" or "a scenario file", as the messages name them.
  static std::string spoken(const std::string& name) { return name == "scenario" ? "a scenario file" : name; }

  void checkCombinations() const {
    for (const Pairing& p : kPairings) {
      if (!isGiven(p.option)) continue;
      if (p.needsOther && !isGiven(p.other) && !(p.orOther && isGiven(p.orOther)))
        throw Refusal{spoken(p.option) + " does nothing without " + p.other +
                      (p.orOther ? std::string(" or ") + p.orOther : "") + ": " + p.why};
      if (!p.needsOther && isGiven(p.other) && !(p.unless && isGiven(p.unless)))
        throw Refusal{spoken(p.option) + " does nothing with " + spoken(p.other) + ": " + p.why};
    }
    // Only the scenario options go with a reference; the first reference given stands alone.
    const std::vector<CLI::Option*> order = app_.parse_order();
    const auto reference = std::find_if(order.begin(), order.end(), [this](const CLI::Option* o) {
      const auto group = optionGroup_.find(o->get_name());
      return group != optionGroup_.end() && group->second == Group::Reference && o->get_name() != "--markdown";
    });
    if (reference == order.end()) return;
    const std::string name = (*reference)->get_name();
    for (const CLI::Option* other : order) {
      const std::string otherName = other->get_name();
      if (otherName == name || otherName == "--markdown") continue;  // placed by its own pairing
      const auto group = optionGroup_.find(otherName);
      const Group g = group == optionGroup_.end() ? Group::Playing : group->second;
      if (name == "--dump-scenario" && g == Group::Scenario) continue;
      throw Refusal{spoken(otherName) + " does nothing with " + name + ": " +
                    (name == "--dump-scenario" ? "the scenario is printed, not played" : "it prints and plays nothing")};
    }
  }

  // " (did you mean --json?)" when a known option is a letter or two away.
  std::string nearestOption(const std::string& unknown) const {
    if (std::filesystem::is_regular_file(unknown))
      return " (a scenario file named so goes after --: quorvel-sim -- " + unknown + ")";
    std::string word = unknown.substr(0, unknown.find('='));
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });  // --JSON
    std::string best;
    std::size_t bestDistance = 3;
    for (const CLI::Option* option : app_.get_options()) {
      for (const std::string& name : option->get_lnames()) {
        const std::size_t d = editDistance(word, "--" + name);
        if (d < bestDistance) bestDistance = d, best = "--" + name;
      }
    }
    return best.empty() ? "" : " (did you mean " + best + "?)";
  }
  static std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
      std::size_t diagonal = row[0];
      row[0] = i;
      for (std::size_t j = 1; j <= b.size(); ++j) {
        const std::size_t above = row[j];
        row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
        diagonal = above;
      }
    }
    return row[b.size()];
  }

  CLI::App app_;
  std::string group_;
  std::map<std::string, Group> groupOf_;
  std::map<std::string, Group> optionGroup_;
  std::vector<std::string> flagNames_;  // options without a value: given twice is a slip, refused
};

}  // namespace

Result<Options> parseOptions(const std::vector<std::string>& args) {
  Options o;
  CommandLine line(o);
  try {
    line.parse(args);
  } catch (const Refusal& r) {
    return Error{r.message};
  } catch (const CLI::ParseError& e) {
    return Error{line.explain(e)};
  }
  if (o.seeds - 1 > std::numeric_limits<std::uint64_t>::max() - o.seed)
    return Error{"--seeds " + std::to_string(o.seeds) + " from --seed " + std::to_string(o.seed) +
                 " goes past the last seed, 18446744073709551615"};
  return o;
}

std::string helpText() {
  Options o;
  return CommandLine(o).help();
}

std::string versionText() { return std::string("quorvel-sim ") + QV_VERSION; }

}  // namespace qv::sim
