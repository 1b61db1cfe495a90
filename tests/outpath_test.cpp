#include "driver/outpath.h"

#include <gtest/gtest.h>

namespace {

TEST(outpath, names_beside_the_input)
{
    struct row {
        const wchar_t* in;
        const wchar_t* ext;
        const wchar_t* out;
    } rows[] = {
        {L"C:\\logs\\run1.log", L"nme", L"C:\\logs\\run1.nme"},
        {L"run1.log", L"nme", L"run1.nme"},
        {L"C:\\logs\\run1", L"nme", L"C:\\logs\\run1.nme"},
        {L"run1", L"nme", L"run1.nme"},
        {L"C:\\logs\\run1.part2.log", L"nme", L"C:\\logs\\run1.part2.nme"},
        {L"C:\\my.logs\\run1", L"nme", L"C:\\my.logs\\run1.nme"},
        {L"D:run1.log", L"txt", L"D:run1.txt"},
        {L"../data/run1.log", L"nme", L"../data/run1.nme"},
        {L"logs/.profile", L"nme", L"logs/.nme"},
        {L"run1.", L"nme", L"run1.nme"},
        {L"run1.log", L".txt", L"run1..txt"},
        {L"run1.log", L"", L"run1."},
        {L"run1.log", L"log", L"run1.log"},
        {L"RUN1.LOG", L"log", L"RUN1.log"},
        {L"a/b\\c.d/e", L"nme", L"a/b\\c.d/e.nme"},
        {L"x:y:z.log", L"nme", L"x:y:z.nme"},
        {L"", L"nme", L".nme"},
    };
    for (const row& r : rows)
        EXPECT_EQ(make_output_path(r.in, r.ext), r.out);
}

TEST(outpath, members_of_a_split)
{
    pathsplit p(L"C:\\logs\\run1.log");
    EXPECT_EQ(p.drive, L"C:");
    EXPECT_EQ(p.dir, L"\\logs\\");
    EXPECT_EQ(p.fname, L"run1");
    EXPECT_EQ(p.ext, L".log");
    EXPECT_EQ(p.extnodot, L"log");
    EXPECT_EQ(p.path, L"C:\\logs\\run1.log");

    pathsplit q(L"run1");
    EXPECT_EQ(q.fname, L"run1");
    EXPECT_EQ(q.drive + q.dir + q.ext + q.extnodot, L"");

    // A drive alone, or a drive and a name: the drive is never the name.
    for (const wchar_t* d : {L"C:", L"C:run1"}) {
        pathsplit r(d);
        EXPECT_EQ(r.drive, L"C:");
        EXPECT_EQ(r.dir, L"");
        EXPECT_EQ(r.fname, std::wstring(d).substr(2));
    }

    // Splitting again replaces every member.
    p.split(L"/a.b/c");
    EXPECT_EQ(p.drive + p.dir + p.fname + p.ext, p.path);
    EXPECT_EQ(p.ext, L"");
    EXPECT_EQ(p.extnodot, L"");
}

} // namespace
