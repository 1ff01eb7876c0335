#include "ListDocument.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "SystemMessages.h"

#include <algorithm>
#include <sstream>

namespace fs = std::filesystem;

namespace brio {

namespace {

// Loaded with whitespace text kept and line ends untouched, so that a save writes them back as they were.
constexpr unsigned kParseOptions = (pugi::parse_default | pugi::parse_ws_pcdata) & ~pugi::parse_eol;
constexpr unsigned kSaveOptions = pugi::format_raw | pugi::format_no_declaration;

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

} // namespace

ListDocument::ListDocument(fs::path file) : file_(std::move(file)) {}

bool ListDocument::Load() {
    doc_.reset();
    loaded_ = false;
    std::string& content = buffer_;
    try {
        content = ReadWholeFile(file_);
    } catch (const BrioError& e) {
        if (e.number() == err::FileNotFound)
            return false;
        throw;
    }
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace(content.data(), content.size(), kParseOptions, pugi::encoding_auto);
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
    return true;
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

std::string ListDocument::Serialize() const {
    StringWriter writer;
    doc_.save(writer, "", kSaveOptions, pugi::encoding_utf8);
    return std::move(writer.out);
}

void ListDocument::Save() const {
    WriteFileAtomically(file_, Serialize());
}

} // namespace brio
