#include "platform/core/Stream.h"
#include "platform/core/Files.h"
#include "platform/core/LargeBytes.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace core;

namespace {

std::string readAll(InputStream& stream, std::size_t piece = 3) {
    std::string out;
    std::vector<std::uint8_t> buffer(piece);
    while (stream.hasBytesAvailable()) {
        auto n = stream.read(buffer.data(), buffer.size());
        if (n <= 0) break;
        out.append(buffer.begin(), buffer.begin() + n);
    }
    return out;
}

struct StreamCase {
    const char* name;
    std::shared_ptr<InputStream> stream;
    std::string expected;
};

// A file holding "hello, world".
std::string writeBody(const testkit::TempHome& home) {
    const std::string path = home.path() + "/body.txt";
    EXPECT_TRUE(files::writeAtomically(path, std::string_view("hello, world")));
    return path;
}

} // namespace

TEST(StreamTest, BytesAndFilesReadInPiecesToTheirEnd) {
    testkit::TempHome home;
    const std::string path = writeBody(home);
    std::vector<StreamCase> cases = {
        {"bytes", InputStream::withBytes(Bytes{'a', 'b', 'c', 'd', 'e'}), "abcde"},
        {"empty bytes", InputStream::withBytes({}), ""},
        {"file", InputStream::withFile(path), "hello, world"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.stream->streamStatus(), StreamStatus::notOpen);
        c.stream->open();
        EXPECT_EQ(c.stream->knownLength(), c.expected.size());
        EXPECT_EQ(readAll(*c.stream), c.expected);
        EXPECT_FALSE(c.stream->hasBytesAvailable());
        std::uint8_t byte;
        EXPECT_EQ(c.stream->read(&byte, 1), 0);
        EXPECT_EQ(c.stream->streamStatus(), StreamStatus::atEnd);
        // Rewinding reads it all again (a body that must go twice).
        ASSERT_TRUE(c.stream->seek(0));
        EXPECT_EQ(readAll(*c.stream, 1024), c.expected);
        c.stream->close();
        EXPECT_EQ(c.stream->streamStatus(), StreamStatus::closed);
        EXPECT_FALSE(c.stream->streamError());
    }
}

TEST(StreamTest, AFileThatCannotBeOpenedFailsAtOpen) {
    testkit::TempHome home;
    for (const std::string& path : {home.path() + "/missing", home.path()}) {
        auto stream = InputStream::withFile(path);
        stream->open();
        EXPECT_EQ(stream->streamStatus(), StreamStatus::error) << path;
        ASSERT_TRUE(stream->streamError()) << path;
        EXPECT_EQ(stream->streamError()->domain, kStreamErrorDomain);
        EXPECT_FALSE(stream->hasBytesAvailable());
        std::uint8_t byte;
        EXPECT_EQ(stream->read(&byte, 1), -1);
    }
}

