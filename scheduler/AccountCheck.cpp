#include "AccountCheck.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace brio {

namespace {

struct Conversation {
    const std::string* user;
    const std::string* pwd;
    std::string messages; // what the modules told the person, for the refusal's detail
};

char* duplicate(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void wipeResponses(pam_response* responses, int count) {
    for (int i = 0; i < count; ++i) {
        if (responses[i].resp) {
            explicit_bzero(responses[i].resp, std::strlen(responses[i].resp));
            std::free(responses[i].resp);
        }
    }
    std::free(responses);
}

// Answers the password to every hidden prompt and the user name to every visible one; keeps messages.
int converse(int count, const pam_message** messages, pam_response** answer, void* data) {
    if (count <= 0 || count > PAM_MAX_NUM_MSG)
        return PAM_CONV_ERR;
    auto* conversation = static_cast<Conversation*>(data);
    auto* responses =
        static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
    if (!responses)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const pam_message* message = messages[i];
        switch (message->msg_style) {
        case PAM_PROMPT_ECHO_OFF:
            responses[i].resp = duplicate(*conversation->pwd);
            break;
        case PAM_PROMPT_ECHO_ON:
            responses[i].resp = duplicate(*conversation->user);
            break;
        case PAM_ERROR_MSG:
        case PAM_TEXT_INFO:
            if (message->msg && *message->msg) {
                if (!conversation->messages.empty())
                    conversation->messages += "; ";
                conversation->messages += message->msg;
            }
            continue;
        default:
            wipeResponses(responses, count);
            return PAM_CONV_ERR;
        }
        if (!responses[i].resp) {
            wipeResponses(responses, count);
            return PAM_BUF_ERR;
        }
    }
    *answer = responses;
    return PAM_SUCCESS;
}

// Why PAM refused, in Spanish; the host's own words are only added as the modules' quoted messages.
std::string pamStatusText(int status) {
    switch (status) {
    case PAM_AUTH_ERR:
        return "la contraseña no es correcta";
    case PAM_USER_UNKNOWN:
        return "el usuario no existe";
    case PAM_MAXTRIES:
        return "se han superado los intentos permitidos";
    case PAM_CRED_INSUFFICIENT:
        return "no hay credenciales suficientes para comprobar la cuenta";
    case PAM_AUTHINFO_UNAVAIL:
        return "no se puede consultar la información de la cuenta";
    case PAM_ACCT_EXPIRED:
        return "la cuenta ha caducado";
    case PAM_NEW_AUTHTOK_REQD:
        return "la contraseña ha caducado y hay que cambiarla";
    case PAM_PERM_DENIED:
        return "permiso denegado";
    case PAM_ABORT:
        return "la comprobación se interrumpió";
    case PAM_CONV_ERR:
        return "no se pudo entregar la contraseña al sistema";
    case PAM_BUF_ERR:
        return "no hay memoria suficiente";
    case PAM_SYSTEM_ERR:
        return "error del sistema";
    case PAM_SERVICE_ERR:
        return "error en un módulo del servicio PAM";
    case PAM_OPEN_ERR:
        return "no se pudo cargar un módulo del servicio PAM";
    case PAM_SYMBOL_ERR:
        return "falta un símbolo en un módulo del servicio PAM";
    default:
        return "código PAM " + std::to_string(status);
    }
}

bool exists(const char* path) {
    return ::access(path, F_OK) == 0;
}

} // namespace

std::string LogonServiceName() {
    if (const char* forced = std::getenv("BRIOSCHEDULE_PAM_SERVICE"); forced && *forced)
        return forced;
    if (exists("/etc/pam.d/brioschedule") || exists("/usr/lib/pam.d/brioschedule"))
        return "brioschedule";
    return "other";
}

Result CheckLogon(const std::string& user, const std::string& domain, const std::string& pwd) {
    const std::string account = (domain.empty() || domain == ".") ? user : domain + "\\" + user;
    const std::string service = LogonServiceName();
    Conversation conversation{&account, &pwd, {}};
    const pam_conv conv{&converse, &conversation};

    pam_handle_t* handle = nullptr;
    int status = pam_start(service.c_str(), account.c_str(), &conv, &handle);
    if (status != PAM_SUCCESS) {
        Result result{err::PermissionDenied, {}};
        result.detail = "no se puede iniciar la comprobación de cuentas del sistema (servicio PAM «" +
                        service + "»): " + pamStatusText(status);
        if (handle)
            pam_end(handle, status);
        return result;
    }
    status = pam_authenticate(handle, PAM_SILENT);
    if (status == PAM_SUCCESS)
        status = pam_acct_mgmt(handle, PAM_SILENT);

    Result result;
    if (status != PAM_SUCCESS) {
        result.number = err::PermissionDenied;
        result.detail = "Usuario o contraseña no válido (" + pamStatusText(status);
        if (!conversation.messages.empty())
            result.detail += "; el sistema dice: «" + conversation.messages + "»";
        result.detail += ")";
    }
    pam_end(handle, status);
    return result;
}

bool ValidateLogon(const std::string& user, const std::string& domain, const std::string& pwd) {
    return CheckLogon(user, domain, pwd).ok();
}

} // namespace brio
