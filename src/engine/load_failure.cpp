#include "load_failure.h"


namespace quendrel::engine {

namespace {

struct Words {
    const char* error;  // the engine's name, or its start when it ends with '*'
    const char* text;
};

constexpr Words kWords[] = {
    {"net::ERR_NAME_NOT_RESOLVED", "the name was not found"},
    {"net::ERR_NAME_RESOLUTION_FAILED", "the name was not found"},
    {"net::ERR_CONNECTION_REFUSED", "the connection was refused"},
    {"net::ERR_CONNECTION_RESET", "the server broke off the connection"},
    {"net::ERR_CONNECTION_CLOSED", "the server broke off the connection"},
    {"net::ERR_EMPTY_RESPONSE", "the server sent nothing"},
    {"net::ERR_CONNECTION_TIMED_OUT", "the server did not answer in time"},
    {"net::ERR_TIMED_OUT", "the server did not answer in time"},
    {"net::ERR_ADDRESS_UNREACHABLE", "the server cannot be reached"},
    {"net::ERR_NETWORK_UNREACHABLE", "the server cannot be reached"},
    {"net::ERR_INTERNET_DISCONNECTED", "there is no network connection"},
    {"net::ERR_CERT_*", "the certificate was not trusted"},
    {"net::ERR_SSL_*", "no secure connection could be made"},
    {"net::ERR_TOO_MANY_REDIRECTS", "the page redirects endlessly"},
    {"net::ERR_INVALID_URL", "the address is not valid"},
    {"net::ERR_UNKNOWN_URL_SCHEME", "the address is not valid"},
    {"net::ERR_DISALLOWED_URL_SCHEME", "the address is not valid"},
    {"net::ERR_FILE_NOT_FOUND", "the file was not found"},
    {"net::ERR_ACCESS_DENIED", "the file cannot be read"},
    {"net::ERR_ABORTED", "the page was not shown (a download, or stopped)"},
    {"net::ERR_BLOCKED_*", "the page was blocked"},
    {"net::ERR_HTTP_RESPONSE_CODE_FAILURE", "the server answered with an error and no page"},
};

}  // namespace

QString LoadFailureText(const QString& networkError) {
    for (const Words& words : kWords) {
        const QString name = QString::fromLatin1(words.error);
        const bool matches = name.endsWith(u'*') ? networkError.startsWith(name.chopped(1)) : networkError == name;
        if (matches) return QString::fromLatin1(words.text);
    }
    if (networkError.isEmpty()) return QStringLiteral("the page did not load");
    return QStringLiteral("the page did not load (%1)").arg(networkError);
}

QString HttpFailureText(int status, const QString& statusText) {
    const QString words = statusText.trimmed();
    return words.isEmpty() ? QStringLiteral("the server answered %1").arg(status)
                           : QStringLiteral("the server answered %1 %2").arg(status).arg(words);
}

}  // namespace quendrel::engine
