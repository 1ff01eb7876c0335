#pragma once

#include "BrioError.h"

#include <string>

namespace brio::test {

// The number of the BrioError that `fn` throws, its description into `description` when given; 0 when it
// throws none.
template <typename Fn> long ErrorOf(Fn&& fn, std::string* description = nullptr) {
    try {
        fn();
    } catch (const BrioError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace brio::test
