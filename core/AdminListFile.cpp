#include "AdminListFile.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "Conversions.h"
#include "DocumentOrder.h"
#include "ListDocument.h"
#include "ListEntryIndex.h"
#include "ListFileLock.h"
#include "SystemMessages.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace brio {

namespace {

std::string upperAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const char* const kCandidateDrives[] = {"C:", "D:", "E:"};

// Deeper levels are indented as this one, so the formatter's output stays linear in its input.
constexpr int kMaxIndentTabs = 16;

// Runs `step`; a failure leaves the property at its default, as the reader tolerates.
template <typename Fn> void tolerant(Fn&& step) {
    try {
        step();
    } catch (const BrioError&) {
    }
}

std::string requiredAttr(pugi::xml_node entry, const char* name, std::size_t index) {
    const char* value = AttrOrNull(entry, name);
    if (!value)
        throw BrioError(err::TypeMismatch, "la entrada " + std::to_string(index + 1) +
                                               " del listado no tiene el atributo " + name);
    return value;
}

// Sets an attribute of an entry; "disabled" goes on its CONFIGURACION too, when it has one.
void setEntryAttr(pugi::xml_node entry, const std::string& AttrName, const std::string& value) {
    pugi::xml_attribute a = entry.attribute(AttrName.c_str());
    if (!a)
        a = entry.append_attribute(AttrName.c_str());
    a.set_value(value.c_str());
    if (AttrName == "disabled") {
        if (pugi::xml_node config = entry.child("CONFIGURACION")) {
            pugi::xml_attribute c = config.attribute("disabled");
            if (!c)
                c = config.append_attribute("disabled");
            c.set_value(value.c_str());
        }
    }
}

} // namespace

AdminListFile::AdminListFile(fs::path programFolder, HostPaths paths)
    : programFolder_(std::move(programFolder)), listFile_(programFolder_ / kListFileName),
      paths_(std::move(paths)) {}

bool AdminListFile::ListFileExists() const {
    std::error_code ec;
    return fs::exists(listFile_, ec);
}

void AdminListFile::OpenList(ListDocument& doc, ListDocument::Use use) const {
    doc.Load(use);
}

void AdminListFile::CreateTaskListFile() {
    ListFileLock lock(listFile_);
    if (ListFileExists())
        return; // another writer made it meanwhile
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("TAREAS");
    root.append_attribute("briopath") = "";
    root.append_child(pugi::node_pcdata); // an empty text keeps a start and an end tag
    struct Writer : pugi::xml_writer {
        std::string out;
        void write(const void* data, size_t size) override {
            out.append(static_cast<const char*>(data), size);
        }
    } writer;
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags,
             pugi::encoding_utf8);
    WriteFileAtomically(listFile_, writer.out);
}

std::string AdminListFile::FindInstallDrive(const std::string& path) const {
    const std::size_t marker = upperAscii(path).find(kInstallMarker);
    if (paths_.Exists(path))
        return marker == std::string::npos ? std::string() : path.substr(0, marker);
    const std::string rest = marker == std::string::npos ? std::string() : path.substr(marker);
    for (const char* drive : kCandidateDrives) {
        if (paths_.Exists(drive + rest))
            return drive;
    }
    return {};
}

std::string AdminListFile::RelocateInstallPath(const std::string& drive, const std::string& path) {
    const std::size_t marker = upperAscii(path).find(kInstallMarker);
    if (marker == std::string::npos)
        return path;
    return drive + path.substr(marker);
}

TareaList AdminListFile::getXMLTaskList() {
    TareaList result;
    if (!ListFileExists())
        return result;
    if (ReadList(result, ListFileLock::Held(listFile_)))
        return result;
    // Programs moved: the repair is a change, made again under the writers' lock on a fresh load.
    ListFileLock lock(listFile_);
    result.clear();
    ReadList(result, true);
    return result;
}

