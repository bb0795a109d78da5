// The names and meanings of the result codes registration returns, for regsvr's messages.
#include "result_names.h"

#include <cstdio>

namespace regsvr {
namespace {

struct known_result {
    HRESULT code;
    const char *name;
    const char *meaning;
};

constexpr known_result known_results[] = {
    {S_OK, "S_OK", "success"},
    {S_FALSE, "S_FALSE", "success with nothing to do"},
    {E_FAIL, "E_FAIL", "unspecified failure"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "out of memory"},
    {E_INVALIDARG, "E_INVALIDARG", "an argument is invalid"},
    {E_POINTER, "E_POINTER", "a required pointer is null"},
    {E_NOTIMPL, "E_NOTIMPL", "not implemented"},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "access denied"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION", "the registration script is malformed or a key could not be written"},
    {TYPE_E_CANTLOADLIBRARY, "TYPE_E_CANTLOADLIBRARY", "the type library could not be loaded"},
    {TYPE_E_REGISTRYACCESS, "TYPE_E_REGISTRYACCESS", "the registry could not be written"},
    {TYPE_E_INVDATAREAD, "TYPE_E_INVDATAREAD", "the type library is corrupt"},
    {TYPE_E_UNSUPFORMAT, "TYPE_E_UNSUPFORMAT", "the type library has an unsupported format"},
    {REGDB_E_WRITEREGDB, "REGDB_E_WRITEREGDB", "the registry could not be written"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "class not registered"},
};

} // namespace

std::string describe_result(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    for (const known_result &known : known_results) {
        if (known.code == result)
            return std::string(code) + " " + known.name + ": " + known.meaning;
    }
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) {
        const auto error = static_cast<unsigned>(HRESULT_CODE(result));
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
            error == ERROR_RESOURCE_NAME_NOT_FOUND)
            return std::string(code) + ": the file or one of its resources was not found (system error " +
                   std::to_string(error) + ")";
        if (error == ERROR_NO_UNICODE_TRANSLATION)
            return std::string(code) +
                   ": the component's path is not valid UTF-8, so the registry cannot hold it (system error " +
                   std::to_string(error) + ")";
        return std::string(code) + ": system error " + std::to_string(error);
    }
    return std::string(code) + ": " + (FAILED(result) ? "failure" : "success");
}

} // namespace regsvr
