// The formatter thread against the same conversion without it: hand-overs
// when the input pauses, sentences refused, and a long output whose writes
// fail midway.
#include "driver/formatter.h"
#include "driver/session.h"
#include "frames.h"
#include "support.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>

namespace {

// Bytes from a string in reads of at most `most` bytes; the reads whose
// numbers (from 0) are listed in pauses first sleep for 150 ms, as a pipe
// or a network file keeps a reader waiting.
struct pausing_source {
    const std::string* bytes;
    std::vector<int> pauses;
    std::size_t most = 64 * 1024;
    std::size_t at = 0;
    int reads = 0;

    static std::size_t read(void* ctx, std::uint8_t* p, std::size_t n)
    {
        auto& m = *static_cast<pausing_source*>(ctx);
        if (std::find(m.pauses.begin(), m.pauses.end(), m.reads++) != m.pauses.end())
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        n = std::min({n, m.most, m.bytes->size() - m.at});
        m.bytes->copy(reinterpret_cast<char*>(p), n, m.at);
        m.at += n;
        return n;
    }
};

// Runs f in a thread of its own and waits for it at most `seconds`. A run
// that has not ended by then waits for ever: the test program ends with a
// message rather than hang.
template <class F> void within(int seconds, const char* what, F f)
{
    std::packaged_task<void()> task(f);
    std::future<void> done = task.get_future();
    std::thread t(std::move(task));
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not end within %d s: a thread waits for ever\n", what,
                     seconds);
        std::fflush(stderr);
        std::_Exit(3);
    }
    t.join();
}

struct converted {
    std::string text;
    std::int64_t sentences = 0;
    bool failed = false;
};

// The conversion of bytes into a file, as the program run makes it.
converted convert_bytes(const std::string& bytes, bool threads, std::vector<int> pauses = {})
{
    scratch d;
    std::FILE* out = std::fopen(d.file("out").c_str(), "wb");
    if (!out)
        throw std::runtime_error("no output file");
    std::setvbuf(out, nullptr, _IONBF, 0);
    session job;
    setup(job);
    manual_utc(job, 18);
    pausing_source in{&bytes, std::move(pauses)};
    within(60, "the conversion", [&] { convert_to_file(job, source{in.read, &in}, out, threads); });
    std::fclose(out);
    converted c;
    c.text = read_file(d.file("out"));
    c.sentences = job.sentences;
    c.failed = job.text.failed;
    return c;
}

// A receiver session of about `bytes` bytes.
std::string survey(std::size_t bytes)
{
    scratch d;
    std::FILE* f = std::fopen(d.file("survey.log").c_str(), "wb");
    if (!f || !write_survey(f, bytes))
        throw std::runtime_error("no survey");
    std::fclose(f);
    return read_file(d.file("survey.log"));
}

std::int64_t lines_in(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n');
}

// The input stops for a while, more than once, so that the thread formats
// all it was handed and goes to sleep; the conversion must wake it at the
// next hand-over. After the last pause comes more output than all record
// buffers hold: a hand-over that does not wake the thread leaves both
// threads waiting for each other, which the watchdog turns into a failure.
TEST(thread, wakes_after_the_input_pauses)
{
    std::string log = survey(6000000);
    converted alone = convert_bytes(log, false);
    ASSERT_GT(alone.text.size(), 4 * record_block);
    converted paused = convert_bytes(log, true, {1, 4, 20, 40});
    EXPECT_TRUE(paused.text == alone.text);
    EXPECT_EQ(paused.sentences, alone.sentences);
    EXPECT_FALSE(paused.failed);
}

// A hand-over that comes while the thread is between its last look at the
// queue and its sleep (held there by the seam, longer than the whole
// conversion takes) finds nobody to wake: the thread must see it as it goes
// to sleep, or the run never ends, which the watchdog turns into a failure.
TEST(thread, a_hand_over_just_before_the_thread_sleeps_is_not_lost)
{
    std::string log = survey(300000);
    converted alone = convert_bytes(log, false);
    delay_sleepers(400);
    // The input keeps the conversion waiting first, while the thread goes
    // to sleep; the rest comes and is converted within the thread's window.
    converted late = convert_bytes(log, true, {0});
    delay_sleepers(0);
    EXPECT_TRUE(late.text == alone.text);
    EXPECT_EQ(late.sentences, alone.sentences);
}

// Sentences refused for hostile values (a height of 1e300, a GSV slot too
// long) are found only when the thread formats them: the count the run
// reports is the same as without the thread, and that of the lines written.
TEST(thread, refused_sentences_count_the_same_with_and_without_it)
{
    std::string hostile;
    frames::bestpos tall;
    tall.height = 1e300;
    for (int i = 0; i < 3000; ++i) {
        hostile += frames::make(i % 3 ? frames::bestpos{} : tall);
        if (i % 5 == 0) {
            hostile += frames::make_satvis(
                {{-32768, 1e10, -1e10}, {2, 5, 6}, {3, 7, 8}, {4, 9, 10}, {5, 11, 12}});
            hostile += frames::make_trackstat({{-32768, 0, 1e30f}, {4, 0, 40}});
        }
    }
    std::string log = survey(400000) + hostile + survey(900000) + hostile;
    converted alone = convert_bytes(log, false);
    converted threaded = convert_bytes(log, true);
    EXPECT_TRUE(threaded.text == alone.text);
    EXPECT_EQ(threaded.sentences, alone.sentences);
    EXPECT_EQ(threaded.sentences, lines_in(threaded.text));
    EXPECT_EQ(alone.sentences, lines_in(alone.text));
    // 2000 GGA of 3000 fixes, 2 GSV of each group but the first sentence.
    EXPECT_EQ(alone.text.find("$GPGSV,2,1,5,"), std::string::npos);
    EXPECT_NE(alone.text.find("$GPGSV,2,2,5,05,11,012,*"), std::string::npos);
}

// The output fails midway through a conversion many blocks long (its reader
// goes away after 1 MB): the failure is reported, the conversion runs to
// the end of the input with its full count, and nothing overruns a buffer
// (which the sanitizer build would show), with the thread and without.
TEST(thread, a_write_that_fails_midway_through_a_long_output_is_reported)
{
    std::string log = survey(14000000);
    converted whole = convert_bytes(log, false);
    ASSERT_GT(whole.text.size(), 20 * out_block);
    for (bool threads : {false, true}) {
        session job;
        ASSERT_TRUE(setup(job));
        manual_utc(job, 18);
        pausing_source in{&log, {}, block_size};
        {
            draining_pipe out(1000000);
            within(60, "the conversion", [&] {
                convert_to_file(job, source{in.read, &in}, out.file(), threads);
            });
        }
        EXPECT_TRUE(job.text.failed) << threads;
        EXPECT_EQ(job.sentences, whole.sentences) << threads;
        EXPECT_EQ(in.at, log.size()) << threads;
    }
}

} // namespace
