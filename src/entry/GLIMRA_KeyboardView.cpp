#include "entry/GLIMRA_KeyboardView.h"

#include <algorithm>

#include "entry/EmailValidation.h"
#include "entry/EntryText.h"
#include "foundation/Value.h"
#include "log/ConsoleLog.h"
#include "log/Log.h"

namespace klik {

namespace {

constexpr const char* kClassName = "GLIMRA_KeyboardView";
constexpr const char* kNotValidText =
    "The email address shown in RED is not valid. Please correct it.";
constexpr float kNoticeHeight = 28;
constexpr float kNoticeFontSize = 23;
constexpr float kFocusRingOutset = 19;

std::string describe(const std::vector<std::string>& list) {
    Array a;
    for (const auto& s : list) a.emplace_back(entry::displayable(s));
    return Value(a).description();
}

}  // namespace

GLIMRA_KeyboardView::GLIMRA_KeyboardView(const KeyboardLayout& layout) {
    frame_ = {0, 0, layout.size.width, layout.size.height};
    boundsSize_ = layout.size;
    commonInits();
    awakeFromNib(layout);
}

void GLIMRA_KeyboardView::commonInits() {
    _originalFrameSize = frame_.size();
    _badEmailSet.clear();
    consoleLog(stringWithFormat("starting up in %s with frame size {%g, %g}",
                                "-[GLIMRA_KeyboardView commonInits]",
                                static_cast<double>(_originalFrameSize.width),
                                static_cast<double>(_originalFrameSize.height)));
}

void GLIMRA_KeyboardView::awakeFromNib(const KeyboardLayout& layout) {
    for (const KeyboardFieldSpec& spec : layout.fields) {
        if (spec.number < 1 || spec.number > 4 || fields_[spec.number - 1]) {
            GLIMRA_Log::debugf("%s: layout field %d ignored (out of range or repeated)", kClassName,
                               spec.number);
            continue;
        }
        fields_[spec.number - 1] =
            std::make_unique<KeyboardTextField>("email" + std::to_string(spec.number), spec.frame);
    }
    _email1 = fields_[0].get();
    _email2 = fields_[1].get();
    _email3 = fields_[2].get();
    _email4 = fields_[3].get();
    _nextTextView = _email1;

    // The notice strip across the top, hidden until something shows it.
    const ViewRect noticeFrame = layout.emailNotValidFrame.value_or(ViewRect{
        0, _originalFrameSize.height - kNoticeHeight, _originalFrameSize.width, kNoticeHeight});
    _emailNotValid = std::make_unique<KeyboardTextField>("emailNotValid", noticeFrame);
    _emailNotValid->setStringValue(kNotValidText);
    _emailNotValid->setTextColor("red");
    _emailNotValid->setFontSize(kNoticeFontSize);
    _emailNotValid->setEditable(false);
    _emailNotValid->setHidden(true);

    // A key without an action of its own is a character key.
    keys_ = layout.keys;
    if (layout.goButton) {
        keys_.push_back(*layout.goButton);
        goButtonIndex_ = static_cast<std::ptrdiff_t>(keys_.size() - 1);
    }
    for (KeyboardKey& key : keys_)
        if (!key.action) key.action = KeyAction::Character;

    if (_email1) _email1->setPlaceholder("< Enter Your Email >");
    if (_email2) _email2->setPlaceholder("");
}

void GLIMRA_KeyboardView::changed(Change c) const {
    if (changeHandler_) changeHandler_(c);
}

const KeyboardKey* GLIMRA_KeyboardView::goButton() const {
    return goButtonIndex_ < 0 ? nullptr : &keys_[static_cast<size_t>(goButtonIndex_)];
}

KeyboardTextField* GLIMRA_KeyboardView::email(int number) const {
    return number >= 1 && number <= 4 ? fields_[number - 1].get() : nullptr;
}

// --- Key actions -------------------------------------------------------------

void GLIMRA_KeyboardView::runAction(const KeyboardKey& key) {
    switch (key.action.value_or(KeyAction::Character)) {
        case KeyAction::Character:
            takeStringValueFrom(&key);
            break;
        case KeyAction::Next:
            nextKeyAction(&key);
            break;
        case KeyAction::Delete:
            deleteKeyAction(&key);
            break;
        case KeyAction::Accept:
            acceptAndContinue(&key);
            break;
        case KeyAction::Exit:
            exitKeyAction(&key);
            break;
        case KeyAction::StartOver:
            startOver(&key);
            break;
    }
}

void GLIMRA_KeyboardView::pressKey(size_t index) {
    if (index >= keys_.size()) {
        GLIMRA_Log::debugf("%s: no key %zu (there are %zu)", kClassName, index, keys_.size());
        return;
    }
    runAction(keys_[index]);
}

bool GLIMRA_KeyboardView::pressKeyTitled(std::string_view title) {
    auto it = std::find_if(keys_.begin(), keys_.end(),
                           [&](const KeyboardKey& k) { return k.title == title; });
    if (it == keys_.end()) return false;
    runAction(*it);
    return true;
}

void GLIMRA_KeyboardView::takeStringValueFrom(const KeyboardKey* sender) {
    const std::string text = sender ? entry::lowercased(sender->title) : std::string();
    insertText(text);
    if (entry::codePointCount(text) > 1) nextFirstResponder(sender);
}

void GLIMRA_KeyboardView::insertText(std::string_view text) {
    if (text.empty()) return;
    KeyboardTextField* field = firstResponder_;
    if (!field) {
        GLIMRA_Log::debugf("%s: no field has the focus; [%s] dropped", kClassName,
                           entry::displayable(text).c_str());
        return;
    }
    if (!field->insertText(text)) return;
    if (editingField_ != field) {
        editingField_ = field;
        controlTextDidBeginEditing(field);
    }
    changed(Change::Contents);
}

void GLIMRA_KeyboardView::nextKeyAction(const KeyboardKey* sender) {
    nextFirstResponder(sender);
}

void GLIMRA_KeyboardView::deleteKeyAction(const KeyboardKey*) {
    KeyboardTextField* field = firstResponder_;
    if (!field || !field->deleteBackward()) return;
    if (editingField_ != field) {
        editingField_ = field;
        controlTextDidBeginEditing(field);
    }
    changed(Change::Contents);
}

void GLIMRA_KeyboardView::acceptAndContinue(const KeyboardKey*) {
    if (_delegate.keyboardViewDidAcceptAndContinue)
        _delegate.keyboardViewDidAcceptAndContinue(*this);
}

void GLIMRA_KeyboardView::exitKeyAction(const KeyboardKey*) {
    consoleLog(stringWithFormat("%s-%s  [self delegate]=[%s]", kClassName,
                                "exitKeyAction:", _delegate.description.c_str()));
    bool goAhead = true;
    if (_delegate.keyboardViewConfirmCancel) {
        consoleLog(stringWithFormat("%s-%s  DOES respond to keyboardViewConfirmCancel...",
                                    kClassName, "exitKeyAction:"));
        goAhead = _delegate.keyboardViewConfirmCancel(*this);
    } else {
        consoleLog(stringWithFormat("%s-%s  DOES NOT respond to keyboardViewConfirmCancel...",
                                    kClassName, "exitKeyAction:"));
    }
    if (!goAhead) return;
    (void)values();
    if (_delegate.startOver) _delegate.startOver(*this);
}

void GLIMRA_KeyboardView::startOver(const KeyboardKey*) {}

// --- Focus -----------------------------------------------------------------------

bool GLIMRA_KeyboardView::makeFirstResponder(KeyboardTextField* field) {
    if (field && !field->canBecomeKeyView()) return false;
    // Taking the focus ends any editing under way, even when the focus
    // returns to the same field: the next change starts a new editing.
    firstResponder_ = field;
    editingField_ = nullptr;
    if (field) field->setInsertionPoint(entry::codePointCount(field->stringValue()));
    changed(Change::Focus);
    return true;
}

KeyboardTextField* GLIMRA_KeyboardView::nextValidKeyView(const KeyboardTextField* field) const {
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [&](const auto& f) { return f.get() == field; });
    if (it == fields_.end()) return nullptr;
    const size_t start = static_cast<size_t>(it - fields_.begin());
    for (size_t step = 1; step <= fields_.size(); ++step) {
        KeyboardTextField* candidate = fields_[(start + step) % fields_.size()].get();
        if (candidate && candidate->canBecomeKeyView()) return candidate;
    }
    return nullptr;
}

