#pragma once
#include <QString>

namespace quendrel {

// The caption of every box that names none of its own: the product name
// without its last blank-separated word, shortened word by word to at most 40
// characters. A name without a blank is its own title, cut to 40 characters.
QString AppTitleFrom(const QString& productName);

// The title of this process, set once at start-up.
const QString& AppTitle();
void SetAppTitle();

}  // namespace quendrel
