// Random sequences of registry calls applied both to the registry and to a
// small in-memory model of it, compared after every step. The seeds are fixed;
// a failing sequence is printed step by step so that it can be replayed.
#include "registry_fixture.h"
#include "registry_tree.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <sstream>

namespace {

using morvane::test::RegistryTree;
using morvane::test::RegistryValue;

std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct ModelValue {
    std::string name;
    RegistryValue value;
};

struct ModelKey {
    std::string name; // as first spelt
    int id = 0;
    std::map<std::string, ModelKey> subkeys; // by upper-case name: the enumeration order
    std::vector<ModelValue> values;          // in the order first set

    ModelValue *value(const std::string &value_name)
    {
        for (ModelValue &v : values)
            if (upper(v.name) == upper(value_name))
                return &v;
        return nullptr;
    }
};

struct Handle {
    HKEY key;
    std::vector<std::string> path; // upper-case names from the root
    int id;
};

class Model {
public:
    // The key at the path, or null.
    ModelKey *find(const std::vector<std::string> &path)
    {
        ModelKey *key = &root_;
        for (const std::string &name : path) {
            auto found = key->subkeys.find(upper(name));
            if (found == key->subkeys.end())
                return nullptr;
            key = &found->second;
        }
        return key;
    }
    ModelKey *live(const Handle &handle)
    {
        ModelKey *key = find(handle.path);
        return key != nullptr && key->id == handle.id ? key : nullptr;
    }
    // Creates what is missing; whether the last level was new.
    std::pair<ModelKey *, bool> create(const std::vector<std::string> &path)
    {
        ModelKey *key = &root_;
        bool created = false;
        for (const std::string &name : path) {
            auto [at, added] = key->subkeys.try_emplace(upper(name));
            if (added) {
                at->second.name = name;
                at->second.id = ++last_id_;
            }
            created = added;
            key = &at->second;
        }
        return {key, created};
    }
    void erase(const std::vector<std::string> &path)
    {
        std::vector<std::string> parent(path.begin(), path.end() - 1);
        find(parent)->subkeys.erase(upper(path.back()));
    }
    RegistryTree tree() const
    {
        RegistryTree tree;
        add(root_, "", tree);
        return tree;
    }

private:
    static void add(const ModelKey &key, const std::string &path, RegistryTree &tree)
    {
        auto &values = tree[path];
        for (const ModelValue &v : key.values)
            values[v.name] = v.value;
        for (const auto &[unused, sub] : key.subkeys)
            add(sub, path.empty() ? sub.name : path + "\\" + sub.name, tree);
    }

    ModelKey root_;
    int last_id_ = 0;
};

class RegistryModel : public RegistryTest {
protected:
    std::mt19937 random_;
    Model model_;
    std::vector<Handle> handles_;
    std::ostringstream log_;

    std::size_t pick(std::size_t count) { return random_() % count; }

