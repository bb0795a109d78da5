// The class object: creates tracker objects, standalone or aggregated, and counts
// its clients so that the module stays loaded while any of them holds it.
#pragma once

#include "class_table.h"

namespace morvane {

HRESULT create_class_factory(instance_creator creator, REFIID riid, void **object);

} // namespace morvane
