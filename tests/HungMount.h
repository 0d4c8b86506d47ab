#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A folder where every call into the file system hangs, as on a network mount whose server
// went away: a FUSE mount whose server never answers, not even the kernel's first request.
// release() ends the hang as a time-out would: the waiting calls fail. Mounting needs the
// superuser; isMounted() tells whether it worked.
class HungMount
{
    Q_DISABLE_COPY_MOVE(HungMount)

public:
    explicit HungMount(const QString &folder)
        : m_folder(QFile::encodeName(folder))
        , m_device(::open("/dev/fuse", O_RDWR | O_CLOEXEC))
    {
        const QByteArray options =
            "fd=" + QByteArray::number(m_device) + ",rootmode=40000,user_id=0,group_id=0";
        if (m_device >= 0 && ::mount("quiver-hung", m_folder.constData(), "fuse",
                                     MS_NOSUID | MS_NODEV, options.constData()) != 0) {
            ::close(m_device);
            m_device = -1;
        }
    }
    ~HungMount() { release(); }

    bool isMounted() const { return m_device >= 0; }

    void release()
    {
        if (m_device < 0)
            return;
        // The server's end closed: every call waiting on the mount fails with ENOTCONN.
        ::close(m_device);
        m_device = -1;
        ::umount2(m_folder.constData(), MNT_DETACH);
    }

private:
    QByteArray m_folder;
    int m_device;
};
