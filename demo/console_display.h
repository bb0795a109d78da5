// The display layer without a display: each message box becomes a line on the
// error stream, nothing waits for a click, and the pane steps do nothing.
#pragma once

#include "layers.h"

#include <ostream>
#include <string>

namespace trackdemo {

class ConsoleDisplay final : public Display {
public:
    // Lines go to `messages`, each prefixed with the program's name.
    ConsoleDisplay(std::ostream &messages, std::string program_name);

    void message_box(std::string_view text) override;
    void open_pane(const RgbaImage &) override {}
    void display(const RgbaImage &) override {}
    void close_pane() override {}
    // The pauses pace a display there is none of.
    void sleep(std::chrono::milliseconds) override {}

private:
    std::ostream &messages_;
    std::string program_name_;
};

} // namespace trackdemo
