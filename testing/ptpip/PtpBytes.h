#pragma once
// Little-endian reading and writing of PTP data. The reader never reads past
// its end: every read says whether it succeeded, so hostile packets are
// turned away instead of being read beyond.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace klik::ptp {

using Bytes = std::vector<std::uint8_t>;

class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const Bytes& b) : ByteReader(b.data(), b.size()) {}

    bool u8(std::uint8_t& v);
    bool u16(std::uint16_t& v);
    bool u32(std::uint32_t& v);
    bool u64(std::uint64_t& v);
    // A PTP string: a count byte (characters including the terminating
    // null, 0 for the empty string), then UCS-2 little-endian. Characters
    // beyond Latin-1 become '?'.
    bool string(std::string& v);
    // A UCS-2 little-endian string ending at a 0 character (PTP/IP names).
    bool nullTerminatedUcs2(std::string& v);
    bool skip(std::size_t n);

    std::size_t remaining() const { return size_ - pos_; }
    std::size_t position() const { return pos_; }
    const std::uint8_t* here() const { return data_ + pos_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class ByteWriter {
  public:
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    // PTP string: at most 254 characters are kept (the count byte's limit).
    void string(const std::string& v);
    void nullTerminatedUcs2(const std::string& v);
    void u16Array(const std::vector<std::uint16_t>& v);
    void u32Array(const std::vector<std::uint32_t>& v);
    void bytes(const std::uint8_t* p, std::size_t n) { out_.insert(out_.end(), p, p + n); }

    Bytes& data() { return out_; }
    Bytes take() { return std::move(out_); }

  private:
    Bytes out_;
};

}  // namespace klik::ptp
