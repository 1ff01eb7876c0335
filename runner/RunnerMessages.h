#pragma once

#include <ostream>
#include <string>

namespace brio {

// How much a runner message matters, as syslog and the journal grade it.
enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Whether standard error goes to the journal: JOURNAL_STREAM names the very stream on descriptor 2.
bool StandardErrorIsJournal();

// Writes one message line of the runner. To the journal it goes with its priority as a "<N>" prefix
// and nothing else, since the journal names the program itself; elsewhere with the program's name.
void SayTo(std::ostream& out, Priority priority, const std::string& text);

} // namespace brio
