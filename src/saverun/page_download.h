#pragma once
// Fetching a page's HTML into a local file, for printing a downloaded copy.
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace quendrel {

namespace platform {
class EventPump;
}

// A transfer that moves no data for this long is abandoned.
inline constexpr int kPageTransferTimeoutMs = 60'000;
// No fetch takes longer than this in all, however slowly the data trickles.
inline constexpr int kPageFetchLimitMs = 600'000;

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
// true; links in it are not rewritten. An empty body writes no file. An error
// page that the server sends (404, 500, ...) is a body like any other.
// Throws Failure when no answer came (refused connection, unknown host, time
// limit, bad address) or the file cannot be written.
DownloadedPage DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path);

// The content type a copy is given to the engine with: the server's media
// type and the charset it named ("text/html;charset=koi8-r"), so the charset
// applies as it did live, before any the document names. "text/html" when the
// server named no usable type; a charset that is no plain name is left out.
QString ContentTypeOfCopy(const QByteArray& contentType);

}  // namespace quendrel
