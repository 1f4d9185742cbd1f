#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/file.h"
#include "platform/locks.h"
#include "platform/stack_thread.h"
#include "platform/system.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("korvo-platform-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const char* name) const { return (path_ / name).string(); }
    std::string dir() const { return path_.string(); }

private:
    fs::path path_;
};

std::string readWhole(FileHandle file) {
    std::string text(64, '\0');
    uint32_t done = 0;
    EXPECT_TRUE(fileRead(file, text.data(), 64, &done));
    text.resize(done);
    return text;
}

}  // namespace

TEST(PlatformFile, CreateWriteSeekAndReadBack) {
    TempDir temp;
    FileHandle file = fileCreate(temp.file("a.bin").c_str(), false);
    ASSERT_NE(file, nullptr);
    uint32_t done = 0;
    EXPECT_TRUE(fileWrite(file, "hello world", 11, &done));
    EXPECT_EQ(done, 11u);
    uint64_t size = 0, position = 0;
    EXPECT_TRUE(fileSize(file, &size));
    EXPECT_EQ(size, 11u);
    EXPECT_TRUE(fileSeek(file, -5, SeekOrigin::End, &position));
    EXPECT_EQ(position, 6u);
    EXPECT_EQ(readWhole(file), "world");
    EXPECT_TRUE(fileSeek(file, 0, SeekOrigin::Current, &position));
    EXPECT_EQ(position, 11u);
    EXPECT_TRUE(fileClose(file));

    // Creating again truncates.
    file = fileCreate(temp.file("a.bin").c_str(), false);
    ASSERT_TRUE(fileSize(file, &size));
    EXPECT_EQ(size, 0u);
    fileClose(file);
}

TEST(PlatformFile, AppendWritesAtTheEndWhateverThePosition) {
    TempDir temp;
    std::string path = temp.file("log.txt");
    FileHandle file = fileCreate(path.c_str(), true);
    uint32_t done = 0;
    fileWrite(file, "one", 3, &done);
    fileClose(file);
    file = fileCreate(path.c_str(), true);
    uint64_t position = 0;
    fileSeek(file, 0, SeekOrigin::Begin, &position);
    fileWrite(file, "two", 3, &done);
    fileClose(file);
    file = fileOpenRead(path.c_str());
    EXPECT_EQ(readWhole(file), "onetwo");
    // A read-only handle refuses writes.
    EXPECT_FALSE(fileWrite(file, "x", 1, &done));
    EXPECT_EQ(done, 0u);
    fileClose(file);
}

TEST(PlatformFile, DirectoriesAndMissingFilesDoNotOpen) {
    TempDir temp;
    EXPECT_EQ(fileOpenRead(temp.dir().c_str()), nullptr);
    EXPECT_EQ(fileOpenRead(temp.file("missing").c_str()), nullptr);
    EXPECT_EQ(fileCreate(temp.file("no/such/dir/x").c_str(), false), nullptr);
    EXPECT_EQ(fileCreate(temp.dir().c_str(), false), nullptr);
    EXPECT_FALSE(fileClose(nullptr));
    uint32_t done = 7;
    EXPECT_FALSE(fileRead(nullptr, nullptr, 1, &done));
    EXPECT_EQ(done, 0u);
}

TEST(PlatformSystem, ExistenceTests) {
    TempDir temp;
    std::string path = temp.file("here");
    fileClose(fileCreate(path.c_str(), false));
    EXPECT_TRUE(pathExists(path.c_str()));
    EXPECT_FALSE(directoryExists(path.c_str()));
    EXPECT_TRUE(pathExists(temp.dir().c_str()));
    EXPECT_TRUE(directoryExists(temp.dir().c_str()));
    EXPECT_FALSE(pathExists(temp.file("gone").c_str()));
    EXPECT_FALSE(pathExists(nullptr));
}

TEST(PlatformSystem, ModulePathAndCurrentDirectory) {
    std::string self = modulePath();
    EXPECT_EQ(fs::path(self).filename(), "test_platform");
    EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
    EXPECT_EQ(currentDirectory(), fs::current_path().string());
    EXPECT_STREQ(osName(), "Linux");
}

TEST(PlatformSystem, LocalTimeAgreesWithTheCLibrary) {
    // time() reads a coarse clock that can lag the precise one localTime()
    // uses; bracket the call with the same clock so a second boundary shows.
    auto seconds = [] {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<std::time_t>(now.tv_sec);
    };
    std::time_t before = seconds();
    LocalTime now = localTime();
    std::time_t after = seconds();
    struct tm fields;
    localtime_r(&before, &fields);
    if (before == after) {
        EXPECT_EQ(now.year, fields.tm_year + 1900);
        EXPECT_EQ(now.month, fields.tm_mon + 1);
        EXPECT_EQ(now.day, fields.tm_mday);
        EXPECT_EQ(now.dayOfWeek, fields.tm_wday);
        EXPECT_EQ(now.hour, fields.tm_hour);
        EXPECT_EQ(now.minute, fields.tm_min);
        EXPECT_EQ(now.second, fields.tm_sec);
    }
    EXPECT_LT(now.milliseconds, 1000);
}

TEST(PlatformLocks, SpinLockExcludes) {
    SpinLock lock;
    EXPECT_TRUE(lock.tryAcquire());
    EXPECT_FALSE(lock.tryAcquire());
    EXPECT_TRUE(lock.isHeld());
    lock.release();
    EXPECT_FALSE(lock.isHeld());

    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                lock.acquire();
                ++counter;
                lock.release();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
}

TEST(PlatformLocks, SlimLockExclusiveHoldsOutReaders) {
    SlimRwLock lock;
    long counter = 0;
    std::atomic<bool> sawTorn{false};
    long a = 0, b = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                lock.acquireExclusive();
                ++a;
                ++counter;
                ++b;
                lock.releaseExclusive();
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 20000; ++i) {
            lock.acquireShared();
            if (a != b) sawTorn = true;
            lock.releaseShared();
        }
    });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_FALSE(sawTorn);
}

TEST(PlatformStackThread, WorkRunsOnALargeStackOnceAndNestedCallsStayOnIt) {
    // Frames far from the caller's are on another stack; a nested call that
    // made a stack of its own would be as far from its caller.
    auto apart = [](const void* a, const void* b) {
        const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
        return (x > y ? x - y : y - x) > (size_t{1} << 20);
    };
    int here = 0;
    const int* outer = nullptr;
    const int* inner = nullptr;
    auto nested = [&] {
        int frame = 0;
        inner = &frame;
    };
    auto work = [&] {
        int frame = 0;
        outer = &frame;
        runOnLargeStack(kCompileStackBytes, nested);
    };
    runOnLargeStack(kCompileStackBytes, work);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(apart(&here, outer));
    EXPECT_FALSE(apart(outer, inner));
}

// A recursion that asks before each level stops short of its stack's end,
// however small the stack it was given.
static int descendWhileRoomLeft(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (!stackRoomLeft(size_t{64} << 10)) return depth;
    // The frame is read after the call, so it stays alive: read beside the
    // call, an optimiser made the recursion a loop that never descends.
    const int below = descendWhileRoomLeft(depth + 1);
    return below + (frame[0] & 0);
}

TEST(PlatformStackThread, RoomIsMeasuredOnTheStackTheThreadHas) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, size_t{1} << 20), 0);
    int depth = 0;
    pthread_t thread;
    auto run = [](void* result) -> void* {
        *static_cast<int*>(result) = descendWhileRoomLeft(0);
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &depth), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_GT(depth, 50);
    EXPECT_LT(depth, 1024);
}
