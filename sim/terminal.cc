#include "sim/terminal.h"

#include <unistd.h>

#include <algorithm>

namespace qv::sim {

using namespace std::chrono_literals;

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      out += c;
      continue;
    }
    // U+2400 + the control character's code, U+2421 for DEL, written out in UTF-8.
    const unsigned picture = byte == 0x7f ? 0x2421 : 0x2400 + byte;
    out += static_cast<char>(0xe0 | (picture >> 12));
    out += static_cast<char>(0x80 | ((picture >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (picture & 0x3f));
  }
  return out;
}

bool colourWanted(bool stdoutIsTerminal, const char* noColorVariable) {
  return stdoutIsTerminal && !(noColorVariable && *noColorVariable);
}

bool progressWanted(bool stderrIsTerminal, bool stdoutIsTerminal, bool quiet, bool realtime) {
  return stderrIsTerminal && (!stdoutIsTerminal || quiet) && !realtime;
}

bool isTerminal(std::FILE* stream) {
  const int fd = ::fileno(stream);
  return fd >= 0 && ::isatty(fd) == 1;
}

std::string progressLine(const host::CalendarDate& reached, double fraction, std::uint64_t events,
                         double simulatedDaysPerSecond) {
  char text[128];
  std::snprintf(text, sizeof text, "simulated %04d-%02d-%02d %02d:%02d (%d%%), %llu events, %.1f days/s", reached.year,
                reached.month, reached.day, reached.hour, reached.minute,
                static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100), static_cast<unsigned long long>(events),
                simulatedDaysPerSecond);
  return text;
}

Progress::Progress(std::FILE* err, LocalClock clock, dispatch::Instant start, dispatch::Instant end)
    : err_(err), clock_(std::move(clock)), start_(start), end_(end), began_(std::chrono::steady_clock::now()),
      lastPrint_(began_) {}

void Progress::maybePrint(dispatch::Instant t) {
  const auto now = std::chrono::steady_clock::now();
  if (now - began_ < 1s || now - lastPrint_ < 250ms) return;
  lastPrint_ = now;
  const double wall = std::chrono::duration<double>(now - began_).count();
  const double simulated = std::chrono::duration<double>(t - start_).count();
  const double span = std::chrono::duration<double>(end_ - start_).count();
  const std::string line = progressLine(clock_(t), span > 0 ? simulated / span : 1.0, events_, simulated / 86400.0 / wall);
  std::fprintf(err_, "\r%s\033[K", line.c_str());
  std::fflush(err_);
  printed_ = true;
}

void Progress::finish() {
  if (!printed_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  printed_ = false;
}

}  // namespace qv::sim
