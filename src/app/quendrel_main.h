#pragma once
#include <functional>

class QWidget;

namespace quendrel {

// The whole program: the web engine's environment, the application, the main
// window loaded and shown, the event loop. `onShown` runs once the window is
// on screen (the start-up benchmark uses it).
int RunQuendrel(int argc, char** argv, std::function<void(QWidget&)> onShown = {});

}  // namespace quendrel
