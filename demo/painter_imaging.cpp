// The imaging layer: frames read as grey bitmaps, marks drawn with a painter on the copy's pixels.
#include "painter_imaging.h"

#include "bitmap_reader.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRectF>

namespace trackdemo {

namespace {

class PainterContext final : public DrawingContext {
public:
    // `surface` wraps the image's own pixels, so what is drawn lands in them.
    explicit PainterContext(QImage surface) : surface_(std::move(surface)), painter_(&surface_) {}

    bool active() const { return painter_.isActive(); }

    void select_pen(const Pen &pen) override
    {
        painter_.setPen(QPen(QColor(pen.red, pen.green, pen.blue), pen.width, Qt::SolidLine));
    }

    void ellipse(const Rect &box) override
    {
        painter_.drawEllipse(QRectF(box.left, box.top, box.width(), box.height()));
    }

private:
    QImage surface_;
    QPainter painter_;
};

} // namespace

bool PainterImaging::read_grey(const std::string &file_name, GreyImage &image)
{
    return read_grey_bitmap(file_name, image);
}

std::unique_ptr<DrawingContext> PainterImaging::drawing_context(RgbaImage &image)
{
    if (image.empty())
        return nullptr;
    QImage surface(image.pixels(), image.width(), image.height(), image.bytes_per_line(), QImage::Format_RGBA8888);
    auto context = std::make_unique<PainterContext>(std::move(surface));
    if (!context->active())
        return nullptr;
    return context;
}

} // namespace trackdemo
