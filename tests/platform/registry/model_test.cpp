// Random registry calls checked against a model after each step; fixed seeds, printed sequences.
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
    return std::transform(text.begin(), text.end(), text.begin(), ::toupper), text;
}

struct ModelKey {
    std::string name; // as first spelt
    int id = 0;       // tells a key from a later one of the same name
    std::map<std::string, ModelKey> subkeys;                   // by upper-case name: the enumeration order
    std::vector<std::pair<std::string, RegistryValue>> values; // in the order first set

    auto value(const std::string &wanted)
    {
        return std::find_if(values.begin(), values.end(), [&](auto &v) { return upper(v.first) == upper(wanted); });
    }
    void add_to(RegistryTree &tree, const std::string &path) const
    {
        tree[path].insert(values.begin(), values.end());
        for (const auto &[unused, sub] : subkeys)
            sub.add_to(tree, path.empty() ? sub.name : path + "\\" + sub.name);
    }
};

struct Handle {
    HKEY key;
    std::vector<std::string> path;
    int id; // of the key it was opened on
};

class RegistryModel : public RegistryTest {
protected:
    std::mt19937 random_;
    ModelKey root_;
    int last_id_ = 0;
    std::vector<Handle> handles_;
    std::ostringstream log_;

    std::size_t pick(std::size_t count) { return random_() % count; }

    // The key at the path, or null; with create, makes what is missing.
    ModelKey *find(const std::vector<std::string> &path, bool create = false)
    {
        ModelKey *key = &root_;
        for (const std::string &name : path) {
            auto at = key->subkeys.find(upper(name));
            if (at == key->subkeys.end() && !create)
                return nullptr;
            if (at == key->subkeys.end())
                at = key->subkeys.emplace(upper(name), ModelKey{name, ++last_id_, {}, {}}).first;
            key = &at->second;
        }
        return key;
    }
    // A name of a small pool in a random spelling, so names meet and differ in case.
    std::string name_from(std::initializer_list<const char *> pool)
    {
        std::string name = *(pool.begin() + pick(pool.size()));
        for (char &c : name)
            c = random_() % 2 ? char(::toupper(c)) : c;
        return name;
    }
    static std::string joined(const std::vector<std::string> &path)
    {
        std::string text;
        for (const std::string &name : path)
            text += (text.empty() ? "" : "\\") + name;
        return text;
    }
    void expect(LSTATUS actual, LSTATUS expected) { EXPECT_EQ(actual, expected) << "at the last step of\n" << log_.str(); }

