#include "shape_widget.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// A lamp is a picture to a screen reader, not an empty pane; its name and its state
// in words are the widget's accessible name and description.
QAccessibleInterface *lampInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("TShape") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

TShape::TShape(QWidget *parent) : QWidget(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(lampInterface), true);
    (void)factoryInstalled;
}

void TShape::setBrushColor(const QColor &colour)
{
    if (colour == m_brush)
        return;
    m_brush = colour;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_brush);
    // The circle fills the smaller side, centred, as a shape control draws it.
    const int side = qMin(width(), height()) - 1;
    painter.drawEllipse(QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side)
                            .adjusted(0.5, 0.5, -0.5, -0.5));
}
