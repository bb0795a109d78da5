// reg: looks at and removes registry keys.
//   reg query KEY [/s]    the key's values and subkeys; /s: its whole subtree
//   reg delete KEY [/f]   the key with everything under it; /f: without asking
// KEY is a root (HKCR, HKCU, HKLM, HKU, HKCC, HKPD, HKDD or their long
// names, such as HKEY_CLASSES_ROOT) and a path below it, such as
// HKCR\CLSID\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}.
// Exit status: 0 done, 1 failed, 2 wrong usage.
#include "commands.h"
#include "standard_options.h"

#include <iostream>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// The manual page reg.1 says the same at length.
constexpr char usage_text[] =
    "usage: reg query KEY [/s]\n"
    "       reg delete KEY [/f]\n"
    "       reg -h | --help | --version\n"
    "  query KEY   the key's values and subkeys; /s: its whole subtree\n"
    "  delete KEY  the key with everything under it; /f: without asking\n"
    "KEY is ROOT or ROOT\\path; ROOT is HKCR, HKCU, HKLM, HKU, HKCC, HKPD, HKDD\n"
    "or a long name such as HKEY_CLASSES_ROOT.\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n"
    "MORVANE_REGISTRY names the user's registry file, MORVANE_MACHINE_REGISTRY the\n"
    "machine's; HKCR is the user's classes over the machine's.\n";

int usage()
{
    std::cerr << usage_text;
    return 2;
}

bool is_switch(const std::string &argument, char letter)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] | 0x20) == letter;
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = morvane::answer_standard_option(argc, argv, "reg", usage_text))
        return *answered;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2 || args.size() > 3)
        return usage();
    const bool query = strcasecmp(args[0].c_str(), "query") == 0;
    const bool remove = strcasecmp(args[0].c_str(), "delete") == 0;
    const char option = query ? 's' : 'f';
    if ((!query && !remove) || (args.size() == 3 && !is_switch(args[2], option)))
        return usage();
    const auto key = parse_key_argument(args[1]);
    if (!key) {
        std::cerr << "reg: " << args[1]
                  << ": unknown root key (use HKCR, HKCU, HKLM, HKU, HKCC, HKPD or HKDD)\n";
        return 1;
    }
    const bool with_option = args.size() == 3;
    return query ? run_query(*key, with_option, std::cout, std::cerr)
                 : run_delete(*key, with_option, std::cin, std::cout, std::cerr);
}
