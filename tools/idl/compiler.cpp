// The compiler's pipeline: source read, parsed, checked, and its header and type library written.
#include "compiler.h"

#include "analyzer.h"
#include "diagnostic.h"
#include "header_writer.h"
#include "parser.h"
#include "typelib_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace idl {

Module compile(std::string_view source)
{
    return analyze(parse(source));
}

namespace {

bool read_file(const std::string &path, std::string &text, std::string &message)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

// Writes through a temporary file so that a failed run leaves no half-written output.
bool write_file(const std::string &path, const std::string &bytes, std::string &message)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            message = path + ": cannot write";
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        message = path + ": cannot write: " + error.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool run(const Options &options, std::string &message)
{
    std::string source;
    if (!read_file(options.input_path, source, message))
        return false;
    Module module;
    std::string tlb;
    try {
        module = compile(source);
        if (!options.tlb_path.empty())
            tlb = write_typelib(module);
    } catch (const CompileError &error) {
        message = format_error(options.input_path, error);
        return false;
    }
    const std::string source_name = std::filesystem::path(options.input_path).filename().string();
    if (!options.header_path.empty()) {
        const std::string header_name =
            std::filesystem::path(options.header_path).filename().string();
        if (!write_file(options.header_path, write_header(module, header_name, source_name), message))
            return false;
    }
    if (!options.tlb_path.empty() && !write_file(options.tlb_path, tlb, message))
        return false;
    return true;
}

} // namespace idl
