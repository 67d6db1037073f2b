#include "Libs/HTTPLayer/MultipartFormData.h"

#include "platform/core/Files.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace multipart_test {

using namespace http;
using Case = MultipartEncodingFailureReason::Case;

namespace {

core::Bytes bytes(std::string_view text) { return core::Bytes(text.begin(), text.end()); }
std::string text(const core::Bytes& b) { return std::string(b.begin(), b.end()); }

// The reason of a multipart failure, or nothing for anything else.
std::optional<MultipartEncodingFailureReason> reasonOf(const std::optional<Error>& error) {
    if (!error) return std::nullopt;
    const auto* http = error->as<HTTPError>();
    if (!http || !http->multipartEncodingReason()) return std::nullopt;
    return *http->multipartEncodingReason();
}
std::optional<Case> caseOf(const std::optional<HTTPError>& error) {
    return error && error->multipartEncodingReason() ? std::optional(error->multipartEncodingReason()->kind()) : std::nullopt;
}

std::string readFile(const std::string& path) {
    auto b = core::files::read(path);
    return b ? text(*b) : "<none>";
}

// An output stream that takes `room` bytes, then fails or just reports no space.
class LimitedOutput : public core::OutputStream {
public:
    LimitedOutput(std::size_t room, bool fails) : room_(room), fails_(fails) {}
    void open() override { status_ = core::StreamStatus::open; }
    bool hasSpaceAvailable() const override { return fails_ || taken.size() < room_; }
    std::int64_t write(const std::uint8_t* buffer, std::size_t maxLength) override {
        std::size_t n = std::min(maxLength, room_ - taken.size());
        if (n == 0 && fails_) {
            error_ = core::Error{"test", 28, "no space left", {}};
            status_ = core::StreamStatus::error;
            return -1;
        }
        taken.append(reinterpret_cast<const char*>(buffer), n);
        return static_cast<std::int64_t>(n);
    }
    core::StreamStatus streamStatus() const override { return status_; }
    std::optional<core::Error> streamError() const override { return error_; }
    void close() override { closed = true; }

    std::string taken;
    bool closed = false;

private:
    std::size_t room_;
    bool fails_;
    core::StreamStatus status_ = core::StreamStatus::notOpen;
    std::optional<core::Error> error_;
};

struct MultipartFixture : ::testing::Test {
    core::testkit::TempHome home;
    std::string file(const std::string& name, std::string_view content) {
        std::string path = home.path() + "/" + name;
        EXPECT_TRUE(core::files::writeAtomically(path, content));
        return path;
    }
};

} // namespace

