// The standard library stdole2.tlb that type libraries import IUnknown and IDispatch
// from. The runtime describes it itself, so no file is needed.
#pragma once

#include "typelib/library_model.h"

namespace morvane::typelib {

// {00020430-0000-0000-C000-000000000046}, version 2.0.
const GUID &standard_library_id();

// The model: IUnknown then IDispatch, with their members as the platform declares them.
const LibraryModel &standard_library_model();

// The library object, created once and never destroyed; no reference is added.
ITypeLib *standard_library();

} // namespace morvane::typelib
