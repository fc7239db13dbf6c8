#pragma once
// How an entry's text becomes the address the engine or the fetch is given.
#include <QString>
#include <QUrl>

namespace quendrel {

// - A text that begins with "/" is a local file (a dropped file, or the page
//   file of a downloaded copy) and becomes a file address.
// - A text that begins with a scheme ("https:", "about:", "file:", ...) is used
//   exactly as typed. A scheme is a letter followed by letters, digits, "+",
//   "-" or ".", then ":"; "localhost:8080/x" is a host with a port, not a
//   scheme, because what follows the colon is a digit.
// - Anything else is a host name typed without a scheme, as a user types it in
//   a browser's address bar ("www.example.com/page", "127.0.0.1:8080"); it is
//   fetched over plain HTTP, "http://" put before the text.
// Nothing is trimmed or otherwise changed; an address the engine cannot load
// fails there, as typed.
QUrl PageUrlFromTarget(const QString& target);

}  // namespace quendrel