TEST_F(MultipartFixture, FormsOfNoneOneAndTwoPartsEncodeToTheirExactBytes) {
    MultipartFormData empty;
    EXPECT_EQ(empty.totalBodyLength(), 0u);
    EXPECT_TRUE(empty.encodeAll().successValue().empty());

    MultipartFormData one;
    one.appendData(bytes("1"), "a");
    const std::string& b = one.boundary();
    EXPECT_EQ(text(one.encodeAll().successValue()),
              "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b + "--\r\n");

    MultipartFormData two;
    two.appendData(bytes("{}"), "meta", "application/json");
    two.appendData(bytes(""), "photo", "p.png", "image/png");
    const std::string& c = two.boundary();
    EXPECT_EQ(two.totalBodyLength(), 2u);
    EXPECT_EQ(text(two.encodeAll().successValue()),
              "--" + c + "\r\nContent-Disposition: form-data; name=\"meta\"\r\nContent-Type: application/json\r\n\r\n{}" +
                  "\r\n--" + c + "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"p.png\"\r\n" +
                  "Content-Type: image/png\r\n\r\n\r\n--" + c + "--\r\n");
}

TEST_F(MultipartFixture, BytesGivenUpMoveIntoTheirPartAndEncodeAsACopyWould) {
    const core::Bytes data = bytes("payload\r\n--");
    MultipartFormData copied, moved;
    copied.setContentType(moved.contentType());
    copied.appendData(data, "a");
    copied.appendData(data, "b", "text/plain");
    copied.appendData(data, "c", "c.txt", "text/plain");
    std::vector<core::Bytes> given(3, data);
    moved.appendData(std::move(given[0]), "a");
    moved.appendData(std::move(given[1]), "b", "text/plain");
    moved.appendData(std::move(given[2]), "c", "c.txt", "text/plain");
    for (const auto& bytesGiven : given) EXPECT_TRUE(bytesGiven.empty());
    EXPECT_EQ(data, bytes("payload\r\n--"));
    EXPECT_EQ(moved.totalBodyLength(), 3 * data.size());
    std::string expected = text(copied.encodeAll().successValue());
    for (std::size_t at; (at = expected.find(copied.boundary())) != std::string::npos;)
        expected.replace(at, copied.boundary().size(), moved.boundary());
    EXPECT_EQ(text(moved.encodeAll().successValue()), expected);
}

// A first part's copy is made behind the lines that open the body with it; headers changed
// after the append are still the ones encoded.
TEST_F(MultipartFixture, APartsHeadersChangedAfterTheAppendAreTheOnesEncoded) {
    for (bool copied : {true, false}) {
        SCOPED_TRACE(copied ? "copied" : "given up");
        const core::Bytes data = bytes("payload");
        MultipartFormData form;
        if (copied) form.appendData(data, "a", "text/plain"); else form.appendData(core::Bytes(data), "a", "text/plain");
        form.bodyParts()[0]->headers["Content-Disposition"] = "form-data; name=\"renamed\"";
        const std::string& b = form.boundary();
        EXPECT_EQ(text(form.encodeAll().successValue()), "--" + b + "\r\nContent-Disposition: form-data; name=\"renamed\"\r\n" +
                                                             "Content-Type: text/plain\r\n\r\npayload\r\n--" + b + "--\r\n");
    }
}

TEST_F(MultipartFixture, LargePartsOfEveryKindEncodeAndWriteToTheSameBytes) {
    // Parts over the 1 MiB pieces and runs: bytes, bytes given up, a caller's stream of unknown
    // length and, last, a file whose last piece is short, each with bytes that tell their place.
    // The whole body ends less than 1 MiB short of the room made for it.
    const auto pattern = [](std::size_t size, std::uint8_t salt) {
        core::Bytes b(size);
        for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + salt + i / 4096);
        return b;
    };
    const core::Bytes first = pattern((3 << 20) + 5, 1), second = pattern(1 << 20, 2), third = pattern(70000, 3),
                      fourth = pattern((3 << 20) + (1 << 19) + 1000, 4);
    const std::string path = file("large.bin", text(fourth));
    const auto build = [&](MultipartFormData& form) {
        form.appendData(first, "first");
        form.appendData(core::Bytes(second), "second", "application/octet-stream");
        auto producer = core::ProducerStream::create();
        producer->write(third);
        producer->finish();
        form.appendStream(producer, third.size(), "third", "t.bin", "application/octet-stream");
        form.appendFile(net::URL::fileURL(path), "fourth");
    };
    MultipartFormData encoded, written;
    build(encoded);
    build(written);
    written.setContentType(encoded.contentType());
    const std::string b = encoded.boundary();
    const std::string mimeType = MultipartFormData::mimeTypeForExtension("bin");
    const std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"first\"\r\n\r\n" + text(first) +
                                 "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"second\"\r\n" +
                                 "Content-Type: application/octet-stream\r\n\r\n" + text(second) + "\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"third\"; filename=\"t.bin\"\r\n" +
                                 "Content-Type: application/octet-stream\r\n\r\n" + text(third) + "\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"fourth\"; filename=\"large.bin\"\r\n" +
                                 "Content-Type: " + mimeType + "\r\n\r\n" + text(fourth) + "\r\n--" + b + "--\r\n";
    const core::Bytes body = encoded.encodeAll().successValue();
    EXPECT_TRUE(text(body) == expected);
    // Sized once: no piece read past the room made for the whole body.
    EXPECT_LT(body.capacity(), expected.size() + (1 << 20));
    const std::string out = home.path() + "/large-form";
    ASSERT_TRUE(written.writeAll(net::URL::fileURL(out)).isSuccess());
    std::string fromFile = readFile(out);
    for (std::size_t at; (at = fromFile.find(written.boundary())) != std::string::npos;)
        fromFile.replace(at, written.boundary().size(), b);
    EXPECT_EQ(fromFile.size(), expected.size());
    EXPECT_TRUE(fromFile == expected);
}

TEST_F(MultipartFixture, TheBoundaryIsRandomAndTheContentTypeCanBeReplaced) {
    MultipartFormData a, b;
    EXPECT_NE(a.boundary(), b.boundary());
    EXPECT_EQ(a.boundary().size(), 35u);
    EXPECT_EQ(a.boundary().rfind("httplayer.boundary.", 0), 0u);
    EXPECT_EQ(a.boundary().find_first_not_of("0123456789abcdef", 19), std::string::npos);
    EXPECT_EQ(a.contentType(), "multipart/form-data; boundary=" + a.boundary());
    b.setContentType("multipart/mixed");
    EXPECT_EQ(b.contentType(), "multipart/mixed");
}

