// The program's way into the component system: joining it, creating a tracker by
// class identifier, and leaving it. The run goes through this interface so that it
// can be driven with a tracker object of one's own.
#pragma once

#include <windows.h>

#include <morvane.h>

namespace trackdemo {

class ComponentSystem {
public:
    virtual ~ComponentSystem() = default;
    // Joins the multithreaded apartment for the calling thread.
    virtual HRESULT initialize() = 0;
    // Creates a CoMorvane in process and hands out its IMorvane.
    virtual HRESULT create_tracker(IMorvane **tracker) = 0;
    // Ends the thread's use of the component system; only after a successful initialize.
    virtual void uninitialize() = 0;
};

// The platform runtime's component system.
class PlatformComponentSystem final : public ComponentSystem {
public:
    HRESULT initialize() override;
    HRESULT create_tracker(IMorvane **tracker) override;
    void uninitialize() override;
};

} // namespace trackdemo
