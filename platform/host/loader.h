// The loader's filter: which processes the library is loaded into. The filter is a property
// list in the form the loader reads: { Filter = { Bundles = ( "com.apple.springboard", ... ) } }.
#pragma once

#include <string>
#include <vector>

#include "platform/fs/root.h"
#include "platform/result.h"

namespace qv::host {

struct LoaderFilter {
  std::vector<std::string> bundles;
  bool matches(const std::string& bundleId) const;
};

// Reads a filter file (device path); an Error says what is wrong with it.
Result<LoaderFilter> readLoaderFilter(const fs::Root& root, const std::string& devicePath);

}  // namespace qv::host
