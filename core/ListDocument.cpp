#include "ListDocument.h"

#include "AtomicFile.h"
#include "BlockSink.h"
#include "BrioError.h"
#include "DocumentOrder.h"
#include "SystemMessages.h"
#include "Windows1252.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <sstream>

namespace fs = std::filesystem;

namespace brio {

namespace {

// Loaded with whitespace text kept and line ends untouched, so that a save writes them back as they were.
// The declaration, comments, processing instructions and document type are kept as well.
constexpr unsigned kParseOptions = (pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration |
                                    pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype) &
                                   ~pugi::parse_eol;
constexpr unsigned kSaveOptions = pugi::format_raw | pugi::format_no_declaration;

std::atomic<std::uint64_t> g_loads{0};
std::atomic<std::uint64_t> g_saves{0};

// Gathers pugixml's small pieces into blocks before they go to the file.
class BlockWriter : public pugi::xml_writer {
public:
    explicit BlockWriter(const ContentSink& sink) : blocks_(sink) {}
    void write(const void* data, size_t size) override {
        blocks_.append(std::string_view(static_cast<const char*>(data), size));
    }
    void flush() { blocks_.flush(); }

private:
    BlockSink blocks_;
};

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// Whether the text opens with an XML declaration whose encoding is Windows-1252.
bool declaresWindows1252(std::string_view bytes) {
    const std::size_t close = bytes.substr(0, 256).find("?>");
    if (!startsWith(bytes, "<?xml") || close == std::string_view::npos)
        return false;
    std::string declaration(bytes.substr(0, close));
    std::transform(declaration.begin(), declaration.end(), declaration.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return declaration.find("encoding=\"windows-1252\"") != std::string::npos ||
           declaration.find("encoding='windows-1252'") != std::string::npos;
}

// How the file's bytes hold its text: 8-bit text is UTF-8 when it is valid UTF-8, else Windows-1252;
// UTF-16 and UTF-32 are left to the XML library to recognise.
ListDocument::TextForm formOf(std::string_view bytes, bool& bom) {
    bom = startsWith(bytes, "\xEF\xBB\xBF") || startsWith(bytes, "\xFE\xFF") ||
          startsWith(bytes, "\xFF\xFE") || startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4));
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE") ||
        bytes.substr(0, 4).find('\0') != std::string_view::npos)
        return ListDocument::TextForm::Wide;
    if (!bom && declaresWindows1252(bytes))
        return ListDocument::TextForm::Windows1252;
    return IsValidUtf8(bytes) ? ListDocument::TextForm::Utf8 : ListDocument::TextForm::Windows1252;
}

// A list read as Windows-1252 says so in its declaration once saved: without it, an edit that took away
// its last bytes that are not UTF-8 would have the next read take the rest as UTF-8.
void declareWindows1252(pugi::xml_document& doc) {
    pugi::xml_node declaration = doc.first_child();
    if (declaration.type() != pugi::node_declaration)
        declaration = doc.prepend_child(pugi::node_declaration);
    if (!declaration.attribute("version"))
        declaration.prepend_attribute("version") = "1.0";
    pugi::xml_attribute encoding = declaration.attribute("encoding");
    if (!encoding)
        encoding = declaration.insert_attribute_after("encoding", declaration.attribute("version"));
    encoding = "windows-1252";
}

// The length of the part of `text` that ends on a whole UTF-8 character.
std::size_t wholeCharacters(std::string_view text) {
    std::size_t back = 0;
    while (back < 3 && back < text.size() &&
           (static_cast<unsigned char>(text[text.size() - 1 - back]) & 0xC0) == 0x80)
        ++back;
    if (back < text.size()) {
        const auto lead = static_cast<unsigned char>(text[text.size() - 1 - back]);
        const std::size_t need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (need > back)
            return text.size() - 1 - back;
    }
    return text.size();
}

// Whether every name and value the document keeps is valid UTF-8.
bool KeepsOnlyUtf8(const pugi::xml_document& doc) {
    for (pugi::xml_node node = doc.first_child(); node; node = NextInDocumentOrder(node)) {
        if (!IsValidUtf8(node.name()) || !IsValidUtf8(node.value()))
            return false;
        for (const pugi::xml_attribute attribute : node.attributes()) {
            if (!IsValidUtf8(attribute.name()) || !IsValidUtf8(attribute.value()))
                return false;
        }
    }
    return true;
}

} // namespace

ListDocument::ListDocument(fs::path file) : file_(std::move(file)) {}