TEST_F(MultipartFixture, NamesAndHeadersCannotForgeLinesOrParts) {
    MultipartFormData form;
    form.appendData(bytes("x"), "a\"; evil=\"1\r\nX-Forged: 1", "f\"\n.txt", "text/plain\r\nX-Forged: 2");
    form.appendStream(core::InputStream::withBytes(bytes("y")), 1, {{"X-Own\r\nX-Forged", "v\r\n\r\n--" + form.boundary()}});
    const std::string body = text(form.encodeAll().successValue());
    EXPECT_NE(body.find("Content-Disposition: form-data; name=\"a%22; evil=%221%0D%0AX-Forged: 1\"; filename=\"f%22%0A.txt\"\r\n"),
              std::string::npos);
    EXPECT_NE(body.find("Content-Type: text/plain%0D%0AX-Forged: 2\r\n"), std::string::npos);
    EXPECT_NE(body.find("X-Own%0D%0AX-Forged: v%0D%0A%0D%0A--" + form.boundary() + "\r\n"), std::string::npos);
    EXPECT_EQ(body.find("\nX-Forged"), std::string::npos);
}

TEST_F(MultipartFixture, AppendedFilesAreCheckedAndTheFirstFailureWins) {
    const std::string photo = file("photo.PNG", "png-bytes");
    const std::string bare = file("README", "x");
    ASSERT_EQ(::mkdir((home.path() + "/folder.d").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((home.path() + "/pipe.fifo").c_str(), 0600), 0);
    struct Row {
        net::URL url;
        bool named; // through appendFile(url, name), which takes the name and type from the URL
        std::optional<Case> expected;
    };
    const std::vector<Row> rows = {
        {net::URL::fileURL(photo), true, std::nullopt},
        {net::URL::fileURL(bare), true, Case::bodyPartFilenameInvalid},
        {*net::URL::parse("https://example.com/a.png"), false, Case::bodyPartURLInvalid},
        {net::URL::fileURL(home.path() + "/missing.png"), false, Case::bodyPartFileNotReachable},
        {net::URL::fileURL(photo + "/below.png"), false, Case::bodyPartFileNotReachable},
        {net::URL::fileURL(home.path() + "/folder.d"), true, Case::bodyPartFileIsDirectory},
        {net::URL::fileURL(home.path() + "/pipe.fifo"), true, Case::bodyPartFileSizeNotAvailable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url.absoluteString());
        MultipartFormData form;
        if (row.named) form.appendFile(row.url, "f"); else form.appendFile(row.url, "f", "n.png", "image/png");
        EXPECT_EQ(caseOf(form.bodyPartError()), row.expected);
        EXPECT_EQ(form.bodyParts().size(), row.expected ? 0u : 1u);
        if (row.expected) {
            EXPECT_EQ(form.bodyPartError()->multipartEncodingReason()->url(), row.url);
            EXPECT_EQ(reasonOf(form.encodeAll().error())->kind(), *row.expected);
        }
    }

    MultipartFormData form;
    form.appendFile(net::URL::fileURL(bare), "first");
    form.appendFile(net::URL::fileURL(photo), "ok");
    form.appendFile(net::URL::fileURL(home.path() + "/missing.png"), "second");
    EXPECT_EQ(caseOf(form.bodyPartError()), Case::bodyPartFilenameInvalid);
    EXPECT_EQ(form.bodyParts().size(), 1u);
    EXPECT_EQ(form.totalBodyLength(), 9u);
    EXPECT_EQ(form.bodyParts()[0]->headers.at("Content-Type"), "image/png");
    EXPECT_EQ(form.bodyParts()[0]->headers.at("Content-Disposition"), "form-data; name=\"ok\"; filename=\"photo.PNG\"");
}

TEST(MultipartMimeTest, ExtensionsMapToTypesInAnyCase) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"png", "image/png"}, {"JPG", "image/jpeg"}, {"Json", "application/json"},
        {"odt", "application/vnd.oasis.opendocument.text"}, // from the system's table
        {"no-such-extension", "application/octet-stream"},
    };
    for (const auto& [extension, type] : rows) EXPECT_EQ(MultipartFormData::mimeTypeForExtension(extension), type) << extension;
}

TEST_F(MultipartFixture, PartsGiveTheBytesTheirStreamsYieldAndAFileGoneAtEncodingFails) {
    MultipartFormData form;
    form.appendStream(core::InputStream::withBytes(bytes("short")), 100, {});
    form.appendStream(core::InputStream::withBytes(core::Bytes(3000, 'z')), 1, {});
    EXPECT_EQ(form.totalBodyLength(), 101u);
    const std::string body = text(form.encodeAll().successValue());
    EXPECT_NE(body.find("\r\n\r\nshort\r\n--"), std::string::npos);
    EXPECT_NE(body.find("\r\n\r\n" + std::string(3000, 'z') + "\r\n--" + form.boundary() + "--\r\n"), std::string::npos);

    for (bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "writeAll" : "encodeAll");
        const std::string path = file("gone.txt", "soon gone");
        MultipartFormData gone;
        gone.appendFile(net::URL::fileURL(path), "g");
        ASSERT_FALSE(gone.bodyPartError());
        ASSERT_EQ(::unlink(path.c_str()), 0);
        auto error = toFile ? gone.writeAll(net::URL::fileURL(home.path() + "/out-gone")).error() : gone.encodeAll().error();
        ASSERT_TRUE(reasonOf(error));
        EXPECT_EQ(reasonOf(error)->kind(), Case::inputStreamReadFailed);
    }
}

