#include "module_hash.hpp"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

namespace runner {

namespace {

struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

sim::Result<std::string> sha256Of(const std::filesystem::path& file) {
    std::error_code ec;
    // Only a regular file is read: a FIFO or a device would be waited on or never end.
    if (!std::filesystem::is_regular_file(file, ec)) return sim::failure(file.string() + " is no file");
    std::ifstream in(file, std::ios::binary);
    const std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    if (!in || !context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr))
        return sim::failure("cannot read " + file.string());
    std::array<char, 64 * 1024> chunk;
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
        if (!EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(in.gcount())))
            return sim::failure("cannot hash " + file.string());
    if (in.bad()) return sim::failure("cannot read " + file.string());
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!EVP_DigestFinal_ex(context.get(), digest.data(), &length)) return sim::failure("cannot hash " + file.string());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0xF];
    }
    return hex;
}

}  // namespace runner
