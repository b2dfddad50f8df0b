#include "console_window.h"

#include "baud_rate_modes.h"

#include <cstdio>

ConsoleWindow::ConsoleWindow(bool showProgress) : m_showProgress(showProgress) {}

ConsoleWindow::~ConsoleWindow()
{
    clearProgress();
}

void ConsoleWindow::setActivity(Activity activity)
{
    m_activity = activity;
    if (activity != Activity::Busy)
        clearProgress();
}

void ConsoleWindow::processMessages()
{
    if (onMessages)
        onMessages();
}

void ConsoleWindow::showMessage(const QString &message)
{
    if (!m_showProgress || m_activity != Activity::Busy)
        return;
    // One line, rewritten: the port being tried and the setting it is tried at.
    const QString setting = BaudRateModes().value(m_settingIndex);
    std::fprintf(stderr, "\r\033[K%s  %s", message.toUtf8().constData(),
                 setting.toUtf8().constData());
    std::fflush(stderr);
    m_progressShown = true;
}

void ConsoleWindow::showInputs(const FourFlags &on)
{
    if (m_activity == Activity::Live && onInputs)
        onInputs(on);
}

void ConsoleWindow::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_progressShown = false;
}