TEST(StreamTest, NewFileStreamsNeverWriteThroughWhatIsAlreadyThere) {
    testkit::TempHome home;
    const std::string existing = home.path() + "/existing";
    const std::string target = home.path() + "/target";
    const std::string link = home.path() + "/link";
    const std::string dangling = home.path() + "/dangling";
    ASSERT_TRUE(files::writeAtomically(existing, std::string_view("keep")));
    ASSERT_TRUE(files::writeAtomically(target, std::string_view("keep")));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink((home.path() + "/nowhere").c_str(), dangling.c_str()), 0);
    for (const auto& path : {existing, link, dangling}) {
        auto out = OutputStream::toNewFile(path);
        out->open();
        EXPECT_EQ(out->streamStatus(), StreamStatus::error) << path;
        ASSERT_TRUE(out->streamError());
        EXPECT_EQ(out->streamError()->code, EEXIST) << path;
        EXPECT_FALSE(out->hasSpaceAvailable());
    }
    EXPECT_EQ(*files::read(target), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(files::exists(home.path() + "/nowhere"));

    const std::string fresh = home.path() + "/fresh";
    auto out = OutputStream::toNewFile(fresh);
    out->open();
    ASSERT_TRUE(out->hasSpaceAvailable());
    const std::uint8_t bytes[] = {'o', 'k'};
    EXPECT_EQ(out->write(bytes, 2), 2);
    out->close();
    EXPECT_EQ(*files::read(fresh), (Bytes{'o', 'k'}));
    struct stat info{};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(StreamTest, ReadingOntoBytesAppendsWhatAReadGivesAndNothingOnAFailure) {
    testkit::TempHome home;
    const std::string path = writeBody(home);
    auto producer = ProducerStream::create();
    producer->write(std::string_view("made"));
    producer->finish();
    std::vector<StreamCase> cases = {
        {"bytes", InputStream::withBytes(Bytes{'a', 'b', 'c', 'd', 'e'}), "abcde"},
        {"file", InputStream::withFile(path), "hello, world"},
        {"producer", producer, "made"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.stream->open();
        Bytes into{'>'};
        // Pieces of at most the length asked, onto what `into` held.
        EXPECT_EQ(c.stream->readAppending(into, 3), 3);
        while (c.stream->hasBytesAvailable()) {
            const auto n = c.stream->readAppending(into, 1 << 20);
            ASSERT_GE(n, 0);
            if (n == 0) break;
        }
        EXPECT_EQ(std::string(into.begin(), into.end()), ">" + c.expected);
        EXPECT_EQ(c.stream->readAppending(into, 8), 0);
        EXPECT_EQ(into.size(), c.expected.size() + 1);
    }
    // Bytes nothing has read yet can be handed over whole, once; other streams keep theirs.
    auto unread = InputStream::withBytes(Bytes{'w', 'h', 'o', 'l', 'e'});
    EXPECT_EQ(unread->takeBytes(), (Bytes{'w', 'h', 'o', 'l', 'e'}));
    EXPECT_EQ(unread->streamStatus(), StreamStatus::closed);
    EXPECT_FALSE(unread->takeBytes());
    auto begun = InputStream::withBytes(Bytes{'a', 'b'});
    begun->open();
    std::uint8_t byte;
    ASSERT_EQ(begun->read(&byte, 1), 1);
    EXPECT_FALSE(begun->takeBytes());
    EXPECT_EQ(readAll(*begun), "b");
    auto file = InputStream::withFile(path);
    EXPECT_FALSE(file->takeBytes());
    file->open();
    EXPECT_EQ(readAll(*file), "hello, world");

    // A stream that cannot be read leaves the bytes as they were.
    auto gone = InputStream::withFile(home.path() + "/missing");
    gone->open();
    auto failing = ProducerStream::create();
    failing->open();
    failing->fail(Error{"test", 5, "broken", {}});
    for (InputStream* stream : {gone.get(), static_cast<InputStream*>(failing.get())}) {
        Bytes into{'x'};
        EXPECT_EQ(stream->readAppending(into, 16), -1);
        EXPECT_EQ(into, Bytes{'x'});
    }
}

TEST(StreamTest, LargeRoomKeepsTheBytesAndHoldsAtLeastWhatWasAsked) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1000}, std::size_t{(1 << 20) - 1}, std::size_t{3 << 20},
                             std::size_t{4 << 20}}) {
        SCOPED_TRACE(size);
        Bytes bytes{'k', 'e', 'p', 't'};
        reserveLarge(bytes, size);
        EXPECT_GE(bytes.capacity(), size);
        EXPECT_EQ(bytes, (Bytes{'k', 'e', 'p', 't'}));
        Bytes source(size);
        for (std::size_t i = 0; i < size; ++i) source[i] = static_cast<std::uint8_t>(i * 7);
        const Bytes copy = copyLarge(source);
        EXPECT_EQ(copy, source);
        EXPECT_GE(copy.capacity(), size);
        // At most 2 MiB of room beyond what was asked.
        EXPECT_LE(copy.capacity(), std::max<std::size_t>(size, 1) + (2 << 20));
    }
}

TEST(StreamTest, AProducerSaysWhenItHasBytesItsEndOrItsError) {
    auto stream = ProducerStream::create();
    std::atomic<int> signals{0};
    stream->setReadinessHandler([&] { ++signals; });
    stream->open();
    std::uint8_t buffer[8];
    // Nothing yet is not the end.
    EXPECT_FALSE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
    EXPECT_EQ(stream->streamStatus(), StreamStatus::open);
    EXPECT_FALSE(stream->knownLength());

    stream->write(std::string_view("abc"));
    EXPECT_EQ(signals, 1);
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(buffer, 2), 2);
    EXPECT_EQ(stream->read(buffer, 8), 1);
    EXPECT_EQ(buffer[0], 'c');
    stream->finish();
    EXPECT_EQ(signals, 2);
    EXPECT_EQ(stream->streamStatus(), StreamStatus::atEnd);

    auto failing = ProducerStream::create();
    failing->open();
    failing->write(std::string_view("x"));
    failing->fail(Error{"test", 5, "broken", {}});
    EXPECT_EQ(failing->streamStatus(), StreamStatus::error);
    EXPECT_EQ(failing->read(buffer, 8), -1);
    EXPECT_EQ(failing->streamError()->code, 5);
}

TEST(StreamTest, WritesGatheredUntilCloseStillReportTheirFailure) {
    // A device that is always full: small writes are taken into the buffer, and the failure
    // shows when they are written out, at close or when a large write comes.
    for (std::size_t size : {std::size_t{10}, std::size_t{200000}}) {
        auto out = OutputStream::toFile("/dev/full");
        out->open();
        ASSERT_TRUE(out->hasSpaceAvailable());
        std::vector<std::uint8_t> bytes(size, 'f');
        std::int64_t written = out->write(bytes.data(), bytes.size());
        out->close();
        EXPECT_TRUE(written < 0 || out->streamError()) << size;
        ASSERT_TRUE(out->streamError()) << size;
        EXPECT_EQ(out->streamError()->code, ENOSPC);
        EXPECT_EQ(out->streamStatus(), StreamStatus::error);
    }
}
