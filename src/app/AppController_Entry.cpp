// The guest's data entry on screen 1: the email keyboard's accept and cancel
// decisions, the email error screen, and the barcode field.

#include <algorithm>

#include "app/AppController.h"
#include "entry/BarcodeCheck.h"
#include "entry/BarcodeRules.h"
#include "entry/EmailValidation.h"
#include "entry/EntryText.h"
#include "log/ConsoleLog.h"
#include "log/Log.h"

namespace klik {

namespace {

std::string describe(const std::vector<std::string>& list) {
    Array a;
    for (const auto& s : list) a.emplace_back(entry::displayable(s));
    return Value(a).description();
}

bool sameAddress(const std::string& a, const std::string& b) {
    return entry::lowercased(a) == entry::lowercased(b);
}

}  // namespace

bool AppController::wireKeyboard() {
    GLIMRA_KeyboardViewDelegate d;
    d.description = "AppController";
    d.keyboardViewDidAcceptAndContinue = [this](GLIMRA_KeyboardView& k) {
        keyboardViewDidAcceptAndContinue(k);
    };
    d.keyboardViewConfirmCancel = [this](GLIMRA_KeyboardView& k) {
        return keyboardViewConfirmCancel(k);
    };
    d.startOver = [this](GLIMRA_KeyboardView&) { startOver(); };
    _keyboardView.setDelegate(std::move(d));
    return true;
}

void AppController::keyboardViewDidAcceptAndContinue(GLIMRA_KeyboardView& keyboard) {
    const std::vector<std::string> v = keyboard.values();
    consoleLog("got values:" + describe(v));
    Dictionary errorInfo;
    bool error = false;
    if (!std::all_of(v.begin(), v.end(),
                     [](const std::string& a) { return validateEmailAddress(a); })) {
        error = true;
    } else if (v.size() < 2) {
        _badEmailItemText.setStringValue("Either email1 or email2 is NIL...");
        errorInfo[sEmailErrorKey] = sEmailErrorImage;
        error = true;
    } else if (!sameAddress(v[0], v[1])) {
        _badEmailItemText.setStringValue("Email Entries Do NOT Match...");
        errorInfo[sEmailErrorKey] = sEmailMismatchImage;
        error = true;
    }
    if (error) {
        doShowEmailError(errorInfo);
        keyboard.setValues(v);
        _screenNumber = 1;
        return;
    }

    _badEmailItemText.setHidden(true);
    if (_currentInputView == &_EVFView && !_camera->hasCamera()) {
        keyboard.setValues(v);
        _badEmail.setHidden(true);
        _goButton.setHidden(false);
        _screenNumber = 1;
        // Told as a camera that went: the guest learns there is none.
        performOnMainLater([this] { cameraDisappeared(std::nullopt); });
        return;
    }
    if (!doDisplayPleaseWait()) {
        keyboard.setValues(v);
        return;
    }
    // Only the guest's own address is kept; the confirmation and any further
    // addresses are not. The fields stay empty, so the next guest never finds
    // this guest's address waiting in them.
    setEmails({v.front()});
    nextScreen();
}

bool AppController::keyboardViewConfirmCancel(GLIMRA_KeyboardView&) {
    return doDisplayConfirmCancel();
}

bool AppController::doShowEmailError(const std::optional<Dictionary>& errorInfo) {
    if (_keyboard.isHidden()) return true;
    std::string pictureName = sEmailErrorImage;
    if (errorInfo)
        if (auto name = findString(*errorInfo, sEmailErrorKey)) pictureName = *name;
    if (_overlayScreens) {
        // A missing picture leaves the screen showing what it showed.
        if (PicturePtr picture = imageNamed(pictureName))
            _overlayScreens->setImage(OverlayScreen::ConfirmEmailEntry, picture);
    }
    std::optional<int> result;
    if (_overlayScreens) result = _overlayScreens->runModal(OverlayScreen::ConfirmEmailEntry);
    if (!result)
        GLIMRA_Log::debugf("doShowEmailError: the \"%s\" screen is missing; the guest goes on",
                           overlayInterfaceName(OverlayScreen::ConfirmEmailEntry));
    return true;
}

void AppController::ibBarcodeSendOnEnterAction(View* sender) {
    const std::string raw = sender ? sender->stringValue() : std::string("AUTOTEST");
    const BarcodeCheck check = BarcodeCheck::check(raw, BarcodeRules::fromSettings(env_.settings));
    if (check.outcome == BarcodeCheck::Outcome::Empty) return;
    View& field = sender ? *sender : _barcodeEntryField1;
    if (check.accepted() && _screenNumber == 1 && !cameraReadyForTurn()) {
        field.setStringValue("");
        refuseTurnWithoutCamera("ibBarcodeSendOnEnterAction");
        return;
    }
    if (check.accepted()) {
        setBarcodeValue(check.value);
        field.setStringValue("");
        nextScreen();
        return;
    }
    GLIMRA_Log::debug(stringWithFormat("ibBarcodeSendOnEnterAction: barcode [%s] refused: %s",
                                       check.shownValue.c_str(), check.reason.c_str()));
    env_.ui.beep();
    field.setStringValue("");
    showEntryAlert(check.alertText());
}

void AppController::showEntryAlert(const std::string& text) {
    floatingAlertWithString(text);
}

}  // namespace klik
