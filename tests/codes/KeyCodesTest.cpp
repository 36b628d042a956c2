#include "KeyCodes.h"

#include <gtest/gtest.h>

using namespace keycodes;

TEST(KeyCodes, PairRoundTrip)
{
    const KeyCodes k = MakeKeyCodesAt(1234567, 93784, 1);
    std::uint32_t nonce = 0, hide = 0;
    std::int32_t seconds = 0;
    ASSERT_TRUE(CheckLockCode(k.lockCode, nonce, seconds, hide));
    EXPECT_EQ(seconds, 93784);
    EXPECT_EQ(hide & 1u, 1u);
    bool match = false;
    ASSERT_TRUE(CheckUnlockCode(k.unlockCode, nonce, match));
    EXPECT_TRUE(match);
}
