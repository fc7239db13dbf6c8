#include "sample_entries.h"

#include "common/error_trap.h"
#include "common/product.h"
#include "site_list.h"

namespace quendrel {

const QString SampleEntries::kSecondSample = QStringLiteral("http://www.google.com/");

void SampleEntries::PushButton4_Click() {
    ErrorTrap trap(report_, HandlerLocation("PushButton4_Click"));
    trap.step(100, [&] { list_.Append(kHomePage); });
    trap.step(102, [&] { list_.Append(kSecondSample); });
}

}  // namespace quendrel
