// morvane-idl: compiles an interface definition into a C/C++ header and a binary type
// library. Usage: morvane-idl [--header FILE] [--tlb FILE] INPUT.idl
#include "compiler.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    idl::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--header" || arg == "--tlb") && i + 1 < argc) {
            (arg == "--header" ? options.header_path : options.tlb_path) = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options.input_path.empty()) {
            options.input_path = arg;
        } else {
            std::fprintf(stderr, "usage: %s [--header FILE] [--tlb FILE] INPUT.idl\n", argv[0]);
            return 2;
        }
    }
    if (options.input_path.empty()) {
        std::fprintf(stderr, "usage: %s [--header FILE] [--tlb FILE] INPUT.idl\n", argv[0]);
        return 2;
    }
    std::string message;
    if (!idl::run(options, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}
