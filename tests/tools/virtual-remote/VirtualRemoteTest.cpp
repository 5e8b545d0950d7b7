// The virtual remote's window with Qt's offscreen platform, on a card state file in a
// temporary folder that VELORA_CARD names, as the program finds it. The test looks at the
// card through its own mapping, as velora-card or the remote daemon would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "hw/IrCodes.h"
#include "remote/RemoteKeys.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tools/virtual-remote/RemoteCard.h"
#include "tools/virtual-remote/RemoteLayout.h"
#include "tools/virtual-remote/ui/RemoteWindow.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace velora::vremote::ui {
namespace {

using namespace std::chrono_literals;
using virtualcard::CardStateFile;
using virtualcard::VirtualChip;

// Tuner words for the I2C register: address 0xC0, a divider, three-byte write.
constexpr std::uint32_t tunerWord(std::uint32_t divider)
{
    return bt::i2cWriteWord(0xC0, divider);
}

class VirtualRemoteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_card.valid());
        m_path = m_card.path();
        setenv("VELORA_CARD", m_path.c_str(), 1);
    }

    // The test's own view of the card; opened on first use.
    VirtualChip& chip() { return m_card.chip(); }
    std::uint32_t gpio() { return chip().readRegister(bt::GPIO_DATA); }

    static QPushButton* key(RemoteWindow& window, const char* name)
    {
        auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }

    test::TestCard m_card;
    std::string m_path;
};

TEST_F(VirtualRemoteTest, ShowsEveryKeyAndClickingPutsItsCodeOnTheCard)
{
    RemoteCard card(CardStateFile::defaultPath());
    RemoteWindow window(card);
    window.show();

    const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), remote::kRemoteKeyCount);
    std::set<QString> names;
    for (QPushButton* button : buttons) {
        names.insert(button->text());
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << button->text().toStdString();
    }
    for (const char* name : remote::KeyNameTable) {
        EXPECT_EQ(names.count(QString::fromLatin1(name)), 1u) << name;
    }

    // An armed receiver: the other 24 bits of GPIO_DATA must survive every press.
    chip().writeRegister(bt::GPIO_DATA, 0x00ABCDFF);
    for (const IrCode& row : IrCodeTable) {
        QTest::mouseClick(key(window, remote::KeyNameTable[row.key]), Qt::LeftButton);
        card.waitIdle();
        EXPECT_EQ(gpio(), 0x00ABCD00u | row.code) << row.logName;
        EXPECT_EQ(chip().lastRemoteKey(), row.code) << row.logName;
    }
    EXPECT_EQ(QApplication::focusWidget(), nullptr);

    // Power is shown but sends nothing: the receiver never reports it.
    QPushButton* power = key(window, "Power");
    EXPECT_FALSE(power->isEnabled());
    EXPECT_TRUE(power->toolTip().contains(QStringLiteral("sends nothing")));
    const std::uint32_t before = gpio();
    QTest::mouseClick(power, Qt::LeftButton);
    EXPECT_FALSE(card.press(remote::keys::Power));
    card.waitIdle();
    EXPECT_EQ(gpio(), before);
    EXPECT_EQ(chip().lastRemoteKey(), 0x18); // AVSource, the last of the table
}

TEST_F(VirtualRemoteTest, KeysAreGroupedAndTheirColourTellsTheGroup)
{
    RemoteCard card(CardStateFile::defaultPath());
    RemoteWindow window(card);
    window.show();
    std::map<KeyGroup, std::set<QRgb>> faces;
    for (const KeyPlacement& place : remoteLayout()) {
        QPushButton* button = key(window, remote::KeyNameTable[place.key]);
        faces[place.group].insert(button->grab().toImage().pixel(6, button->height() / 2));
    }
    // One face colour per group, a different one for each.
    std::set<QRgb> all;
    for (const auto& [which, colours] : faces) {
        EXPECT_EQ(colours.size(), 1u) << static_cast<int>(which);
        all.insert(colours.begin(), colours.end());
    }
    EXPECT_EQ(faces.size(), 4u);
    EXPECT_EQ(all.size(), 4u);
    // The blocks follow one another down the remote, with a gap between two.
    const QPushButton* channelDown = key(window, "ChannelDown");
    const QPushButton* one = key(window, "1");
    EXPECT_GT(one->geometry().top() - channelDown->geometry().bottom(),
              key(window, "4")->geometry().top() - one->geometry().bottom());
    EXPECT_GT(window.height(), window.width());
}

