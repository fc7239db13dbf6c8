#include "pdfprinter/job_destination.h"

#include "pdfprinter/control_values.h"
#include "pdfprinter/printer_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowby {
namespace {

constexpr std::size_t kPointingTokenLength = 32;

JobDestination intoPdfFolder(std::string reason) {
    return {JobDestination::PdfFolder, {}, std::move(reason)};
}

std::string pointingValueName(std::string_view token) { return kPointingValuePrefix + std::string(token); }

}  // namespace

bool isPointingToken(std::string_view token) {
    if (token.size() != kPointingTokenLength) return false;
    for (char c : token)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

JobDestination chooseJobDestination(const std::string& home, std::string_view pointing) {
    if (pointing.empty()) return intoPdfFolder("the job was not pointed at a file");
    if (!isPointingToken(pointing)) return intoPdfFolder("the job's pointing is not one the tool makes");
    const ControlValue bypass = readControlValue(home, kBypassSaveAsValue);
    if (bypass.status != ControlValue::Found || bypass.text != "1")
        return intoPdfFolder(bypass.status == ControlValue::Unreadable ? bypass.error : "BypassSaveAs is not \"1\"");
    // A pointing someone else could have written never steers a job.
    if (std::string why = whyControlFolderIsNotPrivate(home); !why.empty()) return intoPdfFolder(why);

    const ControlValue taken = takeControlValue(home, pointingValueName(pointing));
    if (taken.status == ControlValue::Missing)
        return intoPdfFolder("the job's pointing was already used or withdrawn");
    if (taken.status == ControlValue::Unreadable) return {JobDestination::Refused, {}, taken.error};
    if (taken.text.empty()) return {JobDestination::Refused, {}, "the job's pointing names no file"};
    // "OutputFile" says that the tool points jobs at files; with two runs at
    // once it names the other run's file as often as this one's, so the
    // pointing, not it, says which file this job becomes.
    const ControlValue output = readControlValue(home, kOutputFileValue);
    if (output.status == ControlValue::Unreadable) return {JobDestination::Refused, {}, output.error};
    if (output.status == ControlValue::Missing) return {JobDestination::Refused, {}, "OutputFile is not set"};
    return {JobDestination::OutputFile, taken.text, {}};
}

void removeAbandonedPointings(const std::string& home, long long now) {
    const std::string folder = controlFolder(home);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return;
    const std::string prefix = kPointingValuePrefix;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix || !isPointingToken(name.substr(prefix.size()))) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (st.st_mtim.tv_sec < now - kAbandonedPointingSeconds) ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

}  // namespace marrowby
