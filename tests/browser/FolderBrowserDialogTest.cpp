// The chooser against the shell's real browse dialog, driven from a second thread.
#include "BrowseDialogDriver.h"
#include "TestFolders.h"
#include "TestParentWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace
{

const char kTitle[] = "Please choose a folder.";
const UINT kAddedFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;

// Folders a step may name; the fixture makes them.
enum class Folder
{
    None,
    A,
    B,
    DoubleByteEnd, // a name ending in a double-byte character whose trail byte is 0x5C
    DriveRoot,
    MyComputer, // no file-system path
};

enum class InitialArg
{
    Null,
    Empty,
    A,
};

enum class Answer
{
    Cancel,
    ChooseThenOK,
    OKAsOpened,
};

struct BrowseStep
{
    InitialArg initial;
    Answer answer;
    Folder chosen;
    BOOL bExpectedResult;
    Folder expectedPath;       // GetFolderPath() afterwards
    Folder expectedPreselect;  // None: the chooser preselects nothing
};

struct BrowseScenario
{
    const char* pszName;
    bool bWithParent;
    UINT nFlags;
    std::vector<BrowseStep> steps;
};

std::ostream& operator<<(std::ostream& os, const BrowseScenario& scenario)
{
    return os << scenario.pszName;
}

std::string Join(const std::vector<std::string>& events)
{
    std::string strAll;
    for (const auto& strEvent : events)
        strAll += (strAll.empty() ? "" : " | ") + strEvent;
    return strAll;
}

class FolderBrowserDialogTest : public ::testing::TestWithParam<BrowseScenario>
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_tree.Root().empty());
        m_paths[Folder::None] = "";
        m_paths[Folder::A] = m_tree.MakeFolder("folder A");
        m_paths[Folder::B] = m_tree.MakeFolder("folder-b");
        m_paths[Folder::MyComputer] = "<none>";
        ASSERT_FALSE(m_paths[Folder::A].empty());
        ASSERT_FALSE(m_paths[Folder::B].empty());
        ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &m_pidlMyComputer));

        for (const BrowseStep& step : GetParam().steps)
        {
            for (Folder folder : { step.chosen, step.expectedPath, step.expectedPreselect })
            {
                if (folder == Folder::DoubleByteEnd && m_paths.count(folder) == 0)
                {
                    if (::GetACP() != 932)
                        GTEST_SKIP() << "needs code page 932, have " << ::GetACP();
                    m_paths[folder] = m_tree.MakeFolder("data\x95\x5c"); // 表
                    ASSERT_FALSE(m_paths[folder].empty());
                    ASSERT_EQ('\x5c', m_paths[folder].back());
                }
                if (folder == Folder::DriveRoot && !m_pDrive)
                {
                    m_pDrive = std::make_unique<CTempDriveLetter>(m_tree.MakeFolder("drive root"));
                    m_paths[folder] = m_pDrive->RootPath();
                    ASSERT_FALSE(m_paths[folder].empty()) << "no drive letter could be mapped";
                }
            }
        }
        m_tree.Settle();
    }

    void TearDown() override
    {
        if (m_pidlMyComputer != nullptr)
            ::CoTaskMemFree(m_pidlMyComputer);
    }

    const char* InitialArgText(InitialArg initial)
    {
        switch (initial)
        {
        case InitialArg::Null:
            return nullptr;
        case InitialArg::Empty:
            return "";
        case InitialArg::A:
            return m_paths[Folder::A].c_str();
        }
        return nullptr;
    }

    CBrowseDialogDriver::Script ScriptFor(const BrowseStep& step, std::string& strSelectedAtOpen,
                                          const CRecordingFolderBrowser& browser)
    {
        return [this, step, &strSelectedAtOpen, &browser](CBrowseDialogDriver& driver) {
            strSelectedAtOpen = browser.LastSelection();
            switch (step.answer)
            {
            case Answer::Cancel:
                return driver.Click(IDCANCEL);
            case Answer::OKAsOpened:
                return driver.Click(IDOK);
            case Answer::ChooseThenOK:
                if (step.chosen == Folder::MyComputer)
                    return driver.SelectItem(m_pidlMyComputer, "<none>") && driver.PostCommand(IDOK);
                return driver.SelectPath(m_paths[step.chosen]) && driver.Click(IDOK);
            }
            return false;
        };
    }

    CTempFolderTree m_tree;
    std::unique_ptr<CTempDriveLetter> m_pDrive;
    std::map<Folder, std::string> m_paths;
    LPITEMIDLIST m_pidlMyComputer = nullptr;
};

