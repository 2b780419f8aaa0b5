#include "crash_sender/report_inputs.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace crash_sender {
namespace {

using Fields = std::vector<std::string>;

struct SplitCase {
    const char* tail;
    Fields fields;
};

TEST(ReportInputs, SplitCommandLine) {
    const SplitCase cases[] = {
        {"a#b#c#d#e#f#g", {"a", "b", "c", "d", "e", "f", "g"}},
        {"a#b#c#d#e#f#g#", {"a", "b", "c", "d", "e", "f", "g"}},
        {"a#b#c#d#e##g", {"a", "b", "c", "d", "e", "#g"}},
        {"#a#b", {"#a#b"}},
        {"", {}},
        {"single", {"single"}},
        {"a##", {"a", "#"}},
        {"x@y#\"C:\\my reports\\r 1.dmp\"#1", {"x@y", "\"C:\\my reports\\r 1.dmp\"", "1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        Fields fields;
        SplitCommandLine(c.tail, '#', fields);
        EXPECT_EQ(fields, c.fields);
    }
}

TEST(ReportInputs, SplitAppendsToWhatIsThere) {
    Fields fields{"old"};
    SplitCommandLine("a#b", '#', fields);
    EXPECT_EQ(fields, (Fields{"old", "a", "b"}));
}

TEST(ReportInputs, TailJoinsArgumentsWithSingleBlanks) {
    char a[] = "a#b#c:\\my";
    char b[] = "reports\\r.dmp#1#srv#u#p";
    char* arguments[] = {a, b};
    EXPECT_EQ(commandLineTail(arguments), "a#b#c:\\my reports\\r.dmp#1#srv#u#p");
    EXPECT_EQ(commandLineTail({}), "");
}

TEST(ReportInputs, DeleteFlagReadAsAtoi) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true},   {" 2", true},   {"2x", true}, {"+3", true},  {"0", false},
        {"-1", false}, {"yes", false}, {"", false},  {"x2", false}, {"99999999999", true},
    };
    for (const auto& [field, flag] : cases) {
        SCOPED_TRACE(field);
        EXPECT_EQ(deleteFlag(field), flag);
    }
}

TEST(ReportInputs, AcceptsExactlySevenFields) {
    ReportInputs inputs;
    EXPECT_TRUE(acceptCommandLine(inputs, "a#b#c#1#e#f#g"));
    EXPECT_TRUE(inputs.deleteReport);

    ReportInputs six;
    EXPECT_FALSE(acceptCommandLine(six, "a#b#c#1#e##g"));
    EXPECT_FALSE(six.deleteReport);

    ReportInputs eight;
    EXPECT_FALSE(acceptCommandLine(eight, "a#b#c#1#e#f#g#h"));
    ReportInputs empty;
    EXPECT_FALSE(acceptCommandLine(empty, ""));

    ReportInputs kept;
    EXPECT_TRUE(acceptCommandLine(kept, "a#b#c#0#e#f#g"));
    EXPECT_FALSE(kept.deleteReport);
}

struct FillCase {
    const char* name;
    const char* reportField;
    const char* description;
    const char* subject;
    const char* body;
    const char* attachment;
};

TEST(ReportInputs, FillMailJob) {
    const FillCase cases[] = {
        {"Windows path", "C:\\crash\\r 1.dmp", "它崩溃了", "r 1.dmp", "它崩溃了",
         "C:/crash/r 1.dmp"},
        {"Linux path, empty description", "/tmp/crash/r.dmp", "", "r.dmp", "r.dmp",
         "/tmp/crash/r.dmp"},
        {"no separator", "r.dmp", "", "r.dmp", "r.dmp", "r.dmp"},
        {"mixed separators", "a\\b/c.dmp", "x", "c.dmp", "x", "a/b/c.dmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportInputs inputs;
        ASSERT_TRUE(acceptCommandLine(inputs, std::string("from@x#to@y#") + c.reportField +
                                                  "# 2#smtp.example#user#pa ss"));
        EXPECT_FALSE(inputs.deleteAttachments);
        const crash_mail::MailJob job = FillMailJob(inputs, c.description);
        EXPECT_EQ(job.subject, c.subject);
        EXPECT_EQ(job.body, c.body);
        EXPECT_EQ(job.attachments, (std::set<std::string>{c.attachment}));
        EXPECT_EQ(job.from, "from@x");
        EXPECT_EQ(job.to, "to@y");
        EXPECT_EQ(job.server, "smtp.example");
        EXPECT_EQ(job.user, "user");
        EXPECT_EQ(job.password, "pa ss");
        EXPECT_EQ(job.port, crash_mail::kSmtpPort);
        EXPECT_TRUE(inputs.deleteAttachments);
    }
}

TEST(ReportInputs, FillMailJobWithoutSevenFieldsGivesNothingToSend) {
    ReportInputs inputs;
    acceptCommandLine(inputs, "a#b#c#1");
    const auto job = FillMailJob(inputs, "text");
    EXPECT_TRUE(job.attachments.empty());
    EXPECT_FALSE(inputs.deleteAttachments);
}

} // namespace
} // namespace crash_sender
