#include "registry/change_stamp.h"

#include "registry/registry_session.h"

#include <atomic>

namespace morvane::registry {
namespace {

std::atomic<std::uint64_t> local_changes{0};

} // namespace

void note_local_change() noexcept
{
    local_changes.fetch_add(1, std::memory_order_acq_rel);
}

std::uint64_t local_change_count() noexcept
{
    return local_changes.load(std::memory_order_acquire);
}

LSTATUS read_change_stamp(ChangeStamp &stamp) noexcept
{
    return registry_call([&]() -> LSTATUS {
        Session session;
        stamp.local = local_change_count();
        if (const auto writes = session.db().counter().settled()) {
            stamp.shared = static_cast<std::int64_t>(*writes);
            stamp.counted = true;
            return ERROR_SUCCESS;
        }
        // Without a settled counter: SQLite moves data_version when another
        // connection commits to the file; this connection's own writes are
        // counted locally.
        Statement version(session.db(), "PRAGMA data_version");
        if (!version.step())
            return ERROR_REGISTRY_IO_FAILED;
        stamp.shared = version.integer(0);
        stamp.counted = false;
        return ERROR_SUCCESS;
    });
}

} // namespace morvane::registry
