#pragma once
// One capture: load the address, let the page settle, size the view to the
// whole document (or to a band of it, for a page taller than one view can
// hold), let it paint, grab it (band by band) and write the JPEG.
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace iecapt {

inline constexpr int kExitCaptured = 0;
inline constexpr int kExitCaptureFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTimeLimit = 3;

class PageCapture : public QObject {
    Q_OBJECT
public:
    // A load that has not ended after loadLimitMs is captured as far as it
    // got, once a document of the page shows.
    PageCapture(QUrl address, QString outputPath, int loadLimitMs, QObject* parent = nullptr);
    ~PageCapture() override;

    void start();
    // Stops where it is and finishes with `exitCode`; nothing is written afterwards.
    void abandon(const QString& reason, int exitCode);

signals:
    // Emitted once, with the process exit status. The message is empty on success.
    void finished(int exitCode, const QString& message);

private:
    QWebEnginePage* makePage();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onLoadLimit();
    void startSettle();
    void onSettled(bool reachedLimit);
    void reloadWithoutScripts();
    void measure();
    void onMeasured(QSize documentSize, QSize viewportSize);
    void waitForFrame();
    void pollFrame();
    void grabUntilSteady();
    void onGrabbed(const QImage& image);
    void startBands();
    void scrollToBand(int top);
    void write(const QImage& image);
    void finish(int exitCode, const QString& message);

    QUrl address_;
    QString outputPath_;
    int loadLimitMs_;
    QWebEngineProfile* profile_;
    QWebEnginePage* page_;
    QWebEngineView* view_;
    bool loaded_ = false;
    bool changing_ = false;  // still changing when the settle limit passed
    bool withoutScripts_ = false;
    int probe_ = 0;                    // the question to the page still open, if any
    bool done_ = false;
    int resizeRounds_ = 0;
    int pollsLeft_ = 0;
    int grabsLeft_ = 0;
    QImage lastGrab_;
    int documentHeight_ = 0;
    // Band by band: the picture being assembled, its scale and the band shown.
    bool banding_ = false;
    QImage picture_;
    double scale_ = 1.0;
    int bandTop_ = 0;
};

}  // namespace iecapt
