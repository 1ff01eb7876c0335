#pragma once

#include <string>
#include <string_view>

namespace brio {

// The suite's protection of stored secrets such as connection strings. An encoded text is the base64
// (standard alphabet, padded) of a random 24-byte nonce followed by the crypto_secretbox ciphertext of
// the plain text; the key is the 32-byte crypto_generichash of the pass phrase. The box is
// authenticated: a tampered text or one encoded with another pass phrase is refused, never decoded
// into garbage.
class TextDecoder {
public:
    // The plain text of `text`. Text that is not base64, too short to hold nonce and tag, altered, or
    // encoded with another pass phrase is error 5; the message never quotes the text.
    static std::string DecodeText(std::string_view text, std::string_view passPhrase);

    // The counterpart for administrators: a new nonce each call, so two encodings of the same text differ.
    static std::string EncodeText(std::string_view text, std::string_view passPhrase);

    // Overwrites the characters of a secret before the string is released.
    static void Wipe(std::string& secret) noexcept;
};

} // namespace brio
