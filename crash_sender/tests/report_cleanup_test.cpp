#include "crash_sender/report_cleanup.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "python_server.h"

namespace crash_sender {
namespace {

namespace fs = std::filesystem;
using platform::testing::ScratchDirectory;
using platform::testing::writeFile;

class ReportCleanupTest : public ::testing::Test {
protected:
    // A report file in a folder of its own; `others` more files beside it.
    fs::path makeReport(int others = 0) {
        const fs::path folder = m_root.path() / "crash";
        fs::create_directories(folder);
        writeFile(folder / "report.dmp", "dump");
        for (int i = 0; i < others; ++i) {
            writeFile(folder / ("other" + std::to_string(i)), "x");
        }
        return folder / "report.dmp";
    }

    static ReportInputs accepted(const std::string& reportField, const char* flag) {
        ReportInputs inputs;
        EXPECT_TRUE(acceptCommandLine(inputs, "a@b#c@d#" + reportField + "#" + flag + "#s#u#p"));
        return inputs;
    }

    ScratchDirectory m_root;
};

TEST_F(ReportCleanupTest, DeleteReportFileRemovesFileAndEmptyFolder) {
    const auto report = makeReport();
    DeleteReportFile(accepted(report.string(), "1"));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_FALSE(fs::exists(report.parent_path()));
}

TEST_F(ReportCleanupTest, FolderWithOtherFilesStays) {
    const auto report = makeReport(2);
    DeleteReportFile(accepted(report.string(), "2x"));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_TRUE(fs::exists(report.parent_path() / "other0"));
}

TEST_F(ReportCleanupTest, FlagZeroKeepsEverything) {
    const auto report = makeReport();
    const auto inputs = accepted(report.string(), "0");
    DeleteReportFile(inputs);
    crash_mail::MailJob job;
    job.attachments = {report.string()};
    DeleteAttachments(inputs, job);
    EXPECT_TRUE(fs::exists(report));
}

TEST_F(ReportCleanupTest, PathWithBackslashesIsTranslated) {
    const auto report = makeReport();
    std::string peerPath = report.string();
    std::replace(peerPath.begin(), peerPath.end(), '/', '\\');
    DeleteReportFile(accepted(peerPath, "1"));
    EXPECT_FALSE(fs::exists(report.parent_path()));
}

TEST_F(ReportCleanupTest, RelativePathWithoutFolderRemovesNoFolder) {
    const auto report = makeReport();
    const auto previous = fs::current_path();
    fs::current_path(report.parent_path());
    DeleteReportFile(accepted("report.dmp", "1"));
    const bool fileGone = !fs::exists(report);
    const bool folderKept = fs::exists(report.parent_path());
    fs::current_path(previous);
    EXPECT_TRUE(fileGone);
    EXPECT_TRUE(folderKept);
}

TEST_F(ReportCleanupTest, DeleteAttachmentsFollowsTheFlagOfTheFilledJob) {
    const auto report = makeReport();
    auto inputs = accepted(report.string(), "1");
    const auto job = FillMailJob(inputs, "");
    ASSERT_TRUE(inputs.deleteAttachments);
    DeleteAttachments(inputs, job);
    EXPECT_FALSE(fs::exists(report.parent_path()));
    // Running again, as the report dialog's close does, fails silently.
    DeleteReportFile(inputs);
    DeleteAttachments(inputs, job);
}

TEST_F(ReportCleanupTest, NothingWithoutSevenFields) {
    const auto report = makeReport();
    ReportInputs inputs;
    acceptCommandLine(inputs, "a#b#" + report.string() + "#1");
    inputs.deleteReport = true;
    DeleteReportFile(inputs);
    EXPECT_TRUE(fs::exists(report));
}

} // namespace
} // namespace crash_sender
