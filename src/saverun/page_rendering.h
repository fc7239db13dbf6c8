#pragma once
// The ways a page reaches the printer, as the save run uses them. The real
// set drives the capture program, the picture print and the web engine
// (engine_rendering.h); the run's tests script them.
#include <QString>

namespace quendrel {

class PageRendering {
public:
    virtual ~PageRendering() = default;

    // Picture print: the capture program writes a JPEG of the page.
    virtual void CaptureSnapshot(const QString& address, const QString& capturePath) = 0;
    // Picture print, one call per step: load, device units, draw, end of document.
    virtual void LoadPicture(const QString& capturePath) = 0;
    virtual void SetDeviceUnits() = 0;
    virtual void DrawPicture() = 0;
    // Gives the print job's id.
    virtual int EndDocument(const QString& title) = 0;

    // Browser print of an address or a local page file; gives the job's id,
    // or 0 when the page did not load: an error page is not printed under the
    // entry's name.
    virtual int LoadAndPrintPage(const QString& target) = 0;
    virtual void DownloadPageToFile(const QString& address, const QString& path) = 0;
    virtual void DeleteFileQuietly(const QString& path) = 0;
};

}  // namespace quendrel
