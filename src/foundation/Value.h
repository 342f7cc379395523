#pragma once
// One value type for everything that travels as a property list: settings,
// notification user info, XML answers, sitting information, camera command
// dictionaries and the payload embedded in photos.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

namespace klik {

class Value;

using Data = std::vector<std::uint8_t>;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;

// A point in time; property lists store it with second resolution or better.
using Date = std::chrono::system_clock::time_point;

// An object that is not a property-list value (a camera, a controller) carried
// as the object of a notification or inside user info. Equality is identity.
struct OpaqueObject {
    std::shared_ptr<void> owner;           // keeps the object alive, may be empty
    const void* ptr = nullptr;             // identity
    const std::type_info* type = nullptr;  // the owner's type, when it has one
    bool operator==(const OpaqueObject& o) const { return ptr == o.ptr; }

    // The owner as a T when it was made from a std::shared_ptr<T> of that
    // very type; null otherwise (no owner, or an object of another type).
    template <class T>
    std::shared_ptr<T> as() const {
        if (!owner || !type || *type != typeid(T)) return nullptr;
        return std::static_pointer_cast<T>(owner);
    }
};

template <class T>
OpaqueObject makeOpaque(const std::shared_ptr<T>& p) {
    return OpaqueObject{p, p.get(), &typeid(T)};
}
inline OpaqueObject makeOpaque(const void* identity) {
    return OpaqueObject{{}, identity};
}

class Value {
  public:
    enum class Type { None, Bool, Integer, Real, String, Data, Date, Array, Dictionary, Object };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(float d) : v_(static_cast<double>(d)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(klik::Data d) : v_(std::move(d)) {}
    Value(klik::Date d) : v_(d) {}
    Value(klik::Array a) : v_(std::move(a)) {}
    Value(klik::Dictionary d) : v_(std::move(d)) {}
    Value(OpaqueObject o) : v_(std::move(o)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNone() const { return type() == Type::None; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isData() const { return type() == Type::Data; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isObject() const { return type() == Type::Object; }

    // Coercing reads in the manner of the settings store: numbers convert
    // between each other, strings are parsed ("YES"/"true"/"1" are true,
    // leading digits are a number), anything else reads as false / 0.
    bool boolValue() const;
    std::int64_t integerValue() const;
    double doubleValue() const;

    // Exact reads: nullptr when the value is of another type.
    const std::string* string() const { return std::get_if<std::string>(&v_); }
    const klik::Data* data() const { return std::get_if<klik::Data>(&v_); }
    const klik::Date* date() const { return std::get_if<klik::Date>(&v_); }
    const klik::Array* array() const { return std::get_if<klik::Array>(&v_); }
    const klik::Dictionary* dictionary() const { return std::get_if<klik::Dictionary>(&v_); }
    const OpaqueObject* object() const { return std::get_if<OpaqueObject>(&v_); }
    klik::Array* array() { return std::get_if<klik::Array>(&v_); }
    klik::Dictionary* dictionary() { return std::get_if<klik::Dictionary>(&v_); }

    // The string, or "" when the value is not a string.
    std::string stringOr(std::string fallback = {}) const;

    // Dictionary lookup; a None value when absent or when this is no dictionary.
    const Value& operator[](const std::string& key) const;

    bool operator==(const Value& o) const { return v_ == o.v_; }

    // A readable rendering like the platform's description of a property list,
    // used in log lines.
    std::string description(int indent = 0) const;

  private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, klik::Data, klik::Date,
                 klik::Array, klik::Dictionary, OpaqueObject>
        v_;
};

// Shorthands for dictionaries that may be absent.
const Value* find(const Dictionary& d, const std::string& key);
std::optional<std::string> findString(const Dictionary& d, const std::string& key);

// Lets test frameworks print values readably.
void PrintTo(const Value& v, std::ostream* os);

}  // namespace klik
