// Whether the entries of the registry file's folder can have changed since a
// call last found the file in place. Deleting, renaming or making a file in a
// folder moves the folder's change times, so while they stand still the file
// at the path is the one found before, and the call can skip looking the path
// up again. Times the file system gave within the last two seconds are not
// trusted: later changes in the same clock tick would carry the same time.
#ifndef MORVANE_REGISTRY_FOLDER_WATCH_H
#define MORVANE_REGISTRY_FOLDER_WATCH_H

#include <ctime>
#include <string>

namespace morvane::registry {

class FolderWatch {
public:
    FolderWatch() = default;
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;
    ~FolderWatch() { forget(); }

    // Watches the folder of the file at path; nothing when the path is a
    // link, whose file lies in another folder.
    void watch(const std::string &path);
    void forget() noexcept;

    // True when the folder is known unchanged since the last confirm().
    bool unchanged() noexcept;
    // Records that the file was found in place, after unchanged() said false.
    void confirm() noexcept;

private:
    struct Times {
        timespec modified{};
        timespec changed{};
    };
    int folder_ = -1;
    bool trusted_ = false;
    Times trusted_times_;
    Times seen_; // as the last unchanged() read them
};

} // namespace morvane::registry

#endif
