#include "ptpip/PtpBytes.h"

namespace klik::ptp {

bool ByteReader::u8(std::uint8_t& v) {
    if (remaining() < 1) return false;
    v = data_[pos_++];
    return true;
}

bool ByteReader::u16(std::uint16_t& v) {
    if (remaining() < 2) return false;
    v = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
}

bool ByteReader::u32(std::uint32_t& v) {
    if (remaining() < 4) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | data_[pos_ + static_cast<std::size_t>(i)];
    pos_ += 4;
    return true;
}

bool ByteReader::u64(std::uint64_t& v) {
    std::uint32_t lo = 0, hi = 0;
    if (remaining() < 8) return false;
    u32(lo);
    u32(hi);
    v = static_cast<std::uint64_t>(hi) << 32 | lo;
    return true;
}

namespace {
char latin1(std::uint16_t c) {
    return c < 0x80 ? static_cast<char>(c) : '?';
}
}  // namespace

bool ByteReader::string(std::string& v) {
    std::uint8_t count = 0;
    if (!u8(count)) return false;
    v.clear();
    if (remaining() < std::size_t{2} * count) return false;
    for (unsigned i = 0; i < count; ++i) {
        std::uint16_t c = 0;
        u16(c);
        if (c == 0) {
            // The terminator; anything the count claims after it is skipped.
            skip(std::size_t{2} * (count - i - 1));
            break;
        }
        v.push_back(latin1(c));
    }
    return true;
}

bool ByteReader::nullTerminatedUcs2(std::string& v) {
    v.clear();
    for (;;) {
        std::uint16_t c = 0;
        if (!u16(c)) return false;
        if (c == 0) return true;
        v.push_back(latin1(c));
    }
}

bool ByteReader::skip(std::size_t n) {
    if (remaining() < n) return false;
    pos_ += n;
    return true;
}

void ByteWriter::u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v));
    u32(static_cast<std::uint32_t>(v >> 32));
}

void ByteWriter::string(const std::string& v) {
    if (v.empty()) {
        u8(0);
        return;
    }
    const std::size_t n = v.size() < 254 ? v.size() : 254;
    u8(static_cast<std::uint8_t>(n + 1));
    for (std::size_t i = 0; i < n; ++i) u16(static_cast<unsigned char>(v[i]));
    u16(0);
}

void ByteWriter::nullTerminatedUcs2(const std::string& v) {
    for (unsigned char c : v) u16(c);
    u16(0);
}

void ByteWriter::u16Array(const std::vector<std::uint16_t>& v) {
    u32(static_cast<std::uint32_t>(v.size()));
    for (auto x : v) u16(x);
}

void ByteWriter::u32Array(const std::vector<std::uint32_t>& v) {
    u32(static_cast<std::uint32_t>(v.size()));
    for (auto x : v) u32(x);
}

}  // namespace klik::ptp
