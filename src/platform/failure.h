#pragma once
// A failure of one action. Guarded handlers catch it (or any std::exception),
// report its description at the current step and go on with the next action.
#include <QString>
#include <stdexcept>

namespace quendrel {

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

}  // namespace quendrel
