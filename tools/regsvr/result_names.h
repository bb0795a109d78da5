// Names and meanings of the result codes registration can return, for people.
#pragma once

#include <windows.h>

#include <string>

namespace regsvr {

std::string describe_result(HRESULT result);

} // namespace regsvr
