// A test with a registry of its own (a fresh scratch registry for each test),
// and short functions for keys and values. The reg command's tests include it
// too and link the platform runtime alone, so all of it lives in headers.
#pragma once

#include "../../support/scratch_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Closes the handle it holds when it goes.
class Key {
public:
    Key() = default;
    explicit Key(HKEY handle) : handle_(handle) {}
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key() { reset(); }
    void reset()
    {
        if (handle_ != nullptr)
            RegCloseKey(handle_);
        handle_ = nullptr;
    }
    HKEY get() const { return handle_; }
    HKEY release()
    {
        HKEY handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    operator HKEY() const { return handle_; }
    PHKEY out()
    {
        reset();
        return &handle_;
    }

private:
    HKEY handle_ = nullptr;
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = std::make_unique<morvane::test::ScratchRegistry>();
        folder_ = scratch_->folder();
        file_ = scratch_->file();
    }

    void TearDown() override { scratch_.reset(); }

public:
    // Switches this process to another registry file.
    static void use_file(const std::filesystem::path &file)
    {
        morvane::test::ScratchRegistry::use_file(file);
    }

    static HKEY create(HKEY parent, const char *path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    // stem followed by the number, for families of names.
    static std::string numbered(const char *stem, int number)
    {
        std::string name(stem);
        name.append(std::to_string(number));
        return name;
    }

    // Creates a key and closes it again.
    static void make(HKEY parent, const char *path) { RegCloseKey(create(parent, path)); }

    static LSTATUS open(HKEY parent, const char *path, Key &key, REGSAM access = KEY_ALL_ACCESS)
    {
        return RegOpenKeyExA(parent, path, 0, access, key.out());
    }

    static bool exists(HKEY parent, const char *path)
    {
        Key key;
        return open(parent, path, key, KEY_READ) == ERROR_SUCCESS;
    }

    // Sets a REG_SZ with its terminator, as callers usually do.
    static LSTATUS set_string(HKEY key, const char *name, std::string_view text)
    {
        const std::string copy(text);
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(copy.c_str()),
                              static_cast<DWORD>(copy.size() + 1));
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
        if (status != nullptr)
            *status = rc;
        if (rc != ERROR_SUCCESS)
            return {};
        data.resize(size);
        return data;
    }

    // A REG_SZ read back without its terminator.
    static std::string query_string(HKEY key, const char *name)
    {
        std::vector<BYTE> data = query(key, name);
        std::string text(data.begin(), data.end());
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        return text;
    }

    static std::vector<std::string> subkeys(HKEY key)
    {
        return names([key](DWORD index, char *name, DWORD *size) {
            return RegEnumKeyExA(key, index, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    static std::vector<std::string> value_names(HKEY key)
    {
        return names([key](DWORD index, char *name, DWORD *size) {
            return RegEnumValueA(key, index, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

private:
    // Every name an enumeration call gives, from index 0 to its end.
    template <typename EnumerateOne>
    static std::vector<std::string> names(EnumerateOne enumerate_one)
    {
        std::vector<std::string> names;
        char name[1024];
        for (DWORD index = 0;; ++index) {
            DWORD size = sizeof name;
            const LSTATUS rc = enumerate_one(index, name, &size);
            if (rc != ERROR_SUCCESS) {
                EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
                return names;
            }
            names.emplace_back(name, size);
        }
    }

protected:
    std::unique_ptr<morvane::test::ScratchRegistry> scratch_;
    std::filesystem::path folder_;
    std::filesystem::path file_;
};
