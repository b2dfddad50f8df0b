// Stands in front of write() for the tests (write_faults.h); never part of a program.

#include "write_faults.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

using Write = ssize_t (*)(int, const void *, size_t);

Write realWrite()
{
    static const auto fn = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    return fn;
}

std::atomic<bool> armed{false};
std::mutex planMutex;
std::string wantedPart;
int toPass = 0;
int failure = 0;
std::atomic<int> done{0};

bool pathHolds(int fd, const std::string &part)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    return std::strstr(path, part.c_str()) != nullptr;
}

} // namespace

extern "C" {

void tx4040_fail_write(const char *pathPart, int passing, int error)
{
    std::lock_guard lock(planMutex);
    wantedPart = pathPart;
    toPass = passing;
    failure = error;
    done = 0;
    armed = true;
}

void tx4040_write_faults_off()
{
    armed = false;
}

int tx4040_write_faults_done()
{
    return done;
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    if (armed && count > 0) {
        std::unique_lock lock(planMutex);
        if (armed && pathHolds(fd, wantedPart)) {
            if (toPass > 0) {
                --toPass;
            } else {
                armed = false;
                ++done;
                const int error = failure;
                lock.unlock();
                if (error != 0) {
                    errno = error;
                    return -1;
                }
                // A short write: half of it, at least one byte.
                return realWrite()(fd, buffer, count > 1 ? count / 2 : 1);
            }
        }
    }
    return realWrite()(fd, buffer, count);
}

} // extern "C"
