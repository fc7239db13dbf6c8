#include "pdf_properties.h"

namespace quendrel {

QByteArray WithPdfProperties(const QByteArray& pdf, const PdfProperties&) { return pdf; }

}  // namespace quendrel
