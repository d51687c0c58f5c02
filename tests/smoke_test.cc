#include <gtest/gtest.h>

#include "platform/plist/value.h"

namespace qv {
namespace {

TEST(PlistValue, TypedViewsReadOtherTypesAsAbsent) {
  pl::Value v = pl::Dict{{"aps", "a string"}, {"count", 3}};
  EXPECT_EQ(pl::findDict(&v, "aps"), nullptr);
  ASSERT_NE(pl::findString(&v, "aps"), nullptr);
  EXPECT_EQ(v.find("count")->numberAsInteger(), 3);
  EXPECT_EQ(v.find("missing"), nullptr);
}

}  // namespace
}  // namespace qv
