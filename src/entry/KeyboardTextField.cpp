#include "entry/KeyboardTextField.h"

#include <algorithm>

#include "entry/EntryText.h"

namespace klik {

KeyboardTextField::KeyboardTextField(std::string name, ViewRect frame)
    : name_(std::move(name)), frame_(frame) {}

void KeyboardTextField::setStringValue(std::string_view text) {
    text_ = std::string(text);
    insertionPoint_ = entry::codePointCount(text_);
}

bool KeyboardTextField::insertText(std::string_view text) {
    if (text.empty()) return false;
    const size_t at = entry::byteOffsetOfCodePoint(text_, insertionPoint_);
    text_.insert(at, text);
    insertionPoint_ += entry::codePointCount(text);
    return true;
}

bool KeyboardTextField::deleteBackward() {
    if (insertionPoint_ == 0) return false;
    const size_t from = entry::byteOffsetOfCodePoint(text_, insertionPoint_ - 1);
    const size_t to = entry::byteOffsetOfCodePoint(text_, insertionPoint_);
    text_.erase(from, to - from);
    --insertionPoint_;
    return true;
}

void KeyboardTextField::setInsertionPoint(size_t index) {
    insertionPoint_ = std::min(index, entry::codePointCount(text_));
}

}  // namespace klik
