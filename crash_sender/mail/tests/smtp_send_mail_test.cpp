// The SMTP dialogue against a scripted server: every failure of the dialogue with
// its status lines, the faults of the old client that are mended (EHLO before AUTH,
// whole replies, time-outs, cancellation while blocked), and what goes on the wire.
#include "crash_sender/mail/smtp_send_mail.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "smtp_dialogue.h"

namespace crash_mail::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kEnd2 = "发送数据错误: 2。";
const std::string kBroken = "出现了严重的错误。";

class SmtpSendMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_report = m_folder.path() / "report.dmp";
        m_reportBytes = binaryBytes(5000, 7);
        writeFile(m_report, m_reportBytes);
    }

    MailJob job() const {
        MailJob job;
        job.subject = "report.dmp";
        job.from = "crash@example.com";
        job.to = "dev@example.com";
        job.body = "It crashed.";
        job.server = "127.0.0.1";
        job.user = "user";
        job.password = "pass";
        job.attachments = {m_report.string()};
        job.connectTimeout = std::chrono::seconds(2);
        job.replyTimeout = std::chrono::seconds(1);
        return job;
    }

    // The lines of a successful run with authentication, in order.
    static Lines successLines(std::uint16_t port) {
        return {"开始发送邮件",
                "得到 127.0.0.1 的地址信息,端口 " + std::to_string(port),
                "连接成功。",
                "发送 HELO",
                "发送 服务器验证信息。",
                "发送发送者和接收者信息",
                "开始发送邮件标题。",
                "开始发送邮件内容。",
                "邮件附件正在传输中...",
                "[status_sendattr]",
                "发送邮件结束消息。",
                "邮件发送完成。",
                "发送数据错误: 0。",
                "发送成功。"};
    }

    // The first `count` lines of a successful run, then `tail`.
    static Lines linesOfFailure(std::uint16_t port, std::size_t count, const Lines& tail) {
        Lines lines = successLines(port);
        lines.resize(count);
        lines.insert(lines.end(), tail.begin(), tail.end());
        return lines;
    }

    SendRun send(const std::string& script, const MailJob& mailJob,
                 const CancelPoint* cancel = nullptr) {
        return sendThroughScript(m_folder.path(), script, mailJob, cancel);
    }

    // The port the last run used: the one in its second line.
    static std::uint16_t portOf(const SendRun& run) {
        if (run.lines.size() < 2) {
            return 0;
        }
        const auto& line = run.lines[1];
        return static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(' ') + 1)));
    }

    ScratchDirectory m_folder;
    std::filesystem::path m_report;
    std::string m_reportBytes;
};

// A failing exchange: the lines of a successful run up to `linesBefore`, then the
// server's reply text when there is one, the end line with 2 and the verdict.
struct FailureCase {
    const char* name;
    Stage stage;
    const char* ending; // the scripted server's part in place of the exchange
    std::size_t linesBefore;
    const char* replyLine; // nullptr: the failure posts no reply text
};

