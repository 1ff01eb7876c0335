// The formatter on any bytes: it either leaves the file as it was (with or without an error) or writes
// a file that parses, is no smaller, and that a second run leaves alone.
#include "AdminListFile.h"
#include "BrioError.h"
#include "FuzzSupport.h"
#include "ListDocument.h"

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& home = fuzz::Scratch();
    const auto file = home / AdminListFile::kListFileName;
    const std::string before(reinterpret_cast<const char*>(data), size);
    fuzz::Write(file, before);
    AdminListFile list(home, HostPaths({}));
    try {
        list.FormatXML();
    } catch (const BrioError&) {
        BRIO_FUZZ_CHECK(fuzz::Read(file) == before);
        return 0;
    }
    const std::string once = fuzz::Read(file);
    if (once == before)
        return 0;
    BRIO_FUZZ_CHECK(!once.empty());
    // Only a file that parses is ever formatted.
    pugi::xml_document original;
    BRIO_FUZZ_CHECK(original.load_buffer(before.data(), before.size(),
                                         pugi::parse_minimal | pugi::parse_declaration | pugi::parse_doctype |
                                             pugi::parse_pi | pugi::parse_comments,
                                         pugi::encoding_utf8));
    BRIO_FUZZ_CHECK(once.size() <= 40 * before.size() + 64); // linear in the input
    ListDocument doc(file);
    try {
        doc.Load();
    } catch (const BrioError&) {
        BRIO_FUZZ_CHECK(!"a formatted file must parse");
    }
    list.FormatXML();
    BRIO_FUZZ_CHECK(fuzz::Read(file) == once);
    return 0;
}
