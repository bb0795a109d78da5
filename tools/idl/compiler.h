// The compiler's pipeline: read, parse, check, write the requested outputs.
#pragma once

#include "model.h"

#include <string>
#include <string_view>
#include <vector>

namespace idl {

struct Options {
    std::string input_path;
    std::string header_path; // empty: no header
    std::string tlb_path;    // empty: no type library
};

// Parses and checks source text; throws CompileError.
Module compile(std::string_view source);

// Runs the whole pipeline. On failure returns false with a message, located as
// "file:line:column: message" when the input is at fault.
bool run(const Options &options, std::string &message);

} // namespace idl
