// The view model: change tracking and the view tree.

#include <gtest/gtest.h>

#include "app/View.h"

namespace klik::test {
namespace {

TEST(ViewTest, OnlyRealChangesBumpTheRevisionAndCallTheHandler) {
    View v("field");
    int calls = 0;
    v.setChangeHandler([&](const View&) { ++calls; });
    v.setStringValue("3");
    v.setStringValue("3");
    v.setHidden(false);  // already shown
    v.setHidden(true);
    v.setUnsignedValue(3);  // same text
    v.setTextColor(Colour::black());
    v.setTextColor(Colour::white());
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(v.revision(), 3u);
    EXPECT_EQ(v.stringValue(), "3");
}

TEST(ViewTest, AddingMovesAViewAndRefusesCycles) {
    View a("a"), b("b"), c("c");
    EXPECT_TRUE(a.addSubview(c));
    EXPECT_TRUE(b.addSubview(c));
    EXPECT_EQ(c.superview(), &b);
    EXPECT_TRUE(a.subviews().empty());
    EXPECT_TRUE(a.addSubview(b));
    EXPECT_TRUE(a.isAncestorOf(c));
    EXPECT_FALSE(c.addSubview(a));
    EXPECT_FALSE(a.addSubview(a));
    EXPECT_EQ(a.superview(), nullptr);
}

TEST(ViewTest, DestroyedViewsLeaveNoDanglingLinks) {
    View parent("p");
    {
        View child("c");
        parent.addSubview(child);
        EXPECT_EQ(parent.subviews().size(), 1u);
    }
    EXPECT_TRUE(parent.subviews().empty());
    View orphan("o");
    {
        View p2("p2");
        p2.addSubview(orphan);
    }
    EXPECT_EQ(orphan.superview(), nullptr);
}

}  // namespace
}  // namespace klik::test