bool AdminListFile::ReadList(TareaList& result, bool locked) {
    ListDocument doc(listFile_);
    OpenList(doc, locked ? ListDocument::Use::Change : ListDocument::Use::Read); // saved only when locked
    const pugi::xml_node root = doc.Root();
    std::size_t count = 0;
    for (pugi::xml_node e = root.child("TAREA"); e; e = e.next_sibling("TAREA"))
        ++count;
    if (count == 0)
        return true;
    result.reserve(count);

    std::string drive; // found once, used for every later entry that needs repair
    std::unordered_map<std::string, bool> existing;
    std::unordered_map<std::string, std::string> searched; // nothing changes during one read
    bool save = false;
    std::size_t index = 0;
    for (pugi::xml_node entry = root.child("TAREA"); entry; entry = entry.next_sibling("TAREA"), ++index) {
        // One pass over the entry's attributes instead of a search per name; the first of a name counts.
        const char *name = nullptr, *application = nullptr, *selected = nullptr, *range = nullptr,
                   *disabled = nullptr, *text = nullptr;
        for (pugi::xml_attribute a = entry.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view n = a.name();
            const char** slot = n == "name"              ? &name
                                : n == "applicationName" ? &application
                                : n == "selected"        ? &selected
                                : n == "StartTimeRandom" ? &range
                                : n == "disabled"        ? &disabled
                                : n == "text"            ? &text
                                                         : nullptr;
            if (slot && !*slot)
                *slot = a.value();
        }
        clsTarea& record = result.emplace_back();
        if (!name || !application)
            requiredAttr(entry, name ? "applicationName" : "name", index); // throws, naming what is missing
        record.setName(name);
        std::string app = application;
        // Entries share programs: each path is looked up once per read.
        auto known = existing.find(app);
        if (known == existing.end())
            known = existing.emplace(app, paths_.Exists(app)).first;
        if (!known->second) {
            if (drive.empty()) {
                // A search that found nothing is not made again for the same program.
                auto found = searched.find(app);
                if (found == searched.end())
                    found = searched.emplace(app, FindInstallDrive(app)).first;
                drive = found->second;
            }
            if (!drive.empty()) {
                app = RelocateInstallPath(drive, app);
                entry.attribute("applicationName").set_value(app.c_str());
                const std::size_t slash = app.rfind('\\');
                // Without a backslash there is no folder part: the working folder stays as it was.
                if (slash != std::string::npos) {
                    pugi::xml_attribute wd = entry.attribute("workingDirectory");
                    if (!wd)
                        wd = entry.append_attribute("workingDirectory");
                    wd.set_value(app.substr(0, slash).c_str());
                }
                save = true;
            } else {
                record.setState(record.State() | 128);
            }
        }
        record.setApplicationName(app);
        tolerant([&] { record.setSeleccion(CLng(Val(selected ? selected : ""))); });
        tolerant([&] { record.setStartTimeRandom(CInt(Val(range ? range : ""))); });
        if (disabled)
            tolerant([&] { record.setEnabled(!CBool(disabled)); });
        record.setText(text ? text : "");
        if (const char* hidden = AttrOrNull(entry.child("CONFIGURACION"), "hidden"))
            tolerant([&] { record.sethidden(CBool(hidden)); });
    }
    if (save && !locked)
        return false;
    if (save)
        doc.Save();
    return true;
}

void AdminListFile::SetXMLAttr(const std::string& TaskName, const std::string& AttrName,
                               const std::string& value) {
    SetXMLAttrs({{TaskName, value}}, AttrName);
}

std::string AdminListFile::GetXMLAttr(const std::string& TaskName, const std::string& AttrName) {
    ListDocument doc(listFile_);
    OpenList(doc, ListDocument::Use::Read);
    return doc.FindEntry(TaskName).attribute(AttrName.c_str()).value();
}

std::vector<std::string> AdminListFile::GetXMLAttrs(const NameList& names, const std::string& AttrName) {
    std::vector<std::string> values;
    values.reserve(names.size());
    ListDocument doc(listFile_);
    OpenList(doc, ListDocument::Use::Read);
    const ListEntryIndex index(doc, names);
    for (const std::string& name : names)
        values.emplace_back(index.Find(name).attribute(AttrName.c_str()).value());
    return values;
}

void AdminListFile::SetXMLAttrs(const std::vector<std::pair<std::string, std::string>>& valuesByName,
                                const std::string& AttrName, MissingEntry missing, NameProgress* progress) {
    EditList(
        [&](ListDocument& doc, bool& changed) {
            std::vector<std::string> names;
            names.reserve(valuesByName.size());
            for (const auto& nameAndValue : valuesByName)
                names.push_back(nameAndValue.first);
            ListEntryIndex index(doc, names);
            ForEachName(valuesByName.size(), progress, [&](std::size_t i) {
                const auto& [name, value] = valuesByName[i];
                const pugi::xml_node entry = doc.loaded() ? index.Find(name) : pugi::xml_node();
                if (!entry) {
                    if (missing == MissingEntry::Fail && !doc.loaded())
                        ThrowNoList();
                    if (missing == MissingEntry::Fail)
                        ThrowNotListed(name);
                    return; // no entry of that name: nothing to change, and nothing written on its account
                }
                setEntryAttr(entry, AttrName, value);
                changed = true;
            });
        },
        false, progress);
}

