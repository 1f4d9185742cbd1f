// Outputs written whole or not at all, and what the writer does with targets
// that are not plain files.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "foundation/whole_file.h"

namespace {

namespace fs = std::filesystem;

class WholeFile : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("korvo-whole-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static void put(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    static std::string get(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static bool writeWhole(const std::string& file, const std::string& bytes) {
        return writeFileWhole(qestl::widen(file.c_str()), reinterpret_cast<const uint8_t*>(bytes.data()),
                              bytes.size());
    }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }

    fs::path dir_;
};

TEST_F(WholeFile, AnOutputReplacesTheOldFileWhole) {
    put(path("out"), std::string(1000, 'x'));
    ASSERT_TRUE(writeWhole(path("out"), "short"));
    EXPECT_EQ(get(path("out")), "short");
    ASSERT_TRUE(writeWhole(path("empty"), ""));
    EXPECT_EQ(get(path("empty")), "");
    EXPECT_EQ(entries(), 2u) << "no temporary left";
}

TEST_F(WholeFile, AFailedOutputLeavesTheOldFileAndNoTemporary) {
    EXPECT_FALSE(writeWhole(path("missing/out"), "bytes"));
    put(path("out"), "old");
    fs::create_directory(path("sub"));
    EXPECT_FALSE(writeWhole(path("sub"), "bytes")) << "a directory is not replaced";
    EXPECT_TRUE(fs::is_directory(path("sub")));
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(writeWhole(path("out"), "new"));
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(get(path("out")), "old");
    }
    EXPECT_EQ(entries(), 2u);
}

