#pragma once
// "Load List Of Sites From File": every line of one chosen text file becomes an
// entry at the end of the list, in file order.
#include <QString>
#include <QStringList>

namespace quendrel {

namespace platform { class Dialogs; class EventPump; }
class ErrorReport;
class SiteList;

// Appends the lines of the file to the list (see common/line_splitter.h for what a
// line is). The file is read in the user's locale encoding, without any
// byte-order mark handling, and window events are handled before every line
// and every LF-separated part. A missing file is answered with the message
// "File not found", and anything but a regular file (a folder, a device, a
// FIFO) with "Not a regular file. Please select another file."; both leave
// the list as it is. Any other failure is thrown, and the entries appended
// before it stay.
void FileToList(SiteList& list, const QString& path, platform::Dialogs& dialogs,
                platform::EventPump& events);

class ListFileImport {
public:
    ListFileImport(SiteList& list, platform::Dialogs& dialogs, platform::EventPump& events,
                   ErrorReport& report);

    void PushButton6_Click();

    static const QString kTitle;
    static const QStringList kFilters;

private:
    SiteList& list_;
    platform::Dialogs& dialogs_;
    platform::EventPump& events_;
    ErrorReport& report_;
};

}  // namespace quendrel
