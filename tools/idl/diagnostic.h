// Located compile errors of the interface compiler.
#pragma once

#include <stdexcept>
#include <string>

namespace idl {

// A 1-based position in the source file.
struct Location {
    int line = 1;
    int column = 1;
};

// Thrown inside the compiler when the input cannot be compiled; the driver reports it
// as "file:line:column: message" and exits with a failure status.
class CompileError : public std::runtime_error {
public:
    CompileError(Location where, const std::string &message)
        : std::runtime_error(message), where_(where)
    {
    }
    Location where() const { return where_; }

private:
    Location where_;
};

inline std::string format_error(const std::string &file, const CompileError &error)
{
    return file + ":" + std::to_string(error.where().line) + ":" +
           std::to_string(error.where().column) + ": " + error.what();
}

} // namespace idl
