#include "config_store/store.h"

#include <string>

#include <gtest/gtest.h>

namespace config_store {
namespace {

// Enough keys to grow the index several times, then erasures that shift every
// later position: each lookup must still find its own key.
TEST(StoreTest, LookupsSurviveGrowthAndErasure) {
    Store store;
    constexpr int kKeys = 2000;
    for (int i = 0; i < kKeys; ++i) {
        ASSERT_TRUE(store.setValue("S", "Key" + std::to_string(i), std::to_string(i)));
    }
    for (int i = 0; i < kKeys; i += 3) {
        ASSERT_TRUE(store.eraseKey("s", "KEY" + std::to_string(i)));
    }
    for (int i = 0; i < kKeys; ++i) {
        const KeyEntry* entry = store.findKey("S", "key" + std::to_string(i));
        if (i % 3 == 0) {
            EXPECT_EQ(entry, nullptr) << i;
        } else {
            ASSERT_NE(entry, nullptr) << i;
            EXPECT_EQ(entry->value, std::to_string(i));
        }
    }
    EXPECT_EQ(store.findSection("S")->keys().size(), static_cast<std::size_t>(kKeys - 667));
}

TEST(StoreTest, ChangesAreTrackedOnlyWhenContentChanges) {
    Store store;
    EXPECT_FALSE(store.isModified());
    EXPECT_FALSE(store.eraseKey("S", "k"));
    EXPECT_FALSE(store.eraseSection("S"));
    EXPECT_FALSE(store.isModified());
    EXPECT_TRUE(store.setValue("S", "k", "v"));
    EXPECT_FALSE(store.setValue("s", "K", "v"));
    EXPECT_TRUE(store.setValue("s", "K", "w"));
    EXPECT_EQ(store.findKey("S", "k")->name, "k");
    EXPECT_TRUE(store.isModified());

    Store erased;
    erased.sectionFromFile("S").addFromFile("k", "v");
    EXPECT_FALSE(erased.isModified());
    EXPECT_TRUE(erased.eraseSection("s"));
    EXPECT_TRUE(erased.isModified());
}

} // namespace
} // namespace config_store
