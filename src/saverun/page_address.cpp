#include "page_address.h"

namespace quendrel {

namespace {

bool isSchemeCharacter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'+' || c == u'-' || c == u'.';
}

bool beginsWithScheme(const QString& text) {
    if (text.isEmpty() || !((text[0] >= u'a' && text[0] <= u'z') || (text[0] >= u'A' && text[0] <= u'Z')))
        return false;
    qsizetype i = 1;
    while (i < text.size() && isSchemeCharacter(text[i])) ++i;
    if (i >= text.size() || text[i] != u':') return false;
    const qsizetype next = i + 1;
    return next >= text.size() || !text[next].isDigit();
}

}  // namespace

QUrl PageUrlFromTarget(const QString& target) {
    if (target.startsWith(u'/')) return QUrl::fromLocalFile(target);
    if (beginsWithScheme(target)) return QUrl(target, QUrl::TolerantMode);
    return QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
}

}  // namespace quendrel
