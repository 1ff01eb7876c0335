#pragma once

namespace brio {

// Registers the window's artwork (ui/resources.qrc); a static library's resources need it. Idempotent.
void InitUiResources();

} // namespace brio
