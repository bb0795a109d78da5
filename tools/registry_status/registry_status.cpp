// Words for the registry's system error codes, for the tools' messages.
#include "registry_status.h"

std::string status_text(LSTATUS status)
{
    std::string reason;
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
        reason = "the key does not exist";
        break;
    case ERROR_ACCESS_DENIED:
        reason = "access is denied";
        break;
    case ERROR_KEY_DELETED:
        reason = "the key was deleted meanwhile";
        break;
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        reason = "the key name is not valid";
        break;
    case ERROR_CANTOPEN:
        reason = "the registry database cannot be opened";
        break;
    case ERROR_BADDB:
        reason = "the registry file is not a registry database, or its keys do not form a tree";
        break;
    case ERROR_MORE_DATA:
        reason = "a name is longer than the registry allows";
        break;
    case ERROR_REGISTRY_CORRUPT:
        reason = "the registry database is damaged";
        break;
    case ERROR_REGISTRY_IO_FAILED:
        reason = "the registry database could not be read or written";
        break;
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_ENOUGH_MEMORY:
        reason = "out of memory";
        break;
    default:
        reason = "the registry call failed";
        break;
    }
    return reason + " (error " + std::to_string(status) + ")";
}
