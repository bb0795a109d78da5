// The display without a screen: message boxes as lines on the error stream.
#include "console_display.h"

#include <utility>

namespace trackdemo {

ConsoleDisplay::ConsoleDisplay(std::ostream &messages, std::string program_name)
    : messages_(messages), program_name_(std::move(program_name))
{
}

void ConsoleDisplay::message_box(std::string_view text)
{
    messages_ << program_name_ << ": " << text << '\n';
    messages_.flush();
}

} // namespace trackdemo
