#include "AdminListFile.h"

#include "AtomicFile.h"
#include "BlockSink.h"
#include "BrioError.h"
#include "Conversions.h"
#include "ListDocument.h"
#include "ListEntryIndex.h"
#include "ListFileLock.h"
#include "MarkupScan.h"
#include "ParseArena.h"
#include "SystemMessages.h"

#include <algorithm>
#include <cctype>
#include <future>
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
                *progress = {};
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
    p = {};
    for (std::size_t i = 0; i < count; ++i) {
        each(i);
        ++p.done;
    }
}

void AdminListFile::ThrowNotListed(const std::string& name) const {
    throw BrioError(err::SubscriptOutOfRange, "la tarea «" + name + "» no está en el listado");
}

void AdminListFile::ThrowNoList() const {
    throw BrioError(err::FileNotFound, "no existe el listado «" + listFile_.string() + "»");
}

namespace {

// Where a pass of the formatter writes: a string, or blocks handed on to a sink as they fill.
class StringOut {
public:
    explicit StringOut(std::string& text) : text_(text) {}
    void room(std::size_t more) { text_.reserve(text_.size() + more); }
    void put(std::string_view piece) { text_.append(piece); }
    void tabs(std::size_t count) { text_.append(count, '\t'); }

private:
    std::string& text_;
};

class BlockOut {
public:
    explicit BlockOut(const ContentSink& sink) : blocks_(sink) {}
    void room(std::size_t) {}
    void put(std::string_view piece) { blocks_.append(piece); }
    void tabs(std::size_t count) { blocks_.append(count, '\t'); }
    void flush() { blocks_.flush(); }

private:
    BlockSink blocks_;
};

// One line of the formatter, indented; updates the indentation level.
template <typename Out> void indentLine(std::string_view line, int& level, Out& out) {
    if (line.find('\t') != std::string_view::npos || line.find('\r') != std::string_view::npos) {
        out.put(line);
        return;
    }
    const std::size_t length = line.size();
    // Only "<", "</" and "/>" matter. The text between two "<" is searched for ">" only, which is far
    // rarer than "/" (dates and paths are full of them): one byte search per tag instead of one per "/".
    // Every "/>" with its "/" in [from, to) closes a level; the search never runs past `to`, so that text
    // without ">" stays linear.
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
        out.put(line.substr(run, pos - run));
        run = pos;
        if (next != '/')
            ++level;
        out.put("\r\n");
        if (level > 0)
            out.tabs(static_cast<std::size_t>(std::min(level, kMaxIndentTabs)));
        if (next == '/' && level > 0)
            --level;
    }
    closeSelfClosed(from, length);
    out.put(line.substr(run));
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

// One pass of the formatter; false, part way, when it leaves the text alone.
template <typename Out> bool formatLines(std::string_view text, int& level, Out& out) {
    level = -1;
    bool started = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = nextLine(text, pos);
        if (line.size() < 20 && level == -1)
            return false; // already formatted: left alone
        if (!started)     // room once the text is known to need formatting
            out.room(text.size() + text.size() / 3);
        started = true;
        indentLine(line, level, out);
        out.put("\r\n");
    }
    return true;
}

// What a pass of the formatter does with a text, seen without running it.
struct Outlook {
    // It leaves the text alone: a line shorter than 20 characters comes before any tag opens a level.
    bool leftAlone = false;
    // It changes the text: a tag opens a level first, so a line break goes in before it, and from there on
    // it no longer leaves the text alone.
    bool changes = false;
    // A second pass would leave the result alone at once: its first line is shorter than 20 characters.
    bool settles = false;
};

Outlook outlookOf(std::string_view text) {
    Outlook outlook;
    bool first = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = nextLine(text, pos);
        if (line.size() < 20) { // the level is still the starting one here
            outlook.leftAlone = true;
            return outlook;
        }
        const bool verbatim = line.find('\t') != std::string_view::npos; // copied as it is
        if (first) {
            // The result's first line is this line up to its first tag, where a line break goes in.
            const std::size_t tag = verbatim ? std::string_view::npos : line.find('<');
            outlook.settles = (tag == std::string_view::npos ? line.size() : tag) < 20;
            first = false;
        }
        if (verbatim)
            continue;
        for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
            if (at + 1 == line.size() || line[at + 1] != '/') {
                outlook.changes = true;
                return outlook;
            }
        }
    }
    return outlook;
}

// Thrown when a pass that was to change the text leaves it alone after all.
struct LeftAlone {};

} // namespace

std::string AdminListFile::IndentXmlLine(const std::string& line) {
    std::string result;
    IndentXmlLineInto(line, result);
    return result;
}

void AdminListFile::IndentXmlLineInto(std::string_view line, std::string& out) {
    StringOut to(out);
    indentLine(line, indentLevel_, to);
}

