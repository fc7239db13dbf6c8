#pragma once
// Test failures show Qt strings as their text, not as a dump of UTF-16 units.
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
