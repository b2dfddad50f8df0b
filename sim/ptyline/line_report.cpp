#include "line_report.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ptyline {

std::string reportPath(dev_t device)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    return folder + "/tx4040-line-" + std::to_string(major(device)) + "." +
           std::to_string(minor(device));
}

bool isPtySlave(dev_t device)
{
    return major(device) >= 136 && major(device) <= 143;
}

namespace {

// Our own regular file only: never follow a link someone else planted in /tmp.
int openOwnReport(dev_t device, int flags)
{
    const int fd = ::open(reportPath(device).c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void writeReport(dev_t device, const std::string &modeString)
{
    const int fd = openOwnReport(device, O_WRONLY);
    if (fd < 0)
        return;
    ::flock(fd, LOCK_EX);
    if (::ftruncate(fd, 0) == 0) {
        const ssize_t written = ::pwrite(fd, modeString.data(), modeString.size(), 0);
        (void)written;
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

bool createReport(dev_t device)
{
    const std::string path = reportPath(device);
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::string readReport(dev_t device)
{
    const int fd = openOwnReport(device, O_RDONLY);
    if (fd < 0)
        return {};
    char text[64] = {};
    ::flock(fd, LOCK_SH);
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return n > 0 ? std::string(text, size_t(n)) : std::string();
}

void removeReport(dev_t device)
{
    ::unlink(reportPath(device).c_str());
}

} // namespace ptyline
