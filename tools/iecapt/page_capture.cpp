#include "page_capture.h"

#include "jpeg_output.h"
#include "platform/fixed_elements.h"
#include "platform/page_settle.h"
#include "platform/unattended_web_page.h"

#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QVariant>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <signal.h>
#include <unistd.h>
#include <utility>

namespace iecapt {

namespace {

constexpr int kMinWidth = 1024;
constexpr int kMaxWidth = 4096;
constexpr int kFirstHeight = 768;
// The tallest view grabbed in one piece; a taller page is grabbed in bands of
// this height, scrolled one after the other, and assembled.
constexpr int kBandHeight = 16384;
// The JPEG library writes no more pixels than this on a side: a taller page is scaled down
// to fit, whole.
constexpr int kLongestJpegSide = 65500;
// Layouts that grow with the window (100vh blocks plus more) would never settle.
constexpr int kMaxResizeRounds = 3;
constexpr int kPollMs = 20;
// About two seconds for the renderer to take a new size or draw a frame; after
// that the capture goes on with what there is.
constexpr int kMaxPolls = 100;

// Measured in the script world of the capture, which page scripts cannot reach.
const char kMeasureScript[] = R"((function () {
  var d = document.documentElement, b = document.body;
  return [Math.max(d ? d.scrollWidth : 0, b ? b.scrollWidth : 0),
          Math.max(d ? d.scrollHeight : 0, b ? b.scrollHeight : 0),
          window.innerWidth, window.innerHeight];
})())";

// Two animation frames after this call a frame at the current size has been drawn.
const char kRequestFrameScript[] = R"((function () {
  window.__iecaptFrameDrawn = false;
  requestAnimationFrame(function () {
    requestAnimationFrame(function () { window.__iecaptFrameDrawn = true; });
  });
  return true;
})())";

const char kFrameDrawnScript[] = "window.__iecaptFrameDrawn === true";

// Scrolls to a band and answers where the page really scrolled to.
const char kScrollScript[] = "window.scrollTo({top: %1, left: 0, behavior: 'instant'}); window.scrollY";

// The renderer's frame reaches the view a little after the page has drawn it,
// and parts of a large page may still be blank in the first one: the view is
// grabbed until two grabs in a row agree. A page that keeps moving is taken as
// it is after the last grab.
constexpr int kGrabIntervalMs = 80;
constexpr int kMaxGrabs = 25;
// A page that was still changing when the settle limit passed never gives two
// equal grabs: it is taken after a few.
constexpr int kGrabsOfAChangingPage = 3;
// A page that does not answer a question in this long has a script that
// holds the engine: its renderer is ended and the page loaded without scripts.
constexpr int kAnswerLimitMs = 2000;

struct Measurement {
    QSize document;
    QSize viewport;
};

Measurement measurementFrom(const QVariant& result) {
    const QVariantList numbers = result.toList();
    if (numbers.size() != 4) return {};
    return {QSize(numbers[0].toInt(), numbers[1].toInt()), QSize(numbers[2].toInt(), numbers[3].toInt())};
}

}  // namespace

PageCapture::PageCapture(QUrl address, QString outputPath, int loadLimitMs, QObject* parent)
    : QObject(parent),
      address_(std::move(address)),
      outputPath_(std::move(outputPath)),
      loadLimitMs_(loadLimitMs),
      // A profile without a storage name keeps cookies, cache and history in memory only.
      profile_(new QWebEngineProfile(this)),
      page_(makePage()),
      view_(new QWebEngineView) {
    view_->setPage(page_);
    view_->resize(kMinWidth, kFirstHeight);
}

QWebEnginePage* PageCapture::makePage() {
    auto* page = new quendrel::platform::UnattendedWebPage(profile_, this);
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    quendrel::platform::PrepareForSettling(*page);
    connect(page, &QWebEnginePage::loadingChanged, this, &PageCapture::onLoadingChanged);
    return page;
}

PageCapture::~PageCapture() {
    // The view uses the page and the page the profile: gone in that order.
    delete view_;
    delete page_;
    delete profile_;
}

void PageCapture::start() {
    view_->show();
    page_->load(address_);
    QTimer::singleShot(loadLimitMs_, this, &PageCapture::onLoadLimit);
}

