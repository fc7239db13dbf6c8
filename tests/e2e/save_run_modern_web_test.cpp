// Whole runs through the main window over pages built the way sites are built
// today: a page styled by Tailwind CSS 4's own output (oklch() colours,
// cascade layers), a panel shown only by :has(), details shown by a container
// query, a block shown only by a nested rule, banners coloured with relative
// colour syntax and color-mix(), and content that a script builds with
// Object.groupBy, Promise.withResolvers and toSorted.
//
// Every such part is a block of its own colour holding a word of its own,
// written in white or in black, and is judged by what is seen: the printed
// sheets are drawn by pdftoppm, the block's colour must cover a patch and
// the word's ink must lie inside that patch; where the PDF holds text (the
// browser methods) the word must be in its text layer too. An engine that
// does not know a feature leaves its block out, or draws it without colour.
//
// The colours are what Chromium's own command line prints for the same pages
// (`chromium --headless --print-to-pdf`), and the same checks run over its
// PDFs here, so the expectations stay those of the real engine.
#include "support/local_http_server.h"
#include "support/poppler_tools.h"
#include "support/whole_run_platform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

// A part of a page: the block's colour as the engine prints it (sRGB), its
// word and the colour the word is written in.
struct Block {
    const char* page;
    const char* what;
    const char* word;
    QRgb colour;
    QRgb ink;
};

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(17, 17, 17);

const Block kBlocks[] = {
    {"tailwind.html", "Tailwind's bg-indigo-600 header, oklch(51.1% 0.262 276.966)", "Quillmark", qRgb(79, 57, 246), kWhite},
    {"tailwind.html", "Tailwind's bg-blue-600 pricing card, oklch(54.6% 0.245 262.881)", "Fernwick", qRgb(21, 93, 252), kWhite},
    {"selectors.html", "panel shown by :has(input:checked)", "Marigold", qRgb(250, 204, 21), kBlack},
    {"selectors.html", "details shown by @container (min-width: 400px)", "Tidewater", qRgb(13, 148, 136), kWhite},
    {"selectors.html", "block shown by a nested & rule", "Brambleton", qRgb(192, 38, 211), kWhite},
    {"colours.html", "banner in oklch(from #7c2d12 calc(l + 0.2) c h)", "Cinderford", qRgb(189, 104, 77), kWhite},
    {"colours.html", "banner in color-mix(in srgb, #16a34a 50%, #000000)", "Mossbank", qRgb(11, 81, 37), kWhite},
    {"script.html", "block built with Object.groupBy, Promise.withResolvers, toSorted", "Lanternfish",
     qRgb(236, 72, 153), kWhite},
};

const char* const kPages[] = {"tailwind.html", "selectors.html", "colours.html", "script.html"};

// Near enough for a colour printed as vector art and for one that went
// through a JPEG picture; the blocks of one page are further apart than this.
bool near(QRgb pixel, QRgb colour, int tolerance = 30) {
    return std::abs(qRed(pixel) - qRed(colour)) <= tolerance && std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
}
bool inkOf(QRgb pixel, QRgb ink) {
    if (ink == kWhite) return qRed(pixel) >= 215 && qGreen(pixel) >= 215 && qBlue(pixel) >= 215;
    return qRed(pixel) <= 80 && qGreen(pixel) <= 80 && qBlue(pixel) <= 80;
}

// What one block looks like on the sheets: how many pixels of its colour the
// sheet with most of them holds, and how many pixels of its word's ink lie
// inside the block there (between its first and last pixel of each row that
// is clearly part of it, so a rounded corner's page background is not ink).
struct Seen {
    int colourPixels = 0;
    int inkPixels = 0;
};

Seen seenOn(const std::vector<QImage>& sheets, const Block& block) {
    Seen best;
    for (const QImage& sheet : sheets) {
        Seen seen;
        for (int y = 0; y < sheet.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(sheet.constScanLine(y));
            int first = -1, last = -1, count = 0;
            for (int x = 0; x < sheet.width(); ++x)
                if (near(row[x], block.colour)) {
                    if (first < 0) first = x;
                    last = x;
                    ++count;
                }
            seen.colourPixels += count;
            if (count < 20) continue;
            for (int x = first + 1; x < last; ++x) seen.inkPixels += inkOf(row[x], block.ink) ? 1 : 0;
        }
        if (seen.colourPixels > best.colourPixels) best = seen;
    }
    return best;
}

// A block is there when its colour covers a patch (a few thousand points of
// a sheet drawn at 72 dpi; each block here covers well over ten thousand)
// and its word left ink inside it.
constexpr int kBlockPixels = 3000;
constexpr int kInkPixels = 60;

// One printed PDF, as seen.
struct Printed {
    std::vector<QImage> sheets;
    QString text;
    QString problem;  // why it could not be read, or empty
};

Printed readPdf(const QString& path, bool withText) {
    Printed printed;
    if (!QFileInfo::exists(path)) {
        printed.problem = QStringLiteral("no PDF at ") + path;
        return printed;
    }
    try {
        for (const QImage& page : testing::PdfPageImages(path, 72))
            printed.sheets.push_back(page.convertToFormat(QImage::Format_RGB32));
        if (withText) printed.text = testing::PdfText(path);
    } catch (const std::exception& e) {
        printed.problem = QString::fromUtf8(e.what());
    }
    return printed;
}

