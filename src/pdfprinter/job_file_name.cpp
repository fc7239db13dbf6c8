#include "pdfprinter/job_file_name.h"

namespace marrowby {
namespace {

bool endsWithPdf(std::string_view text) {
    if (text.size() < 4) return false;
    std::string_view tail = text.substr(text.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'p' && (tail[2] | 0x20) == 'd' && (tail[3] | 0x20) == 'f';
}

bool isBlank(char c) { return c == ' '; }

// Cuts to at most `limit` bytes without leaving half of a UTF-8 sequence.
void cutAtCharacter(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t end = limit;
    // Back up over continuation bytes to the start of the character that
    // does not fit whole.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

}  // namespace

std::string pdfFileNameForTitle(std::string_view title) {
    std::string stem;
    stem.reserve(title.size());
    for (unsigned char c : title) {
        if (c == '/' || c < 0x20 || c == 0x7f)
            stem += '_';
        else
            stem += static_cast<char>(c);
    }
    std::size_t start = 0;
    while (start < stem.size() && (stem[start] == '.' || isBlank(stem[start]))) ++start;
    stem.erase(0, start);
    if (endsWithPdf(stem)) stem.resize(stem.size() - 4);
    cutAtCharacter(stem, kMaxStemBytes);
    while (!stem.empty() && isBlank(stem.back())) stem.pop_back();
    if (stem.empty()) stem = "Untitled";
    return stem + ".pdf";
}

std::string numberedFileName(const std::string& fileName, int attempt) {
    const std::string stem = fileName.substr(0, fileName.size() - 4);
    return stem + " (" + std::to_string(attempt) + ").pdf";
}

}  // namespace marrowby
