#include "update/engine/record_stream.h"

#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using update::kWireRecordSize;
using update::RecordStream;

// `count` records, each of its own bytes, back to back.
std::string recordBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count * kWireRecordSize, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

std::vector<std::string> split(const std::string& bytes, std::size_t limit) {
    std::vector<std::string> records;
    for (std::size_t at = 0; at + kWireRecordSize <= limit; at += kWireRecordSize) {
        records.push_back(bytes.substr(at, kWireRecordSize));
    }
    return records;
}

// Feeds `bytes` in appends of the given sizes (the rest in one last append).
std::vector<std::string> feed(RecordStream& stream, const std::string& bytes,
                              const std::vector<std::size_t>& pieces) {
    std::vector<std::string> records;
    const auto collect = [&](const char* record) { records.emplace_back(record, kWireRecordSize); };
    std::size_t at = 0;
    for (const std::size_t piece : pieces) {
        stream.append(bytes.data() + at, piece, collect);
        at += piece;
    }
    stream.append(bytes.data() + at, bytes.size() - at, collect);
    return records;
}

struct Chunking {
    const char* name;
    std::vector<std::size_t> pieces;
};

TEST(RecordStream, EveryRecordComesOutWholeHoweverTheStreamIsCut) {
    const std::string bytes = recordBytes(3, 1);
    const Chunking cases[] = {
        {"one record per receive", {1228, 1228}},
        {"a record split over two receives", {600, 628, 1228}},
        {"two records in one receive", {2456}},
        {"one and a half, then one and a half", {1842}},
        {"a byte at a time", std::vector<std::size_t>(3683, 1)},
        {"all in one receive", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordStream stream;
        EXPECT_EQ(feed(stream, bytes, c.pieces), split(bytes, bytes.size()));
        EXPECT_EQ(stream.pending(), 0u);
    }
}

TEST(RecordStream, ResetDropsAnIncompleteRecordAndRealigns) {
    const std::string bytes = recordBytes(2, 2);
    RecordStream stream;
    EXPECT_TRUE(feed(stream, bytes.substr(0, 600), {}).empty());
    EXPECT_EQ(stream.pending(), 600u);
    EXPECT_EQ(stream.reset(), 600u);
    EXPECT_EQ(stream.reset(), 0u);
    EXPECT_EQ(feed(stream, bytes.substr(kWireRecordSize), {}),
              std::vector<std::string>{bytes.substr(kWireRecordSize)});
}

TEST(RecordStream, RandomCutsOfRandomStreams) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::size_t whole = random() % 6;
        const std::size_t tail = random() % kWireRecordSize;
        const std::string bytes = recordBytes(whole + 1, static_cast<unsigned>(round))
                                      .substr(0, whole * kWireRecordSize + tail);
        std::vector<std::size_t> pieces;
        for (std::size_t left = bytes.size(); left > 0;) {
            pieces.push_back(std::min<std::size_t>(left, random() % 3000));
            left -= pieces.back();
        }
        RecordStream stream;
        EXPECT_EQ(feed(stream, bytes, pieces), split(bytes, bytes.size()));
        EXPECT_EQ(stream.pending(), tail);
    }
}

} // namespace
