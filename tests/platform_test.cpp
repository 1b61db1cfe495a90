#include "platform/sys.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The steps that replace an output file: what a name denotes, a new file
// beside it under a name of its own, the move over the name, the removal.
TEST(platform, output_names_and_new_files_beside_them)
{
    scratch d;
    std::wstring out = sys::from_bytes(d.file("run1.nme"));
    EXPECT_EQ(sys::kind_of(out), sys::kind::absent);
    write_file(d.file("run1.nme"), "earlier");
    EXPECT_EQ(sys::kind_of(out), sys::kind::regular);
    EXPECT_TRUE(sys::can_write(out));
    EXPECT_EQ(read_file(d.file("run1.nme")), "earlier");
    std::filesystem::create_directory(fs_path(d.file("run1.d")));
    EXPECT_EQ(sys::kind_of(sys::from_bytes(d.file("run1.d"))), sys::kind::other);
    EXPECT_EQ(sys::kind_of(on_windows ? L"NUL" : L"/dev/null"), sys::kind::other);
    if (make_symlink("run1.nme", d.file("link.nme")).empty()) {
        EXPECT_EQ(sys::kind_of(sys::from_bytes(d.file("link.nme"))), sys::kind::other);
    }
    if (make_fifo(d.file("fifo.nme")).empty()) {
        EXPECT_EQ(sys::kind_of(sys::from_bytes(d.file("fifo.nme"))), sys::kind::other);
    }

    // Two new files at once: two names, in the folder of the output, each
    // beginning with a dot, the name and ".pellucid-".
    std::wstring t1, t2;
    std::FILE* f1 = sys::open_temp(out, t1);
    std::FILE* f2 = sys::open_temp(out, t2);
    ASSERT_TRUE(f1 && f2);
    EXPECT_NE(t1, t2);
    for (const std::wstring& t : {t1, t2}) {
        std::filesystem::path p = fs_path(sys::to_bytes(t));
        EXPECT_EQ(p.parent_path(), fs_path(d.path()));
        std::string name = utf8_name(p.filename());
        EXPECT_EQ(name.substr(0, 19), ".run1.nme.pellucid-") << name;
        EXPECT_EQ(name.size(), 25u) << name;
    }
    EXPECT_TRUE(sys::write(f1, "new", 3));
    std::fclose(f1);
    std::fclose(f2);
    EXPECT_EQ(read_file(d.file("run1.nme")), "earlier");
    EXPECT_TRUE(sys::replace(t1, out));
    EXPECT_EQ(read_file(d.file("run1.nme")), "new");
    EXPECT_FALSE(exists(sys::to_bytes(t1)));
    EXPECT_TRUE(sys::remove_file(t2));
    EXPECT_FALSE(exists(sys::to_bytes(t2)));
    EXPECT_FALSE(sys::remove_file(t2));

    // A long name is cut in the new file's name, which stays short enough.
    std::wstring long_out = sys::from_bytes(d.file(std::string(200, 'n') + ".nme"));
    std::wstring t3;
    std::FILE* f3 = sys::open_temp(long_out, t3);
    ASSERT_TRUE(f3);
    std::fclose(f3);
    EXPECT_EQ(utf8_name(fs_path(sys::to_bytes(t3)).filename()),
              "." + std::string(40, 'n') + ".pellucid-" + sys::to_bytes(t3.substr(t3.size() - 6)));
    EXPECT_TRUE(sys::remove_file(t3));
}

// A new file never takes over a file that has its name: with the seed of
// the names fixed, each call tries the same names in turn; a file at the
// first keeps its bytes, and the new file gets the next name free.
TEST(platform, a_new_file_never_takes_over_a_file_of_its_name)
{
    scratch d;
    std::wstring out = sys::from_bytes(d.file("run1.nme"));
    sys::fix_temp_seed(20261208);
    std::wstring t[3];
    for (int k = 0; k < 3; ++k) {
        std::FILE* f = sys::open_temp(out, t[k]);
        ASSERT_TRUE(f) << k;
        EXPECT_TRUE(sys::write(f, "ab", static_cast<std::size_t>(k)));
        std::fclose(f);
    }
    sys::fix_temp_seed(-1);
    EXPECT_NE(t[1], t[0]);
    EXPECT_NE(t[2], t[0]);
    EXPECT_NE(t[2], t[1]);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(read_file(sys::to_bytes(t[k])), std::string("ab", static_cast<std::size_t>(k)));
        EXPECT_EQ(utf8_name(fs_path(sys::to_bytes(t[k])).filename()).substr(0, 19),
                  ".run1.nme.pellucid-");
    }
    // Removed, the first name is the first tried again.
    EXPECT_TRUE(sys::remove_file(t[0]));
    sys::fix_temp_seed(20261208);
    std::wstring again;
    std::FILE* f = sys::open_temp(out, again);
    sys::fix_temp_seed(-1);
    ASSERT_TRUE(f);
    std::fclose(f);
    EXPECT_EQ(again, t[0]);
}

// Writes can be made to fail after a number of bytes, as on a full disk:
// the bytes before the limit are written, none after.
TEST(platform, write_failure_can_be_injected)
{
    scratch d;
    std::FILE* f = std::fopen(d.file("out").c_str(), "wb");
    ASSERT_TRUE(f);
    sys::fail_write_after(5);
    EXPECT_TRUE(sys::write(f, "abc", 3));
    EXPECT_FALSE(sys::write(f, "defg", 4));
    EXPECT_FALSE(sys::write(f, "h", 1));
    sys::fail_write_after(-1);
    EXPECT_TRUE(sys::write(f, "i", 1));
    std::fclose(f);
    EXPECT_EQ(read_file(d.file("out")), "abcdei");
}

} // namespace
