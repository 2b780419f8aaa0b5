#include "config_store/store_text.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config_store/ascii_names.h"

namespace config_store {
namespace {

using namespace std::string_view_literals;
using Keys = std::vector<std::pair<std::string, std::string>>;
using Layout = std::vector<std::pair<std::string, Keys>>;

Layout layoutOf(const Store& store) {
    Layout layout;
    for (const Section& section : store.sections()) {
        Keys keys;
        for (const KeyEntry& key : section.keys()) {
            keys.emplace_back(key.name, key.value);
        }
        layout.emplace_back(section.name(), std::move(keys));
    }
    return layout;
}

TEST(ParseStoreTextTest, ReadsAHandEditedFile) {
    const std::string_view text = "\xEF\xBB\xBF"
                                  "stray=before any header\r\n"
                                  "; a comment\r\n"
                                  "  [ GameSet ]  trailing words\r\n"
                                  "  UpdateSetPort = 6123  \r\n"
                                  "\r\n"
                                  "a line without separator\n"
                                  "# another comment\n"
                                  "Name=first\n"
                                  "NAME=second spelling loses\n"
                                  "[Other]\n"
                                  "=empty name\n"
                                  "empty=\n"
                                  "[gameset]\n"
                                  "Late=merged into the first GameSet\n"
                                  "[Unclosed\n"
                                  "k=v";
    const Layout expected = {
        {"GameSet",
         {{"UpdateSetPort", "6123"}, {"Name", "first"}, {"Late", "merged into the first GameSet"}}},
        {"Other", {{"", "empty name"}, {"empty", ""}}},
        {"Unclosed", {{"k", "v"}}},
    };
    EXPECT_EQ(layoutOf(parseStoreText(text)), expected);
}

TEST(ParseStoreTextTest, ReadingIsNotAChange) {
    EXPECT_FALSE(parseStoreText("[a]\nb=c\n").isModified());
}

TEST(FormatStoreTextTest, WritesSectionsAndKeysInOrder) {
    Store store;
    store.setValue("GameSet", "UpdateSetPort", "6123");
    store.setValue("Skin", "a=b", " padded ");
    store.setValue("GameSet", "Name", "平面");
    store.setValue("[odd]", ";key", "line\nbreak");
    EXPECT_EQ(formatStoreText(store), "[GameSet]\n"
                                      "UpdateSetPort=6123\n"
                                      "Name=平面\n"
                                      "\n"
                                      "[Skin]\n"
                                      "a\\=b=\\x20padded\\x20\n"
                                      "\n"
                                      "[[odd\\]]\n"
                                      "\\;key=line\\nbreak\n");
    EXPECT_EQ(formatStoreText(Store()), "");
}

// Any byte sequence must be read without a crash or hang, and what is read must
// survive writing and reading again unchanged.
TEST(ParseStoreTextTest, GarbageReadsAndRoundTrips) {
    constexpr std::string_view kAlphabet = "[]=\\;# \t\r\nxX0aF\x00\x7f\xc4\xe4\xb8\xad\xff"sv;
    const std::uint32_t seed = std::random_device()();
    std::mt19937 random(seed);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = random() % 600;
        std::string input(length, '\0');
        for (char& c : input) {
            // mostly characters that mean something to the format, some arbitrary bytes
            c = random() % 4 == 0 ? static_cast<char>(random())
                                  : kAlphabet[random() % kAlphabet.size()];
        }
        const Store first = parseStoreText(input);
        const std::string written = formatStoreText(first);
        const Store second = parseStoreText(written);
        ASSERT_EQ(layoutOf(second), layoutOf(first)) << "seed " << seed << " round " << round;
        ASSERT_EQ(formatStoreText(second), written) << "seed " << seed << " round " << round;
        for (const Section& section : first.sections()) {
            ASSERT_EQ(first.findSection(section.name()), &section);
            for (const KeyEntry& key : section.keys()) {
                ASSERT_EQ(section.find(key.name), &key);
            }
        }
    }
}

} // namespace
} // namespace config_store
