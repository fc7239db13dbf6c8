#pragma once
// Fetching a page's HTML into a local file, for printing a downloaded copy.
#include "platform/failure.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace quendrel {

namespace platform {
class EventPump;
}

// A transfer that moves no data for this long is abandoned.
inline constexpr int kPageTransferTimeoutMs = 60'000;
// No fetch takes longer than this in all, however slowly the data trickles.
inline constexpr int kPageFetchLimitMs = 600'000;
// No page is kept beyond this size. It is far more than any page's HTML, and
// it bounds what the copy costs when it is handed to the engine whole.
inline constexpr qint64 kPageDownloadLimitBytes = 50LL * 1024 * 1024;

// A fetch that gave no page. The description names the address, for the
// error box; the reason says why in a few words, for the closing report's
// line of the entry.
class DownloadFailure : public Failure {
public:
    DownloadFailure(const QString& address, const QString& detail, const QString& reason)
        : Failure(QStringLiteral("The page %1 could not be fetched: %2").arg(address, detail)), reason_(reason) {}
    QString reason() const { return reason_; }

private:
    QString reason_;
};

// Where a downloaded page came from: what a copy needs to render as the live
// page does.
struct DownloadedPage {
    // The address after every redirect, with the query and the fragment the
    // page was asked for, so relative addresses in it resolve as they did live.
    QUrl address;
    // The server's Content-Type as sent ("text/html; charset=koi8-r"), or
    // empty when it sent none.
    QByteArray contentType;
};

// Fetches the address (see PageUrlFromTarget), following redirects, while
// window events keep being handled. The file then holds the body exactly as
// the server sent it, so a page in any encoding keeps its charset declaration
// true; links in it are not rewritten. An empty body writes no file.
// Throws DownloadFailure when no answer came (refused connection, unknown
// host, time limit, bad address), the server answered with an error status
// (400 or more, with a page of its own or not: it is no page of the site) or
// the page is larger than the limit, and
// Failure when the file cannot be written. A failed download leaves no file.
DownloadedPage DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path);

// One fetch as DownloadPageToFile makes it, started at once and finished when
// asked, so that pages can be fetched ahead of their turn. The body goes to a
// private temporary file as it arrives, never into memory whole, and nothing
// reaches the page file before WriteTo; releasing the fetch aborts it and
// removes what it kept.
class PageFetch {
public:
    explicit PageFetch(const QString& address);
    ~PageFetch();
    PageFetch(const PageFetch&) = delete;
    PageFetch& operator=(const PageFetch&) = delete;

    // Called once from the event loop when the transfer has ended, however.
    void whenEnded(std::function<void()> ended);
    // Waits, with window events handled, for the fetch to end (within the
    // overall limit counted from its start); gives where the page came from,
    // or throws DownloadFailure as DownloadPageToFile does.
    DownloadedPage Finish(platform::EventPump& events);
    // Once finished: the body's size, the body itself (at most the limit, for
    // handing the copy to the engine), and whether a file holds exactly it.
    qint64 BodySize() const;
    QByteArray ReadBody() const;
    bool IsBodyOf(const QString& path) const;
    // Finish, then the body written to the path as DownloadPageToFile does.
    DownloadedPage WriteTo(platform::EventPump& events, const QString& path);

private:
    struct Transfer;
    QString address_;
    std::unique_ptr<Transfer> transfer_;
};
// The content type a copy is given to the engine with: the server's media
// type and the charset it named ("text/html;charset=koi8-r"), so the charset
// applies as it did live, before any the document names. "text/html" when the
// server named no usable type; a charset that is no plain name is left out.
QString ContentTypeOfCopy(const QByteArray& contentType);

}  // namespace quendrel
