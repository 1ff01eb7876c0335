#include "TextDecoder.h"

#include "BrioError.h"

#include <gtest/gtest.h>

#include <QByteArray>

using brio::BrioError;
using brio::TextDecoder;

namespace {

constexpr const char* kPhrase = "mesa azul 48 granito";

// Runs `action`, expecting error 5, and returns the error's description.
template <typename F> std::string refusal(F action) {
    try {
        action();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), 5);
        return e.description();
    }
    ADD_FAILURE() << "no error";
    return {};
}

QByteArray rawOf(const std::string& encoded) {
    return QByteArray::fromBase64(QByteArray::fromStdString(encoded));
}
std::string base64Of(const QByteArray& raw) {
    return raw.toBase64().toStdString();
}

} // namespace

TEST(TextDecoder, RoundTripsAnyTextWithAFreshNonceEachTime) {
    const std::string plain = "Driver=SQLite3;Database=/srv/almacén/velmorax.db;PWD=ñ{}";
    const std::string once = TextDecoder::EncodeText(plain, kPhrase);
    const std::string twice = TextDecoder::EncodeText(plain, kPhrase);
    EXPECT_NE(once, twice);
    EXPECT_EQ(once.find("SQLite3"), std::string::npos);
    EXPECT_EQ(TextDecoder::DecodeText(once, kPhrase), plain);
    EXPECT_EQ(TextDecoder::DecodeText(twice, kPhrase), plain);
    // Nonce and tag only: 24 + 16 bytes.
    EXPECT_EQ(rawOf(TextDecoder::EncodeText("", kPhrase)).size(), 40);
    EXPECT_EQ(TextDecoder::DecodeText(TextDecoder::EncodeText("", kPhrase), kPhrase), "");
}

TEST(TextDecoder, AcceptsATextWrappedOverSeveralLines) {
    const std::string encoded = TextDecoder::EncodeText("Driver=SQLite3;Database=/tmp/x.db", kPhrase);
    const std::string wrapped = "  " + encoded.substr(0, 20) + "\r\n\t" + encoded.substr(20) + "\n";
    EXPECT_EQ(TextDecoder::DecodeText(wrapped, kPhrase), "Driver=SQLite3;Database=/tmp/x.db");
}

TEST(TextDecoder, RefusesAnotherPassPhraseAndAlteredTexts) {
    const std::string plain = "Driver=SQLite3;Database=/tmp/secreto.db";
    const std::string encoded = TextDecoder::EncodeText(plain, kPhrase);

    for (const char* phrase : {"mesa azul 48 granitO", "", "mesa azul 48 granito "}) {
        const std::string why = refusal([&] { TextDecoder::DecodeText(encoded, phrase); });
        EXPECT_NE(why.find("frase de paso"), std::string::npos) << why;
        EXPECT_EQ(why.find("secreto"), std::string::npos);
    }

    // One changed bit anywhere (nonce, tag or ciphertext) is refused.
    const QByteArray raw = rawOf(encoded);
    for (int at : {0, 23, 24, 39, 40, static_cast<int>(raw.size()) - 1}) {
        QByteArray altered = raw;
        altered[at] = static_cast<char>(altered[at] ^ 0x01);
        refusal([&] { TextDecoder::DecodeText(base64Of(altered), kPhrase); });
    }
    // Cut short by one byte, or one byte added.
    refusal([&] { TextDecoder::DecodeText(base64Of(raw.left(raw.size() - 1)), kPhrase); });
    refusal([&] { TextDecoder::DecodeText(base64Of(raw + 'x'), kPhrase); });
}

TEST(TextDecoder, RefusesTextsThatAreNotBase64OrTooShort) {
    for (const char* text : {"Driver=SQLite3;Database=/tmp/x.db", "abc", "YWJj*GVm", "YWJjZA"}) {
        const std::string why = refusal([&] { TextDecoder::DecodeText(text, kPhrase); });
        EXPECT_NE(why.find("base64"), std::string::npos) << text << ": " << why;
        EXPECT_EQ(why.find(text), std::string::npos);
    }
    for (int size : {0, 1, 24, 39}) {
        const std::string why =
            refusal([&] { TextDecoder::DecodeText(base64Of(QByteArray(size, '\x07')), kPhrase); });
        EXPECT_NE(why.find("demasiado corto"), std::string::npos) << size << ": " << why;
    }
}
