#include "crash_sender/mail/mail_message.h"

#include <string>

#include <gtest/gtest.h>

#include "crash_sender/mail/base64.h"

namespace crash_mail {
namespace {

struct TextCase {
    const char* name;
    std::string in;
    std::string out;
};

TEST(MailMessage, PreparedBodyHasCrLfLinesAndStarsForLoneDots) {
    const TextCase cases[] = {
        {"empty", "", ""},
        {"line feeds get CR", "a\nb\n", "a\r\nb\r\n"},
        {"Windows line breaks keep one CR", "a\r\nb", "a\r\nb"},
        {"mixed", "a\r\nb\nc", "a\r\nb\r\nc"},
        {"only a dot", ".", "*"},
        {"dot lines first, middle, last and in a row", ".\n.\nx\n.\r\n.", "*\r\n*\r\nx\r\n*\r\n*"},
        {"a line starting with a dot stays", ".hidden\n..", ".hidden\r\n.."},
        {"a dot after text stays", "end.\n.", "end.\r\n*"},
        {"Chinese", "程序崩溃\n请修复", "程序崩溃\r\n请修复"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(prepareBody(c.in), c.out);
    }
}

const std::string kBoundaryLine = "--KkK170891tpbkKk__FV_KKKkkkjjwq\r\n";

TEST(MailMessage, TextPartDoublesLeadingDots) {
    const TextCase cases[] = {
        {"empty body is one empty line", "", "\r\n"},
        {"plain", "a\r\nb", "a\r\nb\r\n"},
        {"leading dots doubled", ".hidden\r\n*\r\n..x", "..hidden\r\n*\r\n...x\r\n"},
        {"trailing line break", "a\r\n", "a\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(textPartUnit(c.in),
                  kBoundaryLine + "Content-Type: text/plain; charset=UTF-8\r\n\r\n" + c.out);
    }
}

TEST(MailMessage, TextPartWithAnOverlongLineIsBase64) {
    const std::string longLine(999, 'x');
    const std::string body = ".short\r\n" + longLine;
    const std::string unit = textPartUnit(body);
    const std::string head = kBoundaryLine + "Content-Type: text/plain; charset=UTF-8\r\n"
                                             "Content-Transfer-Encoding: base64\r\n\r\n";
    ASSERT_TRUE(unit.starts_with(head));
    std::string joined;
    for (std::size_t start = head.size(); start < unit.size();) {
        const auto end = unit.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 76U);
        joined += unit.substr(start, end - start);
        start = end + 2;
    }
    // The same content as the plain part would have: the text and a line end.
    const std::string content = body + "\r\n";
    EXPECT_EQ(joined, Base64Encode(content.data(), content.size()));
    // 998 octets still fit, a doubled dot included.
    EXPECT_EQ(textPartUnit(std::string(998, 'y')).find("base64"), std::string::npos);
    EXPECT_EQ(textPartUnit("." + std::string(996, 'y')).find("base64"), std::string::npos);
    EXPECT_NE(textPartUnit("." + std::string(997, 'y')).find("base64"), std::string::npos);
}

TEST(MailMessage, HeaderUnitLayout) {
    MailJob job;
    job.from = "crash@example.com";
    job.to = "dev@example.com";
    job.subject = "report.dmp";
    EXPECT_EQ(headerUnit(job), "From: crash@example.com\r\n"
                               "To: dev@example.com\r\n"
                               "Subject: report.dmp\r\n"
                               "MIME-Version: 1.0\r\n"
                               "Content-Type: multipart/mixed; "
                               "boundary=KkK170891tpbkKk__FV_KKKkkkjjwq\r\n"
                               "\r\n\r\n");
    job.subject = "evil\r\n.\r\nQUIT";
    EXPECT_NE(headerUnit(job).find("Subject: evil  .  QUIT\r\n"), std::string::npos);
}

TEST(MailMessage, AttachmentHeaderAndClosing) {
    EXPECT_EQ(attachmentHeaderUnit("/tmp/crash/report 1.dmp"),
              "\r\n" + kBoundaryLine +
                  "Content-Type: application/octet-stream\r\n"
                  "Content-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; filename=\"report 1.dmp\"\r\n"
                  "\r\n");
    EXPECT_EQ(closingUnit(), "\r\n--KkK170891tpbkKk__FV_KKKkkkjjwq--");
}

TEST(MailMessage, AttachmentNameFollowsTheLastSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/crash/report.dmp", "report.dmp"},
        {"C:\\crash\\report.dmp", "report.dmp"},
        {"a/b\\c.dmp", "c.dmp"},
        {"report.dmp", "report.dmp"},
        {"/report.dmp", "report.dmp"},
        {"folder/", ""},
    };
    for (const auto& [path, name] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(attachmentName(path), name);
    }
}

TEST(MailMessage, EnvelopeAddressesGetAngleBrackets) {
    const std::pair<const char*, const char*> cases[] = {
        {"a@b.example", "<a@b.example>"},
        {"<a@b.example>", "<a@b.example>"},
        {"Crash Reporter <a@b.example>", "<a@b.example>"},
        {"", "<>"},
        {"a@b\r\nRSET", "<a@b  RSET>"},
    };
    for (const auto& [address, envelope] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(envelopeAddress(address), envelope);
    }
}

} // namespace
} // namespace crash_mail
