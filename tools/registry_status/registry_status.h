// The reason for a registry error code, in words, for the tools' messages.
#ifndef MORVANE_TOOLS_REGISTRY_STATUS_H
#define MORVANE_TOOLS_REGISTRY_STATUS_H

#include <windows.h>

#include <string>

// The reason followed by the code, as "access is denied (error 5)".
std::string status_text(LSTATUS status);

#endif
