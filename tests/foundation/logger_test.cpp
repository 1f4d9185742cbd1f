#include "foundation/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class RecordingSink final : public qestl::qelogcat_stream {
public:
    int write(uint32_t flags, const char* text, uint32_t length) override {
        flags_.push_back(flags);
        texts_.emplace_back(text, length);
        return 0;
    }
    std::vector<uint32_t> flags_;
    std::vector<std::string> texts_;
};

class CountingSink final : public qestl::qelogcat_stream {
public:
    int write(uint32_t, const char*, uint32_t) override {
        calls_.fetch_add(1);
        return 0;
    }
    std::atomic<int> calls_{0};
};

class Logger : public ::testing::Test {
protected:
    void SetUp() override { logcatSetUp(); }
    void TearDown() override { logcatSetUp(); }
};

std::string consoleLines(const std::string& text) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&data, &size);
    writeLogcatLines(stream, text.data(), static_cast<uint32_t>(text.size()));
    std::fclose(stream);
    std::string result(data, size);
    std::free(data);
    return result;
}

TEST_F(Logger, MaskNeedsABitInEachHalf) {
    RecordingSink sink;
    logcatAddSink(&sink);
    logcat(0x10010, "error %d", 1);
    logcat(0x10000, "upper half only");
    logcat(0x00010, "lower half only");
    logcat(0x10008, "warning");
    theLogcat().mask = 0xFFFF0008;
    logcat(0x10010, "masked out");
    logcat(0x10018, "warning bit kept");
    ASSERT_EQ(sink.texts_.size(), 3u);
    EXPECT_EQ(sink.texts_[0], "error 1");
    EXPECT_EQ(sink.texts_[1], "warning");
    EXPECT_EQ(sink.texts_[2], "warning bit kept");
    EXPECT_EQ(sink.flags_[2], 0x10018u);  // the caller's flags, not the masked ones
}

TEST_F(Logger, NothingIsFormattedWithoutASink) {
    int written = -1;
    logcat(0x10010, "abc%n", &written);
    EXPECT_EQ(written, -1);
    RecordingSink sink;
    logcatAddSink(&sink);
    logcat(0x10010, "abc%n", &written);
    EXPECT_EQ(written, 3);
}

TEST_F(Logger, SinkTableHoldsEightDistinctSinks) {
    RecordingSink sinks[9];
    logcatAddSink(&sinks[0]);
    logcatAddSink(&sinks[0]);
    EXPECT_EQ(theLogcat().sinkCount, 1u);
    for (auto& sink : sinks) logcatAddSink(&sink);
    EXPECT_EQ(theLogcat().sinkCount, 8u);
    logcat(0x10010, "to all");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sinks[i].texts_.size(), 1u) << i;
    EXPECT_TRUE(sinks[8].texts_.empty());
    EXPECT_EQ(theLogcat().lock->readers.load(), 0u);
}

TEST_F(Logger, LongMessagesArriveWhole) {
    RecordingSink sink;
    logcatAddSink(&sink);
    for (size_t size : {4095u, 4096u, 5000u, 8192u, 20000u, 70000u}) {
        std::string body(size - 2, 'x');
        body[size / 2] = 'y';
        logcat(0x10010, "<%s>", body.c_str());
        ASSERT_EQ(sink.texts_.back().size(), size);
        EXPECT_EQ(sink.texts_.back(), "<" + body + ">");
    }
}

TEST(LogcatConsole, ContinuationLinesAreIndented) {
    EXPECT_EQ(consoleLines("a\nb"), "a\n b\n");
    EXPECT_EQ(consoleLines(""), "\n");
    EXPECT_EQ(consoleLines("ends\n"), "ends\n \n");
    EXPECT_EQ(consoleLines("a\n\nb"), "a\n \n b\n");
    EXPECT_EQ(consoleLines(std::string("nul\0byte", 8)), std::string("nul\0byte\n", 9));
}

TEST_F(Logger, ConsoleSinkWritesToStandardOutput) {
    qeCompilerLogcat console;
    logcatAddSink(&console);
    std::string longLine(6000, 'z');
    ::testing::internal::CaptureStdout();
    logcat(0x10010, "%s\n%d", "first", 2);
    logcat(0x10010, "%s", "");
    logcat(0x10010, "%s", longLine.c_str());
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "first\n 2\n\n" + longLine + "\n");
}

TEST_F(Logger, SinksAddedWhileOthersLog) {
    CountingSink first;
    logcatAddSink(&first);
    std::vector<CountingSink> late(7);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([] {
            for (int i = 0; i < 500; ++i) logcat(0x10010, "message %d", i);
        });
    for (auto& sink : late) logcatAddSink(&sink);
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(first.calls_.load(), 2000);
    EXPECT_EQ(theLogcat().sinkCount, 8u);
    EXPECT_EQ(theLogcat().lock->readers.load(), 0u);
    EXPECT_FALSE(theLogcat().lock->guard.isHeld());
}

}  // namespace
