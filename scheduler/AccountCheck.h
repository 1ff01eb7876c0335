#pragma once

#include "BrioError.h"

#include <string>

namespace brio {

// Checks a user name, domain and password with the host's logon (PAM: authentication, then account
// validity). An empty domain (or ".") means a local account; otherwise the user is "domain\user". Empty
// texts are passed on unchanged. The password is never copied into anything that outlives the call.
// Success, or error 70 with why the host refused (a Spanish summary with the system's own message).
Result CheckLogon(const std::string& user, const std::string& domain, const std::string& pwd);

// True when the host's logon accepts the pair. Shows nothing: the caller tells the person.
bool ValidateLogon(const std::string& user, const std::string& domain, const std::string& pwd);

// The PAM service the check uses: $BRIOSCHEDULE_PAM_SERVICE when set, else "brioschedule" when the host
// has a service file of that name, else the host's "other" service.
std::string LogonServiceName();

} // namespace brio
