#pragma once
// The PDF printer's control values as files under the user's home folder,
// through the library the printer's backend reads them with.
#include "printer_control_store.h"

#include <QString>
#include <string>

namespace quendrel::platform {

class FilePrinterControlStore : public PrinterControlStore {
public:
    // The values of the account running the program, under the home folder
    // the account database names: the backend finds them there, whatever
    // $HOME says.
    FilePrinterControlStore();
    // The values under another home folder (tests).
    explicit FilePrinterControlStore(const QString& homeFolder);

    // The value's text is stored as UTF-8; a value holding U+0000 cannot be
    // stored and gives false.
    bool write(const QString& name, const QString& value) override;

    QString homeFolder() const { return QString::fromStdString(home_); }

private:
    std::string home_;
};

}  // namespace quendrel::platform
