// A recorded detail written into fixed room: texts and numbers in order, and nothing written past
// the room when a text or a number does not fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/stack_text.h"

namespace qv {
namespace {

TEST(StackText, WritesTextsAndNumbersInOrderAndLeavesOffWhatDoesNotFit) {
  StackText<48> armed;
  armed << "next alert in " << std::int64_t{60} << " s";
  EXPECT_EQ(armed.view(), "next alert in 60 s");

  StackText<80> widest;
  widest << "alert " << std::int64_t{4294967295} << ", counted " << std::numeric_limits<std::int64_t>::min() << " of "
         << std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(widest.view(), "alert 4294967295, counted -9223372036854775808 of 9223372036854775807");

  StackText<8> small;
  small << "alert " << std::int64_t{123} << "!";  // the number does not fit whole: left off
  EXPECT_EQ(small.view(), "alert !");
  small << "longer than the room";
  EXPECT_EQ(small.view(), "alert !l");
}

}  // namespace
}  // namespace qv
