// The formatter on any bytes: it either leaves the file as it was (with or without an error) or writes
// a file that parses, is no smaller, and that a second run leaves alone; its result is what passes of the
// formatter over the text give.
#include "AdminListFile.h"
#include "BrioError.h"
#include "DocumentOrder.h"
#include "FuzzSupport.h"
#include "ListDocument.h"

#include <cctype>
#include <string>
#include <string_view>

using namespace brio;

namespace {

// The formatter's result worked out the plain way, in memory: passes over the text after a leading byte
// order mark and XML declaration until a pass leaves the result alone or changes nothing; the text itself
// when the first pass leaves it alone.
std::string plainResult(AdminListFile& list, const std::string& text) {
    std::size_t prefix = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const std::string_view rest = std::string_view(text).substr(prefix);
    if (rest.size() > 5 && rest.starts_with("<?xml") && std::isspace(static_cast<unsigned char>(rest[5])) &&
        rest.find("?>") != std::string_view::npos)
        prefix += rest.find("?>") + 2;
    std::string result, next;
    if (!list.FormatText(std::string_view(text).substr(prefix), result))
        return text;
    result.insert(0, text, 0, prefix);
    for (int round = 0; round < 3; ++round) {
        if (!list.FormatText(std::string_view(result).substr(prefix), next))
            break;
        next.insert(0, text, 0, prefix);
        if (next == result)
            break;
        result.swap(next);
    }
    return result;
}

// Every element's attributes, in document order, as the reader sees them.
std::string attributesOf(const std::string& text) {
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    std::string all;
    for (pugi::xml_node node = doc.first_child(); node; node = NextInDocumentOrder(node)) {
        for (const pugi::xml_attribute attribute : node.attributes())
            all.append(attribute.name()).append("=").append(attribute.value()).append("\n");
        all += "/\n";
    }
    return all;
}

} // namespace

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
    // The kept prefix and the repeated passes end where they should.
    BRIO_FUZZ_CHECK(once == plainResult(list, before));
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
    // Only whitespace between tags changes: every value reads as it did.
    BRIO_FUZZ_CHECK(attributesOf(once) == attributesOf(before));
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
