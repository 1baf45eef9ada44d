#include <gtest/gtest.h>

#include <string>

#include "image/fold_hash.h"
#include "image/name_list.h"
#include "image/text_pool.h"

namespace {

TEST(TextPool, StartsWithTheThreeControlTexts) {
    TextPool pool;
    pool.reset();
    ASSERT_EQ(pool.count(), 3);
    EXPECT_EQ(pool.offset(0), 0u);
    EXPECT_EQ(pool.offset(1), 2u);
    EXPECT_EQ(pool.offset(2), 4u);
    EXPECT_EQ(std::string(pool.bytes().begin(), pool.bytes().end()), std::string("\x1F\0\x06\0\x08\0", 6));
}

TEST(TextPool, StoresEqualTextsOncePerType) {
    TextPool pool;
    pool.reset();
    int32_t a = pool.AddText("Vokzal", 0x03);
    int32_t b = pool.AddText("Vokzal", 0x07);
    EXPECT_EQ(pool.AddText("Vokzal", 0x03), a);
    EXPECT_NE(a, b);
    EXPECT_EQ(pool.AddText("Vokzal", 0x07), b);
    // A control text and an equal stored form share the index.
    EXPECT_EQ(pool.AddText("\x06", 0), 1);
    EXPECT_EQ(pool.AddText(std::string("\x06", 1), 0x00), 1);
    // The pool keeps texts up to their first NUL, as they are stored.
    EXPECT_EQ(pool.AddText(std::string("Vokzal\0tail", 11), 0x03), a);
}

TEST(TextPool, NoTextCrossesA512ByteBlock) {
    struct Case {
        size_t fill;       // pool length before the text
        size_t stored;     // stored length of the text (type byte included)
        uint32_t offset;   // where it goes
    };
    const Case cases[] = {
        {500, 12, 512},  // would end on byte 512: moved
        {500, 11, 500},  // text and terminator end the block exactly
        {1000, 24, 1024},
        {512, 200, 512},
    };
    for (const Case& c : cases) {
        TextPool pool;
        pool.reset();
        // Fill with texts of known size: each stored as 1 type byte + body + NUL.
        size_t len = pool.length();
        int n = 0;
        while (len < c.fill) {
            size_t body = std::min<size_t>(c.fill - len - 2, 100);
            std::string t = std::to_string(n++);
            t.resize(body, 'x');
            pool.AddText(t, 0x09);
            len = pool.length();
        }
        ASSERT_EQ(pool.length(), c.fill);
        int32_t i = pool.AddText(std::string(c.stored - 1, 'y'), 0x09);
        EXPECT_EQ(pool.offset(i), c.offset) << c.fill << " + " << c.stored;
        for (size_t p = c.fill; p < c.offset; ++p) EXPECT_EQ(pool.bytes()[p], 0) << p;
        EXPECT_EQ(pool.length(), c.offset + c.stored + 1);
    }
}

TEST(NameList, CompactSharesEqualNames) {
    NameList plain, compact;
    compact.setCompact(true);
    for (NameList* l : {&plain, &compact}) {
        l->AddName("Vokzal");
        l->AddName("Vokzal          ");  // the same 16 characters
        l->AddName("Vokzal         *");
    }
    EXPECT_EQ(plain.count(), 3);
    EXPECT_EQ(compact.count(), 2);
    EXPECT_EQ(compact.AddName("Vokzal         *"), 1);
    EXPECT_EQ(std::string(compact[0].begin(), compact[0].end()), "Vokzal          ");
    // Longer names are cut to 16.
    EXPECT_EQ(compact.AddName("Vokzal          and more"), 0);
}

TEST(NameList, EventNames) {
    struct Case {
        std::string stop;
        char marker;
        std::string name;
    };
    const Case cases[] = {
        {"Vokzal", '*', "Vokzal         *"},
        {"ABCDEFGHIJKLMNOPQ", 'x', "ABCDEFGHIJKLMNOx"},
        {"", ' ', "                "},
    };
    for (const Case& c : cases) {
        Name16 n = MakeEventName(c.stop, c.marker);
        EXPECT_EQ(std::string(n.begin(), n.end()), c.name);
    }
}

TEST(NameList, CompactLookupStaysCorrectPastTheTableSize) {
    NameList names;
    names.setCompact(true);
    const int total = static_cast<int>(FoldHashTable::kSlots) + 500;
    for (int i = 0; i < total; ++i) ASSERT_EQ(names.AddName("n" + std::to_string(i)), i);
    EXPECT_EQ(names.AddName("n" + std::to_string(total - 1)), total - 1);
    EXPECT_EQ(names.AddName("n7"), 7);
    EXPECT_EQ(names.count(), total);
}

}  // namespace
