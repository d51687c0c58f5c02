// Nesting check of an XML property list, done by us before libplist sees the text: libplist
// 2.2.0 frees its trees recursively, so a document nested hundreds of thousands of levels
// deep would overflow the stack. The scan errs towards counting too deep, never too shallow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/result.h"

namespace qv::pl::internal {

// Ok when <array>/<dict> nesting stays within maxDepth and the element count within maxNodes.
// Comments, CDATA, processing instructions and DOCTYPE are skipped; one left unterminated, a
// close tag that does not match the open container, or a tag whose end is ambiguous
// ('<' or an unbalanced quote inside it) is an error. Linear in the size of the text.
Status checkXmlNesting(std::span<const std::uint8_t> text, std::size_t maxDepth, std::size_t maxNodes);

// The keys of the top dictionary in the order written, a key given twice twice, as written between
// <key> and </key> (libplist keeps only the last of a repeated key). For text checkXmlNesting passed.
std::vector<std::string> xmlTopDictionaryKeys(std::span<const std::uint8_t> text);

}  // namespace qv::pl::internal
