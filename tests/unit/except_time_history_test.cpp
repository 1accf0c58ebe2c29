// The exception time history, the burst rule of AutoClose/AutoRestart and the restart hand-off.
#include <gtest/gtest.h>

#include "crashreport/core/except_time_history.h"

namespace brevant::crashreport {
namespace {

ExceptTimeHistory AfterExceptionsAt(std::initializer_list<std::int64_t> times) {
    ExceptTimeHistory history;
    for (std::int64_t time : times) history.Record(time);
    return history;
}

TEST(ExceptTimeHistoryTest, KeepsTheTenNewestNewestFirst) {
    ExceptTimeHistory history = AfterExceptionsAt({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_EQ(history.Times(), (ExceptTimeHistory::Entries{12, 11, 10, 9, 8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(AfterExceptionsAt({5}).Times(), (ExceptTimeHistory::Entries{5, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ExceptTimeHistoryTest, BurstRule) {
    const std::int64_t now = 13'000'000'000;
    ExceptTimeHistory nine = AfterExceptionsAt({now - 8, now - 7, now - 6, now - 5, now - 4, now - 3, now - 2,
                                                now - 1, now});
    EXPECT_FALSE(BurstRuleHolds(0, nine, now));
    EXPECT_TRUE(BurstRuleHolds(1, nine, now));
    EXPECT_TRUE(BurstRuleHolds(1, ExceptTimeHistory(), now));
    EXPECT_FALSE(BurstRuleHolds(30, nine, now)) << "nine exceptions are not a burst of ten";

    ExceptTimeHistory ten = nine;
    ten.Record(now);
    EXPECT_TRUE(BurstRuleHolds(30, ten, now));
    EXPECT_TRUE(BurstRuleHolds(8, ten, now)) << "the oldest lies exactly 8 s back";
    EXPECT_FALSE(BurstRuleHolds(7, ten, now));
    EXPECT_FALSE(BurstRuleHolds(-5, ten, now));

    ExceptTimeHistory spread = AfterExceptionsAt({now - 100, now - 8, now - 7, now - 6, now - 5, now - 4, now - 3,
                                                  now - 2, now - 1, now});
    EXPECT_FALSE(BurstRuleHolds(30, spread, now));
}

TEST(RestartHandOffTest, EightyEightLittleEndianBytesRoundTrip) {
    RestartHandOff handOff;
    handOff.oldProcessId = 0x1a2c;
    handOff.duplicatedHandle = 0x3f4;
    handOff.history = AfterExceptionsAt({0x0102030405060708, 13'000'000'001});
    auto bytes = handOff.ToBytes();
    ASSERT_EQ(bytes.size(), 88u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{0x2c, 0x1a, 0, 0, 0xf4, 0x03, 0, 0}));
    EXPECT_EQ(bytes[16], 0x08) << "the second entry (older) starts at byte 16";
    EXPECT_EQ(bytes[23], 0x01);

    RestartHandOff back = RestartHandOff::FromBytes(bytes.data());
    EXPECT_EQ(back.oldProcessId, 0x1a2cu);
    EXPECT_EQ(back.duplicatedHandle, 0x3f4u);
    EXPECT_EQ(back.history.Times(), handOff.history.Times());
}

}  // namespace
}  // namespace brevant::crashreport
