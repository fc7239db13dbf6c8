// The name a job gets in the user's PDF folder when it is saved by title.
#include "pdfprinter/job_file_name.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct TitleCase {
    std::string title;
    std::string fileName;
};

TEST(JobFileNameTest, TitlesBecomeSafeNamesInOneFolder) {
    const TitleCase cases[] = {
        {"Report", "Report.pdf"},
        {"report.pdf", "report.pdf"},
        {"Report.PDF", "Report.pdf"},
        {"notes.txt", "notes.txt.pdf"},
        {"http://www.example.com/a/b", "http:__www.example.com_a_b.pdf"},
        {"../../etc/passwd", "_.._etc_passwd.pdf"},
        {"..", "Untitled.pdf"},
        {".hidden", "hidden.pdf"},
        {" . .name", "name.pdf"},
        {"tab\there\nnewline\x7f", "tab_here_newline_.pdf"},
        {"trailing blanks   ", "trailing blanks.pdf"},
        {"name .pdf", "name.pdf"},
        {"", "Untitled.pdf"},
        {"/", "_.pdf"},
        {"Ümlaut 日本", "Ümlaut 日本.pdf"},
        {"back\\slash", "back\\slash.pdf"},
    };
    for (const TitleCase& c : cases) EXPECT_EQ(marrowby::pdfFileNameForTitle(c.title), c.fileName) << c.title;
}

TEST(JobFileNameTest, LongTitlesAreCutWithoutSplittingACharacter) {
    const std::string ascii(500, 'a');
    EXPECT_EQ(marrowby::pdfFileNameForTitle(ascii), std::string(marrowby::kMaxStemBytes, 'a') + ".pdf");

    // "é" is two bytes; one 'x' first puts a character across the limit.
    std::string accented = "x";
    for (int i = 0; i < 300; ++i) accented += "é";
    const std::string name = marrowby::pdfFileNameForTitle(accented);
    const std::string stem = name.substr(0, name.size() - 4);
    EXPECT_EQ(stem.size(), marrowby::kMaxStemBytes - 1);
    EXPECT_EQ(stem.back(), "é"[1]);  // ends on a complete character
    EXPECT_EQ(name.substr(name.size() - 4), ".pdf");
}

TEST(JobFileNameTest, TakenNamesGetANumber) {
    EXPECT_EQ(marrowby::numberedFileName("Report.pdf", 2), "Report (2).pdf");
    EXPECT_EQ(marrowby::numberedFileName("Report.pdf", 17), "Report (17).pdf");
}

}  // namespace
