#pragma once
// Fetching a page's HTML into a local file, for printing a downloaded copy.
#include <QString>

namespace quendrel {

namespace platform {
class EventPump;
}

// A transfer that moves no data for this long is abandoned.
inline constexpr int kPageTransferTimeoutMs = 60'000;
// No fetch takes longer than this in all, however slowly the data trickles.
inline constexpr int kPageFetchLimitMs = 600'000;

// Fetches the address (see PageUrlFromTarget), following redirects, while
// window events keep being handled. The file then holds the body exactly as
// the server sent it, so a page in any encoding keeps its charset declaration
// true; links in it are not rewritten. An empty body writes no file. An error
// page that the server sends (404, 500, ...) is a body like any other.
// Throws Failure when no answer came (refused connection, unknown host, time
// limit, bad address) or the file cannot be written.
void DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path);

}  // namespace quendrel
