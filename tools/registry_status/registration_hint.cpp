// The registry files by scope and the hint for an unregistered class.
#include "registration_hint.h"

#include <algorithm>
#include <filesystem>
#include <vector>
#include <system_error>

namespace {

// The component's file relative to the programs' folder (MORVANE_COMPONENT_BESIDE_PROGRAMS),
// and where this build installs it (MORVANE_INSTALLED_COMPONENT).
constexpr char component_beside_programs[] = MORVANE_COMPONENT_BESIDE_PROGRAMS;

std::string installed_component()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto beside = (program.parent_path() / component_beside_programs).lexically_normal();
        if (std::filesystem::is_regular_file(beside, error))
            return beside.string();
    }
    return MORVANE_INSTALLED_COMPONENT;
}

} // namespace

std::string registry_file(DWORD scope)
{
    std::string path(MorvaneRegistryFilePath(scope, nullptr, 0), '\0');
    const DWORD length = MorvaneRegistryFilePath(scope, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path.empty() ? "(no home folder)" : path;
}

std::string registry_note(HKEY root)
{
    std::vector<std::string> files;
    if (root != HKEY_LOCAL_MACHINE)
        files.push_back(registry_file(MORVANE_REGISTRY_USER));
    if (root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT)
        files.push_back(registry_file(MORVANE_REGISTRY_MACHINE));
    std::error_code error;
    const bool none = std::none_of(files.begin(), files.end(),
                                   [&](const std::string &file) { return std::filesystem::exists(file, error); });
    const std::string names = files.size() == 1 ? files[0] : files[0] + " and " + files[1];
    if (none)
        return files.size() == 1 ? "; the registry file " + names + " does not exist"
                                 : "; the registry files " + names + " do not exist";
    return (files.size() == 1 ? " in the registry " : " in the registries ") + names;
}

std::string not_registered_text(const std::string &class_name)
{
    const std::string component = installed_component();
    return "the class " + class_name + " is not registered in " + registry_file(MORVANE_REGISTRY_USER) +
           " or " + registry_file(MORVANE_REGISTRY_MACHINE) + "; register the installed component with `regsvr " +
           component + "` (for you) or, as root, `regsvr --machine " + component + "` (for every user)";
}
