#pragma once
// The system's Chromium, started headless for one run or one capture, driven
// through a pipe, with a private profile that goes with it.
#include "platform/failure.h"
#include "pipe_channel.h"
#include "platform/process_launcher.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace quendrel::engine {

// "chromium-headless-shell" (the automation build: it starts faster and
// takes less memory), then "chromium" and "chromium-browser", along PATH;
// QUENDREL_CHROMIUM names another program in their place. Empty when there
// is none.
QString FindChromium();

// The package that brings the engine, for the messages that name it: the
// one to install, which the program prefers.
inline constexpr char kChromiumPackage[] = "chromium-headless-shell";

// The engine is missing or does not start: no page can render until that is
// mended, so callers say it once for what they were asked, not as a fault.
class EngineUnavailable : public Failure {
public:
    using Failure::Failure;
};

struct ChromiumOptions {
    // The size of the window pages lay themselves out for.
    int width = 1024;
    int height = 768;
    // What starts the engine; null for the system's own (fork and exec).
    platform::ProcessLauncher* launcher = nullptr;
    // A channel to an engine that another program runs and lends (see
    // devtools_relay.h), used in place of starting one; -1 for none.
    int lentEngine = -1;
};

class ChromiumProcess {
public:
    // Starts the engine with a profile folder of its own (mode 0700, under
    // the user's cache folder). As root the renderer sandbox cannot work: it
    // is turned off, and that is said once on stderr. Throws EngineUnavailable with a
    // message that names the package when the engine is missing or cannot
    // start.
    static std::unique_ptr<ChromiumProcess> Start(const ChromiumOptions& options = {});
    // Ends the engine (closing its pipe, then by signal if it lingers),
    // reaps it and removes its profile folder.
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    DevToolsChannel& channel() { return channel_; }
    long long pid() const { return pid_; }
    // What the engine said on stderr before it failed, for a message.
    QString lastWords() const;

private:
    ChromiumProcess(std::unique_ptr<platform::ProcessLauncher> own, platform::ProcessLauncher& launcher, long long pid,
                    int socket, QString folder);

    std::unique_ptr<platform::ProcessLauncher> ownLauncher_;
    platform::ProcessLauncher& launcher_;
    long long pid_;
    PipeChannel channel_;
    QString folder_;
};

}  // namespace quendrel::engine