void PageCapture::onLoadLimit() {
    if (loaded_ || done_ || withoutScripts_) return;
    // Captured as far as it got when a document of the page shows; one whose
    // script holds the engine answers nothing. Before any document of the
    // page, the time limit ends the capture.
    const int probe = ++probe_;
    page_->runJavaScript(QStringLiteral("location.href"), QWebEngineScript::ApplicationWorld,
                         [this, probe](const QVariant& href) {
                             if (probe != probe_ || loaded_ || done_) return;
                             ++probe_;
                             if (href.toString() == QStringLiteral("about:blank")) return;
                             loaded_ = true;
                             startSettle();
                         });
    QTimer::singleShot(kAnswerLimitMs, this, [this, probe] {
        if (probe == probe_ && !loaded_ && !done_) reloadWithoutScripts();
    });
}

void PageCapture::abandon(const QString& reason, int exitCode) {
    if (done_) return;
    // Finished first, so the stopped load cannot report a failure of its own.
    finish(exitCode, reason);
    page_->triggerAction(QWebEnginePage::Stop);
}

void PageCapture::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (sender() != page_ || loaded_ || done_) return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            // An error status with a page of the server's own is what a browser
            // shows, so it is captured; without one the engine shows its own
            // error page, which is no capture of the site.
            if (!info.isErrorPage()) break;
            finish(kExitCaptureFailed,
                   QStringLiteral("cannot load %1: the server answered HTTP %2 without a page")
                       .arg(address_.toDisplayString())
                       .arg(info.errorCode()));
            return;
        }
        finish(kExitCaptureFailed, QStringLiteral("cannot load %1: %2")
                                       .arg(address_.toDisplayString(), info.errorString()));
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        finish(kExitCaptureFailed,
               QStringLiteral("loading %1 was stopped").arg(address_.toDisplayString()));
        return;
    }
    loaded_ = true;
    startSettle();
}

void PageCapture::startSettle() {
    auto* settle = new quendrel::platform::PageSettle(*page_, quendrel::platform::kPageQuietMs,
                                                      quendrel::platform::kPageSettleLimitMs, this);
    connect(settle, &quendrel::platform::PageSettle::settled, this, &PageCapture::onSettled);
    connect(settle, &quendrel::platform::PageSettle::settled, settle, &QObject::deleteLater);
    settle->start();
}

void PageCapture::onSettled(bool reachedLimit) {
    if (done_) return;
    changing_ = reachedLimit;
    const int probe = ++probe_;
    auto measureNow = [this, probe](const QVariant&) {
        if (probe != probe_ || done_) return;
        ++probe_;
        pollsLeft_ = kMaxPolls;
        measure();
    };
    if (!reachedLimit || withoutScripts_) {
        measureNow({});
        return;
    }
    // A page still changing at the limit may be busy, or its script may hold
    // the engine: a question tells which.
    page_->runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld, measureNow);
    QTimer::singleShot(kAnswerLimitMs, this, [this, probe] {
        if (probe == probe_ && !done_) reloadWithoutScripts();
    });
}

void PageCapture::reloadWithoutScripts() {
    ++probe_;
    withoutScripts_ = true;
    loaded_ = false;
    changing_ = false;
    // The engine cannot stop a script that never yields: its renderer is
    // ended, and the page made afresh without scripts (a view shows no frames
    // of a page whose renderer was ended under it).
    QWebEnginePage* held = std::exchange(page_, makePage());
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    view_->setPage(page_);
    const qint64 renderer = held->renderProcessPid();
    held->disconnect(this);
    if (renderer > 0 && renderer != getpid()) ::kill(static_cast<pid_t>(renderer), SIGKILL);
    held->deleteLater();
    page_->load(address_);
}

void PageCapture::measure() {
    if (done_) return;
    page_->runJavaScript(QString::fromLatin1(kMeasureScript), QWebEngineScript::ApplicationWorld,
                         [this](const QVariant& result) {
                             const Measurement m = measurementFrom(result);
                             onMeasured(m.document, m.viewport);
                         });
}

