#include "TextDecoder.h"

#include "BrioError.h"

#include <sodium.h>

#include <array>
#include <vector>

namespace brio {

namespace {

constexpr int kBase64Variant = sodium_base64_VARIANT_ORIGINAL;

void ensureSodium() {
    if (sodium_init() < 0)
        throw BrioError(err::InvalidCall, "no se pudo iniciar la biblioteca de cifrado");
}

// Wipes the key when it goes out of scope, whatever the path.
struct BoxKey {
    std::array<unsigned char, crypto_secretbox_KEYBYTES> bytes{};

    explicit BoxKey(std::string_view passPhrase) {
        static_assert(crypto_secretbox_KEYBYTES >= crypto_generichash_BYTES_MIN &&
                      crypto_secretbox_KEYBYTES <= crypto_generichash_BYTES_MAX);
        crypto_generichash(bytes.data(), bytes.size(),
                           reinterpret_cast<const unsigned char*>(passPhrase.data()), passPhrase.size(),
                           nullptr, 0);
    }
    ~BoxKey() { sodium_memzero(bytes.data(), bytes.size()); }
    BoxKey(const BoxKey&) = delete;
    BoxKey& operator=(const BoxKey&) = delete;
};

// A byte buffer wiped before it is released.
struct SecretBytes {
    std::vector<unsigned char> bytes;

    explicit SecretBytes(std::size_t size) : bytes(size) {}
    ~SecretBytes() {
        if (!bytes.empty())
            sodium_memzero(bytes.data(), bytes.size());
    }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
};

} // namespace

std::string TextDecoder::DecodeText(std::string_view text, std::string_view passPhrase) {
    ensureSodium();

    // Line ends and blanks inside the text are allowed, so that a long text may be wrapped.
    SecretBytes raw(text.size() / 4 * 3 + 3);
    std::size_t rawLength = 0;
    if (sodium_base642bin(raw.bytes.data(), raw.bytes.size(), text.data(), text.size(), " \t\r\n", &rawLength,
                          nullptr, kBase64Variant) != 0)
        throw BrioError(err::InvalidCall, "el texto cifrado no es base64 válido");
    if (rawLength < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
        throw BrioError(err::InvalidCall, "el texto cifrado es demasiado corto");

    const unsigned char* nonce = raw.bytes.data();
    const unsigned char* box = nonce + crypto_secretbox_NONCEBYTES;
    const std::size_t boxLength = rawLength - crypto_secretbox_NONCEBYTES;

    BoxKey key(passPhrase);
    SecretBytes plain(boxLength - crypto_secretbox_MACBYTES + 1);
    if (crypto_secretbox_open_easy(plain.bytes.data(), box, boxLength, nonce, key.bytes.data()) != 0)
        throw BrioError(err::InvalidCall,
                        "no se puede descifrar el texto: está alterado o se cifró con otra frase de paso");
    return std::string(reinterpret_cast<const char*>(plain.bytes.data()),
                       boxLength - crypto_secretbox_MACBYTES);
}

std::string TextDecoder::EncodeText(std::string_view text, std::string_view passPhrase) {
    ensureSodium();

    SecretBytes raw(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + text.size());
    unsigned char* nonce = raw.bytes.data();
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);

    BoxKey key(passPhrase);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(text.data()), text.size(), nonce,
                          key.bytes.data());

    std::string encoded(sodium_base64_encoded_len(raw.bytes.size(), kBase64Variant), '\0');
    sodium_bin2base64(encoded.data(), encoded.size(), raw.bytes.data(), raw.bytes.size(), kBase64Variant);
    encoded.resize(encoded.size() - 1); // the terminating zero
    return encoded;
}

void TextDecoder::Wipe(std::string& secret) noexcept {
    if (!secret.empty())
        sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

} // namespace brio
