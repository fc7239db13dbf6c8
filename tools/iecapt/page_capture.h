#pragma once
// One capture: load the address, size the view to the whole document, let it
// paint, grab it and write the JPEG.
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
    PageCapture(QUrl address, QString outputPath, QObject* parent = nullptr);
    ~PageCapture() override;

    void start();
    // Stops where it is and finishes with `exitCode`; nothing is written afterwards.
    void abandon(const QString& reason, int exitCode);

signals:
    // Emitted once, with the process exit status. The message is empty on success.
    void finished(int exitCode, const QString& message);

private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void measure();
    void onMeasured(QSize documentSize, QSize viewportSize);
    void waitForFrame();
    void pollFrame();
    void grabUntilSteady();
    void write();
    void finish(int exitCode, const QString& message);

    QUrl address_;
    QString outputPath_;
    QWebEngineProfile* profile_;
    QWebEnginePage* page_;
    QWebEngineView* view_;
    bool loaded_ = false;
    bool done_ = false;
    int resizeRounds_ = 0;
    int pollsLeft_ = 0;
    int grabsLeft_ = 0;
    QImage lastGrab_;
};

}  // namespace iecapt
