#pragma once

#include "TrustedFolder.h"

#include <sys/types.h>

namespace brio {

// What a task file must be for the store and the runner alike to take it: a regular file with one
// name, of the store folder's owner, not writable by group or others, and small. A task file is a few
// kilobytes; anything far larger is not one.
inline FileRule TaskFileRule(uid_t storeOwner) {
    return FileRule{storeOwner, 4 * 1024 * 1024};
}

} // namespace brio
