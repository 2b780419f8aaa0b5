// The mail as a real SMTP server (aiosmtpd, AUTH LOGIN required) receives it and as
// a mail reader (Python's email package) reads it.
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "crash_sender/mail/smtp_send_mail.h"
#include "smtp_dialogue.h"

namespace crash_mail::testing {
namespace {

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        text += kDigits[(static_cast<unsigned char>(c) >> 4) & 0xF];
        text += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return text;
}

// The "key=value" lines that check_message.py prints for `message`.
std::map<std::string, std::string> readMessage(const std::filesystem::path& message,
                                               const std::filesystem::path& attachment) {
    const std::string command = "/usr/bin/python3 '" +
                                (scriptDirectory() / "check_message.py").string() + "' '" +
                                message.string() + "' '" + attachment.string() + "'";
    std::map<std::string, std::string> values;
    FILE* output = ::popen(command.c_str(), "r");
    if (output == nullptr) {
        return values;
    }
    char line[1 << 16];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        std::string text(line);
        if (text.ends_with('\n')) {
            text.pop_back();
        }
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            values[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    ::pclose(output);
    return values;
}

class RealServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = std::make_unique<ScratchDirectory>();
        s_server = std::make_unique<PythonServer>(
            "aiosmtpd_server.py", std::vector<std::string>{s_folder->path().string()},
            s_folder->path() / "server.log");
    }

    static void TearDownTestSuite() {
        s_server.reset();
        s_folder.reset();
    }

    void SetUp() override { ASSERT_NE(s_server->port(), 0) << "aiosmtpd did not start"; }

    MailJob job(const std::filesystem::path& attachment) const {
        MailJob job;
        job.subject = attachment.filename().string();
        job.from = "crash@example.com";
        job.to = "dev@example.com";
        job.server = "127.0.0.1";
        job.port = s_server->port();
        job.user = "user";
        job.password = "pass";
        job.attachments = {attachment.string()};
        job.replyTimeout = std::chrono::seconds(10);
        return job;
    }

    // Sends `mailJob` and reads the message the server stored for it.
    std::map<std::string, std::string> sendAndRead(const MailJob& mailJob) {
        const SendRun run = sendJob(mailJob);
        EXPECT_EQ(run.result, kMailSent);
        if (run.result != kMailSent) {
            return {};
        }
        ++s_messages;
        m_envelope =
            readFile(s_folder->path() / ("envelope-" + std::to_string(s_messages) + ".txt"));
        return readMessage(s_folder->path() / ("message-" + std::to_string(s_messages) + ".eml"),
                           *mailJob.attachments.begin());
    }

    std::filesystem::path smallReport() const {
        const auto path = m_folder.path() / "report.txt";
        writeFile(path, "crash at 0x0040ef12\n");
        return path;
    }

    static std::unique_ptr<ScratchDirectory> s_folder;
    static std::unique_ptr<PythonServer> s_server;
    static int s_messages;
    ScratchDirectory m_folder;
    std::string m_envelope;
};

std::unique_ptr<ScratchDirectory> RealServerTest::s_folder;
std::unique_ptr<PythonServer> RealServerTest::s_server;
int RealServerTest::s_messages = 0;

TEST_F(RealServerTest, ChineseTextAndBinaryReportArriveIntact) {
    const auto report = m_folder.path() / "lobby-crash-0731.dmp";
    writeFile(report, binaryBytes(3 << 20, 11));
    MailJob mailJob = job(report);
    mailJob.body = "进入房间后程序崩溃。\n重现步骤：\r\n1. 打开大厅\n2. 点击开始";
    const auto message = sendAndRead(mailJob);
    EXPECT_EQ(message.at("subject"), "lobby-crash-0731.dmp");
    EXPECT_EQ(message.at("from"), "crash@example.com");
    EXPECT_EQ(message.at("to"), "dev@example.com");
    EXPECT_EQ(message.at("multipart"), "multipart/mixed");
    EXPECT_EQ(message.at("text_charset"), "utf-8");
    EXPECT_EQ(message.at("text_hex"),
              hex("进入房间后程序崩溃。\r\n重现步骤：\r\n1. 打开大厅\r\n2. 点击开始\r\n"));
    EXPECT_EQ(message.at("filename"), "lobby-crash-0731.dmp");
    EXPECT_EQ(message.at("attachment_matches"), "yes");
    EXPECT_EQ(message.at("defects"), "0");
    EXPECT_EQ(m_envelope, "crash@example.com\ndev@example.com\n");
}

TEST_F(RealServerTest, DotLinesArriveAsTyped) {
    const std::pair<const char*, const char*> cases[] = {
        {".", "*\r\n"},
        {".hidden", ".hidden\r\n"},
        {"..\n.\n.x.", "..\r\n*\r\n.x.\r\n"},
        {"", "\r\n"},
    };
    for (const auto& [description, received] : cases) {
        SCOPED_TRACE(description);
        MailJob mailJob = job(smallReport());
        mailJob.body = description;
        const auto message = sendAndRead(mailJob);
        EXPECT_EQ(message.at("text_hex"), hex(received));
        EXPECT_EQ(message.at("attachment_matches"), "yes");
    }
}

// aiosmtpd refuses lines over 1000 octets, as RFC 5321 allows.
TEST_F(RealServerTest, DescriptionWithAVeryLongLineArrivesIntact) {
    std::string longLine;
    for (int i = 0; i < 400; ++i) {
        longLine += "崩溃";
    }
    MailJob mailJob = job(smallReport());
    mailJob.body = longLine + "\nend";
    const auto message = sendAndRead(mailJob);
    EXPECT_EQ(message.at("text_hex"), hex(longLine + "\r\nend\r\n"));
}

TEST_F(RealServerTest, WrongPasswordIsRefusedWithTheServersReply) {
    MailJob mailJob = job(smallReport());
    mailJob.password = "wrong";
    const SendRun run = sendJob(mailJob);
    ASSERT_GE(run.lines.size(), 3U);
    EXPECT_EQ(run.lines[run.lines.size() - 3], "535 5.7.8 Authentication credentials invalid");
    EXPECT_EQ(run.result, kMailFailed);
}

} // namespace
} // namespace crash_mail::testing
