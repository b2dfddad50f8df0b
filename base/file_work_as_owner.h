#pragma once

#include <QString>

#include <sys/types.h>

// While it lives, this thread's file work on a path is done as the owner of the nearest
// folder on the way to it that exists, where the process runs as root and that folder
// (or a link on the way) is another user's: sudo with the user's own configuration
// folder.
// Root then writes nothing there that the owner could not have written, follows no
// link to a file that is not the owner's, and what it creates is the owner's. The
// system checks every step as it happens, so nothing is checked first and done after.
// Root among its own files, and every other user, work as they are.
class FileWorkAsOwner
{
public:
    explicit FileWorkAsOwner(const QString &path);
    ~FileWorkAsOwner();
    FileWorkAsOwner(const FileWorkAsOwner &) = delete;
    FileWorkAsOwner &operator=(const FileWorkAsOwner &) = delete;

    bool active() const { return m_active; }
    // "working as alice, who owns /home/alice/.config"; empty when not active.
    QString description() const;

private:
    bool m_active = false;
    uid_t m_uid = 0;
    uid_t m_previousUid = 0;
    gid_t m_previousGid = 0;
    QString m_entry;
};
