#define _DEFAULT_SOURCE /* realpath */
#include "registry_state.h"

#include "check.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#define CLASS_KEY "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"
#define SIBLING_KEY "CLSID\\{5A0F3C21-7E44-4B9A-9D10-2C6B8E1F4A77}"
#define SIBLING_TEXT "Sibling Class"

static int key_exists(const char *path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

/* Reads a REG_SZ value into text; 1 when it is there and of that type. */
static int read_string(const char *path, const char *name, char *text, DWORD size)
{
    HKEY key = NULL;
    DWORD type = 0;
    LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key);
    if (!check(status == ERROR_SUCCESS, "key HKCR\\%s missing after registration (%ld)", path,
               (long)status))
        return 0;
    status = RegQueryValueExA(key, name, NULL, &type, (LPBYTE)text, &size);
    RegCloseKey(key);
    return check(status == ERROR_SUCCESS && type == REG_SZ && size > 0 && text[size - 1] == '\0',
                 "value '%s' of HKCR\\%s unreadable (status %ld, type %lu)", name ? name : "(default)",
                 path, (long)status, (unsigned long)type);
}

static void check_string(const char *path, const char *name, const char *want)
{
    char text[1024];
    if (read_string(path, name, text, sizeof text))
        check(strcmp(text, want) == 0, "HKCR\\%s value '%s' is \"%s\", expected \"%s\"", path,
              name ? name : "(default)", text, want);
}

void create_sibling_class(void)
{
    HKEY key = NULL;
    DWORD disposition = 0;
    LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, SIBLING_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, NULL, &key, &disposition);
    if (!check(status == ERROR_SUCCESS, "creating HKCR\\" SIBLING_KEY " (%ld)", (long)status))
        return;
    status = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE *)SIBLING_TEXT, sizeof SIBLING_TEXT);
    check(status == ERROR_SUCCESS, "writing the sibling's default value (%ld)", (long)status);
    RegCloseKey(key);
    check(!key_exists(CLASS_KEY), "the class key exists before registration");
}

static void check_sibling_kept(void)
{
    check(key_exists("CLSID"), "HKCR\\CLSID is gone");
    check_string(SIBLING_KEY, NULL, SIBLING_TEXT);
}

void check_registered_entries(const char *module_path)
{
    static const char clsid_text[] = "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
    char server[1024];
    char resolved_server[PATH_MAX];
    char resolved_module[PATH_MAX];

    check_string("Morvane.CoMorvane.1", NULL, "CoMorvane Class");
    check_string("Morvane.CoMorvane.1\\CLSID", NULL, clsid_text);
    check_string("Morvane.CoMorvane", NULL, "CoMorvane Class");
    check_string("Morvane.CoMorvane\\CLSID", NULL, clsid_text);
    check_string("Morvane.CoMorvane\\CurVer", NULL, "Morvane.CoMorvane.1");
    check_string(CLASS_KEY, NULL, "CoMorvane Class");
    check_string(CLASS_KEY "\\ProgID", NULL, "Morvane.CoMorvane.1");
    check_string(CLASS_KEY "\\VersionIndependentProgID", NULL, "Morvane.CoMorvane");
    check(key_exists(CLASS_KEY "\\Programmable"), "HKCR\\" CLASS_KEY "\\Programmable missing");
    check_string(CLASS_KEY "\\InprocServer32", "ThreadingModel", "Both");
    check_string(CLASS_KEY "\\TypeLib", NULL, "{CABD0863-DC3C-4E64-A27D-D5B832E8947B}");

    /* The server path names the installed module (compared as files, since the
     * registered path may be spelled differently). */
    if (read_string(CLASS_KEY "\\InprocServer32", NULL, server, sizeof server) &&
        check(server[0] == '/', "InprocServer32 holds \"%s\", not a full path", server) &&
        check(realpath(server, resolved_server) != NULL, "InprocServer32 names \"%s\", which does not exist",
              server) &&
        check(realpath(module_path, resolved_module) != NULL, "module %s does not exist", module_path))
        check(strcmp(resolved_server, resolved_module) == 0, "InprocServer32 names %s, expected %s",
              resolved_server, resolved_module);

    check_sibling_kept();
}

void check_entries_removed(void)
{
    static const char *const removed[] = {"Morvane.CoMorvane.1", "Morvane.CoMorvane", CLASS_KEY};
    for (size_t i = 0; i < sizeof removed / sizeof removed[0]; ++i)
        check(!key_exists(removed[i]), "HKCR\\%s is still there after unregistration", removed[i]);
    check_sibling_kept();
}
