#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace brio {

// When a save reaches the disk. A deferred save is in place at once with its data written, but is sure
// to survive a power cut only after the next FlushFileSystemOf its folder: a command saving many files
// waits for the journal and the device's cache once, not once per file.
enum class Durability { Now, Deferred };

// Replaces `target` with `content` so that no reader ever sees a torn file: a temporary file in the same
// folder is written, flushed to disk and renamed over the target, then the folder is flushed. The
// target's permissions are kept; a new file gets `newMode` (less the umask). Failures throw BrioError
// and leave the target as it was.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         unsigned newMode = 0666, Durability durability = Durability::Now);

// Runs once a save's content is all in its temporary file `written`, while the disk takes it in and before
// the target is replaced: a check that throws leaves the target as it was and removes the temporary. The
// content's memory is no longer read by then, so the check may reuse or release it.
using SaveCheck = std::function<void(const std::filesystem::path& written)>;

// Receives a file's content piece by piece, in order.
using ContentSink = std::function<void(std::string_view piece)>;
// The same for content that `produce` hands to its sink piece by piece, so the whole text is never held
// in memory; a failure of `produce` leaves the target as it was too.
void WriteFileAtomicallyFrom(const std::filesystem::path& target,
                             const std::function<void(const ContentSink&)>& produce, unsigned newMode = 0666,
                             Durability durability = Durability::Now, const SaveCheck& check = {});

// Brings every deferred save in `folder` to the disk (the folder's whole file system is flushed once, then
// the folder itself). Throws BrioError when the system reports a failure.
void FlushFileSystemOf(const std::filesystem::path& folder);
// Its first half: the data of every file of the folder's file system, without the folder's own entries.
void FlushFileDataOf(const std::filesystem::path& folder);

// A save in two steps, for many files that should wait for the disk once: StageSave writes the whole
// content into a new temporary beside the target (made exclusively, with the mode and owner the target
// keeps or a new file gets, refused as WriteFileAtomically refuses) without waiting for the disk;
// CommitStagedSave renames it over the target. Between the two the caller brings the temporary's data to
// the device (FlushFileDataOf), so that a crash never leaves the name on a file whose data is missing,
// and keeps others from taking the temporary for a stale one. A failing commit removes the temporary.
struct StagedSave {
    std::filesystem::path temporary;
    std::filesystem::path target;
};
StagedSave StageSave(const std::filesystem::path& target, std::string_view content, unsigned newMode = 0666);
void CommitStagedSave(const StagedSave& staged);

// The same, but the temporary file has a fixed name (for callers whose temporary name is part of
// their behaviour); it is created exclusively, so a stale one must be removed first by whoever holds the
// lock the callers share; it is removed on failure.
//
// Every save keeps the replaced file's mode, owner and group (as far as the process may change them; a
// new file made by root gets its folder's owner), refuses a target the caller may not write (error 70)
// or that is not a regular file, and saves a symbolic link through: the link stays and the file it leads
// to is replaced in its own folder.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         const std::filesystem::path& temporary, unsigned newMode = 0666,
                         const SaveCheck& check = {});
void WriteFileAtomicallyFrom(const std::filesystem::path& target,
                             const std::function<void(const ContentSink&)>& produce,
                             const std::filesystem::path& temporary, unsigned newMode = 0666,
                             const SaveCheck& check = {});

// Reads a whole file; throws BrioError 53 when it is missing and 75 when it cannot be read or is not a
// regular file (a FIFO in its place is refused without waiting).
std::string ReadWholeFile(const std::filesystem::path& file);
// The same into `content`, whose room is used again.
void ReadWholeFileInto(const std::filesystem::path& file, std::string& content);

} // namespace brio
