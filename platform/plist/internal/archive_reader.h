// Walks the object table of one keyed archive: resolves uid references (binary uids or XML
// {"CF$UID": n} dictionaries), reads class chains and decodes objects into plain values.
// Decoded objects are memoised, so shared objects cost once; cycles are errors. Not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/plist/io.h"

namespace qv::pl::internal {

class ArchiveReader {
 public:
  // A reader over `bytes`, or why they are no keyed archive.
  static Result<ArchiveReader> open(std::span<const std::uint8_t> bytes, ReadLimits limits);

  // The object "$top" names as the root: "root", else "$0", else the first key.
  Result<std::uint64_t> rootReference() const;

  // Class names of the object, most derived first; empty for primitives and bad references.
  std::vector<std::string> classChain(std::uint64_t reference) const;

  // The raw fields of a class object, or null for anything else.
  const Dict* fieldsOf(std::uint64_t reference) const;

  // The object as a plain value (see unarchive() in keyed_archive.h).
  Result<Value> decode(std::uint64_t reference);

 private:
  struct Decoded {
    Value value;
    std::uint64_t expandedSize = 1;
  };
  enum class Progress : std::uint8_t { NotStarted, Decoding, Done };
  struct Frame;

  ArchiveReader(Value archive, const Array* objects, const Dict* top, ReadLimits limits);

  // Decoding is iterative (one Frame per object or inline container being decoded), so
  // nesting costs heap, not stack.
  Result<Decoded> decodeIteratively(std::uint64_t reference);
  // Either a finished value (primitives, dates, memoised objects) or a frame to push.
  Result<std::optional<Decoded>> startChild(const Value& field, std::vector<Frame>& frames);
  Result<std::optional<Decoded>> startObject(std::uint64_t reference, std::vector<Frame>& frames);
  Result<Decoded> finish(Frame& frame);
  Status checkSize(std::uint64_t size) const;

  Value archive_;  // keeps objects_ and top_ alive
  const Array* objects_;
  const Dict* top_;
  ReadLimits limits_;
  std::vector<Progress> progress_;
  std::vector<std::optional<Decoded>> memo_;
};

// The index a uid reference names: a binary uid or an XML {"CF$UID": n} dictionary.
std::optional<std::uint64_t> referenceIn(const Value& v);

}  // namespace qv::pl::internal
