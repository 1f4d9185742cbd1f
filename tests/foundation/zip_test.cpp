#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <zlib.h>

#include "foundation/zip_archive.h"
#include "foundation/zip_member.h"

using qestl::qeByteStream;

namespace {

// A small archive writer for building awkward layouts; the layouts of real
// tools are checked against Python's zipfile and Info-ZIP in the scripts.
struct Member {
    std::string name;
    std::string data;
    uint16_t method = 0;
    uint32_t externalAttributes = 0;
};

void put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value));
    out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::string rawDeflate(const std::string& data) {
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// `badOffset`, when set, replaces the directory offset in the end record.
std::string buildZip(const std::vector<Member>& members, const std::string& comment = "", uint32_t badOffset = 0) {
    std::string out, directory;
    for (const Member& m : members) {
        std::string stored = m.method == 8 ? rawDeflate(m.data) : m.data;
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(m.data.data()),
                                                   static_cast<uInt>(m.data.size())));
        uint32_t offset = static_cast<uint32_t>(out.size());
        std::string common;
        put16(common, 20);
        put16(common, 0);
        put16(common, m.method);
        put16(common, 0);
        put16(common, 0x21);
        put32(common, crc);
        put32(common, static_cast<uint32_t>(stored.size()));
        put32(common, static_cast<uint32_t>(m.data.size()));
        put16(common, static_cast<uint32_t>(m.name.size()));
        put16(common, 0);
        put32(out, kZipLocalHeader);
        out += common + m.name + stored;
        put32(directory, kZipCentralHeader);
        put16(directory, 20);
        directory += common;
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, m.externalAttributes);
        put32(directory, offset);
        directory += m.name;
    }
    uint32_t directoryAt = static_cast<uint32_t>(out.size());
    out += directory;
    put32(out, kZipEndRecord);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<uint32_t>(members.size()));
    put16(out, static_cast<uint32_t>(members.size()));
    put32(out, static_cast<uint32_t>(directory.size()));
    put32(out, badOffset != 0 ? badOffset : directoryAt);
    put16(out, static_cast<uint32_t>(comment.size()));
    return out + comment;
}

// Opens `bytes` and reads member `name` whole; false when any step fails.
struct Opened {
    std::string bytes;
    qeByteStream stream;
    ZipArchive archive;
    bool ok;
    explicit Opened(std::string archiveBytes)
        : bytes(std::move(archiveBytes)), stream(bytes.data(), bytes.size()), ok(archive.open(&stream)) {}

    bool read(const char* name, std::string* out, uint32_t piece = 1000) {
        const ZipRecord* entry = archive.find(name);
        if (entry == nullptr) return false;
        ZipMemberReader reader;
        if (!reader.begin(&stream, archive.archiveSize(), *entry)) return false;
        std::vector<char> buffer(piece);
        out->clear();
        for (;;) {
            int64_t got = reader.read(buffer.data(), piece);
            if (got < 0) return false;
            if (got == 0) return true;
            out->append(buffer.data(), static_cast<size_t>(got));
        }
    }
};

std::string text(size_t size) {
    std::string data;
    for (size_t i = 0; data.size() < size; ++i) data += "member line " + std::to_string(i * 7919 % 1000) + "\n";
    data.resize(size);
    return data;
}

}  // namespace

