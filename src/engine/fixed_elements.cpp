#include "fixed_elements.h"

#include "page_scripts.h"

namespace quendrel::engine {

QString PinFixedElementsScript() { return QString::fromUtf8(scripts::fixed_elements); }

}  // namespace quendrel::engine
