// The component system as the program uses it: joined multithreaded, trackers created
// in process by class identifier.
#include "component_system.h"

namespace trackdemo {

HRESULT PlatformComponentSystem::initialize()
{
    return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

HRESULT PlatformComponentSystem::create_tracker(IMorvane **tracker)
{
    return CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                            reinterpret_cast<void **>(tracker));
}

void PlatformComponentSystem::uninitialize()
{
    CoUninitialize();
}

} // namespace trackdemo