TEST_F(MultipartFixture, WritingChecksInOrderAndMakesOnlyANewPrivateFile) {
    const std::string existing = file("existing", "keep");
    const std::string target = file("target", "keep");
    ASSERT_EQ(::symlink(target.c_str(), (home.path() + "/planted").c_str()), 0);
    ASSERT_EQ(::symlink((home.path() + "/nowhere").c_str(), (home.path() + "/dangling").c_str()), 0);
    MultipartFormData failed;
    failed.appendFile(net::URL::fileURL(home.path() + "/README"), "x");
    struct Row {
        const char* what;
        MultipartFormData* form;
        net::URL url;
        Case expected;
    };
    MultipartFormData form;
    form.appendData(bytes("v"), "k");
    const std::vector<Row> rows = {
        {"recorded error first", &failed, net::URL::fileURL(existing), Case::bodyPartFilenameInvalid},
        {"existing file", &form, net::URL::fileURL(existing), Case::outputStreamFileAlreadyExists},
        {"existing, not a file URL", &form, *net::URL::parse("http://h" + existing), Case::outputStreamFileAlreadyExists},
        {"not a file URL", &form, *net::URL::parse("http://h/nothing-here"), Case::outputStreamURLInvalid},
        {"planted link", &form, net::URL::fileURL(home.path() + "/planted"), Case::outputStreamFileAlreadyExists},
        {"dangling link", &form, net::URL::fileURL(home.path() + "/dangling"), Case::outputStreamFileAlreadyExists},
        {"missing folder", &form, net::URL::fileURL(home.path() + "/no/folder"), Case::outputStreamCreationFailed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto reason = reasonOf(row.form->writeAll(row.url).error());
        ASSERT_TRUE(reason);
        EXPECT_EQ(reason->kind(), row.expected);
    }
    EXPECT_EQ(readFile(existing), "keep");
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_FALSE(core::files::exists(home.path() + "/nowhere"));

    MultipartFormData empty;
    const std::string out = home.path() + "/empty-form";
    ASSERT_TRUE(empty.writeAll(net::URL::fileURL(out)).isSuccess());
    EXPECT_EQ(readFile(out), "");
    struct stat info{};
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    MultipartFormData big;
    big.appendData(bytes("1"), "a");
    big.appendStream(core::InputStream::withBytes(core::Bytes(5000, 'q')), 5000, "b", "b.bin", "application/octet-stream");
    MultipartFormData same;
    same.appendData(bytes("1"), "a");
    same.appendStream(core::InputStream::withBytes(core::Bytes(5000, 'q')), 5000, "b", "b.bin", "application/octet-stream");
    same.setContentType(big.contentType());
    const std::string written = home.path() + "/big-form";
    ASSERT_TRUE(big.writeAll(net::URL::fileURL(written)).isSuccess());
    // Written and encoded forms differ only by their boundary.
    std::string expected = text(same.encodeAll().successValue());
    for (std::size_t at; (at = expected.find(same.boundary())) != std::string::npos;) expected.replace(at, same.boundary().size(), big.boundary());
    EXPECT_TRUE(readFile(written) == expected);
}

TEST_F(MultipartFixture, AnOutputStreamThatTakesNoMoreFailsTheWrite) {
    for (bool fails : {true, false}) {
        SCOPED_TRACE(fails ? "write error" : "no space");
        MultipartFormData form;
        form.appendData(core::Bytes(4000, 'w'), "w");
        auto output = std::make_shared<LimitedOutput>(1500, fails);
        auto reason = reasonOf(form.writeAll(output).error());
        ASSERT_TRUE(reason);
        EXPECT_EQ(reason->kind(), Case::outputStreamWriteFailed);
        ASSERT_TRUE(reason->error());
        EXPECT_EQ(output->taken.size(), 1500u);
        EXPECT_TRUE(output->closed);
    }
}

TEST_F(MultipartFixture, AFileThatCannotTakeTheFormFailsEvenWhenTheLastBytesWaitForClose) {
    MultipartFormData form;
    form.appendData(bytes("small"), "s");
    auto reason = reasonOf(form.writeAll(core::OutputStream::toFile("/dev/full")).error());
    ASSERT_TRUE(reason);
    EXPECT_EQ(reason->kind(), Case::outputStreamWriteFailed);
}

} // namespace multipart_test
