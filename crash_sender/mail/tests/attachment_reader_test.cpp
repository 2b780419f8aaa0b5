#include "crash_sender/mail/attachment_reader.h"

#include <string>

#include <gtest/gtest.h>

#include "python_server.h"

namespace crash_mail::testing {
namespace {

struct Read {
    FileReadResult result;
    std::string text;
    std::size_t pieces = 0;
};

Read readAll(const std::filesystem::path& path) {
    Read read{};
    read.result = ReadFileBase64(path.string(), [&](std::string_view piece) {
        read.text += piece;
        ++read.pieces;
        return true;
    });
    return read;
}

// Sizes around a line (57 bytes) and around a piece (233,472 bytes).
TEST(AttachmentReader, DecodesToTheFileInShortLines) {
    ScratchDirectory folder;
    const std::size_t sizes[] = {1, 2, 3, 56, 57, 58, 114, 233'471, 233'472, 233'473, 700'001};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const auto path = folder.path() / "report.dmp";
        const std::string bytes = binaryBytes(size, static_cast<unsigned>(size));
        writeFile(path, bytes);
        const Read read = readAll(path);
        ASSERT_EQ(read.result, FileReadResult::Encoded);
        EXPECT_EQ(base64Decode(read.text), bytes);
        EXPECT_EQ(read.pieces, (size + 233'471) / 233'472);
        EXPECT_FALSE(read.text.ends_with("\r\n"));
        std::size_t start = 0;
        for (auto end = read.text.find("\r\n"); end != std::string::npos;
             end = read.text.find("\r\n", start)) {
            ASSERT_EQ(end - start, kBase64LineChars);
            start = end + 2;
        }
        EXPECT_LE(read.text.size() - start, kBase64LineChars);
    }
}

TEST(AttachmentReader, MissingEmptyAndDirectoryAreTold) {
    ScratchDirectory folder;
    writeFile(folder.path() / "empty.dmp", "");
    EXPECT_EQ(readAll(folder.path() / "none.dmp").result, FileReadResult::Missing);
    EXPECT_EQ(readAll(folder.path() / "empty.dmp").result, FileReadResult::Unreadable);
    EXPECT_EQ(readAll(folder.path()).result, FileReadResult::Unreadable);
}

TEST(AttachmentReader, StopsWhenTheSinkRefuses) {
    ScratchDirectory folder;
    const auto path = folder.path() / "report.dmp";
    writeFile(path, binaryBytes(1'000'000, 1));
    std::size_t pieces = 0;
    const auto result = ReadFileBase64(path.string(), [&](std::string_view) {
        ++pieces;
        return false;
    });
    EXPECT_EQ(result, FileReadResult::Refused);
    EXPECT_EQ(pieces, 1U);
}

} // namespace
} // namespace crash_mail::testing
