// quorvel-sim: plays a scenario through a simulated device in virtual time and prints what the
// phone's user would see and hear, second by second (see sim/command.h and docs/scenarios.md).
#include <cstdio>
#include <string>
#include <vector>

#include "sim/command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return qv::sim::runCommand(args, stdout, stderr);
}
