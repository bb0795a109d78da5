// The display layer on a desktop: modal message boxes and one top-level pane window.
#pragma once

#include "layers.h"

#include <memory>

namespace trackdemo {

class PaneWindow;

// Needs a running QApplication.
class DesktopDisplay final : public Display {
public:
    DesktopDisplay();
    ~DesktopDisplay() override;

    void message_box(std::string_view text) override;
    void open_pane(const RgbaImage &image) override;
    void display(const RgbaImage &image) override;
    void close_pane() override;
    // Keeps handling window events while it waits, so the pane stays painted.
    void sleep(std::chrono::milliseconds duration) override;

private:
    std::unique_ptr<PaneWindow> pane_;
};

} // namespace trackdemo
