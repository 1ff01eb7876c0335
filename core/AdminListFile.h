#pragma once

#include "HostPaths.h"
#include "ListDocument.h"
#include "clsTarea.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brio {

// What an operation does with a name the list file does not hold.
enum class MissingEntry {
    Skip, // nothing, for that name (the window)
    Fail, // error 9 at that name; a missing list file is error 53 (the command line)
};

// The list-file half of the administration object: every operation opens TaskConfig.XML once, works on
// it (on all its names) and saves it at most once. The scheduler half (clsAdminTask) builds on this class.
class AdminListFile {
public:
    static constexpr const char* kListFileName = "TaskConfig.XML";
    static constexpr const char* kInstallMarker = "\\BRIO\\VELMORAX\\";

    // The list file is `programFolder`/TaskConfig.XML; nothing is read or created here.
    explicit AdminListFile(std::filesystem::path programFolder,
                           HostPaths paths = HostPaths::FromEnvironment());
    virtual ~AdminListFile() = default;

    const std::filesystem::path& ListFilePath() const noexcept { return listFile_; }
    const std::filesystem::path& ProgramFolderPath() const noexcept { return programFolder_; }
    const HostPaths& Paths() const noexcept { return paths_; }

    // Every entry as a record, in document order; programs that moved to another drive are repaired
    // and the file saved once. Missing file: empty. A file that does not parse: error 75.
    TareaList getXMLTaskList();

    // Sets one attribute of the entry `TaskName` ("disabled" is written on its CONFIGURACION too).
    void SetXMLAttr(const std::string& TaskName, const std::string& AttrName, const std::string& value);
    // The attribute's text; empty when the entry or the attribute is missing.
    std::string GetXMLAttr(const std::string& TaskName, const std::string& AttrName);

    // Many names in one load (and one save): the same results as GetXMLAttr and SetXMLAttr name by name.
    std::vector<std::string> GetXMLAttrs(const NameList& names, const std::string& AttrName);
    void SetXMLAttrs(const std::vector<std::pair<std::string, std::string>>& valuesByName,
                     const std::string& AttrName, MissingEntry missing = MissingEntry::Skip,
                     NameProgress* progress = nullptr);

    // Stores `minutes` as StartTimeRandom of each named entry, in one load and one save. With
    // MissingEntry::Fail every name is checked before any is written.
    void XMLRandomTime(const NameList& names, std::int16_t minutes,
                       MissingEntry missing = MissingEntry::Skip);

    // Removes the entry from the list file; nothing is written when it is not listed.
    void RemoveBrioTask(const std::string& TaskName);

    // Rewrites the list file with one tag per line and tab indentation; a formatted file is left alone.
    // Only a file that parses, is 8-bit text and holds no raw "<" in a value (which a line break would
    // change) is formatted, the result must parse and settle in this one run (indentation stops deepening
    // at 16 tabs), and an XML declaration stays first; otherwise the file is left as it was and error 75
    // says why.
    void FormatXML();
    // One pass of the formatter over `text` into `out`; false when it leaves the text alone.
    bool FormatText(std::string_view text, std::string& out);

    // The drive under which the suite's tree holds the path's program: "C:", "D:", "E:" or empty.
    std::string FindInstallDrive(const std::string& path) const;
    // The path moved into the suite's tree on `drive`; unchanged when it lies outside the tree.
    static std::string RelocateInstallPath(const std::string& drive, const std::string& path);
    // One line of the formatter, indented; updates the indentation level.
    std::string IndentXmlLine(const std::string& line);

protected:
    bool ListFileExists() const;
    // A new list file holding only the empty root TAREAS.
    void CreateTaskListFile();
    // Opens the list document; the caller checks loaded() where a missing file matters.
    void OpenList(ListDocument& doc, ListDocument::Use use = ListDocument::Use::Change) const;

    // The one load-change-save of the list file for a whole operation, under the writers' lock.
    // `change` works on the loaded document (empty when the file is missing, or a new empty list with
    // `create`) and sets `changed` once it has changed it; the document is then saved once, also when
    // `change` fails part way, so what was done before the failure is kept. A failing save is passed on
    // (in place of a failure of `change`) and clears `progress`.
    void EditList(const std::function<void(ListDocument& doc, bool& changed)>& change, bool create = false,
                  NameProgress* progress = nullptr);
    // Runs `each` on the indexes of `count` names in order, counting in `progress` (when given) the names
    // done; the first failure ends the walk and is passed on.
    static void ForEachName(std::size_t count, NameProgress* progress,
                            const std::function<void(std::size_t index)>& each);
    // The error of a name the list file does not hold, and of a missing list file.
    [[noreturn]] void ThrowNotListed(const std::string& name) const;
    [[noreturn]] void ThrowNoList() const;

private:
    // FormatText's pass, appended to `out`; false, with `out` as it was, when it leaves the text alone.
    bool AppendFormatted(std::string_view text, std::string& out);
    // getXMLTaskList's pass over a fresh load; false, with nothing saved, when programs must be repaired
    // and `locked` is false (the caller holds no writers' lock).
    bool ReadList(TareaList& result, bool locked);

    std::filesystem::path programFolder_;
    std::filesystem::path listFile_;
    HostPaths paths_;
    int indentLevel_ = -1;
};

} // namespace brio
