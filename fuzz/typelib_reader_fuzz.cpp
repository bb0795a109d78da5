// The type library reader (compiled in: its calls are internal) and everything a caller can ask of it.
#include "typelib/reader.h"
#include "typelib/tlb_format.h"
#include "typelib/type_library.h"

#include "typelib_walk.h"

#include <cstring>
#include <vector>

namespace format = morvane::typelib::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The size field follows the input, so that longer or shorter mutations reach the tables.
    std::vector<std::uint8_t> bytes(data, data + size);
    if (const auto length = std::uint32_t(size); length >= format::header::file_size + 4)
        std::memcpy(&bytes[format::header::file_size], &length, sizeof length); // little-endian
    std::unique_ptr<morvane::typelib::LibraryModel> model;
    if (FAILED(morvane::typelib::read_typelib(bytes.data(), bytes.size(), model)))
        return 0;
    ITypeLib *library = nullptr;
    if (FAILED(morvane::typelib::TypeLibrary::create(std::move(model), &library)))
        return 0;
    test_support::walk(library);
    library->Release();
    return 0;
}
