#include "crash_sender/mail/base64.h"

#include <random>
#include <string>

#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace crash_mail {
namespace {

TEST(Base64, Rfc4648Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Base64Encode(bytes.data(), bytes.size()), text);
        EXPECT_EQ(base64EncodedSize(bytes.size()), text.size());
    }
}

// Every length around the wide 8-byte steps and the 3-byte tail, every byte value.
TEST(Base64, MatchesOpenSslForEveryLengthAndByte) {
    std::mt19937 random(42);
    std::string bytes(300, '\0');
    for (auto& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        std::string expected(base64EncodedSize(length) + 1, '\0');
        const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(expected.data()),
                                            reinterpret_cast<const unsigned char*>(bytes.data()),
                                            static_cast<int>(length));
        expected.resize(static_cast<std::size_t>(written));
        ASSERT_EQ(Base64Encode(bytes.data(), length), expected) << "length " << length;
    }
}

TEST(Base64, EncodeIntoWritesExactlyTheEncodedSize) {
    const std::string bytes = "\xff\xfe\xfd\x00\x01 crash";
    std::string out(64, '#');
    char* end = base64EncodeInto(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 out.data());
    EXPECT_EQ(static_cast<std::size_t>(end - out.data()), base64EncodedSize(bytes.size()));
    EXPECT_EQ(out[base64EncodedSize(bytes.size())], '#');
}

} // namespace
} // namespace crash_mail
