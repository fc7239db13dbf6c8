#pragma once
// The whole of a settled page as one picture: as wide as its content (1024 to
// 4096 pixels), as tall as its document.
#include "engine/consent_dialogs.h"

#include <QImage>
#include <QString>

namespace quendrel::engine {
class BrowserTab;
}

namespace iecapt {

struct PagePicture {
    QImage image;
    QString error;  // why there is no image, in a few words
    quendrel::engine::ConsentOutcome consent = quendrel::engine::ConsentOutcome::None;
};

// Elements fixed to the screen are pinned first, so they are in the picture
// once and cover nothing. A page taller than the engine takes in one picture
// is taken in bands; one taller than a JPEG can be is scaled down to fit,
// whole. Consent dialogs are dealt with first unless told otherwise (see
// engine/consent_dialogs.h), before the page's size is taken.
PagePicture takePicture(quendrel::engine::BrowserTab& tab, bool dealWithConsent = true);

}  // namespace iecapt
