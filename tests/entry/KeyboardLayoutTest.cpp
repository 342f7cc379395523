#include <gtest/gtest.h>

#include <set>

#include "entry/KeyboardLayout.h"

namespace klik {
namespace {

bool overlap(const ViewRect& a, const ViewRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

bool inside(const ViewRect& r, const ViewSize& s) {
    return r.x >= 0 && r.y >= 0 && r.x + r.width <= s.width && r.y + r.height <= s.height &&
           r.width > 0 && r.height > 0;
}

TEST(KeyboardLayout, StandardLayoutFitsWithoutOverlapsAndHasEverythingAnAddressNeeds) {
    const KeyboardLayout layout = KeyboardLayout::standard();
    std::vector<ViewRect> rects;
    for (const auto& f : layout.fields) rects.push_back(f.frame);
    for (const auto& k : layout.keys) rects.push_back(k.frame);
    ASSERT_TRUE(layout.goButton);
    rects.push_back(layout.goButton->frame);
    rects.push_back({0, layout.size.height - 28, layout.size.width, 28});  // the notice strip
    for (size_t i = 0; i < rects.size(); ++i) {
        EXPECT_TRUE(inside(rects[i], layout.size)) << i;
        for (size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_FALSE(overlap(rects[i], rects[j])) << i << " " << j;
    }

    std::set<int> fields;
    for (const auto& f : layout.fields) fields.insert(f.number);
    EXPECT_EQ(fields, (std::set<int>{1, 2, 3, 4}));

    std::set<std::string> titles;
    std::set<KeyAction> actions;
    for (const auto& k : layout.keys) {
        EXPECT_TRUE(titles.insert(k.title).second) << "repeated " << k.title;
        if (k.action) actions.insert(*k.action);
    }
    for (const char* t : {"@", ".", "_", "-", "!", "0", "9", "A", "Z"})
        EXPECT_TRUE(titles.count(t)) << t;
    EXPECT_EQ(actions, (std::set<KeyAction>{KeyAction::Next, KeyAction::Delete, KeyAction::Exit}));
    EXPECT_EQ(layout.goButton->action, KeyAction::Accept);
}

}  // namespace
}  // namespace klik
