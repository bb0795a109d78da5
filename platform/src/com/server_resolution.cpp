// The kept paths carry the registry stamp they were read under. Each activation
// reads the current stamp first: when it moved, everything kept is dropped. A
// path read while the stamp moved again is not kept, so that a reader that lost
// a race with a writer cannot store what the writer replaced.
#include "com/server_resolution.h"

#include "com/class_registration.h"
#include "registry/change_stamp.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace {

struct ClassIdentifierOrder {
    bool operator()(const CLSID &a, const CLSID &b) const { return std::memcmp(&a, &b, sizeof a) < 0; }
};

struct ResolvedServers {
    std::mutex lock;
    bool valid = false; // whether stamp is what the kept paths were read under
    morvane::registry::ChangeStamp stamp;
    std::map<CLSID, std::string, ClassIdentifierOrder> paths;
};

ResolvedServers &resolved()
{
    static ResolvedServers servers;
    return servers;
}

} // namespace

namespace morvane::com {

HRESULT resolve_inproc_server(REFCLSID clsid, std::string &path)
{
    registry::ChangeStamp now;
    if (registry::read_change_stamp(now) != ERROR_SUCCESS) {
        // The direct read gives this failure its usual answer.
        forget_resolved_servers();
        return inproc_server_path(clsid, path);
    }
    ResolvedServers &servers = resolved();
    try {
        {
            std::lock_guard<std::mutex> hold(servers.lock);
            if (!servers.valid || !(servers.stamp == now)) {
                servers.paths.clear();
                servers.stamp = now;
                servers.valid = true;
            } else if (auto found = servers.paths.find(clsid); found != servers.paths.end()) {
                path = found->second;
                return S_OK;
            }
        }
        const HRESULT hr = inproc_server_path(clsid, path);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::mutex> hold(servers.lock);
        if (servers.valid && servers.stamp == now)
            servers.paths.insert_or_assign(clsid, path);
        return hr;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

void forget_resolved_servers() noexcept
{
    ResolvedServers &servers = resolved();
    std::lock_guard<std::mutex> hold(servers.lock);
    servers.paths.clear();
    servers.valid = false;
}

} // namespace morvane::com
