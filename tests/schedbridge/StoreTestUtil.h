#pragma once

#include "BrioError.h"
#include "SchedBridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

namespace brio::test {

// Every entry of a folder, hidden ones included.
inline std::set<std::string> Entries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// The number of the BrioError `call` throws; 0 when it throws none.
template <typename Call> long ErrorOf(Call call, std::string* description = nullptr) {
    try {
        call();
    } catch (const BrioError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace brio::test
