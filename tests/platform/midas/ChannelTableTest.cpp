// The channel table: who owns each channel and which sound plays on it.
#include <gtest/gtest.h>

#include "ChannelTable.h"
#include "Errors.h"

namespace {

using midas::ChannelTable;
using Owner = ChannelTable::Owner;

const auto* const kSampleA = reinterpret_cast<const midas::Sample*>(0x1000);
const auto* const kSampleB = reinterpret_cast<const midas::Sample*>(0x2000);

TEST(ChannelTable, TakesTheLowestFreeChannelsAllOrNothing) {
  ChannelTable table;
  table.Reset(5);
  EXPECT_EQ(table.Take(2, Owner::kModule), (std::vector<int>{0, 1}));
  EXPECT_EQ(table.Take(1, Owner::kUser), (std::vector<int>{2}));
  table.Release({0});
  EXPECT_EQ(table.FreeCount(), 3);
  EXPECT_EQ(table.Take(2, Owner::kAuto), (std::vector<int>{0, 3}));
  // One free channel left: asking for two takes none.
  try {
    table.Take(2, Owner::kUser);
    ADD_FAILURE() << "took more channels than were free";
  } catch (const midas::Error& e) {
    EXPECT_EQ(e.code(), midas::kOutOfChannels);
  }
  EXPECT_EQ(table.FreeCount(), 1);
  EXPECT_EQ(table.Take(1, Owner::kUser), (std::vector<int>{4}));
}

TEST(ChannelTable, OnlyTheProgramsOwnExistingChannelsAreUserChannels) {
  ChannelTable table;
  table.Reset(3);
  table.Take(1, Owner::kAuto);
  table.Take(1, Owner::kUser);
  EXPECT_FALSE(table.IsUser(0));
  EXPECT_TRUE(table.IsUser(1));
  EXPECT_FALSE(table.IsUser(2));  // free
  EXPECT_FALSE(table.IsUser(3));  // past the table
  table.Reset(2, Owner::kModule);
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.FreeCount(), 0);
  EXPECT_FALSE(table.IsUser(1));
}

TEST(ChannelTable, SoundsAreFoundByHandleUntilStoppedReleasedOrTheirSampleFreed) {
  ChannelTable table;
  table.Reset(4);
  table.Take(4, Owner::kUser);
  table.Started(0, 11, kSampleA);
  table.Started(1, 12, kSampleB);
  table.Started(2, 13, kSampleA);
  table.Started(3, 14, kSampleB);
  EXPECT_EQ(table.Find(12), 1);
  EXPECT_EQ(table.Find(0), -1);  // a failed play's handle never matches an idle channel
  EXPECT_EQ(table.Find(99), -1);
  table.Stopped(1);
  EXPECT_EQ(table.Find(12), -1);
  table.ForgetSample(kSampleA);
  EXPECT_EQ(table.Find(11), -1);
  EXPECT_EQ(table.Find(13), -1);
  EXPECT_EQ(table.Find(14), 3);
  table.Release({3, 7});  // 7 is past the table: skipped
  EXPECT_EQ(table.Find(14), -1);
  EXPECT_EQ(table.FreeCount(), 1);
  // A channel taken again starts silent.
  EXPECT_EQ(table.Take(1, Owner::kUser), (std::vector<int>{3}));
  EXPECT_EQ(table.Find(14), -1);
}

}  // namespace
