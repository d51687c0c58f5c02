// The options of `quorvel-sim`, read from its command line. Every option is a field here and one
// row in sim/options.cc (its name, value, limits and help line; what it needs or excludes), the
// only file that knows the command-line library. A refused command line runs nothing.
//   Result<Options> o = parseOptions({"--json", "day.json"});
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"
#include "sim/output.h"

namespace qv::sim {

struct Options {
  OutputOptions output;       // --json, --explain, --verbose, --no-summary
  std::string scenarioFile;   // empty: the built-in scenario; "-": read from standard input
  std::string until;          // --until TIME, checked against the scenario when it is known
  bool realtime = false;
  double speed = 1.0;
  std::uint64_t seed = 1;
  bool seedGiven = false;
  std::uint64_t seeds = 1;  // --seeds N: seeds seed .. seed+N-1, one after another
  bool random = false;
  double days = 1;
  bool check = false;
  bool dump = false;
  bool quiet = false;
  std::string htmlFile;  // --html FILE: also write the run as an HTML page there
  bool matrix = false;   // --matrix: play on every release and device (or those of --ios, --device)
  std::string ios;       // --ios LIST
  std::string devices;   // --device LIST
  bool strict = false;  // every warning about the scenario is an error
  // What to print instead of playing (at most one; --markdown with --list-kinds or --list-settings).
  bool help = false;
  bool version = false;
  bool printDefault = false;
  bool listEvents = false;
  bool listKinds = false;
  bool listSettings = false;
  bool listApps = false;
  bool markdown = false;
  bool jsonSchema = false;
};

// Reads `args` (without the program name). An error is one line that names the option and what
// it accepts ("--seed needs a whole number from 0 to 18446744073709551615, got \"-1\"").
Result<Options> parseOptions(const std::vector<std::string>& args);

// The --help text: every option with its limits, and the exit statuses.
std::string helpText();

// "quorvel-sim 0.1".
std::string versionText();

}  // namespace qv::sim
