// The timeline as JSON Lines for tools: one object per event as it is heard, the fields
// docs/events.md lists (made from sim/event_reference.cc), times in RFC 3339 with their UTC
// offset. Decision events only with `explain`. Byte-identical for equal input.
#pragma once

#include <cstdio>

#include "platform/time/timezone.h"
#include "platform/timeline/timeline.h"
#include "sim/event_facts.h"
#include "sim/json_text.h"

namespace qv::sim {

class JsonLinesWriter {
 public:
  JsonLinesWriter(std::FILE* out, const EventFacts& facts, const tz::TimeZone& zone, dispatch::Instant start,
                  bool explain);
  JsonLinesWriter(const JsonLinesWriter&) = delete;
  JsonLinesWriter& operator=(const JsonLinesWriter&) = delete;

  void print(const timeline::Event& e);

 private:
  std::FILE* out_;
  const EventFacts& facts_;
  const tz::TimeZone& zone_;
  dispatch::Instant start_;
  bool explain_;
  JsonText line_;
  dispatch::Instant lastTime_ = dispatch::Instant::min();
  std::string lastStamp_;
};

// The `cause` object of a reminder's end, clear or start.
void writeCause(JsonText& j, const ActionRef& a);

}  // namespace qv::sim