TEST_P(FolderBrowserDialogTest, AnswersEachBrowse)
{
    const BrowseScenario& scenario = GetParam();
    CTestParentWindow parent;
    ASSERT_NE(nullptr, parent.m_hWnd);
    CRecordingFolderBrowser browser(scenario.bWithParent ? &parent : nullptr, scenario.nFlags);

    for (size_t nStep = 0; nStep < scenario.steps.size(); ++nStep)
    {
        const BrowseStep& step = scenario.steps[nStep];
        SCOPED_TRACE("Browse number " + std::to_string(nStep + 1));
        browser.ClearEvents();
        std::string strSelectedAtOpen;

        CBrowseDialogDriver driver(browser, ScriptFor(step, strSelectedAtOpen, browser));
        BOOL bResult = browser.Browse(kTitle, InitialArgText(step.initial), nullptr);
        driver.Finish();

        const std::vector<std::string> events = browser.Events();
        SCOPED_TRACE("events: " + Join(events));
        ASSERT_EQ("", driver.Errors());

        // The answer.
        EXPECT_EQ(step.bExpectedResult, bResult);
        EXPECT_STREQ(m_paths[step.expectedPath].c_str(), browser.GetFolderPath());

        // The dialog as the user saw it.
        EXPECT_EQ(scenario.bWithParent ? parent.m_hWnd : nullptr, driver.Owner());
        EXPECT_EQ(kTitle, driver.TitleText());

        // The browse record.
        const BROWSEINFOA& bi = browser.BrowseInfo();
        EXPECT_EQ(scenario.nFlags | kAddedFlags, bi.ulFlags);
        EXPECT_EQ(scenario.bWithParent ? parent.m_hWnd : nullptr, bi.hwndOwner);
        EXPECT_EQ(nullptr, bi.pidlRoot);
        EXPECT_EQ(nullptr, bi.pszDisplayName);
        EXPECT_EQ(kTitle, bi.lpszTitle);
        EXPECT_EQ(&BrowseCallbackProc, bi.lpfn);
        EXPECT_EQ(reinterpret_cast<LPARAM>(&browser), bi.lParam);

        // Detached again, so that the next Browse can attach.
        EXPECT_EQ(nullptr, browser.AttachedWindow());

        // The preselection.
        const std::string strPreselect = m_paths[step.expectedPreselect];
        const auto nPreselects = std::count_if(events.begin(), events.end(), [](const std::string& s) {
            return s.rfind("preselect:", 0) == 0;
        });
        if (step.expectedPreselect == Folder::None)
        {
            EXPECT_EQ(0, nPreselects);
            EXPECT_NE(m_paths[Folder::A], strSelectedAtOpen);
        }
        else
        {
            EXPECT_EQ(1, nPreselects);
            EXPECT_NE(events.end(), std::find(events.begin(), events.end(), "preselect:" + strPreselect));
            EXPECT_EQ(strPreselect, strSelectedAtOpen);
        }

        // The notifications: initialised first; OK or Cancel last, while the dialog was
        // still on the screen, i.e. before its own handling of the button.
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(0u, events.front().rfind("init", 0));
        EXPECT_EQ(step.answer == Answer::Cancel ? "cancel(visible)" : "ok(visible)", events.back());
        EXPECT_EQ(1, std::count_if(events.begin(), events.end(), [](const std::string& s) {
                      return s.rfind("ok", 0) == 0 || s.rfind("cancel", 0) == 0;
                  }));
        if (step.answer == Answer::ChooseThenOK)
        {
            auto itLastSel = std::find_if(events.rbegin(), events.rend(), [](const std::string& s) {
                return s.rfind("sel:", 0) == 0;
            });
            ASSERT_NE(events.rend(), itLastSel);
            EXPECT_EQ("sel:" + m_paths[step.chosen], *itLastSel);
        }
    }
}

const BrowseScenario kScenarios[] = {
    { "CancelOnFreshChooser", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::Cancel, Folder::None, FALSE, Folder::None, Folder::None } } },
    { "ChosenFolderComesBackAsFullPath", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None } } },
    { "FolderEndingInDoubleByteCharacter", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::DoubleByteEnd, TRUE, Folder::DoubleByteEnd,
          Folder::None } } },
    { "DriveRootKeepsItsBackslash", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::DriveRoot, TRUE, Folder::DriveRoot, Folder::None } } },
    { "WithoutParentTheDialogHasNoOwner", false, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::B, TRUE, Folder::B, Folder::None } } },
    { "CancelKeepsTheEarlierPath", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None },
        { InitialArg::Null, Answer::Cancel, Folder::None, FALSE, Folder::A, Folder::None } } },
    { "LaterPathWinsAndFlagsStay", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None },
        { InitialArg::Null, Answer::ChooseThenOK, Folder::B, TRUE, Folder::B, Folder::None } } },
    { "LaterPathWinsAndFlagsStayWithoutConstructionFlags", true, 0,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::B, TRUE, Folder::B, Folder::None },
        { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None } } },
    { "LaterPathWinsAndFlagsStayWithExtraConstructionFlag", true, BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None },
        { InitialArg::Null, Answer::ChooseThenOK, Folder::B, TRUE, Folder::B, Folder::None } } },
    { "ItemWithoutPathOnFreshChooserIsNoAnswer", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::MyComputer, FALSE, Folder::None, Folder::None } } },
    { "ItemWithoutPathKeepsTheEarlierPath", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::Null, Answer::ChooseThenOK, Folder::A, TRUE, Folder::A, Folder::None },
        { InitialArg::Null, Answer::ChooseThenOK, Folder::MyComputer, FALSE, Folder::A, Folder::None } } },
    { "InitialFolderIsSelectedWhenTheDialogOpens", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::A, Answer::OKAsOpened, Folder::None, TRUE, Folder::A, Folder::A } } },
    { "InitialFolderCanBeChangedByTheUser", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::A, Answer::ChooseThenOK, Folder::B, TRUE, Folder::B, Folder::A } } },
    { "EmptyInitialFolderClearsTheEarlierOne", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::A, Answer::Cancel, Folder::None, FALSE, Folder::None, Folder::A },
        { InitialArg::Empty, Answer::Cancel, Folder::None, FALSE, Folder::None, Folder::None } } },
    { "NullInitialFolderKeepsTheEarlierOne", true, BIF_RETURNONLYFSDIRS,
      { { InitialArg::A, Answer::Cancel, Folder::None, FALSE, Folder::None, Folder::A },
        { InitialArg::Null, Answer::OKAsOpened, Folder::None, TRUE, Folder::A, Folder::A } } },
};

INSTANTIATE_TEST_SUITE_P(Scenarios, FolderBrowserDialogTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<BrowseScenario>& info) {
                             return std::string(info.param.pszName);
                         });

} // namespace
