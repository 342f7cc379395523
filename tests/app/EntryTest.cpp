#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ControllerFixture.h"

namespace klik::test {
namespace {

// What the camera-gone handling shows when no camera is left.
constexpr const char* kNoCameraNotice = "panel NO Camera Found!!!\nPlease Check Your Connection!";

class EntryTest : public ControllerFixture {
  protected:
    EntryTest() {
        artwork.names = {"EmailError", "EmailMisMatch"};
        controller->startOver();
        EXPECT_EQ(screen(), 1u);
        // The guest sees the keyboard.
        controller->_keyboard.setHidden(false);
        ui.clear();
    }
    GLIMRA_KeyboardView& keyboard() { return controller->_keyboardView; }
    void type(std::vector<std::string> fields) {
        for (size_t i = 0; i < fields.size(); ++i)
            keyboard().email(static_cast<int>(i) + 1)->setStringValue(fields[i]);
    }
    std::vector<std::string> fields() {
        std::vector<std::string> t;
        for (int i = 1; i <= 4; ++i) t.push_back(keyboard().email(i)->stringValue());
        return t;
    }
    void accept() { keyboard().acceptAndContinue(keyboard().goButton()); }
    size_t runs(OverlayScreen s) const {
        return static_cast<size_t>(std::count(screens.runs.begin(), screens.runs.end(), s));
    }
    FakeOverlayScreens& screens = overlays;
};

using Pics = std::vector<std::pair<OverlayScreen, std::string>>;
using Fields = std::vector<std::string>;

TEST_F(EntryTest, EachRefusedEntryShowsItsErrorPictureAndKeepsTheGuest) {
    type({"good@example.com", "bad@", "", ""});
    accept();
    EXPECT_EQ(runs(OverlayScreen::ConfirmEmailEntry), 1u);
    EXPECT_EQ(screens.pictures, (Pics{{OverlayScreen::ConfirmEmailEntry, "EmailError"}}));
    EXPECT_EQ(fields(), (Fields{"good@example.com", "", "", ""}));
    EXPECT_EQ(keyboard().nextTextView(), keyboard().email(2));
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(controller->emails().empty());

    // Every address is checked, not only the first two.
    screens.pictures.clear();
    type({"a@x.com", "a@x.com", "nope", ""});
    accept();
    EXPECT_EQ(screens.pictures, (Pics{{OverlayScreen::ConfirmEmailEntry, "EmailError"}}));
    EXPECT_EQ(fields(), (Fields{"a@x.com", "a@x.com", "", ""}));
    EXPECT_EQ(screen(), 1u);

    // One address alone is not enough.
    screens.pictures.clear();
    type({"me@example.com", "", "", ""});
    accept();
    EXPECT_EQ(controller->_badEmailItemText.stringValue(), "Either email1 or email2 is NIL...");
    EXPECT_EQ(screens.pictures, (Pics{{OverlayScreen::ConfirmEmailEntry, "EmailError"}}));
    EXPECT_EQ(fields(), (Fields{"me@example.com", "", "", ""}));
    keyboard().nextKeyAction(nullptr);
    EXPECT_EQ(keyboard().firstResponder(), keyboard().email(2));
    EXPECT_EQ(screen(), 1u);

    // Different addresses show the mismatch picture.
    screens.pictures.clear();
    type({"me@example.com", "you@example.com", "", ""});
    accept();
    EXPECT_EQ(controller->_badEmailItemText.stringValue(), "Email Entries Do NOT Match...");
    EXPECT_EQ(screens.pictures, (Pics{{OverlayScreen::ConfirmEmailEntry, "EmailMisMatch"}}));
    EXPECT_EQ(fields(), (Fields{"me@example.com", "you@example.com", "", ""}));
    EXPECT_EQ(screen(), 1u);

    // A missing error screen or picture never blocks the guest.
    artwork.names.clear();
    screens.answers[OverlayScreen::ConfirmEmailEntry] = std::nullopt;
    screens.pictures.clear();
    accept();
    EXPECT_TRUE(screens.pictures.empty());
    EXPECT_EQ(fields(), (Fields{"me@example.com", "you@example.com", "", ""}));
    EXPECT_EQ(screen(), 1u);
    // With the keyboard hidden the error screen is not shown at all.
    controller->_keyboard.setHidden(true);
    screens.runs.clear();
    EXPECT_TRUE(controller->doShowEmailError(std::nullopt));
    EXPECT_TRUE(screens.runs.empty());
}

TEST_F(EntryTest, AcceptedKeepsOnlyTheFirstAddressAsTypedAndMovesOn) {
    const auto unloads = [&] { return ui.count(kNoCameraNotice); };
    type({"Guest@Example.COM", "GUEST@example.com", "friend@example.com", ""});
    accept();
    EXPECT_EQ(controller->emails(), (Fields{"Guest@Example.COM"}));
    EXPECT_EQ(screen(), 2u);
    EXPECT_TRUE(controller->_badEmailItemText.isHidden());
    EXPECT_EQ(runs(OverlayScreen::PleaseWait), 0u);  // "prefShowPauseBeforeCountdown" off
    EXPECT_EQ(runs(OverlayScreen::ConfirmEmailEntry), 0u);
    // The next guest does not find this guest's addresses in the fields.
    EXPECT_EQ(fields(), (Fields{"", "", "", ""}));
    loop.runPending();
    EXPECT_EQ(unloads(), 0u);
}

TEST_F(EntryTest, WithoutACameraTheGuestStaysAndTheCameraIsReportedGone) {
    const auto unloads = [&] { return ui.count(kNoCameraNotice); };
    camera.connected = false;
    controller->_goButton.setHidden(true);
    controller->_badEmail.setHidden(false);
    type({"a@x.com", "a@x.com", "", ""});
    accept();
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(fields(), (Fields{"a@x.com", "a@x.com", "", ""}));
    EXPECT_TRUE(controller->_badEmail.isHidden());
    EXPECT_FALSE(controller->_goButton.isHidden());
    EXPECT_TRUE(controller->emails().empty());
    EXPECT_EQ(unloads(), 0u);  // handled on a later turn of the loop
    loop.runPending();
    EXPECT_EQ(unloads(), 1u);
}

TEST_F(EntryTest, APleaseWaitScreenThatIsNotConfirmedKeepsTheGuest) {
    settings.setBool(key::prefShowPauseBeforeCountdown, true);
    screens.answers[OverlayScreen::PleaseWait] = 7;
    type({"a@x.com", "a@x.com", "", ""});
    accept();
    EXPECT_EQ(runs(OverlayScreen::PleaseWait), 1u);
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(fields(), (Fields{"a@x.com", "a@x.com", "", ""}));
    EXPECT_TRUE(controller->emails().empty());

    screens.answers[OverlayScreen::PleaseWait] = kOverlayGoOn;
    accept();
    EXPECT_EQ(screen(), 2u);
    EXPECT_EQ(controller->emails(), (Fields{"a@x.com"}));
}

TEST_F(EntryTest, CancelAsksOnlyWhileTheKeyboardIsShown) {
    type({"a@x.com", "", "", ""});
    screens.answers[OverlayScreen::ConfirmCancel] = 3;
    keyboard().exitKeyAction(nullptr);
    EXPECT_EQ(runs(OverlayScreen::ConfirmCancel), 1u);
    EXPECT_EQ(fields(), (Fields{"a@x.com", "", "", ""}));

    screens.answers[OverlayScreen::ConfirmCancel] = kOverlayGoOn;
    keyboard().exitKeyAction(nullptr);
    EXPECT_EQ(runs(OverlayScreen::ConfirmCancel), 2u);
    EXPECT_EQ(fields(), (Fields{"", "", "", ""}));
    EXPECT_EQ(screen(), 1u);  // started over
    EXPECT_TRUE(controller->_keyboard.isHidden());

    // Hidden keyboard: no confirmation, the cancel goes ahead.
    type({"b@x.com", "", "", ""});
    ui.clear();
    keyboard().exitKeyAction(nullptr);
    EXPECT_EQ(runs(OverlayScreen::ConfirmCancel), 2u);
    EXPECT_EQ(fields(), (Fields{"", "", "", ""}));
    EXPECT_EQ(ui.screens, (std::vector<std::uint32_t>{1}));
}

TEST_F(EntryTest, BarcodeWithinTheSettingsIsKeptTrimmedAsTypedAndMovesOn) {
    settings.setString("prefBarcodeValidationCharSetString", "0123456789");
    settings.setInteger("prefBarcodeValidationMinimumLength", 5);
    View& field = controller->_barcodeEntryField1;
    field.setStringValue(" 12345 ");
    controller->ibBarcodeSendOnEnterAction(&field);
    EXPECT_EQ(controller->barcodeValue(), "12345");
    EXPECT_EQ(field.stringValue(), "");
    EXPECT_EQ(screen(), 2u);
    EXPECT_EQ(ui.count("beep"), 0u);

    // Checked without case, stored as typed.
    controller->startOver();
    settings.setString("prefBarcodeValidationCharSetString", "AB12");
    settings.removeObject("prefBarcodeValidationMinimumLength");
    settings.setBool("prefBarcodeValidationCaseSensitive", false);
    field.setStringValue("ab12");
    controller->ibBarcodeSendOnEnterAction(&field);
    EXPECT_EQ(controller->barcodeValue(), "ab12");
    EXPECT_EQ(screen(), 2u);
}

TEST_F(EntryTest, RefusedBarcodeBeepsAlertsAndStays) {
    settings.setString("prefBarcodeValidationCharSetString", "0123456789");
    View& field = controller->_barcodeEntryField1;
    bool first = true;
    for (const std::string& raw : {std::string("12-34"), std::string("12\x1b[2J34"),
                                   std::string("12\xff"), std::string(300, '1')}) {
        ui.clear();
        field.setStringValue(raw);
        controller->ibBarcodeSendOnEnterAction(&field);
        EXPECT_EQ(screen(), 1u) << raw;
        EXPECT_EQ(field.stringValue(), "");
        EXPECT_EQ(controller->barcodeValue(), "");
        // The refusal beeps, and the HUD beeps once more when it comes up;
        // while it still shows, a new notice does not beep again.
        EXPECT_EQ(ui.count("beep"), first ? 2u : 1u) << raw;
        first = false;
        auto it = std::find_if(ui.calls.begin(), ui.calls.end(),
                               [](const std::string& c) { return c.rfind("panel ", 0) == 0; });
        ASSERT_NE(it, ui.calls.end());
        const std::string& panel = *it;
        EXPECT_EQ(panel.rfind("panel INVALID BARCODE!\n[", 0), 0u) << panel;
        EXPECT_EQ(panel.find('\x1b'), std::string::npos);
        EXPECT_LT(panel.size(), 320u);
    }
    EXPECT_EQ(ui.count("panel INVALID BARCODE!\n[" + std::string(256, '1') +
                       "\xe2\x80\xa6]\nPlease Try Again!"),
              1u);
    // The notice fades after a while.
    loop.advance(10);
    EXPECT_EQ(ui.calls.back(), "panel fade");
}

TEST_F(EntryTest, EmptyBarcodeDoesNothingAndNoSenderIsTheSelfTest) {
    controller->ibBarcodeSendOnEnterAction(&controller->_barcodeEntryField1);
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(ui.calls.empty());
    controller->ibBarcodeSendOnEnterAction(nullptr);
    EXPECT_EQ(controller->barcodeValue(), "AUTOTEST");
    EXPECT_EQ(screen(), 2u);
}

TEST_F(EntryTest, StartAndStopMovieEachPostTheirOwnNotification) {
    auto& starts = watch(kUpdateAnimationMovieNotification);
    auto& stops = watch(kStopMovieNotification);
    controller->startMovie();
    EXPECT_EQ(starts.size(), 1u);
    EXPECT_EQ(stops.size(), 0u);
    controller->stopMovie();
    EXPECT_EQ(starts.size(), 1u);
    EXPECT_EQ(stops.size(), 1u);
}

TEST_F(EntryTest, ATextFieldUpdateFromAnotherThreadLandsOnTheMainLoop) {
    View& f = controller->_countdownOverlay;
    controller->ibUpdateNSTextFieldWithString(f, "7", true, true);
    EXPECT_EQ(f.stringValue(), "7");
    EXPECT_EQ(f.textColor(), (Colour{1, 0, 0, 1}));
    // Not waiting: nothing changes until the main loop runs, then text and
    // colour change together.
    std::thread([&] {
        controller->ibUpdateNSTextFieldWithString(f, "6", false, std::optional<Colour>());
    }).join();
    EXPECT_EQ(f.stringValue(), "7");
    EXPECT_EQ(f.textColor(), (Colour{1, 0, 0, 1}));
    EXPECT_TRUE(loop.runUntil([&] { return f.stringValue() == "6"; }));
    EXPECT_EQ(f.textColor(), Colour::black());
    // Waiting: the caller returns once the main loop has made the change.
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        controller->ibUpdateNSTextFieldWithString(f, "5", true, false);
        returned = true;
    });
    EXPECT_TRUE(loop.runUntil([&] { return returned.load(); }));
    waiter.join();
    EXPECT_EQ(f.stringValue(), "5");
    // A missing field is only logged.
    controller->ibUpdateNSTextFieldOld(nullptr, "x", true, false);
    EXPECT_EQ(f.stringValue(), "5");
}

}  // namespace
}  // namespace klik::test