TEST_F(SmtpSendMailTest, EveryFailingExchangeEndsWithItsReplyAndResultTwo) {
    const FailureCase cases[] = {
        {"greeting refused", Stage::Greeting, "send 554 5.3.2 busy\\r\\n", 3, nullptr},
        {"greeting cut off by close", Stage::Greeting, "close", 3, nullptr},
        {"EHLO and HELO refused", Stage::Ehlo,
         "read\nsend 502 5.5.1 not implemented\\r\\n\nread\nsend 501 5.5.4 go away\\r\\n", 4,
         "501 5.5.4 go away"},
        {"EHLO answered 421: no HELO", Stage::Ehlo, "read\nsend 421 4.3.2 shutting down\\r\\n", 4,
         "421 4.3.2 shutting down"},
        {"AUTH LOGIN refused", Stage::Auth, "read\nsend 504 5.5.4 Unrecognized\\r\\n", 5,
         "504 5.5.4 Unrecognized"},
        {"user name refused", Stage::User, "read\nsend 535 5.7.8 bad user\\r\\n", 5,
         "535 5.7.8 bad user"},
        {"password refused", Stage::Password,
         "read\nsend 535 5.7.8 Authentication credentials invalid\\r\\n", 5,
         "535 5.7.8 Authentication credentials invalid"},
        {"sender refused", Stage::MailFrom, "read\nsend 550 5.1.0 sender rejected\\r\\n", 6,
         "550 5.1.0 sender rejected"},
        {"recipient refused", Stage::RcptTo, "read\nsend 550 5.1.1 no such user\\r\\n", 6,
         "550 5.1.1 no such user"},
        {"DATA refused", Stage::Data, "read\nsend 554 5.5.1 no valid recipients\\r\\n", 7,
         "554 5.5.1 no valid recipients"},
        {"message refused", Stage::EndOfData, "data\nsend 552 5.3.4 too big\\r\\n", 10,
         "552 5.3.4 too big"},
        {"QUIT refused", Stage::Quit, "read\nsend 500 5.5.2 what\\r\\n", 11, "500 5.5.2 what"},
        {"multi-line refusal shown whole", Stage::RcptTo,
         "read\nsend 550-5.1.1 no such user\\r\\n550 5.1.1 try another\\r\\n", 6,
         "550-5.1.1 no such user\r\n550 5.1.1 try another"},
        {"connection closed after a command", Stage::MailFrom, "read\nclose", 6, ""},
        {"connection closed inside a reply", Stage::MailFrom, "read\nsend 250-part\\r\\n\nclose", 6,
         "250-part"},
        {"silent after a command (time-out)", Stage::RcptTo, "read\nhang", 6, ""},
        {"silent at the end of data (time-out)", Stage::EndOfData, "data\nhang", 10, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SendRun run = send(scriptEndingAt(c.stage, c.ending), job());
        const auto port = portOf(run);
        Lines tail;
        if (c.replyLine != nullptr) {
            tail.emplace_back(c.replyLine);
        }
        tail.insert(tail.end(), {kEnd2, kBroken});
        EXPECT_EQ(run.lines, linesOfFailure(port, c.linesBefore, tail));
        EXPECT_EQ(run.result, kMailFailed);
        EXPECT_EQ(run.progress, 100);
    }
}

TEST_F(SmtpSendMailTest, SilentGreetingTimesOutAsAFailedReceive) {
    const SendRun run = send("hang", job());
    EXPECT_EQ(run.lines, linesOfFailure(portOf(run), 3,
                                        {"从 SMTP 服务器获取欢迎信息失败 (接收到的错误码: -1)。",
                                         kEnd2, kBroken}));
    EXPECT_EQ(run.result, kMailFailed);
}

TEST_F(SmtpSendMailTest, ServerThatStopsReadingDuringTheAttachmentTimesOut) {
    const auto big = m_folder.path() / "big.dmp";
    writeFile(big, binaryBytes(24 << 20, 3));
    MailJob mailJob = job();
    mailJob.attachments = {big.string()};
    const SendRun run = send(scriptEndingAt(Stage::EndOfData, "hang"), mailJob);
    // A unit that cannot be sent ends the dialogue without a line of its own.
    EXPECT_EQ(run.lines, linesOfFailure(portOf(run), 10, {kEnd2, kBroken}));
    EXPECT_EQ(run.result, kMailFailed);
}

struct VariantCase {
    const char* name;
    std::string script;
};

// Replies that the old client's single receive misread, and a server without EHLO.
TEST_F(SmtpSendMailTest, RepliesAreReadWholeHoweverTheyArrive) {
    const VariantCase cases[] = {
        {"multi-line greeting",
         conformingScript({{Stage::Greeting, "send 220-test.example ESMTP\\r\\n220 ready\\r\\n"}})},
        {"greeting split inside its code",
         conformingScript({{Stage::Greeting, "send 22\npause 150\nsend 0 ready\\r\\n"}})},
        {"EHLO reply split between its lines",
         conformingScript({{Stage::Ehlo, "read\nsend 250-test.example\\r\\n250-SIZE 0\\r\\n\n"
                                         "pause 150\nsend 250 AUTH LOGIN\\r\\n"}})},
        {"reply split before its line end",
         conformingScript(
             {{Stage::MailFrom, "read\nsend 250 2.1.0 Sender OK\npause 150\nsend \\r\\n"}})},
        {"EHLO refused, HELO accepted",
         conformingScript(
             {{Stage::Ehlo, "read\nsend 502 5.5.1 no EHLO\\r\\n\nread\nsend 250 hello\\r\\n"}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SendRun run = send(c.script, job());
        EXPECT_EQ(run.lines, successLines(portOf(run)));
        EXPECT_EQ(run.result, kMailSent);
        EXPECT_EQ(run.progress, 100);
    }
}

TEST_F(SmtpSendMailTest, GreetsWithEhloBeforeAuthAndBracketsTheAddresses) {
    const SendRun run = send(conformingScript(), job());
    ASSERT_EQ(run.result, kMailSent);
    EXPECT_TRUE(run.transcript.starts_with("EHLO CrashSender\r\n"
                                           "AUTH LOGIN\r\n"
                                           "dXNlcg==\r\n"
                                           "cGFzcw==\r\n"
                                           "MAIL FROM:<crash@example.com>\r\n"
                                           "RCPT TO:<dev@example.com>\r\n"
                                           "DATA\r\n"))
        << run.transcript.substr(0, 200);
    EXPECT_TRUE(run.transcript.ends_with("\r\n.\r\nQUIT \r\n"));
}

TEST_F(SmtpSendMailTest, HeloAfterARefusedEhloStillAuthenticates) {
    const SendRun run =
        send(conformingScript(
                 {{Stage::Ehlo, "read\nsend 500 5.5.2 unknown\\r\\n\nread\nsend 250 hi\\r\\n"}}),
             job());
    EXPECT_EQ(run.result, kMailSent);
    EXPECT_TRUE(
        run.transcript.starts_with("EHLO CrashSender\r\nHELO CrashSender\r\nAUTH LOGIN\r\n"));
}

TEST_F(SmtpSendMailTest, WithoutUserNoAuthAndProgressStopsAt100) {
    MailJob mailJob = job();
    mailJob.user.clear();
    const SendRun run = send(
        conformingScript({{Stage::Auth, ""}, {Stage::User, ""}, {Stage::Password, ""}}), mailJob);
    Lines expected = successLines(portOf(run));
    expected.erase(expected.begin() + 4); // no "发送 服务器验证信息。"
    EXPECT_EQ(run.lines, expected);
    EXPECT_EQ(run.progress, 100);
    EXPECT_TRUE(
        run.transcript.starts_with("EHLO CrashSender\r\nMAIL FROM:<crash@example.com>\r\n"));
}

// Everything between DATA and the end of data, as the server received it.
std::string dataOf(const std::string& transcript) {
    const auto start = transcript.find("DATA\r\n") + 6;
    return transcript.substr(start, transcript.find("\r\n.\r\n", start) - start);
}

TEST_F(SmtpSendMailTest, MessageKeepsSmtpLinesShortAndDotsTransparent) {
    MailJob mailJob = job();
    mailJob.body = ".hidden\n.\n..two";
    const SendRun run = send(conformingScript(), mailJob);
    ASSERT_EQ(run.result, kMailSent);
    const std::string data = dataOf(run.transcript);
    EXPECT_NE(data.find("\r\n\r\n..hidden\r\n*\r\n...two\r\n"), std::string::npos) << data;
    std::size_t longest = 0;
    for (std::size_t start = 0; start < data.size();) {
        const auto end = std::min(data.find("\r\n", start), data.size());
        longest = std::max(longest, end - start);
        start = end + 2;
    }
    EXPECT_EQ(longest, 76U); // the Base64 lines; the 5000-byte file needs many
    const auto payloadStart = data.find("\r\n\r\n", data.find("filename=")) + 4;
    const auto payloadEnd = data.find("\r\n--KkK170891tpbkKk__FV_KKKkkkjjwq--", payloadStart);
    EXPECT_EQ(base64Decode(data.substr(payloadStart, payloadEnd - payloadStart)), m_reportBytes);
    EXPECT_TRUE(data.ends_with("\r\n--KkK170891tpbkKk__FV_KKKkkkjjwq--"));
}

TEST_F(SmtpSendMailTest, FailuresBeforeTheDialogue) {
    MailJob missing = job();
    const std::string missingPath = (m_folder.path() / "gone.dmp").string();
    missing.attachments.insert(missingPath);
    EXPECT_EQ(sendJob(missing).lines,
              (Lines{"开始发送邮件", "发送的附件: " + missingPath + " 没有找到。", kBroken}));

    MailJob unresolvable = job();
    unresolvable.server = "no-such-host.invalid";
    EXPECT_EQ(sendJob(unresolvable).lines,
              (Lines{"开始发送邮件", "得到 no-such-host.invalid 的地址信息,端口 25",
                     "得到服务器信息出错！", kBroken}));

    MailJob refused = job();
    refused.port = unusedPort();
    const SendRun run = sendJob(refused);
    EXPECT_EQ(run.lines, (Lines{"开始发送邮件",
                                "得到 127.0.0.1 的地址信息,端口 " + std::to_string(refused.port),
                                kEnd2, kBroken}));
    EXPECT_EQ(run.progress, 100);
    EXPECT_EQ(run.result, kMailFailed);
}

TEST_F(SmtpSendMailTest, UnreadableAttachmentFailsAfterItsPartHeader) {
    const auto empty = m_folder.path() / "empty.dmp";
    writeFile(empty, "");
    MailJob mailJob = job();
    mailJob.attachments = {empty.string()};
    const SendRun run = send(scriptEndingAt(Stage::EndOfData, "data"), mailJob);
    EXPECT_EQ(run.lines,
              linesOfFailure(portOf(run), 10,
                             {"附件 " + empty.string() + " BASE64编码错误", kEnd2, kBroken}));
    EXPECT_NE(run.transcript.find("filename=\"empty.dmp\"\r\n\r\n"), std::string::npos);
}

TEST_F(SmtpSendMailTest, CancellationPendingBeforeTheGreetingSendsNothing) {
    const auto script = m_folder.path() / "script.txt";
    const auto transcript = m_folder.path() / "transcript.bin";
    writeFile(script, conformingScript());
    PythonServer server("scripted_smtp_server.py", {script.string(), transcript.string()});
    ASSERT_NE(server.port(), 0);
    MailJob mailJob = job();
    mailJob.port = server.port();
    SendStatus status;
    status.requestCancel();
    EXPECT_EQ(SmtpSendMail(mailJob, status), kMailFailed);
    const auto update = status.TakeStatus();
    EXPECT_EQ(update.lines,
              (Lines{"得到 127.0.0.1 的地址信息,端口 " + std::to_string(server.port()),
                     "连接成功。", kEnd2}));
    EXPECT_EQ(update.progress, 100);
    EXPECT_TRUE(server.waitExit(std::chrono::seconds(3)));
    EXPECT_EQ(readFile(transcript), "");
}

// Cancellation while the worker waits at each phase: it takes effect within a
// second, with the lines and the percentage the phase had reached.
struct CancelCase {
    const char* name;
    std::string script;
    CancelPoint point;
    std::size_t linesBefore;
    bool replyLine; // an empty reply text is shown (cancelled while waiting for it)
    int progressAtCancel;
    bool bigAttachment = false; // one that the server's stopped reading holds up
};

TEST_F(SmtpSendMailTest, CancellationTakesEffectAtEveryPhase) {
    const auto big = m_folder.path() / "big.dmp";
    writeFile(big, binaryBytes(24 << 20, 5));
    const std::chrono::milliseconds settle{300};
    const CancelCase cases[] = {
        {"waiting for the greeting", "hang", {"", "连接成功。", settle}, 3, false, 6},
        {"waiting for the EHLO reply",
         scriptEndingAt(Stage::Ehlo, "read\nhang"),
         {"EHLO CrashSender\r\n", "", settle},
         4,
         true,
         7},
        {"waiting for the AUTH reply",
         scriptEndingAt(Stage::Auth, "read\nhang"),
         {"AUTH LOGIN\r\n", "", settle},
         5,
         true,
         8},
        {"waiting for the sender's reply",
         scriptEndingAt(Stage::MailFrom, "read\nhang"),
         {"MAIL FROM:", "", settle},
         6,
         true,
         9},
        {"waiting for the DATA reply",
         scriptEndingAt(Stage::Data, "read\nhang"),
         {"DATA\r\n", "", settle},
         7,
         true,
         10},
        {"sending the attachment",
         scriptEndingAt(Stage::EndOfData, "hang"),
         {"DATA\r\n", "[status_sendattr]", settle},
         10,
         false,
         56,
         true},
        {"waiting for the end-of-data reply",
         scriptEndingAt(Stage::EndOfData, "data\nhang"),
         {"\r\n.\r\n", "", settle},
         10,
         true,
         56},
        {"waiting for the QUIT reply",
         scriptEndingAt(Stage::Quit, "read\nhang"),
         {"QUIT \r\n", "", settle},
         11,
         true,
         86},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailJob mailJob = job();
        mailJob.replyTimeout = std::chrono::seconds(20); // only the cancellation may end it
        if (c.bigAttachment) {
            mailJob.attachments = {big.string()};
        }
        const SendRun run = send(c.script, mailJob, &c.point);
        Lines tail;
        if (c.replyLine) {
            tail.emplace_back("");
        }
        tail.insert(tail.end(), {kEnd2, kBroken});
        EXPECT_EQ(run.lines, linesOfFailure(portOf(run), c.linesBefore, tail));
        EXPECT_EQ(run.progressAtCancel, c.progressAtCancel);
        EXPECT_EQ(run.result, kMailFailed);
        EXPECT_LT(run.cancelToEnd, std::chrono::seconds(1));
    }
}

} // namespace
} // namespace crash_mail::testing
