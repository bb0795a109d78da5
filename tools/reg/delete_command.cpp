// reg delete: asks for confirmation unless forced, then removes a key with everything
// below it.
#include "commands.h"
#include "registration_hint.h"
#include "registry_status.h"
#include "value_text.h"

#include <istream>
#include <ostream>
#include <string>
#include <strings.h>

namespace {

bool confirmed(const KeyArgument &key, std::istream &in, std::ostream &out)
{
    out << "Permanently delete the registry key " << key.display << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(in, answer))
        return false;
    return strcasecmp(answer.c_str(), "y") == 0 || strcasecmp(answer.c_str(), "yes") == 0;
}

} // namespace

int run_delete(const KeyArgument &key, bool force, std::istream &in, std::ostream &out,
               std::ostream &err)
{
    if (key.path.empty()) {
        err << "reg: " << key.display << ": a root key cannot be deleted\n";
        return 1;
    }
    if (!force && !confirmed(key, in, out)) {
        out << '\n';
        err << "reg: " << key.display << ": not deleted\n";
        return 1;
    }
    // One transaction: the subtree goes whole or not at all.
    const LSTATUS status = RegDeleteTreeA(key.root, key.path.c_str());
    if (status != ERROR_SUCCESS) {
        err << "reg: " << key.display << ": " << status_text(status) << registry_note(key.root) << '\n';
        return 1;
    }
    out << "The operation completed successfully.\n";
    return 0;
}
