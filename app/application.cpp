#include "application.h"

#include <QMessageBox>

#include <exception>

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showException(e);
        return false;
    }
}

void TApplication::showException(const std::exception &e)
{
    QMessageBox::critical(nullptr, applicationName(), QString::fromLocal8Bit(e.what()));
}
