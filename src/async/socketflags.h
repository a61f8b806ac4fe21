// The flags of an asynchronous socket operation.
#pragma once

#include <cstdint>

namespace quorvin {

enum class SocketFlag : std::uint8_t { Peek = 1, IgnoreDisconnect = 2 };

// A set of SocketFlag values, stored as bits.
class SocketFlags {
public:
    constexpr SocketFlags() noexcept = default;
    constexpr SocketFlags(SocketFlag flag) noexcept : bits_(static_cast<std::uint8_t>(flag)) {}
    constexpr bool contains(SocketFlag flag) const noexcept {
        return (bits_ & static_cast<std::uint8_t>(flag)) != 0;
    }
    constexpr SocketFlags without(SocketFlag flag) const noexcept {
        return fromBits(bits_ & ~static_cast<std::uint8_t>(flag));
    }
    constexpr std::uint8_t bits() const noexcept { return bits_; }
    friend constexpr SocketFlags operator|(SocketFlags a, SocketFlags b) noexcept {
        return fromBits(a.bits_ | b.bits_);
    }
    friend constexpr bool operator==(SocketFlags, SocketFlags) noexcept = default;

private:
    static constexpr SocketFlags fromBits(int bits) noexcept {
        SocketFlags flags;
        flags.bits_ = static_cast<std::uint8_t>(bits);
        return flags;
    }
    std::uint8_t bits_ = 0;
};

constexpr SocketFlags operator|(SocketFlag a, SocketFlag b) noexcept {
    return SocketFlags(a) | SocketFlags(b);
}

// The flags every operation of the server uses.
inline constexpr SocketFlags defaultSocketFlags = SocketFlag::IgnoreDisconnect;

} // namespace quorvin
