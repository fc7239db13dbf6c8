#pragma once
// Why a page did not load, in a few words a user understands.
#include <QString>

namespace quendrel::engine {

// From the engine's network error ("net::ERR_NAME_NOT_RESOLVED"): "the name
// was not found", "the connection was refused", ... An error without words of
// its own is named as the engine names it.
QString LoadFailureText(const QString& networkError);
// From an HTTP status of 400 or more: "the server answered 404 Not Found".
QString HttpFailureText(int status, const QString& statusText);

}  // namespace quendrel::engine
