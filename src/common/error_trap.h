#pragma once
// The trap every guarded handler runs under. A handler is written as its
// numbered steps, one call per action:
//
//     ErrorTrap trap(report, HandlerLocation("PushButton1_Click"));
//     trap.step(100, [&] { text = AskForAddress(); });
//     if (trap.test(102, [&] { return text.isEmpty(); })) return;
//     trap.step(104, [&] { list.Append(text); });
//
// A failing action (or a routine it calls) is reported with the step's number,
// and the handler goes on with the next action. A conditional whose test fails
// runs the action it guards, so a failed test counts as true.
#include "error_report.h"
#include "platform/failure.h"

#include <exception>
#include <functional>
#include <utility>

namespace quendrel {

class ErrorTrap {
public:
    ErrorTrap(ErrorReport& report, QString location)
        : report_(report), location_(std::move(location)) {}

    int currentStep() const { return step_; }
    // Told of every failure after its box was closed (the save run keeps them
    // for its closing report).
    std::function<void(int step, const QString& description)> onFailure;

    template <typename Action>
    void step(int number, Action&& action) {
        step_ = number;
        try {
            std::forward<Action>(action)();
        } catch (const std::exception& failure) {
            report(QString::fromStdString(failure.what()));
        } catch (...) {
            report(QStringLiteral("Unexpected failure"));
        }
    }

    template <typename Condition>
    bool test(int number, Condition&& condition) {
        bool result = true;
        step(number, [&] { result = static_cast<bool>(std::forward<Condition>(condition)()); });
        return result;
    }

private:
    void report(const QString& description) {
        // A failure while the report itself is shown is not trapped again.
        try {
            report_.ShowErrorReport(location_, step_, description);
        } catch (...) {
        }
        if (onFailure) onFailure(step_, description);
    }

    ErrorReport& report_;
    QString location_;
    int step_ = 0;
};

}  // namespace quendrel
