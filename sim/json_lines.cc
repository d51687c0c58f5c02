#include "sim/json_lines.h"

#include "sim/event_reference.h"
#include "sim/local_time.h"

namespace qv::sim {
namespace {

using timeline::Kind;

void writeValue(JsonText& j, const timeline::Field::Value& v) {
  std::visit(
      [&j](const auto& x) {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, std::monostate>)
          j.null();
        else if constexpr (std::is_same_v<X, std::int64_t>)
          j.integer(x);
        else if constexpr (std::is_same_v<X, bool>)
          j.flag(x);
        else if constexpr (std::is_same_v<X, timeline::Text>)
          j.string(x);
        else
          j.strings(x);
      },
      v);
}

bool endsOrClears(Kind k) {
  return k == Kind::ReminderEnded || k == Kind::ReminderCleared;
}

}  // namespace

void writeCause(JsonText& j, const ActionRef& a) {
  j.key("cause").open();
  j.key("action").integer(a.number);
  j.key("do").string(a.what);
  j.key("text").string(a.text);
  j.close();
}

JsonLinesWriter::JsonLinesWriter(std::FILE* out, const EventFacts& facts, const tz::TimeZone& zone,
                                 dispatch::Instant start, bool explain)
    : out_(out), facts_(facts), zone_(zone), start_(start), explain_(explain) {}

void JsonLinesWriter::print(const timeline::Event& e) {
  if (e.kind == Kind::Decision && !explain_) return;
  if (e.time != lastTime_) {
    lastTime_ = e.time;
    lastStamp_ = rfc3339(e.time, zone_);
  }
  JsonText& j = line_;
  j.clear();
  j.open();
  j.key("time").string(lastStamp_);
  j.key("offset_ms").integer(std::chrono::duration_cast<std::chrono::milliseconds>(e.time - start_).count());
  j.key("process").string(e.process);
  j.key("kind").string(timeline::kindName(e.kind));
  if (e.trace.action != 0) j.key("action").integer(e.trace.action);
  const std::string category = facts_.category(e);
  if (!category.empty() && !e.field("category")) j.key("category").string(category);
  if (kindDoc(e.kind).ofReminder || endsOrClears(e.kind))
    if (const std::uint32_t alert = facts_.alert(e, category); alert != 0 && !e.field("alert"))
      j.key("alert").integer(alert);
  for (const timeline::Field& f : e.fields) {
    j.key(f.name);
    writeValue(j, f.value);
  }
  if (endsOrClears(e.kind))
    if (const ActionRef* a = facts_.cause(e)) writeCause(j, *a);
  if (e.kind == Kind::Host || e.kind == Kind::Decision) {
    j.key("subject").string(e.subject);
    if (!e.detail.empty()) j.key("detail").string(e.detail);
  }
  j.close().endLine();
  std::fwrite(j.text().data(), 1, j.text().size(), out_);
}

}  // namespace qv::sim
