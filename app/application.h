#pragma once

#include <QApplication>

// The toolkit's application, which shows an exception that escapes an event handler
// in the standard exception box and carries on with its message loop.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override;

    static void showException(const std::exception &e);
};
