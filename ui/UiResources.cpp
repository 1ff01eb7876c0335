#include "UiResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE has to be used outside any namespace.
static void initBrioUiResources() {
    Q_INIT_RESOURCE(resources);
}

namespace brio {

void InitUiResources() {
    static const bool done = (initBrioUiResources(), true);
    (void)done;
}

} // namespace brio
