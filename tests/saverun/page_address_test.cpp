// Which address the browser and the fetch are given for an entry's text.
#include "saverun/page_address.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

TEST(PageUrlFromTarget, LocalPathsSchemesAndBareHostNames) {
    struct Case {
        const char* entry;
        const char* url;
    } cases[] = {
        {"/home/u/Desktop/www.example.com.htm", "file:///home/u/Desktop/www.example.com.htm"},
        {"/home/u/My Pages/a#b.htm", "file:///home/u/My%20Pages/a%23b.htm"},
        {"http://www.example.com/", "http://www.example.com/"},
        {"https://example.com/a?b=c#d", "https://example.com/a?b=c#d"},
        {"HTTP://EXAMPLE.COM/", "http://example.com/"},
        {"about:blank", "about:blank"},
        {"file:///etc/hostname", "file:///etc/hostname"},
        {"www.example.com", "http://www.example.com"},
        {"www.example.com/page.html", "http://www.example.com/page.html"},
        {"localhost:8080/x", "http://localhost:8080/x"},
        {"127.0.0.1:8080", "http://127.0.0.1:8080"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageUrlFromTarget(QString::fromUtf8(c.entry)).toString(QUrl::FullyEncoded).toStdString(),
                  std::string(c.url))
            << c.entry;
}

}  // namespace
}  // namespace quendrel
