// What `quorvel-sim --json` prints, as one table: the fields every line has, each event kind
// with its own fields, and the summary object that ends the output. `--list-kinds`,
// docs/events.md and docs/events.schema.json are all made from it (tests/sim compares the
// documents with it), and the JSON writer reads from it which kinds belong to a reminder.
//   for (const KindDoc& k : eventKinds()) std::puts(k.name.data());
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/timeline/timeline.h"

namespace qv::sim {

enum class FieldType : std::uint8_t {
  Text,
  Integer,
  Flag,
  TextList,
  IntegerOrNull,
  TextOrNull,
  Object,      // with `children`
  ObjectList,  // an array of objects with `children`
  ObjectMap,   // an object whose values are objects with `children`
};

struct FieldDoc {
  std::string_view name;
  FieldType type;
  bool required;
  std::string_view meaning;
  std::span<const FieldDoc> children = {};
  std::span<const std::string_view> values = {};  // the only values a Text may take, when fixed
};

struct KindDoc {
  std::string_view name;  // timeline::kindName, or "summary"
  std::string_view meaning;
  std::span<const FieldDoc> fields;
  // Recorded for a reminder (an alert's sound, a re-posted bulletin): it then carries the
  // reminder's `category`, and its `alert` when an alert made it.
  bool ofReminder = false;
};

// The fields of every event line (not the summary).
std::span<const FieldDoc> commonFields();
// `category` and `alert`, as kinds of a reminder carry them.
std::span<const FieldDoc> reminderFields();
// Every timeline kind, in the order of timeline::Kind, then the summary and the matrix.
std::span<const KindDoc> eventKinds();
const KindDoc& kindDoc(timeline::Kind k);
const KindDoc& summaryDoc();
// The one line of `--matrix --json`.
const KindDoc& matrixDoc();

// Plain text for a terminal (`--list-kinds`).
std::string kindsText();
// docs/events.md.
std::string kindsMarkdown();
// docs/events.schema.json: a JSON Schema (draft 2020-12) every line of `--json` output meets.
std::string eventsSchema();

}  // namespace qv::sim
