#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace brio {

// One load of the list file, keeping what the file holds besides entries (declaration, comments) and
// its encoding (UTF-8, Windows-1252 when its bytes are not UTF-8, or UTF-16). A missing file leaves the
// document empty (every query finds nothing); a file that exists but does not parse is an error naming the
// file and where the parse failed, so that nothing is ever written over it.
class ListDocument {
public:
    explicit ListDocument(std::filesystem::path file);

    // What a document is loaded for. One loaded to be read keeps no whitespace between elements: it is
    // never saved, and in a formatted list each line break would be a node of its own.
    enum class Use { Change, Read };

    // Loads the file; false when it does not exist. Throws BrioError 75 when it does not parse.
    bool Load(Use use = Use::Change);
    // Whether the last Load found the file.
    bool loaded() const noexcept { return loaded_; }

    pugi::xml_document& doc() noexcept { return doc_; }
    // The root TAREAS, or a null node when the document has another root or none.
    pugi::xml_node Root() const;
    // The first TAREA whose name equals `name` exactly; the name is an XPath variable, never query text.
    pugi::xml_node FindEntry(const std::string& name) const;

    // A new document holding only the empty root TAREAS, as a new list file starts; nothing is written.
    void MakeEmpty();

    // Writes the whole document over the file, atomically, adding no declaration or whitespace. The
    // text goes straight into the temporary file, never whole into memory. A document loaded to be read
    // is refused.
    void Save() const;

    // List files loaded and saved by this process so far (a missing file is no load).
    static std::uint64_t LoadCount() noexcept;
    static std::uint64_t SaveCount() noexcept;

    // Calls fn for every TAREA under the root, in document order.
    template <typename Fn> void ForEachEntry(Fn&& fn) const {
        for (pugi::xml_node e = Root().child("TAREA"); e; e = e.next_sibling("TAREA"))
            fn(e);
    }

    // How the loaded file held its text; Save writes it the same way.
    enum class TextForm { Utf8, Windows1252, Wide };
    TextForm form() const noexcept { return form_; }

private:
    std::filesystem::path file_;
    std::string buffer_; // the file's text, parsed in place
    TextForm form_ = TextForm::Utf8;
    bool bom_ = false;                                  // the file began with a byte order mark
    pugi::xml_encoding encoding_ = pugi::encoding_utf8; // of the file's bytes (UTF-16 or 32 stay so)
    pugi::xml_document doc_;
    bool loaded_ = false;
    Use use_ = Use::Change;
    mutable std::unique_ptr<pugi::xpath_variable_set> vars_;
    mutable std::unique_ptr<pugi::xpath_query> byName_;
};

// The text of an attribute, or nothing when it is absent.
inline const char* AttrOrNull(pugi::xml_node node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    return a ? a.value() : nullptr;
}

} // namespace brio
