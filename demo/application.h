// The application object: sets up the window system when there is a display and
// runs the demonstration as its one routine.
#pragma once

#include <memory>
#include <string>

class QApplication;

namespace trackdemo {

class TrackDemoApp {
public:
    TrackDemoApp(int &argc, char **argv);
    ~TrackDemoApp();
    TrackDemoApp(const TrackDemoApp &) = delete;
    TrackDemoApp &operator=(const TrackDemoApp &) = delete;

    // True when a display could be opened: message boxes and the pane are windows.
    bool desktop() const { return desktop_; }
    // The whole demonstration; its result is the program's exit status.
    int run();

private:
    std::string program_name_;
    std::unique_ptr<QApplication> application_;
    bool desktop_ = false;
};

} // namespace trackdemo
