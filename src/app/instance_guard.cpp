#include "app/instance_guard.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace ormid {

#ifdef Q_OS_WIN

// A named mutex in this session's namespace: it exists while any process holds a
// handle to it, and the system closes the handle when the process dies.
struct InstanceGuard::Impl {
    HANDLE mutex = nullptr;
    bool acquired = false;

    explicit Impl(const std::string& name)
    {
        const std::wstring wideName = QString::fromStdString(name).toStdWString();
        mutex = CreateMutexW(nullptr, FALSE, wideName.c_str());
        if (mutex == nullptr) {
            qWarning("InstanceGuard: cannot create the lock %s; running without it", name.c_str());
            acquired = true;
            return;
        }
        acquired = GetLastError() != ERROR_ALREADY_EXISTS;
        if (!acquired)
            release();
    }

    void release()
    {
        if (mutex != nullptr)
            CloseHandle(mutex);
        mutex = nullptr;
        acquired = false;
    }

    ~Impl() { release(); }
};

#else

// An advisory lock on a file per user in the temporary folder. The kernel drops it
// when the process ends in any way, so a crashed run never blocks the next start;
// the descriptor is closed on exec so a started program never inherits the lock.
struct InstanceGuard::Impl {
    int fd = -1;
    bool acquired = false;

    explicit Impl(const std::string& name)
    {
        const QString path
            = QDir::tempPath() + QStringLiteral("/%1-%2.lock").arg(QString::fromStdString(name)).arg(getuid());
        const QByteArray file = QFile::encodeName(path);
        fd = open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            qWarning("InstanceGuard: cannot open %s; running without the lock", file.constData());
            acquired = true;
            return;
        }
        int result;
        do
            result = flock(fd, LOCK_EX | LOCK_NB);
        while (result != 0 && errno == EINTR);
        if (result == 0) {
            acquired = true;
            return;
        }
        const bool heldElsewhere = errno == EWOULDBLOCK;
        release();
        if (!heldElsewhere) {
            qWarning("InstanceGuard: cannot lock %s; running without the lock", file.constData());
            acquired = true;
        }
    }

    // The file stays: removing it would let a later start lock a new file while a
    // running instance still holds the old one.
    void release()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
        acquired = false;
    }

    ~Impl() { release(); }
};

#endif

InstanceGuard::InstanceGuard(std::string name) : impl_(std::make_unique<Impl>(name))
{
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::acquired() const
{
    return impl_->acquired;
}

void InstanceGuard::release()
{
    impl_->release();
}

} // namespace ormid
