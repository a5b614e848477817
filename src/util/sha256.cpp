#include "util/sha256.h"

#include "platform/dynamic_library.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace util {
namespace {

// libcrypto is opened the first time something is hashed (the package check),
// not with the program: only its declarations are compiled in.
struct Crypto {
    decltype(&EVP_MD_CTX_new) contextNew = nullptr;
    decltype(&EVP_MD_CTX_free) contextFree = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_DigestInit_ex) init = nullptr;
    decltype(&EVP_DigestUpdate) update = nullptr;
    decltype(&EVP_DigestFinal_ex) finish = nullptr;
    std::string error;
};

template <typename Function>
void LoadSymbol(const platform::DynamicLibrary& library, const char* name, Function& function,
                std::string& error) {
    function = reinterpret_cast<Function>(library.symbol(name));
    if (!function && error.empty())
        error = std::string("libcrypto has no ") + name;
}

const Crypto& TheCrypto() {
    // Kept open until the program ends: its functions are used until then.
    static const platform::DynamicLibrary library{"libcrypto.so.3", "libcrypto.so",
                                                  "libcrypto-3-x64.dll", "libcrypto-3.dll"};
    static const Crypto crypto = [] {
        Crypto c;
        if (!library.loaded()) {
            c.error = "libcrypto cannot be opened: " + library.error();
            return c;
        }
        LoadSymbol(library, "EVP_MD_CTX_new", c.contextNew, c.error);
        LoadSymbol(library, "EVP_MD_CTX_free", c.contextFree, c.error);
        LoadSymbol(library, "EVP_sha256", c.sha256, c.error);
        LoadSymbol(library, "EVP_DigestInit_ex", c.init, c.error);
        LoadSymbol(library, "EVP_DigestUpdate", c.update, c.error);
        LoadSymbol(library, "EVP_DigestFinal_ex", c.finish, c.error);
        return c;
    }();
    if (!crypto.error.empty())
        throw std::runtime_error(crypto.error);
    return crypto;
}

} // namespace

void Sha256::ContextDeleter::operator()(evp_md_ctx_st* context) const {
    TheCrypto().contextFree(context);
}

Sha256::Sha256() : context_(TheCrypto().contextNew()) {
    if (!context_)
        throw std::bad_alloc();
    reset();
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::reset() {
    if (TheCrypto().init(context_.get(), TheCrypto().sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

void Sha256::update(const void* data, std::size_t size) {
    if (size > 0 && TheCrypto().update(context_.get(), data, size) != 1)
        throw std::runtime_error("SHA-256 failed");
}

Sha256::Digest Sha256::finish() {
    Digest digest{};
    unsigned int length = 0;
    if (TheCrypto().finish(context_.get(), digest.data(), &length) != 1 || length != digest.size())
        throw std::runtime_error("SHA-256 failed");
    reset();
    return digest;
}

std::string Sha256::Hex(const Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

} // namespace util