// Checks every block of every page on the PDFs given per page; `withText`
// also asks each word of the text layer.
void expectEveryBlock(const std::map<QString, Printed>& printedPages, bool withText, const char* who) {
    for (const Block& block : kBlocks) {
        SCOPED_TRACE(QStringLiteral("%1: %2 on %3").arg(QLatin1String(who), QLatin1String(block.what),
                                                       QLatin1String(block.page))
                         .toStdString());
        const Printed& printed = printedPages.at(QLatin1String(block.page));
        ASSERT_TRUE(printed.problem.isEmpty()) << printed.problem.toStdString();
        const Seen seen = seenOn(printed.sheets, block);
        std::printf("%-9s %-15s %-11s colour %6d px, word ink %5d px\n", who, block.page, block.word,
                    seen.colourPixels, seen.inkPixels);
        EXPECT_GE(seen.colourPixels, kBlockPixels) << "the block's colour is missing";
        EXPECT_GE(seen.inkPixels, kInkPixels) << "nothing is written inside the block";
        if (withText) {
            EXPECT_TRUE(printed.text.contains(QLatin1String(block.word)))
                << "the word " << block.word << " is not in the text:\n" << printed.text.toStdString();
        }
    }
}

// The pages, served on 127.0.0.1 from tests/e2e/pages for the whole program,
// and Chromium's own PDF of each, printed once.
class ModernPages : public ::testing::Environment {
public:
    static ModernPages* instance;

    void SetUp() override {
        const QString folder = qEnvironmentVariable("QUENDREL_SOURCE_DIR") + QStringLiteral("/tests/e2e/pages");
        ASSERT_TRUE(QFileInfo(folder).isDir()) << "QUENDREL_SOURCE_DIR must name the source folder";
        server = std::make_unique<LocalHttpServer>();
        for (QDirIterator it(folder, QDir::Files); it.hasNext();) {
            const QFileInfo file(it.next());
            QFile content(file.filePath());
            ASSERT_TRUE(content.open(QIODevice::ReadOnly));
            HttpResponse answer = HttpResponse::html(content.readAll());
            if (file.suffix() == QStringLiteral("css")) answer.contentType = "text/css; charset=utf-8";
            server->serve(QLatin1Char('/') + file.fileName(), answer);
        }
        ASSERT_TRUE(reference.isValid());
        for (const char* page : kPages) printReference(QLatin1String(page));
    }
    void TearDown() override { server.reset(); }

    QString url(const QString& page) const { return server->url(QLatin1Char('/') + page); }
    quint16 port() const { return server->port(); }

    std::unique_ptr<LocalHttpServer> server;
    QTemporaryDir reference;
    std::map<QString, Printed> referencePdfs;
    std::map<QString, QString> referenceErrors;

private:
    // chromium --headless --print-to-pdf, started directly, in a profile of
    // its own. Its renderer sandbox stays on for an ordinary user, as the
    // test runs; only as root does it need --no-sandbox.
    void printReference(const QString& page) {
        const QString pdf = reference.filePath(page + QStringLiteral(".pdf"));
        QStringList arguments = {QStringLiteral("--headless"), QStringLiteral("--no-pdf-header-footer"),
                                 QStringLiteral("--user-data-dir=") + reference.filePath(QStringLiteral("profile")),
                                 QStringLiteral("--print-to-pdf=") + pdf, url(page)};
        if (::geteuid() == 0) arguments.prepend(QStringLiteral("--no-sandbox"));
        QProcess chromium;
        chromium.start(QStringLiteral("chromium"), arguments);
        const bool ended = chromium.waitForFinished(60'000);
        if (!ended) {
            chromium.kill();
            chromium.waitForFinished(5'000);
        }
        if (!ended || chromium.exitStatus() != QProcess::NormalExit || chromium.exitCode() != 0)
            referenceErrors[page] = QStringLiteral("chromium --print-to-pdf did not end well: ") +
                                    QString::fromLocal8Bit(chromium.readAllStandardError()).right(2000);
        referencePdfs[page] = readPdf(pdf, true);
    }
};

ModernPages* ModernPages::instance =
    static_cast<ModernPages*>(::testing::AddGlobalTestEnvironment(new ModernPages));

TEST(SaveRunModernWebTest, ChromiumsOwnPrintShowsEveryBlock) {
    const ModernPages& pages = *ModernPages::instance;
    for (const auto& [page, error] : pages.referenceErrors) ADD_FAILURE() << page.toStdString() << ": " << error.toStdString();
    expectEveryBlock(pages.referencePdfs, true, "chromium");
}

// One run per method over all the pages in one list.
class SaveRunModernWebMethodTest : public ::testing::TestWithParam<int>, protected testing::WholeRunPlatform {};

TEST_P(SaveRunModernWebMethodTest, EveryPartOfTodaysPagesIsPrintedAsChromiumPrintsIt) {
    const int method = GetParam();
    const ModernPages& pages = *ModernPages::instance;
    const QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const std::unique_ptr<MainWindow> window = openWindow(out.path());

    QStringList entries;
    for (const char* page : kPages) entries << pages.url(QLatin1String(page));
    const long long start = events.steadyMilliseconds();
    EXPECT_EQ(runEntries(*window, entries, method), QStringLiteral("Done."));
    std::printf("method %d: %.2f s for %zu pages\n", method, (events.steadyMilliseconds() - start) / 1000.0,
                std::size(kPages));

    // Method 1 prints a picture: its PDF holds no text, only what is seen.
    const bool withText = method != 1;
    std::map<QString, Printed> printed;
    for (const char* page : kPages)
        printed[QLatin1String(page)] =
            readPdf(out.filePath(QStringLiteral("127.0.0.1 %1_%2.pdf").arg(pages.port()).arg(QLatin1String(page))),
                    withText);
    const std::string who = "method " + std::to_string(method);
    expectEveryBlock(printed, withText, who.c_str());
}

INSTANTIATE_TEST_SUITE_P(Methods, SaveRunModernWebMethodTest, ::testing::Values(1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) { return "Method" + std::to_string(info.param); });

}  // namespace
}  // namespace quendrel
