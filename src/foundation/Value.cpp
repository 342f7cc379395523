#include "foundation/Value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace klik {

namespace {

bool parseBoolText(const std::string& s) {
    // Like the platform's string boolValue: skip blanks, then Y/y/T/t or a
    // non-zero digit run means true.
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size()) return false;
    char c = s[i];
    if (c == 'Y' || c == 'y' || c == 'T' || c == 't') return true;
    while (i < s.size() && s[i] == '0') ++i;
    return i < s.size() && s[i] >= '1' && s[i] <= '9';
}

std::string indentText(int n) {
    return std::string(static_cast<size_t>(n) * 4, ' ');
}

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s)
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '/' || c == '-' || c == ':'))
            return true;
    return false;
}

}  // namespace

bool Value::boolValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_);
        case Type::Integer:
            return std::get<std::int64_t>(v_) != 0;
        case Type::Real:
            return std::get<double>(v_) != 0.0;
        case Type::String:
            return parseBoolText(std::get<std::string>(v_));
        default:
            return false;
    }
}

std::int64_t Value::integerValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1 : 0;
        case Type::Integer:
            return std::get<std::int64_t>(v_);
        case Type::Real: {
            double d = std::get<double>(v_);
            if (std::isnan(d)) return 0;
            if (d >= 9.2e18) return INT64_MAX;
            if (d <= -9.2e18) return INT64_MIN;
            return static_cast<std::int64_t>(d);
        }
        case Type::String: {
            const std::string& s = std::get<std::string>(v_);
            return std::strtoll(s.c_str(), nullptr, 10);
        }
        default:
            return 0;
    }
}

double Value::doubleValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1.0 : 0.0;
        case Type::Integer:
            return static_cast<double>(std::get<std::int64_t>(v_));
        case Type::Real:
            return std::get<double>(v_);
        case Type::String: {
            const std::string& s = std::get<std::string>(v_);
            return std::strtod(s.c_str(), nullptr);
        }
        default:
            return 0.0;
    }
}

std::string Value::stringOr(std::string fallback) const {
    if (auto s = string()) return *s;
    return fallback;
}

const Value& Value::operator[](const std::string& key) const {
    static const Value none;
    if (auto d = dictionary()) {
        auto it = d->find(key);
        if (it != d->end()) return it->second;
    }
    return none;
}

std::string Value::description(int indent) const {
    std::ostringstream out;
    switch (type()) {
        case Type::None:
            out << "(null)";
            break;
        case Type::Bool:
            out << (std::get<bool>(v_) ? "1" : "0");
            break;
        case Type::Integer:
            out << std::get<std::int64_t>(v_);
            break;
        case Type::Real: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g", std::get<double>(v_));
            out << buf;
            break;
        }
        case Type::String: {
            const auto& s = std::get<std::string>(v_);
            if (needsQuotes(s)) {
                out << '"';
                for (char c : s) {
                    if (c == '"' || c == '\\') out << '\\';
                    out << c;
                }
                out << '"';
            } else {
                out << s;
            }
            break;
        }
        case Type::Data: {
            out << '<';
            const auto& d = std::get<klik::Data>(v_);
            char buf[4];
            for (size_t i = 0; i < d.size(); ++i) {
                if (i && i % 4 == 0) out << ' ';
                std::snprintf(buf, sizeof buf, "%02x", d[i]);
                out << buf;
            }
            out << '>';
            break;
        }
        case Type::Date: {
            auto t = std::chrono::system_clock::to_time_t(std::get<klik::Date>(v_));
            std::tm tm{};
            gmtime_r(&t, &tm);
            char buf[64];
            std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
            out << buf;
            break;
        }
        case Type::Array: {
            const auto& a = std::get<klik::Array>(v_);
            out << "(\n";
            for (size_t i = 0; i < a.size(); ++i) {
                out << indentText(indent + 1) << a[i].description(indent + 1);
                if (i + 1 < a.size()) out << ',';
                out << '\n';
            }
            out << indentText(indent) << ')';
            break;
        }
        case Type::Dictionary: {
            const auto& d = std::get<klik::Dictionary>(v_);
            out << "{\n";
            for (const auto& [k, v] : d) {
                out << indentText(indent + 1) << Value(k).description() << " = "
                    << v.description(indent + 1) << ";\n";
            }
            out << indentText(indent) << '}';
            break;
        }
        case Type::Object: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "<object %p>", std::get<OpaqueObject>(v_).ptr);
            out << buf;
            break;
        }
    }
    return out.str();
}

const Value* find(const Dictionary& d, const std::string& key) {
    auto it = d.find(key);
    return it == d.end() ? nullptr : &it->second;
}

std::optional<std::string> findString(const Dictionary& d, const std::string& key) {
    if (auto v = find(d, key))
        if (auto s = v->string()) return *s;
    return std::nullopt;
}

void PrintTo(const Value& v, std::ostream* os) {
    *os << v.description();
}

}  // namespace klik
