#pragma once
// Elements fixed to the screen (headers, bars, buttons) follow the reader on
// screen; on paper the engine repeats them on every sheet, over the content.
#include <QString>

namespace quendrel::engine {

// A script, run in a world of its own with the page scrolled to its top, that
// takes every element fixed to the screen out of that behaviour:
// - one standing in the upper half of the screen stays where it stands at the
//   top of the document (the page leaves room for it there) and no longer
//   follows the scroll;
// - one standing in the lower half (cookie bars, chat buttons) joins the flow
//   of the document where its markup is, so it covers nothing;
// - one that sticks to the screen once scrolled stays where it stands in the
//   flow.
// It answers the number of elements it changed.
QString PinFixedElementsScript();

}  // namespace quendrel::engine
