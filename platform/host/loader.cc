#include "platform/host/loader.h"

#include <algorithm>

#include "platform/plist/io.h"

namespace qv::host {

bool LoaderFilter::matches(const std::string& bundleId) const {
  return std::find(bundles.begin(), bundles.end(), bundleId) != bundles.end();
}

Result<LoaderFilter> readLoaderFilter(const fs::Root& root, const std::string& devicePath) {
  auto bytes = root.read(devicePath);
  if (!bytes) return Error{bytes.error()};
  auto value = pl::parse(*bytes);
  if (!value) return Error{devicePath + ": " + value.error()};
  const pl::Dict* filter = pl::findDict(&*value, "Filter");
  if (!filter) return Error{devicePath + ": expected a dictionary with a \"Filter\" dictionary"};
  const pl::Array* bundles = pl::findArray(*filter, "Bundles");
  if (!bundles) return Error{devicePath + ": expected \"Filter\" to hold a \"Bundles\" array"};
  LoaderFilter out;
  for (const pl::Value& b : *bundles) {
    const std::string* s = b.ifString();
    if (!s) return Error{devicePath + ": every entry of \"Bundles\" must be a string"};
    out.bundles.push_back(*s);
  }
  return out;
}

}  // namespace qv::host
