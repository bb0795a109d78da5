// Fuzzes the type library reader and everything a caller can then ask of the library.
// The reader and the library objects are compiled in for coverage; strings and the
// rest come from the runtime.
#include "typelib/reader.h"
#include "typelib/tlb_format.h"
#include "typelib/type_library.h"

#include "typelib_walk.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The size field is made to match the input, so that mutations which add or drop
    // bytes reach the tables instead of stopping at the header.
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.size() >= mvtlb::header::file_size + 4) {
        const auto length = static_cast<std::uint32_t>(bytes.size());
        for (std::size_t i = 0; i < 4; ++i)
            bytes[mvtlb::header::file_size + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    std::unique_ptr<mvtl::LibraryModel> model;
    if (FAILED(mvtl::read_typelib(bytes.data(), bytes.size(), model)))
        return 0;
    ITypeLib *library = nullptr;
    if (FAILED(mvtl::TypeLibrary::create(std::move(model), &library)))
        return 0;
    test_support::walk(library);
    library->Release();
    return 0;
}
