#include "crash_sender/mail/mail_worker.h"

#include <memory>

#include <gtest/gtest.h>

#include "crash_sender/mail/smtp_send_mail.h"
#include "smtp_dialogue.h"

namespace crash_mail::testing {
namespace {

// A worker that fails within moments (missing attachment) must not lose its end:
// the start was consumed by StartMailWorker, the end is a signal of its own.
TEST(MailWorker, EndIsNotLostWhenTheWorkerFinishesAtOnce) {
    ScratchDirectory folder;
    auto job = std::make_shared<MailJob>();
    job->server = "127.0.0.1";
    job->attachments = {(folder.path() / "gone.dmp").string()};
    for (int round = 0; round < 20; ++round) {
        auto status = std::make_shared<SendStatus>();
        ASSERT_EQ(StartMailWorker(job, status), kWorkerStarted);
        ASSERT_TRUE(status->waitWorkerFinishedFor(std::chrono::seconds(5)));
        EXPECT_EQ(status->result(), kMailFailed);
    }
}

TEST(MailWorker, SendReportMailFramesTheDialogue) {
    ScratchDirectory folder;
    MailJob job;
    job.server = "127.0.0.1";
    job.port = unusedPort();
    const SendRun run = sendJob(job);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.front(), "开始发送邮件");
    EXPECT_EQ(run.lines.back(), "出现了严重的错误。");
    EXPECT_EQ(run.result, kMailFailed);
}

TEST(MailWorker, SuccessEndsWithTheSuccessLine) {
    ScratchDirectory folder;
    writeFile(folder.path() / "r.dmp", "x");
    MailJob job;
    job.server = "127.0.0.1";
    job.from = "a@b";
    job.to = "c@d";
    job.attachments = {(folder.path() / "r.dmp").string()};
    const SendRun run = sendThroughScript(
        folder.path(),
        conformingScript({{Stage::Auth, ""}, {Stage::User, ""}, {Stage::Password, ""}}), job);
    ASSERT_GE(run.lines.size(), 3U);
    EXPECT_EQ(run.lines[run.lines.size() - 3], "邮件发送完成。");
    EXPECT_EQ(run.lines[run.lines.size() - 2], "发送数据错误: 0。");
    EXPECT_EQ(run.lines.back(), "发送成功。");
    EXPECT_EQ(run.result, kMailSent);
    EXPECT_EQ(run.progress, 100);
}

} // namespace
} // namespace crash_mail::testing
