// The list-file reader and its attribute edits on any bytes: errors are BrioErrors, and an edit that
// succeeded leaves a file that reads again.
#include "AdminListFile.h"
#include "BrioError.h"
#include "FuzzSupport.h"

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& home = fuzz::Scratch();
    fuzz::Write(home / AdminListFile::kListFileName,
                std::string_view(reinterpret_cast<const char*>(data), size));
    AdminListFile list(home, HostPaths({}));
    TareaList tasks;
    try {
        tasks = list.getXMLTaskList();
    } catch (const BrioError&) {
        return 0;
    }
    const std::string name = tasks.empty() ? std::string("x") : tasks.front().Name();
    try {
        list.SetXMLAttr(name, "disabled", "1");
        list.XMLRandomTime({name, "otra"}, 15);
        BRIO_FUZZ_CHECK(list.GetXMLAttr(name, "disabled") == (tasks.empty() ? "" : "1"));
        list.RemoveBrioTask(name);
        const TareaList after = list.getXMLTaskList();
        BRIO_FUZZ_CHECK(after.size() + (tasks.empty() ? 0 : 1) == tasks.size());
    } catch (const BrioError&) {
        // a failing edit is allowed; a crash, a leak or a file that no longer reads is not
    }
    return 0;
}