void GLIMRA_KeyboardView::controlTextDidBeginEditing(KeyboardTextField* field) {
    KeyboardTextField* next = nextValidKeyView(field);
    _nextTextView = next ? next : _email1;
}

KeyboardTextField* GLIMRA_KeyboardView::nextEmailForTextField(KeyboardTextField* field) {
    KeyboardTextField* f = field;
    // Every field is visited at most once: when the search cannot come back
    // to where it started (a field left the key-view loop), it still ends.
    size_t visited = 0;
    while (f && validateEmailAddress(f->stringValue())) {
        f = nextValidKeyView(f);
        if (f == _nextTextView) break;
        if (!f) f = _email1;
        if (++visited > fields_.size()) {
            GLIMRA_Log::debugf("%s: every reachable field holds a valid address", kClassName);
            break;
        }
    }
    return f;
}

void GLIMRA_KeyboardView::nextFirstResponder(const KeyboardKey*) {
    makeFirstResponder(nextEmailForTextField(_nextTextView));
}

void GLIMRA_KeyboardView::makeReady() {
    makeFirstResponder(_email1);
    changed(Change::BringToFront);
}

void GLIMRA_KeyboardView::viewDidUnHide() {
    makeReady();
}

void GLIMRA_KeyboardView::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    changed(Change::Visibility);
    if (!hidden) viewDidUnHide();
}

