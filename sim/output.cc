#include "sim/output.h"

#include <nlohmann/json.hpp>

#include "sim/story.h"

namespace qv::sim {
namespace {

int millisOf(dispatch::Instant t) {
  auto ns = t.time_since_epoch().count() % 1'000'000'000;
  if (ns < 0) ns += 1'000'000'000;
  return static_cast<int>(ns / 1'000'000);
}

}  // namespace

std::string clockStamp(const LocalClock& clock, dispatch::Instant t) {
  host::CalendarDate d = clock(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", d.hour, d.minute, d.second, millisOf(t));
  return buf;
}

TimelinePrinter::TimelinePrinter(std::FILE* out, OutputOptions options, LocalClock clock, dispatch::Instant start,
                                 AppNames names)
    : out_(out), options_(options), clock_(std::move(clock)), start_(start) {
  if (!options_.json) story_ = std::make_unique<StoryWriter>(out_, options_, clock_, std::move(names));
}

TimelinePrinter::~TimelinePrinter() = default;

void TimelinePrinter::print(const timeline::Event& e) {
  if (story_)
    story_->add(e);
  else if (e.kind != timeline::Kind::Decision || options_.explain)
    printJson(e);
}

void TimelinePrinter::flush() {
  if (story_) story_->flush();
}

void TimelinePrinter::printJson(const timeline::Event& e) {
  host::CalendarDate d = clock_(e.time);
  char local[40];
  std::snprintf(local, sizeof local, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour, d.minute,
                d.second, millisOf(e.time));
  nlohmann::ordered_json j;
  j["time"] = local;
  j["offset_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(e.time - start_).count();
  j["process"] = e.process;
  j["kind"] = timeline::kindName(e.kind);
  j["subject"] = e.subject;
  if (!e.detail.empty()) j["detail"] = e.detail;
  std::fprintf(out_, "%s\n", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace qv::sim
