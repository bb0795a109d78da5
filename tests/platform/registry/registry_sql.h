// SQL run on a registry file as another program would, to edit, damage or inspect it.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

// The first column of the first row ("" for none), or "error N" when the statements fail.
inline std::string run_sql(const std::filesystem::path &file, const char *sql)
{
    sqlite3 *db = nullptr;
    std::string first;
    int rc = sqlite3_open(file.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, sql, [](void *out, int, char **row, char **) {
            if (static_cast<std::string *>(out)->empty() && row[0] != nullptr)
                *static_cast<std::string *>(out) = row[0];
            return 0;
        }, &first, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK ? first : "error " + std::to_string(rc);
}
