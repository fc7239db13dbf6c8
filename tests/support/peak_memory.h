#pragma once
// The peak resident memory of this process (VmHWM of /proc/self/status), and
// setting the peak back to what is resident now, so that a test can tell how
// high one operation drove it, whatever ran before.
#include <QByteArray>
#include <QFile>

namespace quendrel::testing {

// In kB; -1 when it cannot be read.
inline long long PeakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("VmHWM:")) continue;
        bool ok = false;
        const long long kb = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? kb : -1;
    }
    return -1;
}

// False when the kernel does not let the peak be set back.
inline bool ResetPeakResident() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

}  // namespace quendrel::testing
