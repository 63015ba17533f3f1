// The runtime's generator against the published sequence of this linear congruential generator
// from seed 1, and its state after each draw.
#include "runtime/Random.h"

#include <gtest/gtest.h>

namespace {

TEST(RandomTest, FollowsThePublishedSequenceFromSeedOne) {
  EXPECT_EQ(RandSeed(), 1u);
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  uint32_t seed = 1;
  for (int32_t value : expected) {
    EXPECT_EQ(Rand(), value);
    seed = seed * 214013u + 2531011u;
    EXPECT_EQ(RandSeed(), seed);
  }
  for (int i = 0; i < 100000; ++i) {
    const int32_t value = Rand();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 32767);
  }
}

}  // namespace