TEST_F(VirtualRemoteTest, RepeatedKeyPassesThroughZeroWithoutHoldingTheWindow)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::mutex mutex;
    std::vector<std::uint32_t> seenDuringPause;
    std::vector<std::chrono::milliseconds> pauses;
    bool pauseTimedOut = false;
    // The press thread's pause: notes what the card shows meanwhile and holds until the
    // test lets it go, which it does only once the click has returned to the window.
    RemoteCard card(CardStateFile::defaultPath(), [&](std::chrono::milliseconds pause) {
        const std::uint32_t shown = gpio();
        const bool timedOut = released.wait_for(5s) != std::future_status::ready;
        std::lock_guard lock(mutex);
        seenDuringPause.push_back(shown & 0xFF);
        pauses.push_back(pause);
        pauseTimedOut = pauseTimedOut || timedOut;
    });
    RemoteWindow window(card);
    window.show();
    QPushButton* down = key(window, "Down");

    QTest::mouseClick(down, Qt::LeftButton);
    card.waitIdle();
    EXPECT_EQ(gpio() & 0xFF, 0x98u);

    QTest::mouseClick(down, Qt::LeftButton);
    window.refreshStatus(); // the window goes on while the press pauses
    release.set_value();
    card.waitIdle();

    // Presses keep their order: a third Down pauses again, Enter follows it.
    QTest::mouseClick(down, Qt::LeftButton);
    QTest::mouseClick(key(window, "Enter"), Qt::LeftButton);
    card.waitIdle();

    std::lock_guard lock(mutex);
    EXPECT_FALSE(pauseTimedOut) << "the click waited for the pause";
    EXPECT_EQ(seenDuringPause, (std::vector<std::uint32_t>{0x00, 0x00}));
    EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{30ms, 30ms}));
    EXPECT_EQ(gpio() & 0xFF, 0x08u);
}

TEST_F(VirtualRemoteTest, StatusLineFollowsTheCard)
{
    RemoteCard card(CardStateFile::defaultPath());
    RemoteWindow window(card);
    window.show();
    auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    auto shown = [&] {
        window.refreshStatus();
        return status->text().toStdString();
    };
    EXPECT_EQ(shown(), "tuner idle, no signal, no key yet");

    chip().writeRegister(bt::I2C, tunerWord(1506)); // 55.225 MHz, by a station
    EXPECT_EQ(shown(), "55.225 MHz, locked, no key yet");

    // A key pressed by another program shows too, and the timer picks it up unasked.
    chip().pressKey(0x98);
    for (int i = 0; i < 100 && status->text().toStdString() != "55.225 MHz, locked, last key 0x98 Down"; ++i) {
        QTest::qWait(20);
    }
    EXPECT_EQ(status->text().toStdString(), "55.225 MHz, locked, last key 0x98 Down");

    chip().setSignalMode(virtualcard::SignalMode::Off);
    chip().writeRegister(bt::I2C, tunerWord(1507));
    chip().pressKey(0x07);
    EXPECT_EQ(shown(), "55.2875 MHz, no signal, last key 0x07 (not a key)");

    chip().setSignalMode(virtualcard::SignalMode::Auto);
    chip().writeRegister(bt::I2C, tunerWord(0x1F40)); // 461.1 MHz, between stations
    QTest::mouseClick(key(window, "Mute"), Qt::LeftButton);
    card.waitIdle();
    EXPECT_EQ(shown(), "461.100 MHz, no signal, last key 0xD8 Mute");
}

TEST_F(VirtualRemoteTest, UnusableStateFileIsReportedAndTriedAgain)
{
    // A folder where the state file belongs: the card cannot be used until it is gone.
    std::filesystem::create_directory(m_path);
    RemoteCard card(CardStateFile::defaultPath());
    RemoteWindow window(card);
    window.show();
    auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("no card: cannot use"))) << status->text().toStdString();
    EXPECT_TRUE(status->toolTip().contains(QString::fromStdString(m_path))) << status->toolTip().toStdString();
    QTest::mouseClick(key(window, "Down"), Qt::LeftButton);
    EXPECT_FALSE(card.press(remote::keys::Down));

    std::filesystem::remove(m_path);
    window.refreshStatus();
    EXPECT_EQ(status->text().toStdString(), "tuner idle, no signal, no key yet");
    QTest::mouseClick(key(window, "Down"), Qt::LeftButton);
    card.waitIdle();
    EXPECT_EQ(gpio() & 0xFF, 0x98u);
}

} // namespace
} // namespace velora::vremote::ui
