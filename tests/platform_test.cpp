#include "platform/sys.h"
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

TEST(platform, file_names_convert_between_utf8_and_wide_text)
{
    EXPECT_EQ(sys::from_bytes("m\xc3\xa9sure"), L"m\u00e9sure");
    // One character beyond the 16-bit plane: one wchar_t on POSIX, a pair of
    // surrogates on Windows.
    EXPECT_EQ(sys::from_bytes("\xf0\x9f\x9b\xb0"), L"\U0001F6F0");
    EXPECT_EQ(sys::to_bytes(L"\U0001F6F0-\u6e2c"), "\xf0\x9f\x9b\xb0-\xe6\xb8\xac");
}

TEST(platform, file_names_round_trip_any_bytes)
{
    if (on_windows)
        GTEST_SKIP() << "Windows names are UTF-16 text: no name holds bytes that are not UTF-8";
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

#ifdef _WIN32
// Names that the plain form holds go to the system as given; longer ones in
// the \\?\ form, made whole first since that form takes them literally.
TEST(platform, long_names_go_to_windows_whole_in_the_extended_form)
{
    const std::wstring ext = L"\\\\?\\";
    std::wstring deep = L"C:\\";
    for (int i = 0; i < 6; ++i)
        deep += std::wstring(50, static_cast<wchar_t>(L'a' + i)) + L"\\";
    deep += L"run1.log";
    ASSERT_GT(deep.size(), 300u);
    EXPECT_EQ(sys::long_name(deep), ext + deep);
    EXPECT_EQ(sys::long_name(ext + deep), ext + deep);

    // Slashes, "." and ".." resolved as the plain form would.
    std::wstring messy = deep;
    for (wchar_t& c : messy)
        c = c == L'\\' ? L'/' : c;
    messy.insert(3, L"./x/../");
    EXPECT_EQ(sys::long_name(messy), ext + deep);

    // A relative name is taken from the current folder.
    std::wstring rel = deep.substr(3);
    std::wstring here = std::filesystem::current_path().wstring();
    if (here.back() != L'\\')
        here += L'\\';
    EXPECT_EQ(sys::long_name(rel), ext + here + rel);

    // Shares: \\server\share\... becomes \\?\UNC\server\share\...
    std::wstring share = L"\\\\server\\share\\" + deep.substr(3);
    EXPECT_EQ(sys::long_name(share), ext + L"UNC\\" + share.substr(2));

    // MAX_PATH counts the closing null: 259 characters are the longest plain name.
    std::wstring edge = L"C:\\" + std::wstring(200, L'e') + L"\\";
    edge += std::wstring(259 - edge.size(), L'f');
    EXPECT_EQ(sys::long_name(edge), edge);
    EXPECT_EQ(sys::long_name(edge + L"g"), ext + edge + L"g");

    // Short names are left exactly as they are, odd ones included.
    for (const wchar_t* name : {L"run1.log", L"run1.log.", L"C:/logs/../run1.log", L"\\\\s\\sh\\a"})
        EXPECT_EQ(sys::long_name(name), name);
}
#endif

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
