// The `quorvel-sim` command as a function, so tests run it in-process exactly as a user would:
//   int status = sim::runCommand({"--explain", "examples/ios9-sms.json"}, out, err);
// Exit status 0 on success, 1 when --check finds a broken invariant, 2 for a bad scenario or
// bad usage (nothing runs then). Output is byte-identical for equal arguments.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qv::sim {

// Runs the command with `args` (without the program name), printing to `out` and `err`; the
// scenario "-" is read from `in`.
int runCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
// The same, reading "-" from the process's standard input.
int runCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace qv::sim
