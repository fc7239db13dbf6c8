#pragma once
// The PDF printer's per-user control values: one small file per value in a
// private folder under the user's home, holding the value's exact bytes. The
// tool writes them before each job; the backend, running as the job's user,
// reads them when the job arrives. Writes replace a value atomically, so the
// backend sees either the old or the new text, never a mix.
#include <string>
#include <string_view>

namespace marrowby {

// "<home>/.config/Marrowby PDF Writer": the folder's last part is the printer's name.
std::string controlFolder(const std::string& home);

struct ControlValue {
    enum Status { Found, Missing, Unreadable };
    Status status = Missing;
    std::string text;         // the value when Found
    std::string error;        // why not, when Unreadable
    long long writtenAt = 0;  // when Found: seconds since the epoch of its last write
};

// Empty when the control folder belongs to the calling account and no one
// else may write in it; otherwise why its values cannot be trusted.
std::string whyControlFolderIsNotPrivate(const std::string& home);

// Reads one value of the user whose home folder is given.
ControlValue readControlValue(const std::string& home, std::string_view name);

// Removes the value and gives what it held. Of several callers racing for
// one written value exactly one gets it (Found); the others see Missing.
ControlValue takeControlValue(const std::string& home, std::string_view name);

// Writes one value (any bytes except NUL), creating the folder with mode 0700
// when needed. Gives an empty text on success, else what went wrong.
std::string writeControlValue(const std::string& home, std::string_view name, std::string_view value);

}  // namespace marrowby
