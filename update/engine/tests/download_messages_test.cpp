// The texts of the two network error messages.
#include "update/engine/download_messages.h"

#include <vector>

#include <gtest/gtest.h>

#include "update/engine/tests/recording_presenter.h"

namespace {

using update::testing::error;
using update::testing::RecordingPresenter;
using update::testing::ShownMessage;

TEST(DownloadMessages, OpenUrlShowsTheTextOrElseTheCode) {
    RecordingPresenter presenter;
    update::ReportOpenUrlError(7, "http://h/a.zip", "Failed to connect");
    update::ReportOpenUrlError(7, "http://h/a.zip", "");
    EXPECT_EQ(presenter.shown(),
              (std::vector<ShownMessage>{
                  error("InternetOpenUrl 错误.\n网址:http://h/a.zip.\n错误信息:Failed to connect."),
                  error("InternetOpenUrl 错误.\n网址:http://h/a.zip.\n错误号:7.")}));
}

TEST(DownloadMessages, ReadFileShowsTheTextOrElseTheCode) {
    RecordingPresenter presenter;
    update::ReportReadFileError(18, "transfer closed");
    update::ReportReadFileError(18, "");
    EXPECT_EQ(presenter.shown(), (std::vector<ShownMessage>{
                                     error("InternetReadFile 错误.\n 错误信息:transfer closed."),
                                     error("InternetReadFile 错误.\n 错误号:18.")}));
}

} // namespace