    // A name of a small pool in a random spelling, so names meet and differ in case.
    std::string name_from(std::initializer_list<const char *> pool)
    {
        std::string name = *(pool.begin() + pick(pool.size()));
        for (char &c : name)
            if (random_() % 2)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    std::vector<std::string> random_path()
    {
        std::vector<std::string> path(1 + pick(3));
        for (std::string &name : path)
            name = name_from({"alpha", "beta", "zeta", "_u"});
        return path;
    }
    static std::string joined(const std::vector<std::string> &path, std::size_t from = 0)
    {
        std::string text;
        for (std::size_t i = from; i < path.size(); ++i)
            text += (i > from ? "\\" : "") + path[i];
        return text;
    }
    // A handle to start from: the root, or one of the open handles.
    Handle base()
    {
        if (handles_.empty() || pick(3) == 0)
            return {HKEY_CURRENT_USER, {}, 0};
        return handles_[pick(handles_.size())];
    }
    void keep(HKEY key, std::vector<std::string> path, int id)
    {
        handles_.push_back({key, std::move(path), id});
        if (handles_.size() > 6) {
            RegCloseKey(handles_.front().key);
            handles_.erase(handles_.begin());
        }
    }
    void expect(LSTATUS actual, LSTATUS expected)
    {
        EXPECT_EQ(actual, expected) << "at the last step of\n" << log_.str();
    }

    void step()
    {
        Handle from = base();
        ModelKey *from_key = from.key == HKEY_CURRENT_USER ? model_.find({}) : model_.live(from);
        const LSTATUS gone = from_key == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
        std::vector<std::string> relative = random_path();
        std::vector<std::string> path = from.path;
        path.insert(path.end(), relative.begin(), relative.end());
        const std::string value_name = name_from({"", "v", "w", "x\\y"});
        log_ << "[" << joined(from.path) << "] ";
        switch (pick(8)) {
        case 0: {
            log_ << "create " << joined(relative) << "\n";
            HKEY key = nullptr;
            DWORD disposition = 0;
            const LSTATUS rc = RegCreateKeyExA(from.key, joined(relative).c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, &disposition);
            expect(rc, gone);
            if (rc != ERROR_SUCCESS || gone != ERROR_SUCCESS)
                break;
            auto [made, created] = model_.create(path);
            EXPECT_EQ(disposition, DWORD(created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY))
                << log_.str();
            keep(key, path, made->id);
            break;
        }
        case 1: {
            log_ << "open " << joined(relative) << "\n";
            HKEY key = nullptr;
            const LSTATUS rc = RegOpenKeyExA(from.key, joined(relative).c_str(), 0, KEY_ALL_ACCESS, &key);
            ModelKey *found = gone ? nullptr : model_.find(path);
            expect(rc, gone ? gone : found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
            if (rc == ERROR_SUCCESS && found != nullptr)
                keep(key, path, found->id);
            break;
        }
        case 2: {
            std::vector<unsigned char> data(pick(12));
            for (unsigned char &byte : data)
                byte = static_cast<unsigned char>(random_());
            const DWORD type = DWORD(pick(5));
            log_ << "set '" << value_name << "' type " << type << " size " << data.size() << "\n";
            expect(RegSetValueExA(from.key, value_name.c_str(), 0, type, data.data(), DWORD(data.size())),
                   gone);
            if (gone)
                break;
            if (ModelValue *existing = from_key->value(value_name))
                existing->value = {type, data};
            else
                from_key->values.push_back({value_name, {type, data}});
            break;
        }
        case 3: {
            log_ << "delete value '" << value_name << "'\n";
            const LSTATUS rc = RegDeleteValueA(from.key, value_name.c_str());
            if (gone) {
                expect(rc, gone);
                break;
            }
            ModelValue *existing = from_key->value(value_name);
            expect(rc, existing ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
            if (existing)
                from_key->values.erase(from_key->values.begin() + (existing - from_key->values.data()));
            break;
        }
        case 4: {
            log_ << "delete key " << joined(relative) << "\n";
            const LSTATUS rc = RegDeleteKeyA(from.key, joined(relative).c_str());
            ModelKey *found = gone ? nullptr : model_.find(path);
            expect(rc, gone              ? gone
                       : found == nullptr ? ERROR_FILE_NOT_FOUND
                       : !found->subkeys.empty() ? ERROR_ACCESS_DENIED
                                                 : ERROR_SUCCESS);
            if (rc == ERROR_SUCCESS && found != nullptr && found->subkeys.empty())
                model_.erase(path);
            break;
        }
        case 5: {
            log_ << "enumerate\n";
            if (gone) {
                char name[8];
                DWORD size = sizeof name;
                expect(RegEnumKeyExA(from.key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), gone);
                break;
            }
            std::vector<std::string> expected_keys;
            for (const auto &[unused, sub] : from_key->subkeys)
                expected_keys.push_back(sub.name);
            EXPECT_EQ(subkeys(from.key), expected_keys) << log_.str();
            std::vector<std::string> expected_values;
            for (const ModelValue &v : from_key->values)
                expected_values.push_back(v.name);
            EXPECT_EQ(value_names(from.key), expected_values) << log_.str();
            break;
        }
        case 6: {
            log_ << "query info\n";
            DWORD counts[5] = {};
            const LSTATUS rc = RegQueryInfoKeyA(from.key, nullptr, nullptr, nullptr, &counts[0],
                                                &counts[1], nullptr, &counts[2], &counts[3],
                                                &counts[4], nullptr, nullptr);
            expect(rc, gone);
            if (gone || rc != ERROR_SUCCESS)
                break;
            DWORD expected[5] = {DWORD(from_key->subkeys.size()), 0, DWORD(from_key->values.size()), 0, 0};
            for (const auto &[unused, sub] : from_key->subkeys)
                expected[1] = std::max(expected[1], DWORD(sub.name.size()));
            for (const ModelValue &v : from_key->values) {
                expected[3] = std::max(expected[3], DWORD(v.name.size()));
                expected[4] = std::max(expected[4], DWORD(v.value.data.size()));
            }
            EXPECT_TRUE(std::equal(counts, counts + 5, expected)) << log_.str();
            break;
        }
        default: {
            log_ << "query value '" << value_name << "'\n";
            DWORD type = 0;
            LSTATUS status = ERROR_SUCCESS;
            const std::vector<BYTE> data = query(from.key, value_name.c_str(), &type, &status);
            ModelValue *existing = gone ? nullptr : from_key->value(value_name);
            expect(status, gone ? gone : existing ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
            if (existing != nullptr) {
                EXPECT_EQ(type, existing->value.type) << log_.str();
                EXPECT_EQ(data, existing->value.data) << log_.str();
            }
            break;
        }
        }
    }

    void TearDown() override
    {
        for (const Handle &handle : handles_)
            RegCloseKey(handle.key);
        RegistryTest::TearDown();
    }
};

TEST_F(RegistryModel, RandomCallSequencesAgreeWithTheModel)
{
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        random_.seed(seed);
        log_.str("");
        log_ << "seed " << seed << ":\n";
        for (int i = 0; i < 250 && !HasFailure(); ++i) {
            step();
            ASSERT_EQ(morvane::test::tree_text(morvane::test::registry_tree(HKEY_CURRENT_USER)),
                      morvane::test::tree_text(model_.tree()))
                << "after\n" << log_.str();
        }
        for (const Handle &handle : handles_)
            RegCloseKey(handle.key);
        handles_.clear();
        scratch_.reset();
        scratch_ = std::make_unique<morvane::test::ScratchRegistry>();
        model_ = Model();
    }
}

} // namespace
