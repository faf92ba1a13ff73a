#include "devicestreams.h"
#include "portlayer.h"
#include "portsetup.h"
#include "pseudoterminal.h"
#include "sending.h"
#include "tempworkdir.h"

#include <QString>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <poll.h>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

class Sending : public testing::Test
{
protected:
    void SetUp() override
    {
        m_device.LinkAs("COM1");
        m_sendBuffer.fill('\x55');
    }
    void TearDown() override { m_port.ClosePort(); }

    void OpenPortWithFlow(FlowControl flow)
    {
        ChooseLineSettings({.baudRate = 115200, .flow = flow});
        ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
    }

    // Holds the port's output the way a device does, and waits until the port has seen it: the
    // byte after XOFF becomes readable only once XOFF has been taken.
    void HoldOutput()
    {
        m_device.Send(std::string {XOFF, 'x'});
        pollfd wait = {m_port.Handle(), POLLIN, 0};
        ASSERT_EQ(poll(&wait, 1, 5000), 1);
    }

    bool Send(const std::string &text)
    {
        return SendTextInPieces(m_port, text, m_sendBuffer, m_sendLength);
    }

    CTempWorkDir m_workDir;
    CPseudoTerminal m_device;
    CSerialPort m_port;
    std::array<char, SEND_PIECE_SIZE> m_sendBuffer {};
    std::int32_t m_sendLength = -1;
};

} // namespace

TEST_F(Sending, PiecesArriveByteExact)
{
    struct Row
    {
        const char *name;
        std::string text;
        std::int32_t lastPiece;
    };
    const Row rows[] = {
        {"three letters", "abc", 3},
        {"5000 bytes: 4096 then 904", Pattern(5000), 904},
        {"4096 bytes: 4096 then a write of 0", Pattern(4096), 0},
        {"double-byte character across the piece boundary", std::string(4095, 'a') + "\x82\xa0", 1},
        {"three pieces", Pattern(3 * 4096 + 10), 10},
    };
    OpenPortWithFlow(FlowControl::None);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        // The device reads as the pieces come, so no piece waits for room in the line.
        auto received = std::async(std::launch::async,
                                   [&] { return m_device.Receive(row.text.size(), 20s); });
        ASSERT_TRUE(Send(row.text));
        EXPECT_EQ(received.get(), row.text);
        EXPECT_EQ(m_sendLength, row.lastPiece);
        const std::string lastPiece = row.text.substr(row.text.size() - row.lastPiece);
        EXPECT_EQ(std::string(m_sendBuffer.data(), row.lastPiece), lastPiece);
        EXPECT_EQ(std::string(m_sendBuffer.data() + row.lastPiece, SEND_PIECE_SIZE - row.lastPiece),
                  std::string(SEND_PIECE_SIZE - row.lastPiece, '\0'));
    }
}

TEST_F(Sending, WriteLargerThanTheLineBufferArrivesWhole)
{
    OpenPortWithFlow(FlowControl::None);
    const std::string text = Pattern(256 * 1024);
    auto received
        = std::async(std::launch::async, [&] { return m_device.Receive(text.size(), 20s); });
    EXPECT_TRUE(m_port.WritePort(text.data(), static_cast<std::int32_t>(text.size())));
    EXPECT_EQ(received.get(), text);
}

TEST_F(Sending, WriteOfNothingSucceedsOnlyOnAWorkingPort)
{
    const char nothing[1] = {};
    EXPECT_FALSE(m_port.WritePort(nothing, 0));
    OpenPortWithFlow(FlowControl::None);
    EXPECT_TRUE(m_port.WritePort(nothing, 0));
    m_device.HangUp();
    EXPECT_FALSE(m_port.WritePort(nothing, 0));
    EXPECT_FALSE(m_port.WritePort("a", 1));
}

TEST_F(Sending, WithoutPortStopsAtTheFirstPiece)
{
    EXPECT_FALSE(Send(Pattern(10000)));
    EXPECT_EQ(m_sendLength, SEND_PIECE_SIZE);
}

TEST_F(Sending, OutputHeldByXoffFailsAfterTheStallBound)
{
    OpenPortWithFlow(FlowControl::XonXoff);
    HoldOutput();
    m_port.SetWriteStallTimeout(300ms);
    const std::string text = Pattern(10000);
    const auto start = std::chrono::steady_clock::now();
    auto sent = std::async(std::launch::async, [&] { return Send(text); });
    const bool ended = sent.wait_for(3s) == std::future_status::ready;
    if (!ended)
        m_device.Send(std::string {XON});
    ASSERT_TRUE(ended) << "the shortened bound is not kept";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(sent.get());
    EXPECT_EQ(m_sendLength, SEND_PIECE_SIZE);
    EXPECT_EQ(m_device.BytesWaiting(), 0u);
}

TEST_F(Sending, OutputHeldByXoffGoesOnAfterXon)
{
    OpenPortWithFlow(FlowControl::XonXoff);
    HoldOutput();
    const std::string text = Pattern(1000);
    auto written = std::async(std::launch::async, [&] {
        return m_port.WritePort(text.data(), static_cast<std::int32_t>(text.size()));
    });
    EXPECT_EQ(written.wait_for(300ms), std::future_status::timeout);
    m_device.Send(std::string {XON});
    ASSERT_EQ(written.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(written.get());
    EXPECT_EQ(m_device.Receive(text.size(), 5s), text);
}

TEST_F(Sending, TwoPastedLinesArriveWithCrLfBetweenThem)
{
    OpenPortWithFlow(FlowControl::None);
    ASSERT_TRUE(Send(EncodeSendText("送信\nabc")));
    const std::string expected = "\x91\x97\x90\x4d\r\nabc";
    EXPECT_EQ(m_device.Receive(expected.size() + 1, 300ms), expected);
}
