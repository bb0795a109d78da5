// HKEY_CLASSES_ROOT as the user's classes over the machine's: random calls through it and through
// each file's own Software\Classes against two maps; the machine scope; a file of the first layout.
#include "registry_fixture.h"
#include "registry_tree.h"

#include <random>
#include <sstream>

namespace {

using morvane::test::RegistryTree;
using morvane::test::RegistryValue;
using morvane::test::registry_tree;
using morvane::test::tree_text;

class ClassesView : public RegistryTest {
protected:
    enum View { merged, user, machine };
    static constexpr const char *view_names[] = {"HKCR", "user", "machine"};
    // Each file's classes: key path -> values, every key's parents listed too.
    RegistryTree files_[2];
    std::mt19937 random_;
    std::ostringstream log_;

    static HKEY root_of(View view, std::string &path)
    {
        if (view != merged)
            path = "Software\\Classes\\" + path;
        return view == merged ? HKEY_CLASSES_ROOT : view == user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    }
    RegistryTree &file(View view) { return files_[view == machine]; }
    bool holds(View view, const std::string &path) { return file(view).count(path) != 0; }
    bool has_subkeys(View view, const std::string &path)
    {
        auto next = file(view).upper_bound(path);
        return next != file(view).end() && next->first.rfind(path + "\\", 0) == 0;
    }
    void make_in_model(View view, const std::string &path)
    {
        file(view)[""];
        for (std::size_t cut = path.find('\\'); cut != std::string::npos; cut = path.find('\\', cut + 1))
            file(view)[path.substr(0, cut)];
        file(view)[path];
    }
    RegistryTree merged_tree()
    {
        RegistryTree tree = files_[1];
        for (const auto &[path, values] : files_[0])
            for (const auto &[name, value] : values)
                tree[path][name] = value;
        for (const auto &[path, values] : files_[0])
            tree[path];
        tree[""];
        return tree;
    }
    void expect(LSTATUS actual, LSTATUS expected) { EXPECT_EQ(actual, expected) << "at the last step of\n" << log_.str(); }

