#include "platform/sys.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(platform, file_names_round_trip_any_bytes)
{
    EXPECT_EQ(sys::from_bytes("m\xc3\xa9sure"), L"m\u00e9sure");
    EXPECT_EQ(sys::from_bytes("\xf0\x9f\x9b\xb0"), std::wstring(1, wchar_t(0x1F6F0)));
    // Bytes that are not UTF-8 (a lone continuation, an overlong form, an
    // encoded surrogate, a cut sequence) each become one escaped character.
    EXPECT_EQ(sys::from_bytes("\x80"), std::wstring(1, wchar_t(0xDC80)));
    EXPECT_EQ(sys::from_bytes("\xc0\xaf").size(), 2u);
    EXPECT_EQ(sys::from_bytes("\xed\xa0\x80").size(), 3u);
    EXPECT_EQ(sys::from_bytes("a\xe6\xb8").size(), 3u);

    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(rng() % 12, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng() % 2 ? 0x80 + rng() % 0x80 : 1 + rng() % 0xFF);
        EXPECT_EQ(sys::to_bytes(sys::from_bytes(bytes)), bytes);
    }
}

TEST(platform, grab_failure_can_be_injected)
{
    sys::fail_grab_after(1);
    std::uint8_t* a = sys::grab(8);
    std::uint8_t* b = sys::grab(8);
    std::uint8_t* c = sys::grab(8);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_NE(c, nullptr);
    delete[] a;
    delete[] c;
}

} // namespace
