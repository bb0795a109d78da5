// The imaging and display services the demonstration uses, as two small interfaces
// so that the run can be driven against the real layer or a recording one.
#pragma once

#include "images.h"
#include "marks.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace trackdemo {

// Drawing onto one image; what was drawn stays in the image's pixels when the
// context is destroyed.
class DrawingContext {
public:
    virtual ~DrawingContext() = default;
    virtual void select_pen(const Pen &pen) = 0;
    // The ellipse inscribed in the box; the context's own brush is left as it is.
    virtual void ellipse(const Rect &box) = 0;
};

class Imaging {
public:
    virtual ~Imaging() = default;
    // Reads a bitmap file as an 8-bit grey image. False, with the image left empty,
    // when the file cannot be read as a bitmap.
    virtual bool read_grey(const std::string &file_name, GreyImage &image) = 0;
    // A context drawing into the image's pixels, or null when none can be made.
    virtual std::unique_ptr<DrawingContext> drawing_context(RgbaImage &image) = 0;
};

class Display {
public:
    virtual ~Display() = default;
    // A modal box with the text and an OK button; returns once it is dismissed.
    virtual void message_box(std::string_view text) = 0;
    // Opens the pane: a top-level window of the image's size at (0, 0) showing it.
    virtual void open_pane(const RgbaImage &image) = 0;
    // Shows the image in the pane's window instead of the previous one.
    virtual void display(const RgbaImage &image) = 0;
    // Destroys the pane's window if it still exists.
    virtual void close_pane() = 0;
    // Waits; the pane keeps showing its image meanwhile.
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

} // namespace trackdemo
