#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "entry/GLIMRA_KeyboardView.h"

namespace klik {
namespace {

// Types `text` on the keyboard's own keys (letters by their capital titles).
void typeOnKeys(GLIMRA_KeyboardView& k, const std::string& text) {
    for (char c : text) {
        std::string title(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        ASSERT_TRUE(k.pressKeyTitled(title)) << "no key for " << c;
    }
}

void fill(GLIMRA_KeyboardView& k, int field, const std::string& text) {
    k.makeFirstResponder(k.email(field));
    typeOnKeys(k, text);
}

std::vector<std::string> texts(const GLIMRA_KeyboardView& k) {
    std::vector<std::string> t;
    for (int i = 1; i <= 4; ++i) t.push_back(k.email(i)->stringValue());
    return t;
}

TEST(KeyboardView, LoadsFromItsLayout) {
    GLIMRA_KeyboardView k;
    for (int i = 1; i <= 4; ++i) ASSERT_NE(k.email(i), nullptr);
    EXPECT_EQ(k.email(1)->placeholder(), "< Enter Your Email >");
    EXPECT_EQ(k.email(2)->placeholder(), "");
    EXPECT_EQ(k.nextTextView(), k.email(1));
    EXPECT_EQ(k.preferredSize(), KeyboardLayout::standard().size);

    KeyboardTextField& notice = k.emailNotValid();
    EXPECT_TRUE(notice.isHidden());
    EXPECT_FALSE(notice.isEditable());
    EXPECT_EQ(notice.stringValue(),
              "The email address shown in RED is not valid. Please correct it.");
    EXPECT_EQ(notice.textColor(), "red");
    EXPECT_EQ(notice.fontSize(), 23);
    const ViewSize size = k.preferredSize();
    EXPECT_EQ(notice.frame(), (ViewRect{0, size.height - 28, size.width, 28}));

    // Keys without an action of their own became character keys.
    ASSERT_NE(k.goButton(), nullptr);
    EXPECT_EQ(k.goButton()->action, KeyAction::Accept);
    for (const KeyboardKey& key : k.keys()) EXPECT_TRUE(key.action.has_value()) << key.title;
}

TEST(KeyboardView, CharacterKeysTypeLowerCaseAtTheInsertionPointOfTheFocusedField) {
    GLIMRA_KeyboardView k;
    ASSERT_EQ(k.firstResponder(), nullptr);
    k.pressKeyTitled("A");  // no focus: typed nowhere
    EXPECT_EQ(texts(k), (std::vector<std::string>{"", "", "", ""}));
    k.setHidden(true);
    k.setHidden(false);  // showing the keyboard focuses the first field
    ASSERT_EQ(k.firstResponder(), k.email(1));
    ASSERT_TRUE(k.pressKeyTitled("A"));
    EXPECT_EQ(k.email(1)->stringValue(), "a");
    typeOnKeys(k, "ce");
    k.email(1)->setInsertionPoint(1);
    ASSERT_TRUE(k.pressKeyTitled("B"));
    EXPECT_EQ(k.email(1)->stringValue(), "abce");
    EXPECT_EQ(k.email(1)->insertionPoint(), 2u);

    ASSERT_TRUE(k.pressKeyTitled("Delete"));
    EXPECT_EQ(k.email(1)->stringValue(), "ace");
    k.email(1)->setInsertionPoint(0);
    k.deleteKeyAction(nullptr);  // nothing before the insertion point
    EXPECT_EQ(k.email(1)->stringValue(), "ace");

    // A key without a title, or no key at all, types nothing.
    KeyboardKey untitled{"", KeyAction::Character, {}};
    k.takeStringValueFrom(&untitled);
    k.takeStringValueFrom(nullptr);
    EXPECT_EQ(k.email(1)->stringValue(), "ace");
    EXPECT_EQ(k.firstResponder(), k.email(1));
}

TEST(KeyboardView, MultiCharacterKeysTypeAllAndMoveOn) {
    GLIMRA_KeyboardView k;
    fill(k, 1, "john");
    ASSERT_TRUE(k.pressKeyTitled("@gmail.com"));
    EXPECT_EQ(k.email(1)->stringValue(), "john@gmail.com");
    EXPECT_EQ(k.firstResponder(), k.email(2));

    // Domain key into field 2 making it valid too: the focus skips to field 3.
    typeOnKeys(k, "jo");
    ASSERT_TRUE(k.pressKeyTitled("@gmail.com"));
    EXPECT_EQ(k.firstResponder(), k.email(3));
    // A part of an address leaves the field invalid: the focus stays on it.
    typeOnKeys(k, "x");
    ASSERT_TRUE(k.pressKeyTitled(".com"));
    EXPECT_EQ(k.email(3)->stringValue(), "x.com");
    EXPECT_EQ(k.firstResponder(), k.email(4));
}

TEST(KeyboardView, NextSkipsValidFieldsWrapsAndEnds) {
    GLIMRA_KeyboardView k;
    k.setValues({"a@b.com", "a@b.com"});
    k.makeFirstResponder(k.email(1));
    ASSERT_TRUE(k.pressKeyTitled("Next"));
    EXPECT_EQ(k.firstResponder(), k.email(3));
    // Typing in field 4 makes field 1 the start of the search; 1 and 2 are
    // valid, so Next wraps round to field 3.
    fill(k, 4, "x");
    k.nextKeyAction(nullptr);
    EXPECT_EQ(k.firstResponder(), k.email(3));

    // Every field valid: Next goes to the field after the one being edited.
    GLIMRA_KeyboardView all;
    all.setValues({"a@b.com", "a@b.com", "c@d.com", "e@f.com"});
    all.makeFirstResponder(all.email(2));
    all.insertText("");  // not an edit
    all.email(2)->setInsertionPoint(0);
    all.insertText("z");  // editing field 2 starts: Next begins at field 3
    EXPECT_EQ(all.nextTextView(), all.email(3));
    all.nextKeyAction(nullptr);
    EXPECT_EQ(all.firstResponder(), all.email(3));

    // The search starts at field 1, which then leaves the loop: the walk
    // 2 -> 3 -> 4 -> 2 never comes back to it, and must end all the same.
    GLIMRA_KeyboardView left;
    left.setValues({"a@b.com", "a@b.com", "c@d.com", "e@f.com"});
    left.email(1)->setHidden(true);
    EXPECT_NE(left.nextEmailForTextField(left.nextTextView()), nullptr);
}

TEST(KeyboardView, ValuesCollectWithoutGapsAndEmptyTheFields) {
    GLIMRA_KeyboardView k;
    fill(k, 2, "two@x.com");
    fill(k, 4, "Four");
    fill(k, 3, "");
    EXPECT_EQ(k.values(), (std::vector<std::string>{"two@x.com", "four"}));
    EXPECT_EQ(texts(k), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(k.nextTextView(), k.email(1));
    EXPECT_TRUE(k.values().empty());

    // Text is kept as typed: no trimming, no case change.
    k.makeFirstResponder(k.email(1));
    k.insertText(" Mixed@Case.COM ");
    EXPECT_EQ(k.values(), (std::vector<std::string>{" Mixed@Case.COM "}));

    // A field that is not editable is not collected.
    k.email(3)->setStringValue("kept@x.com");
    k.email(3)->setEditable(false);
    EXPECT_TRUE(k.values().empty());
    EXPECT_EQ(k.email(3)->stringValue(), "kept@x.com");
}

TEST(KeyboardView, SetValuesGivesBackValidAndClearsRefused) {
    GLIMRA_KeyboardView k;
    k.setValues({"good@example.com", "bad@"});
    EXPECT_EQ(texts(k), (std::vector<std::string>{"good@example.com", "", "", ""}));
    EXPECT_EQ(k.nextTextView(), k.email(2));

    // The lowest refused field wins; fields beyond the list keep their text.
    k.email(4)->setStringValue("four@x.com");
    k.setValues({"x", "ok@x.com", "y"});
    EXPECT_EQ(texts(k), (std::vector<std::string>{"", "ok@x.com", "", "four@x.com"}));
    EXPECT_EQ(k.nextTextView(), k.email(1));

    k.setValues({"a@x.com", "b@x.com", "c@x.com", "d@x.com", "e@x.com"});
    EXPECT_EQ(texts(k), (std::vector<std::string>{"a@x.com", "b@x.com", "c@x.com", "d@x.com"}));

    k.setValues({});
    EXPECT_EQ(texts(k), (std::vector<std::string>{"a@x.com", "b@x.com", "c@x.com", "d@x.com"}));
}

TEST(KeyboardView, MissingFieldsAreSkippedAndStopTheGivingBack) {
    KeyboardLayout layout = KeyboardLayout::standard();
    std::erase_if(layout.fields, [](const KeyboardFieldSpec& f) { return f.number == 3; });
    GLIMRA_KeyboardView k(layout);
    ASSERT_EQ(k.email(3), nullptr);
    k.email(1)->setStringValue("one@x.com");
    k.email(4)->setStringValue("four@x.com");
    EXPECT_EQ(k.values(), (std::vector<std::string>{"one@x.com", "four@x.com"}));

    k.setValues({"a@x.com", "b@x.com", "c@x.com", "d@x.com"});
    EXPECT_EQ(k.email(1)->stringValue(), "a@x.com");
    EXPECT_EQ(k.email(2)->stringValue(), "b@x.com");
    EXPECT_EQ(k.email(4)->stringValue(), "");

    // The key-view loop passes over the missing field: 2 -> 4.
    EXPECT_EQ(k.nextValidKeyView(k.email(2)), k.email(4));
    EXPECT_EQ(k.nextValidKeyView(k.email(4)), k.email(1));
}

TEST(KeyboardView, ExitAndAcceptGoThroughTheDelegate) {
    GLIMRA_KeyboardView k;
    int asked = 0;
    int startedOver = 0;
    bool answer = false;
    std::vector<std::string> accepted;
    GLIMRA_KeyboardViewDelegate d;
    d.keyboardViewConfirmCancel = [&](GLIMRA_KeyboardView& v) {
        EXPECT_EQ(&v, &k);
        ++asked;
        return answer;
    };
    d.startOver = [&](GLIMRA_KeyboardView&) { ++startedOver; };
    d.keyboardViewDidAcceptAndContinue = [&](GLIMRA_KeyboardView& v) { accepted = v.values(); };
    k.setDelegate(d);

    k.setValues({"a@x.com", "a@x.com"});
    ASSERT_TRUE(k.pressKeyTitled("Exit"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(startedOver, 0);
    EXPECT_EQ(texts(k), (std::vector<std::string>{"a@x.com", "a@x.com", "", ""}));
    answer = true;
    k.exitKeyAction(nullptr);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(startedOver, 1);
    EXPECT_EQ(texts(k), (std::vector<std::string>{"", "", "", ""}));

    fill(k, 1, "a@x.com");
    fill(k, 2, "b@x.com");
    ASSERT_TRUE(k.pressKeyTitled("Go"));
    EXPECT_EQ(accepted, (std::vector<std::string>{"a@x.com", "b@x.com"}));

    // Without a delegate Exit goes ahead and Accept does nothing.
    GLIMRA_KeyboardView alone;
    alone.setValues({"a@x.com"});
    alone.acceptAndContinue(alone.goButton());
    EXPECT_EQ(alone.email(1)->stringValue(), "a@x.com");
    alone.exitKeyAction(nullptr);
    EXPECT_EQ(alone.email(1)->stringValue(), "");
}

TEST(KeyboardView, ContentScalesToTheFrame) {
    GLIMRA_KeyboardView k;
    const ViewSize original = k.preferredSize();
    const KeyboardKey& key = k.keys().front();
    const ViewRect before = k.rectInFrame(key.frame);
    EXPECT_EQ(before, key.frame);

    k.setFrameSize({original.width * 2, original.height * 2});
    EXPECT_EQ(k.boundsSize(), original);
    EXPECT_EQ(k.preferredSize(), original);
    EXPECT_EQ(k.contentScale(), (ViewSize{2, 2}));
    for (const KeyboardKey& each : k.keys()) {
        const ViewRect r = k.rectInFrame(each.frame);
        EXPECT_FLOAT_EQ(r.width, each.frame.width * 2) << each.title;
        EXPECT_FLOAT_EQ(r.height, each.frame.height * 2) << each.title;
    }
    const ViewRect field = k.rectInFrame(k.email(1)->frame());
    EXPECT_FLOAT_EQ(field.width, k.email(1)->frame().width * 2);

    k.setFrame({10, 20, original.width / 2, original.height});
    EXPECT_EQ(k.frame(), (ViewRect{10, 20, original.width / 2, original.height}));
    EXPECT_EQ(k.contentScale(), (ViewSize{0.5f, 1}));
}

TEST(KeyboardView, RedOutlinesSurroundTheMarkedFieldsAndTheDrawingSideIsToldWhatChanged) {
    GLIMRA_KeyboardView k;
    EXPECT_TRUE(k.drawFocusRing().empty());
    k.addBadEmailField(k.email(2));
    k.addBadEmailField(k.email(2));
    k.addBadEmailField(nullptr);
    const auto rings = k.drawFocusRing();
    ASSERT_EQ(rings.size(), 1u);
    const ViewRect f = k.email(2)->frame();
    EXPECT_EQ(rings[0].rect, (ViewRect{f.x - 19, f.y - 19, f.width + 38, f.height + 38}));
    EXPECT_EQ(rings[0].radiusX, 9);
    EXPECT_EQ(rings[0].radiusY, 9);
    k.removeBadEmailField(k.email(2));
    EXPECT_TRUE(k.drawFocusRing().empty());
    std::vector<GLIMRA_KeyboardView::Change> changes;
    k.setChangeHandler([&](GLIMRA_KeyboardView::Change c) { changes.push_back(c); });
    k.makeReady();
    k.insertText("a");
    k.setFrameSize({1, 1});
    using C = GLIMRA_KeyboardView::Change;
    EXPECT_EQ(changes, (std::vector<C>{C::Focus, C::BringToFront, C::Contents, C::Geometry}));
    EXPECT_EQ(k.firstResponder(), k.email(1));
    // A hidden field cannot take the focus.
    k.email(3)->setHidden(true);
    EXPECT_FALSE(k.makeFirstResponder(k.email(3)));
    EXPECT_EQ(k.firstResponder(), k.email(1));
}

}  // namespace
}  // namespace klik
