#pragma once

#include <QColor>
#include <QWidget>

// A filled circle with a black outline: the lamps of the window.
class TShape : public QWidget
{
    Q_OBJECT

public:
    explicit TShape(QWidget *parent = nullptr);

    QColor brushColor() const { return m_brush; }
    void setBrushColor(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_brush = Qt::white;
};