    void step()
    {
        static const char *const paths[] = {"A", "A\\B", "C"};
        static const char *const names[] = {"", "v"};
        const auto view = View(random_() % 3);
        std::string path = paths[random_() % 3];
        const std::string name = names[random_() % 2];
        // The file a write through the view goes to.
        const View written = view == merged ? user : view;
        const std::string model_path = path;
        const HKEY root = root_of(view, path);
        log_ << view_names[view] << " ";
        switch (random_() % 4) {
        case 0: {
            const std::string data = std::to_string(random_() % 100);
            log_ << "set " << model_path << " '" << name << "' " << data << "\n";
            expect(set_string(Key(create(root, path.c_str())), name.c_str(), data), ERROR_SUCCESS);
            make_in_model(written, model_path);
            std::vector<unsigned char> bytes(data.begin(), data.end());
            bytes.push_back(0);
            file(written)[model_path][name] = RegistryValue{REG_SZ, bytes};
            break;
        }
        case 1: {
            log_ << "delete value " << model_path << " '" << name << "'\n";
            Key key;
            const bool there = holds(written, model_path) || (view == merged && holds(machine, model_path));
            expect(open(root, path.c_str(), key), there ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
            if (!there)
                break;
            const bool own = holds(written, model_path) && file(written)[model_path].count(name);
            const bool other = view == merged && holds(machine, model_path) && file(machine)[model_path].count(name);
            expect(RegDeleteValueA(key, name.c_str()), own ? ERROR_SUCCESS : other ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
            if (own)
                file(written)[model_path].erase(name);
            break;
        }
        case 2: {
            log_ << "delete key " << model_path << "\n";
            const bool own = holds(written, model_path);
            const bool other = view == merged && holds(machine, model_path);
            expect(RegDeleteKeyA(root, path.c_str()), own ? (has_subkeys(written, model_path) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS)
                                                          : other ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
            if (own && !has_subkeys(written, model_path))
                file(written).erase(model_path);
            break;
        }
        default: {
            log_ << "create " << model_path << "\n";
            DWORD disposition = 0;
            Key key;
            const bool existed = holds(written, model_path) || (view == merged && holds(machine, model_path));
            expect(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(), &disposition), ERROR_SUCCESS);
            EXPECT_EQ(disposition, DWORD(existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY)) << log_.str();
            make_in_model(written, model_path);
        }
        }
    }
};

TEST_F(ClassesView, RandomCallsThroughEachViewAgreeWithTheTwoFiles)
{
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        random_.seed(seed);
        log_.str("seed " + std::to_string(seed) + "\n");
        for (auto &tree : files_)
            tree.clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software");
        for (int n = 0; n < 60; ++n) {
            step();
            const std::string got[] = {tree_text(registry_tree(HKEY_CLASSES_ROOT)),
                                       tree_text(registry_tree(HKEY_CURRENT_USER, "Software\\Classes")),
                                       tree_text(registry_tree(HKEY_LOCAL_MACHINE, "Software\\Classes"))};
            const std::string expected[] = {tree_text(merged_tree()), tree_text(files_[0]), tree_text(files_[1])};
            for (int view = 0; view < 3; ++view)
                ASSERT_EQ(got[view], expected[view]) << view_names[view] << " after\n" << log_.str();
        }
    }
}

// With the machine scope, HKCR is the machine's classes alone, for reading and writing; handles
// keep the view they were opened in.
TEST_F(ClassesView, TheMachineScopeReadsAndWritesTheMachinesClassesAlone)
{
    ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Classes\\UserOnly")), nullptr, "u"), ERROR_SUCCESS);
    Key merged_handle;
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, "UserOnly", merged_handle), ERROR_SUCCESS);
    EXPECT_EQ(MorvaneRegistrySetScope(2), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(MorvaneRegistrySetScope(MORVANE_REGISTRY_MACHINE), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "UserOnly"));
    set_default("Written", "m");
    EXPECT_EQ(query_string(Key(create(HKEY_LOCAL_MACHINE, "Software\\Classes\\Written")), nullptr), "m");
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Software\\Classes\\Written"));
    EXPECT_EQ(query_string(merged_handle, nullptr), "u") << "a handle keeps its view";
    ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
    EXPECT_EQ(MorvaneRegistrySetScope(MORVANE_REGISTRY_USER), ERROR_INVALID_FUNCTION) << "not within an update";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Written"), ERROR_SUCCESS);
    EXPECT_EQ(MorvaneRegistryEndUpdate(FALSE), ERROR_SUCCESS);
    EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, "Software\\Classes\\Written")) << "the update held the machine's file";
    ASSERT_EQ(MorvaneRegistrySetScope(MORVANE_REGISTRY_USER), ERROR_SUCCESS);
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "UserOnly"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Written"), ERROR_ACCESS_DENIED) << "only the machine holds it";
}

// A file written by the first version held the classes as root row 1: read as the user's
// classes as it is, and moved below Software\Classes by its first write, merging with what
// was there (the old classes win).
TEST_F(ClassesView, AFileOfTheFirstLayoutIsReadAsItIsAndConvertedByItsFirstWrite)
{
    make(HKEY_CURRENT_USER, "Software\\Classes\\Both\\Mine");
    ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Classes\\Both")), "v", "new layout"), ERROR_SUCCESS);
    MorvaneRegistryReset();
    // Back to the first layout: row 1 holds Old and Both, whose value differs.
    const std::string first_layout =
        "INSERT INTO keys(parent, name, fold, written) VALUES (1, CAST('Old' AS BLOB), CAST('OLD' AS BLOB), 0),"
        " (1, CAST('Both' AS BLOB), CAST('BOTH' AS BLOB), 0);"
        "INSERT INTO vals(key, name, fold, type, data) SELECT id, CAST('v' AS BLOB), CAST('V' AS BLOB), 1,"
        " CAST('old layout' || char(0) AS BLOB) FROM keys WHERE parent = 1 AND fold = CAST('BOTH' AS BLOB);"
        "PRAGMA user_version = 1;";
    ASSERT_EQ(run_sql(file_, first_layout.c_str()), "");
    EXPECT_EQ(tree_text(registry_tree(HKEY_CLASSES_ROOT)), "Both @v='old layout'\nOld\n");
    EXPECT_EQ(run_sql(file_, "PRAGMA user_version"), "1") << "reading changed the file";
    make(HKEY_CURRENT_USER, "Other");
    EXPECT_EQ(run_sql(file_, "PRAGMA user_version"), "2");
    EXPECT_EQ(run_sql(file_, "SELECT count(*) FROM keys WHERE parent = 1"), "0");
    EXPECT_EQ(tree_text(registry_tree(HKEY_CLASSES_ROOT)), "Both @v='old layout'\nBoth\\Mine\nOld\n");
}

} // namespace
