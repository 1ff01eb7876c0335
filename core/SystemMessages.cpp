#include "SystemMessages.h"

#include "BrioError.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <new>
#include <utility>

namespace brio {

long SystemErrorNumber(int code, bool missingFile) {
    switch (code) {
    case EACCES:
    case EPERM:
    case EROFS:
        return err::PermissionDenied;
    case ENOENT:
        return missingFile ? err::FileNotFound : err::PathNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    default:
        return err::PathFileAccess;
    }
}

std::string SystemErrorText(int code) {
    static const std::array<std::pair<int, const char*>, 38> table{{
        {EPERM, "Operación no permitida"},
        {ENOENT, "No existe el archivo o la carpeta"},
        {ESRCH, "No existe ese proceso"},
        {EINTR, "Llamada interrumpida"},
        {EIO, "Error de entrada/salida"},
        {ENXIO, "No existe el dispositivo o la dirección"},
        {E2BIG, "La lista de argumentos es demasiado larga"},
        {ENOEXEC, "El archivo no es un programa ejecutable"},
        {EBADF, "Descriptor de archivo incorrecto"},
        {ECHILD, "No hay procesos hijos"},
        {EAGAIN, "Recurso no disponible temporalmente"},
        {ENOMEM, "No hay memoria suficiente"},
        {EACCES, "Permiso denegado"},
        {EBUSY, "Dispositivo o recurso ocupado"},
        {EEXIST, "El archivo ya existe"},
        {EXDEV, "No se puede enlazar entre dispositivos distintos"},
        {ENODEV, "No existe el dispositivo"},
        {ENOTDIR, "No es una carpeta"},
        {EISDIR, "Es una carpeta"},
        {EINVAL, "Argumento no válido"},
        {ENFILE, "Demasiados archivos abiertos en el sistema"},
        {EMFILE, "Demasiados archivos abiertos"},
        {ETXTBSY, "El archivo de programa está ocupado"},
        {EFBIG, "El archivo es demasiado grande"},
        {ENOSPC, "No queda espacio en el dispositivo"},
        {ESPIPE, "Posicionamiento no válido"},
        {EROFS, "Sistema de archivos de solo lectura"},
        {EMLINK, "Demasiados enlaces"},
        {EPIPE, "La tubería está rota"},
        {ENAMETOOLONG, "El nombre del archivo es demasiado largo"},
        {ENOLCK, "No hay bloqueos disponibles"},
        {ENOSYS, "Función no implementada"},
        {ENOTEMPTY, "La carpeta no está vacía"},
        {ELOOP, "Demasiados niveles de enlaces simbólicos"},
        {EOVERFLOW, "El valor es demasiado grande para su tipo de datos"},
        {ETIMEDOUT, "Se agotó el tiempo de espera de la conexión"},
        {ECONNREFUSED, "Conexión rechazada"},
        {EDQUOT, "Se ha superado la cuota de disco"},
    }};
    for (const auto& [number, text] : table) {
        if (number == code)
            return text;
    }
    return "error del sistema " + std::to_string(code);
}

std::string SystemErrorText(const std::error_code& code) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return SystemErrorText(code.value());
    return code.message();
}

std::string XmlParseStatusText(pugi::xml_parse_status status) {
    switch (status) {
    case pugi::status_ok:
        return "sin errores";
    case pugi::status_file_not_found:
        return "no se encontró el archivo";
    case pugi::status_io_error:
        return "no se pudo leer el archivo";
    case pugi::status_out_of_memory:
        return "no hay memoria suficiente";
    case pugi::status_internal_error:
        return "error interno del lector de XML";
    case pugi::status_unrecognized_tag:
        return "etiqueta no reconocida";
    case pugi::status_bad_pi:
        return "declaración o instrucción de proceso mal formada";
    case pugi::status_bad_comment:
        return "comentario mal formado";
    case pugi::status_bad_cdata:
        return "sección CDATA mal formada";
    case pugi::status_bad_doctype:
        return "declaración de tipo de documento mal formada";
    case pugi::status_bad_pcdata:
        return "texto mal formado";
    case pugi::status_bad_start_element:
        return "etiqueta de apertura mal formada";
    case pugi::status_bad_attribute:
        return "atributo mal formado";
    case pugi::status_bad_end_element:
        return "etiqueta de cierre mal formada";
    case pugi::status_end_element_mismatch:
        return "las etiquetas de apertura y cierre no coinciden (o falta cerrar una etiqueta)";
    case pugi::status_append_invalid_root:
        return "no se pueden añadir nodos a este elemento";
    case pugi::status_no_document_element:
        return "no tiene elemento raíz";
    }
    return "error desconocido del lector de XML";
}

std::string ExceptionText(const std::exception& error) {
    if (const auto* fs = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        std::string text = SystemErrorText(fs->code());
        if (!fs->path1().empty())
            text += ": «" + fs->path1().string() + "»";
        if (!fs->path2().empty())
            text += ", «" + fs->path2().string() + "»";
        return text;
    }
    if (const auto* sys = dynamic_cast<const std::system_error*>(&error))
        return SystemErrorText(sys->code());
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return SystemErrorText(ENOMEM);
    return error.what();
}

BrioError AsBrioError(const std::exception& error) {
    if (const auto* known = dynamic_cast<const BrioError*>(&error))
        return *known;
    const bool fileSystem = dynamic_cast<const std::filesystem::filesystem_error*>(&error) != nullptr;
    return BrioError(fileSystem ? err::PathFileAccess : err::InvalidCall, ExceptionText(error));
}

} // namespace brio