// --- Values ----------------------------------------------------------------------

std::vector<std::string> GLIMRA_KeyboardView::values() {
    _nextTextView = _email1;
    std::vector<std::string> result;
    bool emptied = false;
    for (const auto& f : fields_) {
        if (!f || !f->isEditable() || f->stringValue().empty()) continue;
        result.push_back(f->stringValue());
        f->setStringValue("");
        emptied = true;
    }
    if (emptied) changed(Change::Contents);
    return result;
}

std::vector<KeyboardTextField*> GLIMRA_KeyboardView::leadingFields() const {
    std::vector<KeyboardTextField*> list;
    for (const auto& f : fields_) {
        if (!f) break;
        list.push_back(f.get());
    }
    return list;
}

void GLIMRA_KeyboardView::setValues(const std::vector<std::string>& values) {
    consoleLog(stringWithFormat("%s-%s  valuesArray = %s", kClassName,
                                "setValues:", describe(values).c_str()));
    const std::vector<KeyboardTextField*> fields = leadingFields();
    const size_t n = std::min(fields.size(), values.size());
    for (size_t i = n; i-- > 0;) {
        consoleLog(stringWithFormat("%s-%s  email[%zu] = [%s]", kClassName, "setValues:", i,
                                    entry::displayable(values[i]).c_str()));
        if (validateEmailAddress(values[i])) {
            fields[i]->setStringValue(values[i]);
        } else {
            fields[i]->setStringValue("");
            _nextTextView = fields[i];
        }
    }
    if (n > 0) changed(Change::Contents);
}

// --- Geometry --------------------------------------------------------------------

void GLIMRA_KeyboardView::setFrameSize(ViewSize size) {
    frame_.width = size.width;
    frame_.height = size.height;
    boundsSize_ = preferredSize();
    changed(Change::Geometry);
}

void GLIMRA_KeyboardView::setFrameOrigin(float x, float y) {
    frame_.x = x;
    frame_.y = y;
    changed(Change::Geometry);
}

void GLIMRA_KeyboardView::setFrame(ViewRect frame) {
    setFrameOrigin(frame.x, frame.y);
    setFrameSize(frame.size());
}

ViewSize GLIMRA_KeyboardView::contentScale() const {
    const float sx = boundsSize_.width > 0 ? frame_.width / boundsSize_.width : 1;
    const float sy = boundsSize_.height > 0 ? frame_.height / boundsSize_.height : 1;
    return {sx, sy};
}

ViewRect GLIMRA_KeyboardView::rectInFrame(ViewRect content) const {
    const ViewSize s = contentScale();
    return {content.x * s.width, content.y * s.height, content.width * s.width,
            content.height * s.height};
}

// --- Red outlines ----------------------------------------------------------------

void GLIMRA_KeyboardView::addBadEmailField(KeyboardTextField* field) {
    if (field && _badEmailSet.insert(field).second) changed(Change::Contents);
}

void GLIMRA_KeyboardView::removeBadEmailField(KeyboardTextField* field) {
    if (_badEmailSet.erase(field) > 0) changed(Change::Contents);
}

std::vector<GLIMRA_KeyboardView::FocusRing> GLIMRA_KeyboardView::drawFocusRing() const {
    std::vector<FocusRing> rings;
    for (const auto& f : fields_)  // field order, so drawing is stable
        if (f && _badEmailSet.count(f.get()))
            rings.push_back({f->frame().insetBy(-kFocusRingOutset), 9, 9});
    return rings;
}

}  // namespace klik
