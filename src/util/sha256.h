#pragma once
// SHA-256 (FIPS 180-4), for telling whether two files hold the same content.
// The digest is computed by libcrypto, which uses the processor's SHA
// instructions where it has them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace util {

class Sha256 {
  public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The digest of everything given so far; the object starts afresh after it.
    Digest finish();

    // The digest as 64 lower-case hexadecimal digits.
    static std::string Hex(const Digest& digest);

  private:
    struct ContextDeleter {
        void operator()(evp_md_ctx_st* context) const;
    };
    void reset();

    std::unique_ptr<evp_md_ctx_st, ContextDeleter> context_;
};

} // namespace util