void AdminListFile::XMLRandomTime(const NameList& names, std::int16_t minutes, MissingEntry missing) {
    if (IsArrayEmpty(names))
        return;
    const std::string value = CStr(minutes);
    EditList([&](ListDocument& doc, bool& changed) {
        ListEntryIndex index(doc, names);
        if (missing == MissingEntry::Fail) {
            if (!doc.loaded())
                ThrowNoList();
            for (const std::string& name : names) {
                if (!index.Find(name))
                    ThrowNotListed(name);
            }
        }
        for (const std::string& name : names) {
            if (const pugi::xml_node entry = index.Find(name)) {
                setEntryAttr(entry, "StartTimeRandom", value);
                changed = true;
            }
        }
    });
}

void AdminListFile::RemoveBrioTask(const std::string& TaskName) {
    EditList([&](ListDocument& doc, bool& changed) {
        if (const pugi::xml_node entry = doc.FindEntry(TaskName)) {
            doc.Root().remove_child(entry);
            changed = true;
        }
    });
}

void AdminListFile::EditList(const std::function<void(ListDocument&, bool&)>& change, bool create,
                             NameProgress* progress) {
    ListFileLock lock(listFile_); // taken once around the whole load-change-save
    ListDocument doc(listFile_);
    OpenList(doc);
    if (!doc.loaded() && create)
        doc.MakeEmpty(); // written with the first change
    bool changed = false;
    const auto save = [&] {
        try {
            doc.Save();
        } catch (...) {
            if (progress)
                progress->done = 0;
            throw;
        }
    };
    try {
        change(doc, changed);
    } catch (...) {
        if (changed)
            save(); // what was done before the failure is kept
        throw;
    }
    if (changed)
        save();
}

void AdminListFile::ForEachName(std::size_t count, NameProgress* progress,
                                const std::function<void(std::size_t)>& each) {
    NameProgress local;
    NameProgress& p = progress ? *progress : local;
    p.done = 0;
    for (std::size_t i = 0; i < count; ++i) {
        each(i);
        ++p.done;
        if (p.step && i + 1 < count && !p.step(p.done, count))
            throw OperationCancelled();
    }
}

void AdminListFile::ThrowNotListed(const std::string& name) const {
    throw BrioError(err::SubscriptOutOfRange, "la tarea «" + name + "» no está en el listado");
}

void AdminListFile::ThrowNoList() const {
    throw BrioError(err::FileNotFound, "no existe el listado «" + listFile_.string() + "»");
}

namespace {

// One line of the formatter, indented, appended to `out`; updates the indentation level.
void indentLine(std::string_view line, int& level, std::string& out) {
    if (line.find('\t') != std::string_view::npos || line.find('\r') != std::string_view::npos) {
        out.append(line);
        return;
    }
    const std::size_t length = line.size();
    // Every "/>" between two "<" closes a level; searching that stretch for ">" keeps text without ">"
    // linear.
    const auto closeSelfClosed = [&](std::size_t from, std::size_t to) {
        const std::string_view upTo = line.substr(0, to);
        for (std::size_t gt = upTo.find('>', from + 1); gt != std::string_view::npos;
             gt = upTo.find('>', gt + 1)) {
            if (line[gt - 1] == '/' && level > 0)
                --level;
        }
    };
    std::size_t run = 0; // start of the characters not yet copied
    std::size_t from = 0;
    for (std::size_t pos = line.find('<'); pos != std::string_view::npos; pos = line.find('<', pos + 1)) {
        closeSelfClosed(from, pos);
        from = pos;
        // The character after the last one is taken to be the last one itself.
        const char next = pos + 1 < length ? line[pos + 1] : (length >= 2 ? line[length - 1] : '\0');
        out.append(line.substr(run, pos - run));
        run = pos;
        if (next != '/')
            ++level;
        out.append("\r\n");
        if (level > 0)
            out.append(static_cast<std::size_t>(std::min(level, kMaxIndentTabs)), '\t');
        if (next == '/' && level > 0)
            --level;
    }
    closeSelfClosed(from, length);
    out.append(line.substr(run));
}

// The next line of `text` from `pos`, which moves past it: a line ends at CR or CR LF, neither part of it.
std::string_view nextLine(std::string_view text, std::size_t& pos) {
    std::size_t end = text.find('\r', pos);
    if (end == std::string_view::npos)
        end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (end < text.size() && pos < text.size() && text[pos] == '\n')
        ++pos;
    return line;
}

// The length of what the formatter keeps in front of the text it formats: a UTF-8 byte order mark and an
// XML declaration at the very start, which must stay first in the file.
std::size_t keptPrefix(std::string_view text) {
    std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const std::string_view rest = text.substr(at);
    if (rest.size() > 5 && rest.starts_with("<?xml") && std::isspace(static_cast<unsigned char>(rest[5]))) {
        const std::size_t close = rest.find("?>");
        if (close != std::string_view::npos)
            at += close + 2;
    }
    return at;
}

// Where the first "<" inside an element's attribute value lies in the text `doc` was parsed from in
// place; npos when no value holds one.
std::size_t rawLessThanInValue(const pugi::xml_document& doc, const char* text) {
    for (pugi::xml_node node = doc.first_child(); node; node = NextInDocumentOrder(node)) {
        if (node.type() != pugi::node_element)
            continue;
        for (const pugi::xml_attribute attribute : node.attributes()) {
            if (const char* at = std::strchr(attribute.value(), '<'))
                return static_cast<std::size_t>(at - text);
        }
    }
    return std::string::npos;
}

// Why a text cannot be the list file (parse error, in Spanish), or empty when it parses; with
// `valuesKeepTheirLessThan`, a raw "<" in a value, which a line break would change, is a reason too.
// The text is parsed where it lies, without a copy, and is no longer the same text afterwards.
std::string parseProblemInPlace(std::string& text, bool valuesKeepTheirLessThan) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(text.data(), text.size(),
                                pugi::parse_minimal | pugi::parse_declaration | pugi::parse_doctype |
                                    pugi::parse_pi | pugi::parse_comments,
                                pugi::encoding_utf8);
    if (!result)
        return XmlParseStatusText(result.status) + " (posición " + std::to_string(result.offset) + ")";
    if (!doc.document_element())
        return "no tiene elemento raíz";
    if (valuesKeepTheirLessThan) {
        if (const std::size_t at = rawLessThanInValue(doc, text.data()); at != std::string::npos)
            return "un valor lleva un «<» sin escapar (posición " + std::to_string(at) +
                   "), que el formato partiría";
    }
    return {};
}

} // namespace

