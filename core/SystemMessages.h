#pragma once

#include <pugixml.hpp>

#include <exception>
#include <string>
#include <system_error>

namespace brio {

// The Spanish text of a system error number (errno); "error del sistema N" for one outside the table.
std::string SystemErrorText(int code);
// The same for an error code: system and generic codes through the table, others as their category words.
std::string SystemErrorText(const std::error_code& code);

// Why the XML parser refused a document, in Spanish.
std::string XmlParseStatusText(pugi::xml_parse_status status);

// What a person reads for a failure that is not a BrioError: file-system and system errors in Spanish with
// the paths they name, anything else as it describes itself.
std::string ExceptionText(const std::exception& error);

} // namespace brio
