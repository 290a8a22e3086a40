// Little-endian packing for PTP/IP packets and PTP datasets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quor::standin {

using Bytes = std::vector<std::uint8_t>;

class Writer {
public:
    Writer& U8(std::uint8_t v) {
        out_.push_back(v);
        return *this;
    }
    Writer& U16(std::uint16_t v) {
        for (int i = 0; i < 2; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Writer& U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Writer& U64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Writer& Raw(std::span<const std::uint8_t> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // NUL-terminated ASCII, as EOS string properties and event file names are sent.
    Writer& Ascii(std::string_view s) {
        out_.insert(out_.end(), s.begin(), s.end());
        out_.push_back(0);
        return *this;
    }
    // PTP string: u8 count of UCS-2 units including the terminator (0 for empty), then the units.
    Writer& PtpString(std::string_view s) {
        if (s.empty())
            return U8(0);
        U8(static_cast<std::uint8_t>(s.size() + 1));
        for (char c : s)
            U16(static_cast<std::uint8_t>(c));
        return U16(0);
    }
    // UCS-2LE with a terminating NUL and no count (the PTP/IP init packets).
    Writer& Ucs2z(std::string_view s) {
        for (char c : s)
            U16(static_cast<std::uint8_t>(c));
        return U16(0);
    }
    Writer& U16Array(std::span<const std::uint16_t> values) {
        U32(static_cast<std::uint32_t>(values.size()));
        for (auto v : values)
            U16(v);
        return *this;
    }
    // Overwrites a u32 already written at `offset` (lengths known only at the end).
    void PatchU32(std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::size_t Size() const { return out_.size(); }
    const Bytes& Get() const { return out_; }
    Bytes Take() { return std::move(out_); }

private:
    Bytes out_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    std::optional<std::uint16_t> U16() {
        if (!Has(2))
            return std::nullopt;
        std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    std::optional<std::uint32_t> U32() {
        if (!Has(4))
            return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | data_[pos_ + static_cast<std::size_t>(i)];
        pos_ += 4;
        return v;
    }
    std::optional<std::uint64_t> U64() {
        auto lo = U32();
        auto hi = U32();
        if (!lo || !hi)
            return std::nullopt;
        return (static_cast<std::uint64_t>(*hi) << 32) | *lo;
    }
    std::span<const std::uint8_t> Rest() const { return data_.subspan(pos_); }
    std::size_t Remaining() const { return data_.size() - pos_; }

private:
    bool Has(std::size_t n) const { return data_.size() - pos_ >= n; }
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

} // namespace quor::standin
