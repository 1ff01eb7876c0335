#pragma once

#include <filesystem>
#include <string_view>

namespace brio {

// Replaces `target` with `content` so that no reader ever sees a torn file: a temporary file in the same
// folder is written, flushed to disk and renamed over the target, then the folder is flushed. The
// target's permissions are kept; a new file gets `newMode` (less the umask). Failures throw BrioError
// and leave the target as it was.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         unsigned newMode = 0666);

// The same, but the temporary file has a fixed name (for callers whose temporary name is part of
// their behaviour); it is removed on failure.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         const std::filesystem::path& temporary, unsigned newMode = 0666);

// Reads a whole file; throws BrioError 53 when it is missing and 75 when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

} // namespace brio