void PageCapture::onMeasured(QSize documentSize, QSize viewportSize) {
    if (done_) return;
    // After a resize the renderer learns the new size a little later; the
    // document's size only counts once it has.
    if (viewportSize != view_->size() && pollsLeft_ > 0) {
        --pollsLeft_;
        QTimer::singleShot(kPollMs, this, &PageCapture::measure);
        return;
    }
    documentHeight_ = documentSize.height();
    const QSize wanted(std::clamp(documentSize.width(), kMinWidth, kMaxWidth),
                       std::clamp(documentSize.height(), 1, kBandHeight));
    if (documentSize.isEmpty() || wanted == view_->size() || resizeRounds_ >= kMaxResizeRounds) {
        waitForFrame();
        return;
    }
    ++resizeRounds_;
    pollsLeft_ = kMaxPolls;
    view_->resize(wanted);
    measure();
}

void PageCapture::waitForFrame() {
    pollsLeft_ = kMaxPolls;
    page_->runJavaScript(QString::fromLatin1(kRequestFrameScript), QWebEngineScript::ApplicationWorld,
                         [this](const QVariant&) { pollFrame(); });
}

void PageCapture::pollFrame() {
    if (done_) return;
    page_->runJavaScript(QString::fromLatin1(kFrameDrawnScript), QWebEngineScript::ApplicationWorld,
                         [this](const QVariant& drawn) {
                             if (done_) return;
                             if (drawn.toBool() || pollsLeft_ <= 0) {
                                 grabsLeft_ = changing_ ? kGrabsOfAChangingPage : kMaxGrabs;
                                 grabUntilSteady();
                                 return;
                             }
                             --pollsLeft_;
                             QTimer::singleShot(kPollMs, this, &PageCapture::pollFrame);
                         });
}

void PageCapture::grabUntilSteady() {
    if (done_) return;

    QImage image = view_->grab().toImage();
    const bool steady = !image.isNull() && image == lastGrab_;
    lastGrab_ = std::move(image);
    if (steady || --grabsLeft_ <= 0) {
        onGrabbed(std::exchange(lastGrab_, QImage()));
        return;
    }
    QTimer::singleShot(kGrabIntervalMs, this, &PageCapture::grabUntilSteady);
}

void PageCapture::onGrabbed(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        finish(kExitCaptureFailed, QStringLiteral("nothing was drawn for %1").arg(address_.toDisplayString()));
        return;
    }
    if (!banding_) {
        if (documentHeight_ <= image.height()) {
            write(image);
            return;
        }
        startBands();
        return;
    }
    {
        QPainter painter(&picture_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, bandTop_ * scale_, image.width() * scale_, image.height() * scale_), image);
    }
    const int next = bandTop_ + view_->height();
    if (next >= documentHeight_) {
        write(std::exchange(picture_, QImage()));
        return;
    }
    scrollToBand(next);
}

void PageCapture::startBands() {
    // Scrolled band by band, elements fixed to the screen would be in every
    // band: they are pinned where they stand at the top first.
    banding_ = true;
    scale_ = std::min(1.0, static_cast<double>(kLongestJpegSide) / documentHeight_);
    picture_ = QImage(std::max(1, static_cast<int>(view_->width() * scale_)),
                      std::max(1, static_cast<int>(documentHeight_ * scale_)), QImage::Format_RGB32);
    if (picture_.isNull()) {
        finish(kExitCaptureFailed, QStringLiteral("no memory for a picture of %1 pixels' height").arg(documentHeight_));
        return;
    }
    picture_.fill(Qt::white);
    page_->runJavaScript(quendrel::platform::PinFixedElementsScript(), QWebEngineScript::ApplicationWorld,
                         [this](const QVariant&) { scrollToBand(0); });
}

void PageCapture::scrollToBand(int top) {
    if (done_) return;
    page_->runJavaScript(QString::fromLatin1(kScrollScript).arg(top), QWebEngineScript::ApplicationWorld,
                         [this, top](const QVariant& scrolled) {
                             if (done_) return;
                             // A page that scrolls less than asked has reached its end.
                             bandTop_ = scrolled.isValid() ? scrolled.toInt() : top;
                             if (bandTop_ < top && top > 0 && bandTop_ + view_->height() < documentHeight_)
                                 documentHeight_ = bandTop_ + view_->height();
                             waitForFrame();
                         });
}

void PageCapture::write(const QImage& image) {
    const QString error = writeJpegAtomically(image, outputPath_);
    if (!error.isEmpty()) {
        finish(kExitCaptureFailed, error);
        return;
    }
    finish(kExitCaptured, {});
}

void PageCapture::finish(int exitCode, const QString& message) {
    if (done_) return;
    done_ = true;
    emit finished(exitCode, message);
}

}  // namespace iecapt
