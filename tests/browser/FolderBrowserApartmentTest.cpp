// The COM apartment around a browse: the new-style dialog runs in a single-threaded one,
// and the caller's thread is left as it was found.
#include "BrowseDialogDriver.h"
#include "TestParentWindow.h"

#include <gtest/gtest.h>

namespace
{

struct ApartmentCase
{
    const char* pszName;
    DWORD dwCallerInit; // COINIT_* the caller set up, or ~0 for none
    const char* pszDuringBrowse;
    const char* pszAfterBrowse;
};

const DWORD kNoApartment = ~0u;

std::ostream& operator<<(std::ostream& os, const ApartmentCase& c)
{
    return os << c.pszName;
}

class FolderBrowserApartmentTest : public ::testing::TestWithParam<ApartmentCase>
{
};

TEST_P(FolderBrowserApartmentTest, BrowseLeavesTheCallersApartmentAsItWas)
{
    const ApartmentCase& c = GetParam();
    ASSERT_EQ("none", CurrentApartment());
    if (c.dwCallerInit != kNoApartment)
    {
        ASSERT_EQ(S_OK, ::CoInitializeEx(nullptr, c.dwCallerInit));
    }

    std::string strDuringBrowse;
    {
        CTestParentWindow parent;
        CRecordingFolderBrowser browser(&parent, BIF_RETURNONLYFSDIRS);
        CBrowseDialogDriver driver(browser, [](CBrowseDialogDriver& d) { return d.Click(IDCANCEL); });
        BOOL bResult = browser.Browse("Please choose a folder.", nullptr, nullptr);
        driver.Finish();
        ASSERT_EQ("", driver.Errors());
        EXPECT_FALSE(bResult);
        strDuringBrowse = browser.ApartmentAtInit();
    }
    EXPECT_EQ(c.pszDuringBrowse, strDuringBrowse);
    // Only now: Wine's input-method support puts a thread with a live window into a
    // single-threaded apartment of its own, until the window is gone.
    EXPECT_EQ(c.pszAfterBrowse, CurrentApartment());

    // The caller's own initialisation is the only one left to undo.
    if (c.dwCallerInit != kNoApartment)
        ::CoUninitialize();
    EXPECT_EQ("none", CurrentApartment());
}

const ApartmentCase kApartmentCases[] = {
    { "CallerWithoutApartment", kNoApartment, "STA", "none" },
    { "CallerInSingleThreadedApartment", COINIT_APARTMENTTHREADED, "STA", "STA" },
    { "CallerInMultiThreadedApartment", COINIT_MULTITHREADED, "MTA", "MTA" },
};

INSTANTIATE_TEST_SUITE_P(Callers, FolderBrowserApartmentTest, ::testing::ValuesIn(kApartmentCases),
                         [](const ::testing::TestParamInfo<ApartmentCase>& info) {
                             return std::string(info.param.pszName);
                         });

} // namespace
