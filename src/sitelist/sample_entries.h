#pragma once
// "Load Sample/Example Files": two example addresses at the end of the list,
// the maker's home page first.
#include <QString>

namespace quendrel {

class ErrorReport;
class SiteList;

class SampleEntries {
public:
    SampleEntries(SiteList& list, ErrorReport& report) : list_(list), report_(report) {}

    void PushButton4_Click();

    static const QString kSecondSample;

private:
    SiteList& list_;
    ErrorReport& report_;
};

}  // namespace quendrel
