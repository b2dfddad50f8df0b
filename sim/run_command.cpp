#include "run_command.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr char PtyLineLibrary[] = "libtx4040_ptyline.so";

// Installed, the library lies in a private folder (TX4040_PTYLINE_FROM_BINDIR from
// bindir); in the build tree, in bin/../lib.
QStringList ptyLineFolders()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return {bin + u'/' + QLatin1String(TX4040_PTYLINE_FROM_BINDIR), bin + QLatin1String("/../lib")};
}

// Empty when it is in none of them.
QString ptyLineLibrary()
{
    for (const QString &folder : ptyLineFolders()) {
        const QFileInfo library(folder + u'/' + QLatin1String(PtyLineLibrary));
        if (library.exists())
            return library.canonicalFilePath();
    }
    return {};
}

QByteArray ptyLinePreload(const QString &library)
{
    QByteArray preload = QFile::encodeName(library);
    const QByteArray already = qgetenv("LD_PRELOAD");
    if (!already.isEmpty())
        preload += ' ' + already;
    return "LD_PRELOAD=" + preload;
}

} // namespace

int RunCommand(const QStringList &command, const sigset_t &stopSignals,
               const std::function<void()> &everyPoll)
{
    // Without it no module answers at a setting with parity: better said than a quiet
    // "Module Not Find".
    const QString library = ptyLineLibrary();
    if (library.isEmpty()) {
        std::fprintf(stderr, "tx4040-sim: cannot find %s in %s\n", PtyLineLibrary,
                     qPrintable(ptyLineFolders().join(QLatin1String(" or "))));
        return 127;
    }
    std::vector<QByteArray> arguments;
    for (const QString &argument : command)
        arguments.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<QByteArray> variables{ptyLinePreload(library)};
    for (char **variable = environ; *variable; ++variable) {
        if (std::strncmp(*variable, "LD_PRELOAD=", 11) != 0)
            variables.emplace_back(*variable);
    }
    std::vector<char *> envp;
    for (QByteArray &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &stopSignals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        std::fprintf(stderr, "tx4040-sim: cannot run %s: %s\n", argv[0], std::strerror(spawned));
        return 127;
    }

    const timespec poll{0, 50'000'000};
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (ended < 0 && errno != EINTR)
            return 127;
        const int signal = sigtimedwait(&stopSignals, nullptr, &poll);
        if (signal > 0)
            ::kill(pid, signal);
        if (everyPoll)
            everyPoll();
    }
}
