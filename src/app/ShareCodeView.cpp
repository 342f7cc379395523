#include "app/ShareCodeView.h"

#include <algorithm>
#include <cctype>

namespace klik {

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',' || c == ':' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    // A value of hex digits alone would be read as hex bytes.
    const bool allHex = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
    return allHex ? "\"" + out + "\"" : out;
}

}  // namespace

void ShareCodeView::changed() {
    ++revision_;
    observers_.notify(*this);
}

void ShareCodeView::show(const std::string& link, const std::string& wifiCode) {
    if (link.empty()) {
        hide();
        return;
    }
    if (!hidden_ && link_ == link && wifi_ == wifiCode) return;
    hidden_ = false;
    link_ = link;
    wifi_ = wifiCode;
    changed();
}

void ShareCodeView::hide() {
    if (hidden_) return;
    hidden_ = true;
    link_.clear();
    wifi_.clear();
    changed();
}

std::string wifiJoinCode(const std::string& name, const std::string& password) {
    if (name.empty()) return "";
    if (password.empty()) return "WIFI:T:nopass;S:" + escaped(name) + ";;";
    return "WIFI:T:WPA;S:" + escaped(name) + ";P:" + escaped(password) + ";;";
}

}  // namespace klik
