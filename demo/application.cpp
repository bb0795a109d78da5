// The application object: choosing the window system (or none without a display) and running
// the demonstration.
#include "application.h"

#include "component_system.h"
#include "console_display.h"
#include "demonstration.h"
#include "desktop_display.h"
#include "painter_imaging.h"

#include <QApplication>
#include <QByteArray>

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace trackdemo {

namespace {

bool names_a_display()
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

// Lets the window system fall back to drawing off screen when the display cannot
// be opened, instead of ending the process.
void allow_offscreen_fallback()
{
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty())
        platforms = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb" : "wayland;xcb";
    if (!platforms.contains("offscreen"))
        platforms += ";offscreen";
    qputenv("QT_QPA_PLATFORM", platforms);
}

bool shows_windows(const QString &platform)
{
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

TrackDemoApp::TrackDemoApp(int &argc, char **argv)
    : program_name_(argc > 0 && argv[0] != nullptr ? std::filesystem::path(argv[0]).filename().string() : "trackdemo")
{
    if (!names_a_display())
        return;
    allow_offscreen_fallback();
    application_ = std::make_unique<QApplication>(argc, argv);
    // Closing the pane must not end the message box that may be open meanwhile.
    QApplication::setQuitOnLastWindowClosed(false);
    desktop_ = shows_windows(QGuiApplication::platformName());
}

TrackDemoApp::~TrackDemoApp() = default;

int TrackDemoApp::run()
{
    PlatformComponentSystem components;
    PainterImaging imaging;
    if (desktop_) {
        DesktopDisplay display;
        return run_demonstration(components, imaging, display, std::cout);
    }
    ConsoleDisplay display(std::cerr, program_name_);
    return run_demonstration(components, imaging, display, std::cout);
}

} // namespace trackdemo
