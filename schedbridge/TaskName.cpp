#include "TaskName.h"

#include "BrioError.h"

#include <QString>

#include <algorithm>
#include <cstdint>

namespace brio {

namespace {

// Decodes one UTF-8 sequence at `i`; returns false for malformed, overlong or surrogate sequences.
bool nextCodePoint(std::string_view text, std::size_t& i, char32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        ++i;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return false;
    }
    if (i + length > text.size())
        return false;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return false;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    i += length;
    return true;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string TaskNameProblem(std::string_view name) {
    if (name.empty())
        return "el nombre de la tarea está vacío";
    if (name.size() > kMaxTaskNameBytes)
        return "el nombre de la tarea tiene " + std::to_string(name.size()) + " bytes y no puede pasar de " +
               std::to_string(kMaxTaskNameBytes);
    for (std::size_t i = 0; i < name.size();) {
        char32_t code;
        if (!nextCodePoint(name, i, code))
            return "el nombre de la tarea no es texto UTF-8 válido";
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            return "el nombre de la tarea contiene caracteres de control";
    }
    const std::string quoted = "«" + std::string(name) + "»";
    if (const auto bad = name.find_first_of("\\/:*?\"<>|"); bad != std::string_view::npos)
        return "el nombre de tarea " + quoted + " contiene el carácter «" + name[bad] +
               "», que no puede formar parte de un nombre de archivo";
    if (name == "." || name == "..")
        return "el nombre de tarea " + quoted + " no es un nombre de archivo";
    if (name.back() == ' ' || name.back() == '.')
        return "el nombre de tarea " + quoted + " no puede terminar en espacio ni en punto";
    return {};
}

void CheckTaskName(std::string_view name) {
    if (std::string problem = TaskNameProblem(name); !problem.empty())
        throw BrioError(err::BadFileName, problem);
}

std::string TaskNameKey(std::string_view name) {
    if (isAscii(name)) {
        std::string key(name);
        for (char& c : key) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return key;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toUpper().toStdString();
}

} // namespace brio
