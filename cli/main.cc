#include <cstdio>

int main() {
  std::puts("quorvel-sim: the simulator is being built; nothing to play yet.");
  return 0;
}
