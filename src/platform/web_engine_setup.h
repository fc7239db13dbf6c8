#pragma once

namespace quendrel::platform {

// Called before the QApplication is made. Chromium cannot sandbox its
// renderers for root: as root it turns the sandbox off and says so once on
// stderr; for every other user it leaves the sandbox on. It keeps the engine
// from background traffic of its own (update checks, sync), and shares GL
// contexts, which the engine needs to be told before the application exists.
void prepareWebEngineEnvironment();

}  // namespace quendrel::platform
