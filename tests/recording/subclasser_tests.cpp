// The message hook of the notification object: its lists, the order of the handler's calls,
// and the reports of its faults.
#include "recording/hook_error_report.h"
#include "recording/notification_window.h"
#include "recording/subclasser.h"

#include "../support/tools.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

namespace {

struct Report {
    QString title;
    QString message;
};

class SubclasserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setHookErrorPresenter([this](const QString &title, const QString &message) {
            reports.push_back({title, message});
        });
    }
    void TearDown() override { setHookErrorPresenter({}); }

    std::vector<Report> reports;
    Subclasser subclasser{QStringLiteral("WaveInRecorder")};
};

} // namespace

TEST_F(SubclasserTest, AddingAMessageTwiceKeepsOneEntry)
{
    MessageList list;
    subclasser.zAddMsg(0x3C0, list);
    subclasser.zAddMsg(0x3C0, list);
    EXPECT_EQ(list.count, 1);
    EXPECT_TRUE(list.matches(0x3C0));
    EXPECT_FALSE(list.matches(0x3C1));
    EXPECT_TRUE(reports.empty());
}

TEST_F(SubclasserTest, ThirtyThirdMessageReportsTheOverflowAndChangesNothing)
{
    MessageList list;
    for (int m = 1; m <= MSG_ENTRIES; ++m)
        subclasser.zAddMsg(0x400 + m, list);
    ASSERT_EQ(list.count, 32);
    const MessageList before = list;
    subclasser.zAddMsg(0x500, list);
    EXPECT_EQ(list.count, 32);
    EXPECT_EQ(list.entries, before.entries);
    EXPECT_FALSE(list.matches(0x500));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].title, "Error in WaveInRecorder.zAddMsg");
    EXPECT_EQ(reports[0].message,
              "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
              "ALL_MESSAGES instead of specific message values.");
}

TEST_F(SubclasserTest, DeletedEntriesAreReusedAndUnknownOnesReported)
{
    MessageList list;
    subclasser.zAddMsg(1, list);
    subclasser.zAddMsg(2, list);
    subclasser.zDelMsg(1, list);
    EXPECT_FALSE(list.matches(1));
    subclasser.zAddMsg(3, list); // takes the emptied entry
    EXPECT_EQ(list.count, 2);
    EXPECT_TRUE(list.matches(3));
    subclasser.zDelMsg(0x3C0, list);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].title, "Error in WaveInRecorder.zDelMsg");
    EXPECT_EQ(reports[0].message, "Message &H3C0 not found in table.");
    subclasser.zAddMsg(ALL_MESSAGES, list);
    EXPECT_TRUE(list.matches(12345));
    subclasser.zDelMsg(ALL_MESSAGES, list);
    EXPECT_EQ(list.count, 0);
}

TEST_F(SubclasserTest, FaultsOfInstallAndRemovalAreReported)
{
    subclasser.sc_UnSubclass(nullptr);
    EXPECT_FALSE(subclasser.sc_Subclass(nullptr, [](auto...) {}));
    NotificationWindow window;
    EXPECT_FALSE(subclasser.sc_Subclass(&window, {}));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].title, "Error in WaveInRecorder.sc_UnSubclass");
    EXPECT_EQ(reports[0].message, "Window handle isn't subclassed.");
    EXPECT_EQ(reports[1].message, "Invalid window handle.");
    EXPECT_EQ(reports[2].title, "Error in WaveInRecorder.sc_Subclass");
    EXPECT_EQ(reports[2].message, "Callback method not found.");

    Subclasser fresh(QStringLiteral("WaveInRecorder"));
    fresh.sc_AddMsg(&window, 0x3C0);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[3].title, "Error in WaveInRecorder.zMap_hWnd");
    EXPECT_EQ(reports[3].message, "Subclassing hasn't been started.");
}

TEST_F(SubclasserTest, HandlerRunsBeforeAndAfterAsListedUntilUnsubclassed)
{
    NotificationWindow window;
    std::vector<std::pair<bool, int>> calls;
    bool swallow = false;
    ASSERT_TRUE(subclasser.sc_Subclass(&window, [&](bool before, bool &handled, long &, NotificationWindow *hWnd,
                                                    int msg, quintptr, quintptr lParam, long user) {
        EXPECT_EQ(hWnd, &window);
        EXPECT_EQ(user, 0);
        EXPECT_EQ(lParam, 77u);
        calls.emplace_back(before, msg);
        if (before && swallow)
            handled = true;
    }));
    subclasser.sc_AddMsg(&window, 0x3C0, MSG_AFTER);
    subclasser.sc_AddMsg(&window, 0x3C1, MSG_BEFORE_AND_AFTER);

    window.postMessage(0x3C0, 0, 77);
    window.postMessage(0x3C1, 0, 77);
    window.postMessage(0x3C2, 0, 77); // listed nowhere
    ASSERT_TRUE(waitUntil([&] { return calls.size() >= 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<std::pair<bool, int>>{{false, 0x3C0}, {true, 0x3C1}, {false, 0x3C1}}));

    calls.clear();
    swallow = true; // handled before: the object's processing and the after call are skipped
    window.postMessage(0x3C1, 0, 77);
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<std::pair<bool, int>>{{true, 0x3C1}}));

    calls.clear();
    subclasser.sc_UnSubclass(&window);
    window.postMessage(0x3C0, 0, 77);
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(window.hook(), nullptr);
    EXPECT_TRUE(reports.empty());
}
