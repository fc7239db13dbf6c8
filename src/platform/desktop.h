#pragma once
// What the program asks of the desktop it runs on.
#include <QString>

namespace quendrel::platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // Folder of the executable, without a trailing separator.
    virtual QString programFolder() = 0;
    // The user's desktop folder, without a trailing separator; empty when unknown.
    virtual QString desktopFolder() = 0;
    // Opens an address in the default browser without waiting for it; throws Failure
    // when no browser can be started.
    virtual void openInBrowser(const QString& address) = 0;
    // Seconds since midnight, local time, with fractions.
    virtual double secondsSinceMidnight() = 0;
};

}  // namespace quendrel::platform
