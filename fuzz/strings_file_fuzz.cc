// Feeds arbitrary bytes to the old-style strings-file reader.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/l10n/strings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::l10n::parseStringsFile(std::span(data, size));
  return 0;
}