TEST_F(WholeFile, AStreamedOutputAppearsOnlyOnCommit) {
    put(path("out"), "old");
    {
        WholeFileWriter file(qestl::widen(path("out").c_str()));
        std::string piece(100000, 'p');  // past the buffer, to reach the file
        for (int i = 0; i < 3; ++i) EXPECT_EQ(file.write(piece.data(), uint32_t(piece.size())), piece.size());
        EXPECT_EQ(get(path("out")), "old");
        EXPECT_EQ(entries(), 1u) << "the output being written has no name yet";
    }
    EXPECT_EQ(get(path("out")), "old") << "abandoned without commit";
    EXPECT_EQ(entries(), 1u);

    // Small writes wait in the buffer, large ones go straight to the file:
    // the bytes keep their order all the same.
    WholeFileWriter file(qestl::widen(path("out").c_str()));
    for (char c : std::string("streamed")) file.write(&c, 1);
    const std::string large(20000, 'L');
    file.write(large.data(), uint32_t(large.size()));
    file.write("tail", 4);
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(get(path("out")), "streamed" + large + "tail");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(WholeFile, ReplacingKeepsTheTargetsModeAndANewFileGetsTheUmasks) {
    put(path("old"), "x");
    ::chmod(path("old").c_str(), 0640);
    ASSERT_TRUE(writeWhole(path("old"), "new"));
    struct stat info;
    ASSERT_EQ(::stat(path("old").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writeWhole(path("fresh"), "new"));
    ::umask(mask);
    ASSERT_EQ(::stat(path("fresh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST_F(WholeFile, AFifoOrFolderIsRefusedAtOnceAndStaysAsItWas) {
    // No reader: opening it for writing would wait for ever.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(writeWhole(path("pipe"), "through"));
    EXPECT_TRUE(fs::is_fifo(path("pipe")));
    fs::create_directory(path("folder"));
    EXPECT_FALSE(writeWhole(path("folder"), "into"));
    EXPECT_EQ(entries(), 2u) << "no temporary left";
}

TEST_F(WholeFile, WritesAtPositionsLandBehindTheStreamedBytes) {
    WholeFileWriter file(qestl::widen(path("out").c_str()));
    ASSERT_TRUE(file.writesAtPositions());
    file.expectSize(1 << 20);  // more than is written: the file keeps its own size
    file.write("head", 4);
    file.flush();
    // From two threads at once, past the end and out of order.
    std::thread later([&file] { EXPECT_TRUE(file.writeAt(7, "tail", 4)); });
    EXPECT_TRUE(file.writeAt(4, "mid", 3));
    later.join();
    EXPECT_EQ(file.tell(), 4u) << "positioned bytes do not move the stream";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(get(path("out")), "headmidtail");
}

TEST_F(WholeFile, AFailedWriteAtAPositionFailsTheCommitAndKeepsTheOldFile) {
    put(path("out"), "old");
    // A file size limit makes the write past it fail (EFBIG, its signal ignored).
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        WholeFileWriter file(qestl::widen(path("out").c_str()));
        ASSERT_TRUE(file.writesAtPositions());
        file.write("head", 4);
        EXPECT_TRUE(file.writeAt(1 << 20, "far", 3)) << "kept for the commit, like a failed write";
        EXPECT_FALSE(file.commit());
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(get(path("out")), "old");
    EXPECT_EQ(entries(), 1u) << "no temporary left";
}

TEST_F(WholeFile, APlantedSymlinkIsNeverFollowed) {
    // Whatever the temporary is called, no link in the directory is written
    // through: plant links under every name a careless writer might pick.
    put(path("victim"), "safe");
    for (const char* name : {"out.korvo-part", "out.tmp", ".out.tmp"})
        fs::create_symlink(path("victim"), path(name));
    ASSERT_TRUE(writeWhole(path("out"), "built"));
    EXPECT_EQ(get(path("victim")), "safe");
    EXPECT_EQ(get(path("out")), "built");
}

TEST_F(WholeFile, ATargetNamedAtTheLengthLimitIsWritten) {
    for (size_t length : {250u, 255u}) {
        const std::string name(length, 'n');
        ASSERT_TRUE(writeWhole(path(name), "long")) << length;
        EXPECT_EQ(get(path(name)), "long");
    }
}

TEST_F(WholeFile, ASignalWhileWritingRemovesTheTemporary) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGALRM, SIGXCPU, SIGRTMIN}) {
        EXPECT_EXIT(
            {
                WholeFileWriter file(qestl::widen(path("out").c_str()));
                file.write("partial", 7);
                std::raise(signal);
            },
            testing::KilledBySignal(signal), "");
        EXPECT_EQ(entries(), 0u) << signal;
    }
}

TEST_F(WholeFile, OnlyRegularFilesAreReadWhole) {
    qestl::ByteVector bytes;
    put(path("plain"), "text");
    ASSERT_TRUE(readWholeFile(qestl::widen(path("plain").c_str()), bytes));
    EXPECT_EQ(bytes.size(), 4u);
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(readWholeFile(qestl::widen(path("pipe").c_str()), bytes)) << "no writer: would block for ever";
    EXPECT_FALSE(readWholeFile(qestl::widen(dir_.string().c_str()), bytes));
}

TEST_F(WholeFile, AFileIsReadToItsEndOrNotAtAll) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text.push_back(char('a' + i % 26));
    put(path("long"), text);
    const qestl::qestringW name = qestl::widen(path("long").c_str());
    qestl::ByteVector bytes;
    ASSERT_EQ(readFileWhole(name, bytes, kNoSizeLimit, 7), WholeRead::Read);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text);
    EXPECT_EQ(readFileWhole(name, bytes, 1000, 7), WholeRead::Read);
    EXPECT_EQ(readFileWhole(name, bytes, 999, 7), WholeRead::TooLarge);
    EXPECT_TRUE(bytes.empty()) << "no part of a file";
    // A file whose size says nothing of its content is read all the same.
    ASSERT_EQ(readFileWhole(u"/proc/self/status", bytes, kNoSizeLimit, 7), WholeRead::Read);
    EXPECT_GT(bytes.size(), 100u);
    EXPECT_EQ(readFileWhole(qestl::widen(path("missing").c_str()), bytes), WholeRead::Unopened);
}

// A compile killed outright leaves no temporary: none is ever named where
// the file system has files without names, and the next output into the
// folder removes one whose maker is gone.
TEST_F(WholeFile, NoTemporaryOutlivesAKilledWriter) {
    const pid_t killed = ::fork();
    if (killed == 0) {
        WholeFileWriter writer(qestl::widen(path("out").c_str()));
        writer.write("partial", 7);
        writer.flush();
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(killed, &status, 0), killed);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string dead = ".korvo-tmp-" + std::to_string(killed) + "-";
    put(path(dead + "abcdefgh"), "left by a killed compile");
    put(path(".korvo-tmp-" + std::to_string(::getppid()) + "-abcdefgh"), "its maker still runs");
    put(path(dead + "other"), "not a name korvo gives");
    ASSERT_TRUE(writeWhole(path("out"), "whole"));
    EXPECT_EQ(get(path("out")), "whole");
    EXPECT_FALSE(fs::exists(path(dead + "abcdefgh")));
    EXPECT_EQ(entries(), 3u);
}

}  // namespace
