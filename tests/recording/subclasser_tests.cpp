// The message hook of the notification object: its lists, the order of the handler's calls,
// and the reports of its faults.
#include "recording/hook_error_report.h"
#include "recording/notification_window.h"
#include "recording/subclasser.h"

#include "../support/tools.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class SubclasserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setHookErrorPresenter([this](const QString &title, const QString &message) {
            reports.emplace_back(title, message);
        });
    }
    void TearDown() override { setHookErrorPresenter({}); }
    void expectReports(const std::vector<std::pair<QString, QString>> &expected) { EXPECT_EQ(reports, expected); }

    std::vector<std::pair<QString, QString>> reports;
    Subclasser subclasser{QStringLiteral("WaveInRecorder")};
};

} // namespace

TEST_F(SubclasserTest, ListsKeepOneEntryPerMessageUpToTheirSizeAndFaultsAreReported)
{
    MessageList list;
    subclasser.zAddMsg(1, list);
    subclasser.zAddMsg(1, list);
    EXPECT_EQ(list.count, 1);
    EXPECT_TRUE(list.matches(1));
    subclasser.zAddMsg(2, list);
    subclasser.zDelMsg(1, list);
    EXPECT_FALSE(list.matches(1));
    subclasser.zAddMsg(3, list); // takes the emptied entry
    EXPECT_EQ(list.count, 2);
    EXPECT_TRUE(list.matches(3) && list.matches(2) && !list.matches(4));
    subclasser.zDelMsg(0x3C0, list);
    subclasser.zAddMsg(ALL_MESSAGES, list);
    EXPECT_TRUE(list.matches(12345));
    subclasser.zDelMsg(ALL_MESSAGES, list);
    EXPECT_EQ(list.count, 0);

    for (int m = 1; m <= MSG_ENTRIES; ++m)
        subclasser.zAddMsg(0x400 + m, list);
    const MessageList full = list;
    subclasser.zAddMsg(0x500, list); // the 33rd changes nothing
    EXPECT_EQ(list.count, 32);
    EXPECT_EQ(list.entries, full.entries);
    EXPECT_FALSE(list.matches(0x500));

    subclasser.sc_UnSubclass(nullptr);
    EXPECT_FALSE(subclasser.sc_Subclass(nullptr, [](auto...) {}));
    NotificationWindow window;
    EXPECT_FALSE(subclasser.sc_Subclass(&window, {}));
    Subclasser(QStringLiteral("WaveInRecorder")).sc_AddMsg(&window, 0x3C0);
    expectReports({{"Error in WaveInRecorder.zDelMsg", "Message &H3C0 not found in table."},
                   {"Error in WaveInRecorder.zAddMsg",
                    "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
                    "ALL_MESSAGES instead of specific message values."},
                   {"Error in WaveInRecorder.sc_UnSubclass", "Window handle isn't subclassed."},
                   {"Error in WaveInRecorder.sc_Subclass", "Invalid window handle."},
                   {"Error in WaveInRecorder.sc_Subclass", "Callback method not found."},
                   {"Error in WaveInRecorder.zMap_hWnd", "Subclassing hasn't been started."}});
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
    // Posts the messages and returns the calls they gave.
    const auto post = [&](std::initializer_list<int> messages, std::size_t expectedCalls) {
        calls.clear();
        for (int m : messages)
            window.postMessage(m, 0, 77);
        EXPECT_TRUE(waitUntil([&] { return calls.size() >= expectedCalls; }));
        QCoreApplication::processEvents();
        return calls;
    };
    EXPECT_EQ(post({0x3C0, 0x3C1, 0x3C2}, 3), // 0x3C2 is listed nowhere
              (std::vector<std::pair<bool, int>>{{false, 0x3C0}, {true, 0x3C1}, {false, 0x3C1}}));
    swallow = true; // handled before: the object's processing and the after call are skipped
    EXPECT_EQ(post({0x3C1}, 1), (std::vector<std::pair<bool, int>>{{true, 0x3C1}}));

    subclasser.sc_UnSubclass(&window);
    EXPECT_TRUE(post({0x3C0}, 0).empty());
    EXPECT_EQ(window.hook(), nullptr);
    expectReports({});
}
