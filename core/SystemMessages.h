#pragma once

#include <pugixml.hpp>

#include <exception>
#include <string>
#include <system_error>

namespace brio {

class BrioError;

// The program's error number for a failed system call (errno): 70 for a refusal (EACCES, EPERM, EROFS),
// 76 for a path that leads nowhere (ENOENT, ENOTDIR), 53 instead for ENOENT when `missingFile` says the
// path names a file whose folder is known to exist, and 75 for anything else.
long SystemErrorNumber(int code, bool missingFile = false);

// The Spanish text of a system error number (errno); "error del sistema N" for one outside the table.
std::string SystemErrorText(int code);
// The same for an error code: system and generic codes through the table, others as their category words.
std::string SystemErrorText(const std::error_code& code);

// Why the XML parser refused a document, in Spanish.
std::string XmlParseStatusText(pugi::xml_parse_status status);

// What a person reads for a failure that is not a BrioError: file-system and system errors in Spanish with
// the paths they name, anything else as it describes itself.
std::string ExceptionText(const std::exception& error);
// Any failure as the command error report's error: a BrioError as it is, a file-system failure as error
// 75, anything else as error 5, each with its own text as detail.
BrioError AsBrioError(const std::exception& error);

} // namespace brio