bool ListDocument::Load(Use use) {
    doc_.reset();
    loaded_ = false;
    use_ = use;
    std::string& content = buffer_;
    try {
        ReadWholeFileInto(file_, content); // the room of the last load is used again
    } catch (const BrioError& e) {
        if (e.number() == err::FileNotFound)
            return false;
        throw;
    }
    form_ = formOf(content, bom_);
    const auto parse = [&](std::string& text) {
        return doc_.load_buffer_inplace(text.data(), text.size(),
                                        use == Use::Read ? kParseOptions & ~pugi::parse_ws_pcdata
                                                         : kParseOptions,
                                        form_ == TextForm::Wide ? pugi::encoding_auto : pugi::encoding_utf8);
    };
    pugi::xml_parse_result result;
    bool parsed = false;
    if (form_ == TextForm::Windows1252 && !declaresWindows1252(content)) {
        // Only bytes the document keeps decide: bytes a save drops (after a NUL, text outside the root) must
        // not, or the saved file would read as UTF-8 next time, and its names otherwise.
        std::string asUtf8 = content;
        result = parse(asUtf8);
        if (result && KeepsOnlyUtf8(doc_)) {
            form_ = TextForm::Utf8;
            content.swap(asUtf8);
            parsed = true;
        }
    }
    if (form_ == TextForm::Windows1252) {
        content = Windows1252ToUtf8(content); // written back as it came by Save
        result = parse(content);
        if (result && use == Use::Change)
            declareWindows1252(doc_);
    } else if (!parsed) {
        result = parse(content);
    }
    encoding_ = form_ == TextForm::Wide ? result.encoding : pugi::encoding_utf8;
    if (!result || !doc_.document_element())
        content = ReadWholeFile(file_); // parsing in place changed the text; the message needs the original
    if (!result || !doc_.document_element()) {
        const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, result.offset));
        const std::size_t upto = std::min(offset, content.size());
        const auto line =
            1 + std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(upto), '\n');
        const std::size_t lineStart = content.rfind('\n', upto == 0 ? 0 : upto - 1);
        const std::size_t column =
            upto - (lineStart == std::string::npos || upto == 0 ? 0 : lineStart + 1) + 1;
        std::ostringstream detail;
        detail << "el archivo «" << file_.string() << "» no es un XML válido: "
               << (result ? "no tiene elemento raíz" : XmlParseStatusText(result.status)) << " (línea "
               << line << ", columna " << column << ", posición " << offset << ")";
        doc_.reset();
        throw BrioError(err::PathFileAccess, detail.str());
    }
    loaded_ = true;
    ++g_loads;
    return true;
}

void ListDocument::MakeEmpty() {
    doc_.reset();
    buffer_.clear();
    pugi::xml_node root = doc_.append_child("TAREAS");
    root.append_attribute("briopath") = "";
    root.append_child(pugi::node_pcdata); // an empty text keeps a start and an end tag
    loaded_ = false;
    use_ = Use::Change;
    form_ = TextForm::Utf8;
    bom_ = false;
    encoding_ = pugi::encoding_utf8;
}

std::uint64_t ListDocument::LoadCount() noexcept {
    return g_loads;
}

std::uint64_t ListDocument::SaveCount() noexcept {
    return g_saves;
}

pugi::xml_node ListDocument::Root() const {
    pugi::xml_node root = doc_.document_element();
    return std::string_view(root.name()) == "TAREAS" ? root : pugi::xml_node();
}

pugi::xml_node ListDocument::FindEntry(const std::string& name) const {
    if (!byName_) {
        vars_ = std::make_unique<pugi::xpath_variable_set>();
        vars_->add("name", pugi::xpath_type_string);
        byName_ = std::make_unique<pugi::xpath_query>("/TAREAS/TAREA[@name = $name]", vars_.get());
    }
    vars_->set("name", name.c_str());
    return byName_->evaluate_node(doc_).node();
}

void ListDocument::Save() const {
    if (use_ == Use::Read) // its whitespace was left out: saving it would reformat the file
        throw BrioError(err::PathFileAccess,
                        "el listado «" + file_.string() + "» se leyó solo para consultarlo y no se guarda");
    WriteFileAtomicallyFrom(file_, [this](const ContentSink& sink) {
        // The file keeps its encoding: Windows-1252 text goes back byte for byte, UTF-16 stays UTF-16.
        std::string pending; // the start of a character split between two pieces
        const ContentSink toWindows1252 = [&](std::string_view piece) {
            pending.append(piece);
            const std::size_t whole = wholeCharacters(pending);
            sink(Utf8ToWindows1252Xml(std::string_view(pending).substr(0, whole)));
            pending.erase(0, whole);
        };
        BlockWriter writer(form_ == TextForm::Windows1252 ? toWindows1252 : sink);
        doc_.save(writer, "", kSaveOptions | (bom_ ? pugi::format_write_bom : 0u), encoding_);
        writer.flush();
        if (!pending.empty())
            sink(Utf8ToWindows1252Xml(pending));
    });
    ++g_saves;
}

} // namespace brio
