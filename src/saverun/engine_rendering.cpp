#include "engine_rendering.h"

#include "file_helpers.h"
#include "page_ahead.h"
#include "page_download.h"
#include "common/saved_choices.h"
#include "common/settings_store.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace quendrel {

EngineRendering::EngineRendering(platform::Platform& platform, PictureHolder showPicture, ProgressDisplay& progress,
                                 std::function<int()> entryCount)
    : platform_(platform),
      progress_(progress),
      entryCount_(std::move(entryCount)),
      engine_(platform.events),
      browser_(engine_, platform.printers),
      picture_(std::move(showPicture), platform.printers) {}

void EngineRendering::CaptureSnapshot(const QString& address, const QString& capturePath) {
    capturePath_ = capturePath;
    captureAddress_ = address;
    consent_ = engine::ConsentOutcome::None;
    const std::unique_ptr<AheadWork> work = ahead_.Take({address, 1});
    if (auto* ahead = dynamic_cast<AheadCapture*>(work.get())) {
        failure_ = ahead->FinishInto(&progress_, entryCount_(), capturePath, &consent_);
        return;
    }
    failure_ = quendrel::CaptureSnapshot(snapshots(), &progress_, entryCount_(), address, capturePath, &consent_);
}

SnapshotPlatform EngineRendering::snapshots() {
    return {platform_.desktop, platform_.processes, platform_.events, &engine_, keepsConsentDialogs()};
}

bool EngineRendering::keepsConsentDialogs() const {
    if (keepConsentDialogs_) return *keepConsentDialogs_;
    // The window has no control for it: the key is set in its settings file.
    try {
        SettingsStore settings(platform_.settings);
        return TextToBoolean(settings.ReadSetting(kKeepConsentDialogsKey, QStringLiteral("False")));
    } catch (const Failure&) {
        return false;  // a value that is no yes or no leaves the default
    }
}

void EngineRendering::LoadPicture(const QString& capturePath) {
    picture_.Load(capturePath, capturePath == capturePath_ ? captureAddress_ : QString());
}

int EngineRendering::LoadAndPrintPage(const QString& target) {
    failure_.clear();
    consent_ = engine::ConsentOutcome::None;
    try {
        return printPage(target);
    } catch (const engine::EngineUnavailable& unavailable) {
        // Said in the closing report for each entry it stops, not in a box
        // for each of them.
        failure_ = unavailable.description();
        return 0;
    }
}

int EngineRendering::printPage(const QString& target) {
    const std::unique_ptr<AheadWork> work = ahead_.Take({target, 2});  // released when the entry is done
    if (auto* ahead = dynamic_cast<AheadPage*>(work.get())) {
        const int job = ahead->PrintInto(target);
        failure_ = ahead->failure();
        consent_ = ahead->consent();
        return job;
    }
    const bool copy = copy_ && copy_->path == target;
    if (const std::unique_ptr<AheadWork> ahead = std::move(copyAhead_); copy && ahead) {
        auto& download = static_cast<AheadDownload&>(*ahead);
        if (const std::optional<int> job = download.PrintCopy(target, copy_->address)) {
            failure_ = download.failure();
            consent_ = download.consent();
            return *job;
        }
    }
    if (!(copy ? browser_.LoadCopy(target, copy_->source) : browser_.LoadPage(target))) {
        failure_ = browser_.failure();
        return 0;
    }
    browser_.KeepConsentDialogs(keepsConsentDialogs());
    const int job = browser_.PrintLoadedPage(copy ? copy_->address : target);
    failure_ = browser_.failure();
    consent_ = browser_.consent();
    return job;
}

void EngineRendering::DownloadPageToFile(const QString& address, const QString& path) {
    copy_.reset();
    failure_.clear();
    copyAhead_ = ahead_.Take({address, 3});
    auto* ahead = dynamic_cast<AheadDownload*>(copyAhead_.get());
    try {
        const DownloadedPage source =
            ahead ? ahead->WriteTo(path) : quendrel::DownloadPageToFile(platform_.events, address, path);
        copy_ = DownloadedCopy{path, address, source};
    } catch (const DownloadFailure& failure) {
        // The error box says it with the address; the closing report's line
        // of the entry with the reason alone.
        failure_ = failure.reason();
        throw;
    }
}

void EngineRendering::LookAhead(const QList<AheadEntry>& coming) {
    copyAhead_.reset();  // the last entry's copy is done with
    if (coming.isEmpty()) {
        ahead_.Clear();
        engine_.end();
        return;
    }
    ahead_.Plan(WithinCaptureLimit(coming, kCapturesAtOnce), [this](const AheadEntry& entry) -> std::unique_ptr<AheadWork> {
        // What cannot be started ahead (the engine does not start) is tried
        // again, and said, in the entry's own turn.
        try {
            return startAhead(entry);
        } catch (const std::exception&) {
            return nullptr;
        }
    });
}

std::unique_ptr<AheadWork> EngineRendering::startAhead(const AheadEntry& entry) {
        switch (entry.method) {
        case 1: {
            auto capture = std::make_unique<AheadCapture>(snapshots(), entry.address);
            if (capture->prepared()) return capture;
            return nullptr;
        }
        case 2:
            return std::make_unique<AheadPage>(engine_, platform_.printers, entry.address, keepsConsentDialogs());
        case 3:
            return std::make_unique<AheadDownload>(engine_, platform_.printers, entry.address,
                                                   keepsConsentDialogs());
        default:
            return nullptr;
        }
}

void EngineRendering::DeleteFileQuietly(const QString& path) {
    quendrel::DeleteFileQuietly(platform_.events, path);
}

}  // namespace quendrel