std::string AdminListFile::IndentXmlLine(const std::string& line) {
    std::string result;
    indentLine(line, indentLevel_, result);
    return result;
}

bool AdminListFile::FormatText(std::string_view text, std::string& out) {
    out.clear();
    return AppendFormatted(text, out);
}

bool AdminListFile::AppendFormatted(std::string_view text, std::string& out) {
    const std::size_t start = out.size();
    indentLevel_ = -1;
    bool started = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = nextLine(text, pos);
        if (line.size() < 20 && indentLevel_ == -1) {
            out.resize(start); // already formatted: left alone
            return false;
        }
        if (!started) // room once the text is known to need formatting
            out.reserve(start + text.size() + text.size() / 3);
        started = true;
        indentLine(line, indentLevel_, out);
        out.append("\r\n");
    }
    return true;
}

void AdminListFile::FormatXML() {
    if (!ListFileExists())
        return;
    ListFileLock lock(listFile_); // removes a temporary an interrupted run left behind, too
    std::string text;
    std::error_code ec;
    if (const std::uintmax_t size = fs::file_size(listFile_, ec); !ec)
        text.reserve(size + size / 4); // room to read the result back into
    ReadWholeFileInto(listFile_, text);
    if (text.empty())
        return; // nothing to format
    const auto refuse = [&](const std::string& why) {
        throw BrioError(err::PathFileAccess, "no se formatea el listado «" + listFile_.string() +
                                                 "», que queda como estaba: " + why);
    };
    // The formatter works on bytes: only text whose markup is single bytes can take its line breaks.
    if (text.find('\0') != std::string::npos || text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE"))
        refuse("no está escrito en UTF-8 ni en Windows-1252");
    const std::size_t prefix = keptPrefix(text);
    std::string formatted(text, 0, prefix); // kept first; the formatted text follows it
    if (!AppendFormatted(std::string_view(text).substr(prefix), formatted))
        return;
    // Formatted again until the formatter leaves the result alone.
    std::string again(text, 0, prefix);
    int rounds = 0;
    while (AppendFormatted(std::string_view(formatted).substr(prefix), again)) {
        if (again == formatted)
            break;
        if (++rounds == 3)
            refuse("el formato no se estabiliza");
        formatted.swap(again);
        again.assign(text, 0, prefix);
    }
    std::string().swap(again);
    if (formatted == text)
        return;
    if (formatted.empty())
        refuse("el resultado estaría vacío"); // a list is never replaced by an empty file
    // Both must parse: line breaks before tags can turn bytes that do not parse into a file that does.
    // Once the result is on disk, one text at a time is held: the list is parsed where it lies, then the
    // result is read back into its room and parsed.
    const SaveCheck check = [&](const fs::path& written) {
        std::string().swap(formatted); // gives its memory back, which an assignment would keep
        if (const std::string problem = parseProblemInPlace(text, true); !problem.empty())
            refuse("no es un XML válido: " + problem);
        ReadWholeFileInto(written, text);
        if (const std::string problem = parseProblemInPlace(text, false); !problem.empty())
            refuse("el resultado no sería un XML válido: " + problem);
    };
    WriteFileAtomically(listFile_, formatted, fs::path(listFile_.string() + "_"), 0666, check);
}

} // namespace brio
