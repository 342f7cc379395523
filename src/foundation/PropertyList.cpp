#include "foundation/PropertyList.h"

#include "foundation/PlistShape.h"
#include "foundation/RegularFile.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace klik {

namespace {

// libplist keeps dates as seconds since 2001-01-01 00:00:00 UTC.
constexpr std::int64_t kAppleEpochOffset = 978307200;

Value fromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return Value(b != 0);
        }
        case PLIST_UINT: {
            uint64_t u = 0;
            plist_get_uint_val(node, &u);
            // Signed values travel as their two's complement.
            return Value(static_cast<long long>(u));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return Value(d);
        }
        case PLIST_STRING: {
            uint64_t len = 0;
            const char* p = plist_get_string_ptr(node, &len);
            return Value(std::string(p ? p : "", p ? len : 0));
        }
        case PLIST_DATA: {
            uint64_t len = 0;
            const char* p = plist_get_data_ptr(node, &len);
            Data d(reinterpret_cast<const uint8_t*>(p), reinterpret_cast<const uint8_t*>(p) + len);
            return Value(std::move(d));
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            auto t = std::chrono::system_clock::time_point(
                         std::chrono::seconds(sec + kAppleEpochOffset)) +
                     std::chrono::microseconds(usec);
            return Value(std::chrono::time_point_cast<std::chrono::system_clock::duration>(t));
        }
        case PLIST_ARRAY: {
            Array a;
            uint32_t n = plist_array_get_size(node);
            a.reserve(n);
            for (uint32_t i = 0; i < n; ++i) a.push_back(fromNode(plist_array_get_item(node, i)));
            return Value(std::move(a));
        }
        case PLIST_DICT: {
            Dictionary d;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t val = nullptr;
                plist_dict_next_item(node, it, &key, &val);
                if (!val) {
                    std::free(key);
                    break;
                }
                d[key ? key : ""] = fromNode(val);
                std::free(key);
            }
            std::free(it);
            return Value(std::move(d));
        }
        case PLIST_UID: {
            uint64_t u = 0;
            plist_get_uid_val(node, &u);
            return Value(static_cast<long long>(u));
        }
        default:
            return Value();
    }
}

plist_t toNode(const Value& v) {
    switch (v.type()) {
        case Value::Type::Bool:
            return plist_new_bool(v.boolValue() ? 1 : 0);
        case Value::Type::Integer:
            return plist_new_uint(static_cast<uint64_t>(v.integerValue()));
        case Value::Type::Real:
            return plist_new_real(v.doubleValue());
        case Value::Type::String:
            return plist_new_string(v.string()->c_str());
        case Value::Type::Data: {
            const Data& d = *v.data();
            return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
        }
        case Value::Type::Date: {
            auto us =
                std::chrono::duration_cast<std::chrono::microseconds>(v.date()->time_since_epoch())
                    .count();
            std::int64_t sec = us / 1000000;
            std::int64_t usec = us % 1000000;
            if (usec < 0) {
                usec += 1000000;
                sec -= 1;
            }
            return plist_new_date(static_cast<int32_t>(sec - kAppleEpochOffset),
                                  static_cast<int32_t>(usec));
        }
        case Value::Type::Array: {
            plist_t a = plist_new_array();
            for (const auto& e : *v.array())
                if (plist_t n = toNode(e)) plist_array_append_item(a, n);
            return a;
        }
        case Value::Type::Dictionary: {
            plist_t d = plist_new_dict();
            for (const auto& [k, e] : *v.dictionary())
                if (plist_t n = toNode(e)) plist_dict_set_item(d, k.c_str(), n);
            return d;
        }
        default:
            return nullptr;
    }
}

}  // namespace

PlistResult plistFromBytes(const std::string& bytes) {
    if (bytes.empty()) return {std::nullopt, "empty property list"};
    if (std::string refused = checkPlistShape(bytes); !refused.empty())
        return {std::nullopt, refused};
    plist_t root = nullptr;
    const auto len = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.data(), len))
        plist_from_bin(bytes.data(), len, &root);
    else
        plist_from_xml(bytes.data(), len, &root);
    if (!root) return {std::nullopt, "not a valid property list"};
    Value v = fromNode(root);
    plist_free(root);
    return {std::move(v), {}};
}

PlistResult plistFromFile(const std::string& path) {
    FileReadResult file = readRegularFile(path, PlistLimits{}.maxBytes);
    if (!file.ok) return {std::nullopt, file.error};
    auto r = plistFromBytes(file.bytes);
    if (!r.value) r.error += " (" + path + ")";
    return r;
}

std::string plistToXml(const Value& v) {
    plist_t root = toNode(v);
    if (!root) return {};
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(root, &xml, &len);
    std::string out(xml ? xml : "", xml ? len : 0);
    std::free(xml);
    plist_free(root);
    return out;
}

std::string writeFileAtomically(std::string_view bytes, const std::string& path, unsigned mode,
                                FileSync sync) {
    std::string tmpl = path + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        const int code = errno;
        return "cannot create a temporary file beside " + path + ": " +
               std::generic_category().message(code);
    }
    std::string tmp(name.data());
    auto fail = [&](const std::string& what) {
        int e = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        return what + " " + tmp + ": " + std::generic_category().message(e);
    };
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write");
        }
        off += static_cast<size_t>(n);
    }
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return fail("cannot set the mode of");
    if (sync == FileSync::Synced && ::fsync(fd) != 0) return fail("cannot sync");
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        return "cannot close " + tmp + ": " + std::generic_category().message(e);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        return "cannot rename " + tmp + " to " + path + ": " + std::generic_category().message(e);
    }
    return {};
}

std::string writePlistAtomically(const Value& v, const std::string& path, unsigned mode,
                                 FileSync sync) {
    std::string xml = plistToXml(v);
    if (xml.empty()) return "value is not a property list";
    return writeFileAtomically(xml, path, mode, sync);
}

}  // namespace klik
