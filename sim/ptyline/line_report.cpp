#include "line_report.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

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

// A handful of short lines; anything longer is not a file either side wrote.
constexpr size_t LargestFile = 4096;

using Lines = std::vector<std::pair<std::string, std::string>>;

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

// The caller holds the lock.
Lines readLines(int fd)
{
    std::string text;
    char buffer[512];
    while (text.size() < LargestFile) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, off_t(text.size()));
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    Lines lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + begin, end - begin);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        begin = end + 1;
    }
    return lines;
}

Lines readFile(dev_t device)
{
    const int fd = openOwnReport(device, O_RDONLY);
    if (fd < 0)
        return {};
    ::flock(fd, LOCK_SH);
    Lines lines = readLines(fd);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return lines;
}

bool update(dev_t device, const Lines &changes)
{
    for (const auto &[key, value] : changes) {
        if (key.find_first_of("=\n") != std::string::npos || value.find('\n') != std::string::npos)
            return false;
    }
    const int fd = openOwnReport(device, O_RDWR);
    if (fd < 0)
        return false;
    ::flock(fd, LOCK_EX);
    Lines lines = readLines(fd);
    for (const auto &change : changes) {
        bool replaced = false;
        for (auto &line : lines) {
            if (line.first == change.first) {
                line.second = change.second;
                replaced = true;
            }
        }
        if (!replaced)
            lines.push_back(change);
    }
    std::string text;
    for (const auto &[key, value] : lines)
        text += key + '=' + value + '\n';
    // Readers take the shared lock, so none sees the file between these two steps.
    const bool written = ::ftruncate(fd, 0) == 0 &&
                         ::pwrite(fd, text.data(), text.size(), 0) == ssize_t(text.size());
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return written;
}

} // namespace

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

void removeReport(dev_t device)
{
    ::unlink(reportPath(device).c_str());
}

bool writeValue(dev_t device, std::string_view key, std::string_view value)
{
    return update(device, {{std::string(key), std::string(value)}});
}

std::optional<std::string> readValue(dev_t device, std::string_view key)
{
    std::optional<std::string> found;
    for (const auto &[k, value] : readFile(device)) {
        if (k == key)
            found = value;
    }
    return found;
}

void writeReport(dev_t device, const std::string &modeString)
{
    writeValue(device, SettingKey, modeString);
}

std::string readReport(dev_t device)
{
    return readValue(device, SettingKey).value_or(std::string());
}

bool writeAdapter(dev_t device, const Adapter &adapter)
{
    std::string refused;
    auto refuse = [&](const char *what) {
        if (!refused.empty())
            refused += ',';
        refused += what;
    };
    if (adapter.refusesParity)
        refuse("parity");
    if (adapter.refusesLowLatency)
        refuse("low-latency");
    return update(device, {{std::string(LatencyKey), std::to_string(adapter.latencyMs)},
                           {std::string(RefuseKey), refused}});
}

Adapter readAdapter(dev_t device)
{
    Adapter adapter;
    for (const auto &[key, value] : readFile(device)) {
        if (key == LatencyKey) {
            adapter.latencyMs = std::max(0, std::atoi(value.c_str()));
        } else if (key == RefuseKey) {
            std::string_view rest = value;
            while (!rest.empty()) {
                const size_t comma = std::min(rest.find(','), rest.size());
                const std::string_view item = rest.substr(0, comma);
                adapter.refusesParity |= item == "parity";
                adapter.refusesLowLatency |= item == "low-latency";
                rest.remove_prefix(std::min(comma + 1, rest.size()));
            }
        }
    }
    return adapter;
}

void writeLowLatency(dev_t device, bool on)
{
    writeValue(device, LowLatencyKey, on ? "1" : "0");
}

bool readLowLatency(dev_t device)
{
    return readValue(device, LowLatencyKey) == "1";
}

} // namespace ptyline
