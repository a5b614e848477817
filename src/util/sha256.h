#pragma once
// SHA-256 (FIPS 180-4), for telling whether two files hold the same content.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace util {

class Sha256 {
  public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The digest of everything given so far; the object starts afresh after it.
    Digest finish();

    // The digest as 64 lower-case hexadecimal digits.
    static std::string Hex(const Digest& digest);

  private:
    void block(const std::uint8_t* p);
    void reset();

    std::array<std::uint32_t, 8> state_{};
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes
};

} // namespace util
