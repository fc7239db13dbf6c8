#pragma once
// What the site list's handlers need of the window that holds the list: its
// busy flag and its pointer. The window's wiring implements it over the real
// window, so the list knows none of the window's other controls.
namespace quendrel {

class SiteListWindow {
public:
    // A save run is in progress: the list is not to be cleared or shortened,
    // and the window's hourglass stays.
    virtual bool IsBusy() const = 0;
    // The pointer of the push buttons over the whole window: the hand image
    // when one was loaded.
    virtual void ShowHandPointer() = 0;
    // Back to the window's own pointer.
    virtual void ShowDefaultPointer() = 0;

protected:
    ~SiteListWindow() = default;
};

}  // namespace quendrel
