#include "BrioError.h"

#include <array>
#include <utility>

namespace brio {

std::string ErrorDescription(long number) {
    static const std::array<std::pair<long, const char*>, 12> table{{
        {err::InvalidCall, "Llamada a procedimiento o argumento no válido"},
        {err::Overflow, "Desbordamiento"},
        {err::SubscriptOutOfRange, "El subíndice está fuera del intervalo"},
        {err::TypeMismatch, "No coinciden los tipos"},
        {err::BadFileName, "Nombre o número de archivo incorrecto"},
        {err::FileNotFound, "No se ha encontrado el archivo"},
        {err::PermissionDenied, "Permiso denegado"},
        {err::PathFileAccess, "Error de acceso a la ruta o el archivo"},
        {err::PathNotFound, "No se ha encontrado la ruta de acceso"},
        {err::ObjectNotSet, "Variable de objeto no establecida"},
        {err::KeyNotUnique, "La clave no es única en la colección"},
        {err::FileExists, "El archivo ya existe"},
    }};
    for (const auto& [n, text] : table) {
        if (n == number)
            return text;
    }
    return {};
}

static std::string composeDescription(long number, const std::string& detail) {
    std::string base = ErrorDescription(number);
    if (detail.empty())
        return base;
    if (base.empty())
        return detail;
    return base + ": " + detail;
}

BrioError::BrioError(long number, const std::string& detail)
    : std::runtime_error(composeDescription(number, detail)), number_(number),
      description_(composeDescription(number, detail)) {}

std::string BrioError::report() const {
    return "Error " + std::to_string(number_) + " (" + description_ + ")";
}

} // namespace brio
