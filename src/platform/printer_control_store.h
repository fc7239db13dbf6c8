#pragma once
// The PDF printer's per-user control values ("OutputFile", "BypassSaveAs").
#include <QString>

namespace quendrel::platform {

class PrinterControlStore {
public:
    virtual ~PrinterControlStore() = default;
    // Gives false when the value could not be written.
    virtual bool write(const QString& name, const QString& value) = 0;
};

}  // namespace quendrel::platform