namespace {

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

// Why a text cannot be the list file (parse error, in Spanish), or empty when it parses; a list whose
// values hold a raw "<" at `rawLessThan` cannot be formatted either. The text is parsed where it lies,
// without a copy, and is no longer the same text afterwards.
std::string parseProblemInPlace(std::string& text, std::size_t rawLessThan = std::string::npos) {
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
    if (rawLessThan != std::string::npos) {
        return "un valor lleva un «<» sin escapar (posición " + std::to_string(rawLessThan) +
               "), que el formato partiría";
    }
    return {};
}

} // namespace

bool AdminListFile::FormatText(std::string_view text, std::string& out) {
    out.clear();
    return AppendFormatted(text, out);
}

bool AdminListFile::AppendFormatted(std::string_view text, std::string& out) {
    const std::size_t start = out.size();
    StringOut to(out);
    if (formatLines(text, indentLevel_, to))
        return true;
    out.resize(start);
    return false;
}

void AdminListFile::FormatXML() {
    if (!ListFileExists())
        return;
    ListFileLock lock(listFile_); // removes a temporary an interrupted run left behind, too
    const fs::path temporary = fs::path(listFile_.string() + "_");
    std::string text;
    std::error_code ec;
    if (const std::uintmax_t size = fs::file_size(listFile_, ec); !ec)
        text.reserve(size + size / 4); // room to read the result back into, once the text is parsed
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
    const Outlook outlook = outlookOf(std::string_view(text).substr(prefix));
    if (outlook.leftAlone)
        return;
    // Both must parse: line breaks before tags can turn bytes that do not parse into a file that does.
    // They are parsed while the disk takes in the result, each where it lies. A list of moderate size is
    // formatted in memory, and checked on a thread of its own: scanned while it is formatted, parsed once the
    // formatter is done with it, beside the result's parse. A bigger one is only scanned on another thread,
    // and parsed on this one, one text at a time: the result is read back from the temporary file into the
    // text's room, so that the text, the result and a parsed document are never all held at once.
    const bool sideBySide = text.size() <= formatInMemoryUpTo_;
    const auto onAnotherThread = [](auto work) {
        try {
            return std::async(std::launch::async, work);
        } catch (const std::system_error&) { // no thread to be had: done here, when its result is asked for
            return std::async(std::launch::deferred, work);
        }
    };
    std::string formatted;
    std::future<std::string> listCheck;
    std::future<std::size_t> valueScan;
    std::promise<void> textFormatted; // ends before listCheck: a check still waiting for it then stops
    if (sideBySide) {
        listCheck = onAnotherThread([&text, done = textFormatted.get_future().share()] {
            const std::size_t rawLessThan = RawLessThanInValue(text);
            done.get();
            ParseArena arena(3 * text.size()); // a list's document takes about twice its text
            return parseProblemInPlace(text, rawLessThan);
        });
    } else {
        valueScan = onAnotherThread([&text] { return RawLessThanInValue(text); });
    }
    const SaveCheck check = [&](const fs::path& written) {
        std::string listProblem;
        std::string resultProblem;
        if (sideBySide) {
            ParseArena arena(3 * formatted.size());
            resultProblem = parseProblemInPlace(formatted);
            listProblem = listCheck.get();
        } else {
            formatted = std::string();
            ParseArena arena(3 * text.size());
            listProblem = parseProblemInPlace(text, valueScan.get());
            if (listProblem.empty()) {
                arena.Reset();
                ReadWholeFileInto(written, text);
                resultProblem = parseProblemInPlace(text);
            }
        }
        if (!listProblem.empty())
            refuse("no es un XML válido: " + listProblem);
        if (!resultProblem.empty())
            refuse("el resultado no sería un XML válido: " + resultProblem);
    };
    if (outlook.changes && outlook.settles && !sideBySide) {
        // One pass, settled by its short first line, goes straight into the temporary file.
        try {
            WriteFileAtomicallyFrom(
                listFile_,
                [&](const ContentSink& sink) {
                    BlockOut out(sink);
                    out.put(std::string_view(text).substr(0, prefix));
                    if (!formatLines(std::string_view(text).substr(prefix), indentLevel_, out))
                        throw LeftAlone{};
                    out.flush();
                },
                temporary, 0666, check);
        } catch (const LeftAlone&) {
        }
        return;
    }
    // Otherwise the result is made in memory: formatted again until the formatter leaves it alone.
    formatted.assign(text, 0, prefix); // kept first; the formatted text follows it
    if (!AppendFormatted(std::string_view(text).substr(prefix), formatted))
        return;
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
    again = std::string();
    if (formatted == text)
        return;
    if (formatted.empty())
        refuse("el resultado estaría vacío"); // a list is never replaced by an empty file
    textFormatted.set_value();                // the text is not read again here: its check may parse it
    WriteFileAtomically(listFile_, formatted, temporary, 0666, check);
}

} // namespace brio
