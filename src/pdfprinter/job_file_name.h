#pragma once
// The file name a job gets when it is saved into the user's PDF folder: made
// from the job's title, safe to use as one name in that folder.
#include <string>
#include <string_view>

namespace marrowby {

// Longest stem kept from a title, in bytes; leaves room for ".pdf" and a
// " (n)" that tells equal titles apart, well inside NAME_MAX.
inline constexpr std::size_t kMaxStemBytes = 200;

// Slashes and control characters become '_', leading dots and blanks and
// trailing blanks go, a trailing ".pdf" is not doubled, the stem is cut to
// kMaxStemBytes without splitting a UTF-8 character, and ".pdf" ends it. An
// empty result is "Untitled.pdf".
std::string pdfFileNameForTitle(std::string_view title);

// The name to try when `fileName` (which ends in ".pdf") is taken: "x.pdf"
// gives "x (2).pdf" for attempt 2, and so on.
std::string numberedFileName(const std::string& fileName, int attempt);

}  // namespace marrowby
