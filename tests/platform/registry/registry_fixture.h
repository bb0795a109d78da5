// A test with a scratch registry of its own, key and value helpers, and SQL on its file.
#pragma once

#include "../../support/scratch_registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Closes the handle it holds when it goes.
class Key {
public:
    Key() = default;
    explicit Key(HKEY handle) : handle_(handle) {}
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key() { reset(); }
    void reset() { handle_ != nullptr ? void(RegCloseKey(std::exchange(handle_, nullptr))) : void(); }
    operator HKEY() const { return handle_; }
    PHKEY out() { return reset(), &handle_; }
private:
    HKEY handle_ = nullptr;
};

class RegistryTest : public ::testing::Test {
public:
    static HKEY create(HKEY parent, const char *path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr), 0) << path;
        return key;
    }
    static void make(HKEY parent, const char *path) { RegCloseKey(create(parent, path)); }
    static LSTATUS open(HKEY parent, const char *path, Key &key, REGSAM access = KEY_ALL_ACCESS)
    {
        return RegOpenKeyExA(parent, path, 0, access, key.out());
    }
    static bool exists(HKEY parent, const char *path) { Key key; return open(parent, path, key, KEY_READ) == ERROR_SUCCESS; }
    // Creates the key under HKEY_CLASSES_ROOT with the text as its default value.
    static void set_default(const std::string &path, const std::string &text)
    {
        EXPECT_EQ(set_string(Key(create(HKEY_CLASSES_ROOT, path.c_str())), nullptr, text), 0) << path;
    }
    // A REG_SZ with its terminator, as callers usually set it.
    static LSTATUS set_string(HKEY key, const char *name, const std::string &text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()), DWORD(text.size() + 1));
    }
    // The value's bytes, or an empty vector with the status in *status.
    static std::vector<BYTE> query(HKEY key, const char *name, DWORD *type = nullptr,
                                   LSTATUS *status = nullptr)
    {
        DWORD size = 0;
        LSTATUS rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        std::vector<BYTE> data(size);
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
        data.resize(rc == ERROR_SUCCESS ? size : 0);
        return status != nullptr ? *status = rc, data : data;
    }
    // A REG_SZ without its terminator.
    static std::string query_string(HKEY key, const char *name)
    {
        const std::vector<BYTE> data = query(key, name);
        return {data.begin(), data.end() - (!data.empty() && data.back() == 0)};
    }
    // Every subkey name (values: every value name) from index 0 to the end.
    static std::vector<std::string> subkeys(HKEY key, bool values = false)
    {
        std::vector<std::string> names;
        char name[1024];
        for (DWORD index = 0;; ++index) {
            DWORD size = sizeof name;
            const LSTATUS rc = values ? RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr)
                                      : RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) {
                EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
                return names;
            }
            names.emplace_back(name, size);
        }
    }
    // Every call that takes a key handle, by name, on the handle given.
    static std::vector<std::pair<const char *, std::function<LSTATUS(HKEY)>>> calls_on_a_handle()
    {
        static BYTE data[64];
        static char name[64];
        static DWORD size;
        return {
            {"open", [](HKEY key) { Key out; return open(key, "X", out); }},
            {"create", [](HKEY key) { Key out; return RegCreateKeyExA(key, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); }},
            {"set value", [](HKEY key) { return set_string(key, "V", "x"); }},
            {"query value", [](HKEY key) { return RegQueryValueExA(key, "V", nullptr, nullptr, data, &(size = 64)); }},
            {"delete value", [](HKEY key) { return RegDeleteValueA(key, "V"); }},
            {"delete key", [](HKEY key) { return RegDeleteKeyA(key, ""); }},
            {"delete tree", [](HKEY key) { return RegDeleteTreeA(key, nullptr); }},
            {"enumerate keys", [](HKEY key) { return RegEnumKeyExA(key, 0, name, &(size = 64), nullptr, nullptr, nullptr, nullptr); }},
            {"enumerate values", [](HKEY key) { return RegEnumValueA(key, 0, name, &(size = 64), nullptr, nullptr, nullptr, nullptr); }},
            {"query info", [](HKEY key) {
                 return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
             }},
        };
    }

protected:
    std::unique_ptr<morvane::test::ScratchRegistry> scratch_ = std::make_unique<morvane::test::ScratchRegistry>();
    const std::filesystem::path folder_ = scratch_->folder();
    const std::filesystem::path file_ = scratch_->file();
};

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
