// The desktop display: modal message boxes and the top-level pane that shows the copies.
#include "desktop_display.h"

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <thread>

namespace trackdemo {

// A top-level window exactly the size of its image, painting the image it was last given.
class PaneWindow final : public QWidget {
public:
    void show_image(const RgbaImage &image)
    {
        // A copy: the window keeps showing it whatever becomes of the caller's image.
        image_ = QImage(image.pixels(), image.width(), image.height(), image.bytes_per_line(),
                        QImage::Format_RGBA8888)
                     .copy();
        setFixedSize(image.width(), image.height());
        if (isVisible())
            repaint();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }

private:
    QImage image_;
};

DesktopDisplay::DesktopDisplay() = default;
DesktopDisplay::~DesktopDisplay() = default;

void DesktopDisplay::message_box(std::string_view text)
{
    // No icon and the application's own name as caption: the framework's defaults.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void DesktopDisplay::open_pane(const RgbaImage &image)
{
    pane_ = std::make_unique<PaneWindow>();
    pane_->show_image(image);
    pane_->move(0, 0);
    pane_->show();
    QApplication::processEvents();
}

void DesktopDisplay::display(const RgbaImage &image)
{
    if (pane_)
        pane_->show_image(image);
}

void DesktopDisplay::close_pane()
{
    pane_.reset();
    QApplication::processEvents();
}

void DesktopDisplay::sleep(std::chrono::milliseconds duration)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + duration;
    constexpr clock::duration slice = std::chrono::milliseconds(10);
    for (auto now = clock::now(); now < deadline; now = clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        QApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(left.count()));
        std::this_thread::sleep_for(std::min(slice, deadline - clock::now()));
    }
}

} // namespace trackdemo