TEST(Zip, ReadsStoredAndDeflatedMembers) {
    std::string big = text(100000);  // several input refills
    Opened zip(buildZip({{"major.lik", "stored bytes", 0}, {"major.kl", big, 8}, {"empty", "", 8}}));
    ASSERT_TRUE(zip.ok);
    ASSERT_EQ(zip.archive.entries().size(), 3u);
    EXPECT_EQ(zip.archive.entries()[1]->name, std::string_view("major.kl"));
    std::string out;
    ASSERT_TRUE(zip.read("major.lik", &out, 5));
    EXPECT_EQ(out, "stored bytes");
    ASSERT_TRUE(zip.read("major.kl", &out, 777));
    EXPECT_EQ(out, big);
    ASSERT_TRUE(zip.read("empty", &out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(zip.archive.find("MAJOR.LIK"), nullptr);
    EXPECT_EQ(zip.archive.find("major"), nullptr);
}

TEST(Zip, ALaterEntryOfTheSameNameWinsTheMap) {
    Opened zip(buildZip({{"a", "first", 0}, {"a", "second", 0}}));
    ASSERT_TRUE(zip.ok);
    EXPECT_EQ(zip.archive.entries().size(), 2u);
    std::string out;
    ASSERT_TRUE(zip.read("a", &out));
    EXPECT_EQ(out, "second");
}

TEST(Zip, EmptyArchiveAndComments) {
    Opened empty(buildZip({}));
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(empty.archive.entries().empty());

    Opened commented(buildZip({{"x", "data", 0}}, "a note"));
    ASSERT_TRUE(commented.ok);
    EXPECT_EQ(commented.archive.endRecord().comment, std::string_view("a note"));
}

TEST(Zip, EndSignatureInsideDataOrCommentDoesNotMislead) {
    // A lookalike end record whose directory offset leads nowhere.
    std::string fake = "PK\x05\x06" + std::string(12, '\0') + "\xff\xff\xff\x7f" + std::string(2, '\0');
    // In stored member data, in the same window as the real end record.
    Opened inData(buildZip({{"fake", "before " + fake + " after", 0}, {"real", "yes", 0}}));
    ASSERT_TRUE(inData.ok);
    std::string out;
    ASSERT_TRUE(inData.read("real", &out));
    EXPECT_EQ(out, "yes");
    // In the archive comment, after the real end record.
    Opened inComment(buildZip({{"real", "yes", 0}}, "x" + fake + "y"));
    ASSERT_TRUE(inComment.ok);
    ASSERT_TRUE(inComment.read("real", &out));
    EXPECT_EQ(out, "yes");
}

TEST(Zip, EndRecordFarFromTheEndIsFound) {
    // A 40000-byte comment puts the end record several windows back, and a
    // stored member makes the archive larger than one window.
    std::string bytes = buildZip({{"m", text(30000), 0}}, std::string(40000, 'c'));
    Opened zip(bytes);
    ASSERT_TRUE(zip.ok);
    std::string out;
    ASSERT_TRUE(zip.read("m", &out, 4096));
    EXPECT_EQ(out, text(30000));
    // Prepended bytes shift every offset: not an archive we can read.
    Opened shifted(std::string(100, 'j') + bytes);
    std::string ignored;
    EXPECT_FALSE(shifted.ok && shifted.read("m", &ignored));
}

TEST(Zip, ReaderResultCodes) {
    std::string bytes = buildZip({{"odd", "abcdef", 12}, {"plain", "abcdef", 0}});
    Opened zip(bytes);
    ASSERT_TRUE(zip.ok);
    ZipMemberReader reader;
    char buffer[16];
    EXPECT_EQ(reader.read(buffer, 16), kZipNotOpen);
    ASSERT_TRUE(reader.begin(&zip.stream, zip.archive.archiveSize(), *zip.archive.find("odd")));
    EXPECT_EQ(reader.read(buffer, 16), kZipUnsupportedMethod);
    ASSERT_TRUE(reader.begin(&zip.stream, zip.archive.archiveSize(), *zip.archive.find("plain")));
    EXPECT_EQ(reader.read(buffer, 4), 4);
    EXPECT_EQ(reader.read(buffer, 16), 2);
    EXPECT_EQ(reader.read(buffer, 16), 0);
    reader.end();
    EXPECT_EQ(reader.read(buffer, 16), kZipNotOpen);
}

TEST(Zip, ZipStreamDeliversTheMember) {
    std::string data = text(5000);
    Opened zip(buildZip({{"major.lik", data, 8}}));
    ASSERT_TRUE(zip.ok);
    ZipMemberReader reader;
    ASSERT_TRUE(reader.begin(&zip.stream, zip.archive.archiveSize(), *zip.archive.find("major.lik")));
    ZipStream stream(&reader);
    EXPECT_EQ(stream.size(), 5000u);
    qeByteStream copy(&stream);
    copy.open();
    ASSERT_EQ(copy.size(), 5000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.data()), 5000), data);
    EXPECT_EQ(stream.lastError(), kZipOk);
}

TEST(Zip, DirectoryValuesPointingOutsideTheArchiveAreRefused) {
    std::string good = buildZip({{"m", "content", 0}});
    EXPECT_FALSE(Opened(buildZip({{"m", "content", 0}}, "", 0x7fffffff)).ok);

    // Local header offset beyond the end, and a size reaching past it.
    std::string farHeader = good, bigSize = good;
    size_t central = good.find("PK\x01\x02");
    farHeader.replace(central + 42, 4, "\xff\xff\xff\x0f", 4);
    bigSize.replace(central + 20, 4, "\x00\x00\x01\x00", 4);
    for (const std::string& bytes : {farHeader, bigSize}) {
        Opened zip(bytes);
        ASSERT_TRUE(zip.ok);
        ZipMemberReader reader;
        EXPECT_FALSE(reader.begin(&zip.stream, zip.archive.archiveSize(), *zip.archive.find("m")));
    }
}

TEST(Zip, DeflateDataCutShortIsAnErrorNotAShortMember) {
    std::string data = text(20000);
    std::string bytes = buildZip({{"m", data, 8}});
    // Claim fewer compressed bytes than the stream has: the inflater runs dry.
    size_t central = bytes.find("PK\x01\x02");
    uint32_t size = static_cast<uint8_t>(bytes[central + 20]) | (static_cast<uint8_t>(bytes[central + 21]) << 8);
    std::string shorter = bytes;
    shorter[central + 20] = static_cast<char>((size / 2) & 0xff);
    shorter[central + 21] = static_cast<char>((size / 2) >> 8);
    Opened zip(shorter);
    ASSERT_TRUE(zip.ok);
    std::string out;
    EXPECT_FALSE(zip.read("m", &out));
}

TEST(Zip, EveryTruncationAndEveryCorruptByteIsHandled) {
    std::string bytes = buildZip({{"a.txt", text(300), 8}, {"b.txt", "stored", 0}}, "c");
    std::string out;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        Opened zip(bytes.substr(0, cut));
        // Only the comment may be cut and still leave a readable archive.
        if (zip.ok) {
            EXPECT_GE(cut, bytes.size() - 1) << cut;
        }
    }
    for (size_t at = 0; at < bytes.size(); ++at) {
        for (int flip : {0x01, 0x80, 0xff}) {
            std::string bad = bytes;
            bad[at] = static_cast<char>(bad[at] ^ flip);
            Opened zip(bad);
            if (!zip.ok) continue;
            for (const ZipRecord* entry : zip.archive.entries()) {
                std::string name(entry->name.c_str(), entry->name.length());
                if (zip.read(name.c_str(), &out)) {
                    EXPECT_LE(out.size(), 70000u);
                }
            }
        }
    }
}
