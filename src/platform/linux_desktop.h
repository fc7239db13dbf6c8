#pragma once
#include "desktop.h"

namespace quendrel::platform {

class LinuxDesktop : public Desktop {
public:
    QString programFolder() override;
    QString desktopFolder() override;
    void openInBrowser(const QString& address) override;
    double secondsSinceMidnight() override;
};

}  // namespace quendrel::platform
