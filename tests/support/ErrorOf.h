#pragma once

#include "BrioError.h"

namespace brio::test {

// The number of the BrioError that `fn` throws; 0 when it throws none.
template <typename Fn> long ErrorOf(Fn&& fn) {
    try {
        fn();
    } catch (const BrioError& e) {
        return e.number();
    }
    return 0;
}

} // namespace brio::test
