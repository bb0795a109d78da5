// The reason for a registry error code, in words, for the tools' messages.
#pragma once

#include <windows.h>

#include <string>

// The reason followed by the code, as "access is denied (error 5)".
std::string status_text(LSTATUS status);
