#include "console_window.h"

#include "baud_rate_modes.h"

#include <cstdio>

ConsoleWindow::ConsoleWindow(bool showProgress) : m_showProgress(showProgress)
{
    // The window's controls when it opens: the list locked, no selection made yet.
    m_values.baudRateLocked = true;
}

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
    m_messages.append(message);
    if (!m_showProgress || m_activity != Activity::Busy)
        return;
    // One line, rewritten: the port being tried and the setting it is tried at.
    const QString setting = BaudRateModes().value(m_values.baudRateIndex);
    std::fprintf(stderr, "\r\033[K%s  %s", message.toUtf8().constData(),
                 setting.toUtf8().constData());
    std::fflush(stderr);
    m_progressShown = true;
}

void ConsoleWindow::showIdentity(IdentityPanel panel, const QString &text)
{
    m_panels[int(panel)] = text;
}

void ConsoleWindow::showInputs(const FourFlags &on)
{
    if (m_activity == Activity::Live && onInputs)
        onInputs(on);
}

void ConsoleWindow::setIdPosition(int position)
{
    m_values.moduleId = QStringLiteral("%1").arg(position, 2, 10, QChar(u'0'));
}

QString ConsoleWindow::identity(IdentityPanel panel) const
{
    const QString &text = m_panels[int(panel)];
    const qsizetype separator = text.lastIndexOf(QStringLiteral(" : "));
    return separator < 0 ? text : text.mid(separator + 3);
}

void ConsoleWindow::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_progressShown = false;
}
