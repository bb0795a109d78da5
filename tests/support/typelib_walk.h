// Loads type libraries from memory and walks everything a loaded library offers;
// shared by the tests, the text dump and the fuzz target of the type library reader.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace test_support {

// LoadTypeLib of bytes, passed as an in-memory file (no disk traffic).
HRESULT load_memory(const std::vector<std::uint8_t> &bytes, ITypeLib **library);

// What a walk shows its visitor, in order: each type description (its members, then its
// bases, then the bases' own descriptions), depth first.
class TypeVisitor {
public:
    virtual ~TypeVisitor() = default;
    // A description reached `depth` bases away from the library; false skips its members and bases.
    virtual bool type(ITypeInfo *, const TYPEATTR &, int depth) { return depth <= 3; }
    virtual void member(ITypeInfo *, const FUNCDESC &) {}
    // A base of the description (index -1: a dual interface's table view); false does not walk it.
    virtual bool base(const TYPEATTR &, UINT /*index*/, INT /*flags*/, ITypeInfo *) { return true; }
};

// Calls every reading member of the library and of each type description reachable
// from it, releasing everything it gets; the visitor sees what is read.
void walk(ITypeLib *library, TypeVisitor &&visitor = TypeVisitor());

} // namespace test_support
