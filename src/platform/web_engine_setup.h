#pragma once

namespace quendrel::platform {

// Chromium cannot sandbox its renderers for root. Called before the
// QApplication is made: as root it turns the sandbox off and says so once on
// stderr; for every other user it leaves the sandbox on. It also keeps the
// engine from background traffic of its own (update checks, sync).
void prepareWebEngineEnvironment();

}  // namespace quendrel::platform
