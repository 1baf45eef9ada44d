#include <gtest/gtest.h>

#include <memory>

#include "model/vc_base.h"

namespace {

TEST(TvcCustomCollection, LinksAfterAndUnlinksOnDestruction) {
    TvcCustomCollection a("a", nullptr);
    EXPECT_EQ(a.Next, nullptr);
    EXPECT_EQ(a.Prev, nullptr);
    auto c = std::make_unique<TvcCustomCollection>("c", &a);
    auto b = std::make_unique<TvcCustomCollection>("b", &a);  // goes between a and c
    EXPECT_EQ(a.Next, b.get());
    EXPECT_EQ(b->Prev, &a);
    EXPECT_EQ(b->Next, c.get());
    EXPECT_EQ(c->Prev, b.get());

    b.reset();
    EXPECT_EQ(a.Next, c.get());
    EXPECT_EQ(c->Prev, &a);

    c.reset();  // the last link
    EXPECT_EQ(a.Next, nullptr);
}

TEST(TvcBase, AbsentNameStaysAbsent) {
    TvcBase none(DupString(nullptr));
    TvcBase empty(DupString(""));
    EXPECT_FALSE(none.Name.has_value());
    ASSERT_TRUE(empty.Name.has_value());
    EXPECT_EQ(*empty.Name, "");
}

}  // namespace
