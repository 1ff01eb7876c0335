// The suite's settings file and the decoder on any bytes: a clear error or a value, nothing else; what
// the encoder makes, the decoder reads back.
#include "BrioError.h"
#include "FuzzSupport.h"
#include "SuiteSettings.h"
#include "TextDecoder.h"

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto& home = fuzz::Scratch();
    fuzz::Write(home / SuiteSettings::FileName, bytes);
    SuiteSettings settings(home);
    settings.setDataSource("Velmorax");
    try {
        settings.Load();
        BRIO_FUZZ_CHECK(settings.ConnectionTimeout() >= 0 && settings.CommandTimeout() >= 0);
    } catch (const BrioError&) {
    }
    // The first line is the pass phrase, the rest the encoded text.
    const std::size_t cut = bytes.find('\n');
    const std::string_view phrase = bytes.substr(0, cut == std::string_view::npos ? 0 : cut);
    const std::string_view encoded = cut == std::string_view::npos ? bytes : bytes.substr(cut + 1);
    try {
        TextDecoder::DecodeText(encoded, phrase);
    } catch (const BrioError&) {
    }
    BRIO_FUZZ_CHECK(TextDecoder::DecodeText(TextDecoder::EncodeText(encoded, phrase), phrase) == encoded);
    return 0;
}
