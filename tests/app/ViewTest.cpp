// The view model: change tracking, the view tree and change observers
// (several watchers at once, removal from inside a notification, the panel
// telling which control changed).

#include <gtest/gtest.h>

#include <vector>

#include "app/CameraPanel.h"
#include "app/ChangeObservers.h"
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

TEST(ChangeObserversTest, AllWatchersSeeEachChangeAndRemovalInsideANotificationIsSafe) {
    ChangeObservers<int> list;
    std::vector<std::string> seen;
    EXPECT_EQ(list.add({}), 0u);  // an empty function is refused
    ChangeObservers<int>::Id b = 0;
    const auto a = list.add([&](int v) {
        seen.push_back("a" + std::to_string(v));
        list.remove(b);  // removes a later one before it runs
    });
    b = list.add([&](int v) { seen.push_back("b" + std::to_string(v)); });
    ChangeObservers<int>::Id c = 0;
    c = list.add([&](int v) {
        seen.push_back("c" + std::to_string(v));
        list.remove(c);                                                     // removes itself
        list.add([&](int w) { seen.push_back("d" + std::to_string(w)); });  // next time only
    });
    EXPECT_NE(a, b);
    list.notify(1);
    EXPECT_EQ(seen, (std::vector<std::string>{"a1", "c1"}));
    seen.clear();
    list.notify(2);
    EXPECT_EQ(seen, (std::vector<std::string>{"a2", "d2"}));
    list.remove(a);
    list.remove(12345);  // unknown: ignored
    EXPECT_EQ(list.size(), 1u);
}

TEST(ChangeObserversTest, ViewKeepsItsHandlerAndFurtherWatchers) {
    View progress("progress");
    int handler = 0, first = 0, second = 0;
    progress.setChangeHandler([&](const View&) { ++handler; });
    const auto id1 = progress.addChangeObserver([&](const View& v) {
        EXPECT_EQ(v.doubleValue(), 40.0);
        ++first;
    });
    progress.addChangeObserver([&](const View&) { ++second; });
    progress.setDoubleValue(40);
    progress.setDoubleValue(40);  // no change, nobody called
    progress.removeChangeObserver(id1);
    progress.setHidden(true);
    EXPECT_EQ(handler, 2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(ChangeObserversTest, PanelNamesTheControlThatChangedAndNullForTheMenu) {
    CameraPanel panel;
    std::vector<const CameraControl*> seen;
    const auto id = panel.addChangeObserver([&](const CameraControl* c) { seen.push_back(c); });
    CameraControl* iso = panel.controlWithTag(1026);
    ASSERT_NE(iso, nullptr);
    iso->addItemWithTitle("100");
    panel.addCameraItem({"Body", std::nullopt});
    panel.controlWithTag(8)->setStringValue("87 %");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], iso);
    EXPECT_EQ(seen[1], nullptr);
    EXPECT_EQ(seen[2], panel.controlWithTag(8));
    panel.removeChangeObserver(id);
    iso->setEnabled(false);
    EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
}  // namespace klik::test