    void step()
    {
        // From the root or one of the open handles, whose key may be gone.
        Handle from{HKEY_CURRENT_USER, {}, 0};
        if (!handles_.empty() && pick(3) != 0)
            from = handles_[pick(handles_.size())];
        ModelKey *from_key = find(from.path);
        from_key = from_key != nullptr && from_key->id == from.id ? from_key : nullptr;
        const LSTATUS gone = from_key == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
        std::vector<std::string> relative(1 + pick(3)), path = from.path;
        for (std::string &name : relative)
            path.push_back(name = name_from({"alpha", "beta", "zeta", "_u"}));
        const std::string value_name = name_from({"", "v", "w", "x\\y"});
        ModelKey *target = gone ? nullptr : find(path);
        auto existing = gone ? decltype(from_key->value("")){} : from_key->value(value_name);
        const bool has_value = !gone && existing != from_key->values.end();
        const LSTATUS found_or_not = gone ? gone : target ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        const LSTATUS value_found = gone ? gone : has_value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        HKEY key = nullptr;
        log_ << "[" << joined(from.path) << "] ";
        switch (pick(8)) {
        case 0: {
            log_ << "create " << joined(relative) << "\n";
            DWORD disposition = 0;
            expect(RegCreateKeyExA(from.key, joined(relative).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition), gone);
            EXPECT_EQ(disposition, DWORD(gone ? 0 : target ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY)) << log_.str();
            target = gone ? nullptr : find(path, true);
            break;
        }
        case 1:
            log_ << "open " << joined(relative) << "\n";
            expect(RegOpenKeyExA(from.key, joined(relative).c_str(), 0, KEY_ALL_ACCESS, &key), found_or_not);
            break;
        case 2: {
            std::vector<unsigned char> data(pick(12));
            std::generate(data.begin(), data.end(), [&] { return static_cast<unsigned char>(random_()); });
            const DWORD type = DWORD(pick(5));
            log_ << "set '" << value_name << "' type " << type << " size " << data.size() << "\n";
            expect(RegSetValueExA(from.key, value_name.c_str(), 0, type, data.data(), DWORD(data.size())), gone);
            if (has_value)
                existing->second = {type, data};
            else if (!gone)
                from_key->values.push_back({value_name, {type, data}});
            break;
        }
        case 3:
            log_ << "delete value '" << value_name << "'\n";
            expect(RegDeleteValueA(from.key, value_name.c_str()), value_found);
            if (has_value)
                from_key->values.erase(existing);
            break;
        case 4: {
            log_ << "delete key " << joined(relative) << "\n";
            const bool leaf = target != nullptr && target->subkeys.empty();
            expect(RegDeleteKeyA(from.key, joined(relative).c_str()),
                   target != nullptr && !leaf ? ERROR_ACCESS_DENIED : found_or_not);
            if (leaf)
                find({path.begin(), path.end() - 1})->subkeys.erase(upper(path.back()));
            break;
        }
        case 5: {
            log_ << "enumerate and query info\n";
            DWORD counts[5] = {}, expected[5] = {};
            expect(RegQueryInfoKeyA(from.key, nullptr, nullptr, nullptr, &counts[0], &counts[1], nullptr, &counts[2], &counts[3], &counts[4], nullptr, nullptr), gone);
            if (gone) // enumerating a deleted key's handle is a refusal test's row
                break;
            std::vector<std::string> keys, values;
            for (const auto &[unused, sub] : from_key->subkeys) {
                keys.push_back(sub.name);
                expected[1] = std::max(expected[1], DWORD(sub.name.size()));
            }
            for (const auto &[name, value] : from_key->values) {
                values.push_back(name);
                expected[3] = std::max(expected[3], DWORD(name.size()));
                expected[4] = std::max(expected[4], DWORD(value.data.size()));
            }
            expected[0] = DWORD(keys.size()), expected[2] = DWORD(values.size());
            EXPECT_TRUE(std::equal(counts, counts + 5, expected)) << log_.str();
            EXPECT_EQ(subkeys(from.key), keys) << log_.str();
            EXPECT_EQ(subkeys(from.key, true), values) << log_.str();
            break;
        }
        case 6: {
            // Without a subkey name the key stays, emptied of values and subkeys.
            const bool own = pick(4) == 0;
            log_ << "delete tree " << (own ? "" : joined(relative)) << "\n";
            expect(RegDeleteTreeA(from.key, own ? nullptr : joined(relative).c_str()), own ? gone : found_or_not);
            if (own && !gone)
                *from_key = ModelKey{from_key->name, from_key->id, {}, {}};
            else if (!own && target != nullptr)
                find({path.begin(), path.end() - 1})->subkeys.erase(upper(path.back()));
            break;
        }
        default: {
            log_ << "query value '" << value_name << "'\n";
            DWORD type = 0;
            LSTATUS status = ERROR_SUCCESS;
            const std::vector<BYTE> data = query(from.key, value_name.c_str(), &type, &status);
            expect(status, value_found);
            EXPECT_TRUE(!has_value || RegistryValue({type, data}) == existing->second) << log_.str();
        }
        }
        if (key != nullptr && target != nullptr) {
            handles_.push_back({key, path, target->id});
            if (handles_.size() > 6) {
                EXPECT_EQ(RegCloseKey(handles_.front().key), ERROR_SUCCESS) << "even when its key is gone";
                handles_.erase(handles_.begin());
            }
        }
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
            RegistryTree expected;
            root_.add_to(expected, "");
            ASSERT_EQ(morvane::test::tree_text(morvane::test::registry_tree(HKEY_CURRENT_USER)), morvane::test::tree_text(expected))
                << "after\n" << log_.str();
        }
        for (const Handle &handle : handles_)
            RegCloseKey(handle.key);
        handles_.clear(), root_ = ModelKey();
        scratch_.reset(), scratch_ = std::make_unique<morvane::test::ScratchRegistry>();
    }
}

} // namespace
