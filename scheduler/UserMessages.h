#pragma once

#include <functional>
#include <string>

namespace brio {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };

// How a lower layer shows a message to the person: the window shows a message box, the command line
// writes to standard error. An empty title means the application's own title.
using MessageSink = std::function<void(const std::string& text, const std::string& title, MsgIcon icon)>;

} // namespace brio
