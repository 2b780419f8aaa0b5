#include "mail_message.h"

#include <algorithm>

#include "ansi_text.h"
#include "attachment_reader.h"
#include "base64.h"

namespace crash_mail {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// RFC 5321 4.5.3.1.6: 1000 octets per line including CR LF.
constexpr std::size_t kMaxLineOctets = 998;

std::string boundaryLine() {
    return "--" + std::string(kMimeBoundary) + "\r\n";
}

// Calls `visit` with every line of `text` that is separated by CR LF, without it.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    for (;;) {
        const auto end = text.find(kCrLf);
        visit(text.substr(0, end));
        if (end == std::string_view::npos) {
            return;
        }
        text.remove_prefix(end + kCrLf.size());
    }
}

std::string base64Lines(std::string_view bytes) {
    const std::string encoded = Base64Encode(bytes.data(), bytes.size());
    std::string lines;
    for (std::size_t offset = 0; offset < encoded.size(); offset += kBase64LineChars) {
        lines.append(encoded, offset, kBase64LineChars);
        lines += kCrLf;
    }
    return lines;
}

} // namespace

std::string prepareBody(std::string_view body) {
    std::string text;
    text.reserve(body.size() + body.size() / 16 + 2);
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n' && (i == 0 || body[i - 1] != '\r')) {
            text += '\r';
        }
        text += body[i];
    }
    std::string starred;
    starred.reserve(text.size());
    bool first = true;
    forEachLine(text, [&](std::string_view line) {
        if (!first) {
            starred += kCrLf;
        }
        first = false;
        starred += line == "." ? std::string_view("*") : line;
    });
    return AnsiToUtf8(starred);
}

std::string headerUnit(const MailJob& job) {
    std::string unit;
    unit += "From: " + singleLine(job.from) + "\r\n";
    unit += "To: " + singleLine(job.to) + "\r\n";
    unit += "Subject: " + singleLine(job.subject) + "\r\n";
    unit += "MIME-Version: 1.0\r\n";
    unit += "Content-Type: multipart/mixed; boundary=" + std::string(kMimeBoundary) + "\r\n";
    unit += "\r\n\r\n";
    return unit;
}

std::string textPartUnit(std::string_view preparedBody) {
    bool fitsSmtpLines = true;
    forEachLine(preparedBody, [&](std::string_view line) {
        const std::size_t sent = line.size() + (line.starts_with('.') ? 1 : 0);
        fitsSmtpLines = fitsSmtpLines && sent <= kMaxLineOctets;
    });
    std::string unit = boundaryLine() + "Content-Type: text/plain; charset=UTF-8\r\n";
    if (!fitsSmtpLines) {
        unit += "Content-Transfer-Encoding: base64\r\n\r\n";
        unit += base64Lines(std::string(preparedBody) + "\r\n");
        return unit;
    }
    unit += kCrLf;
    forEachLine(preparedBody, [&](std::string_view line) {
        if (line.starts_with('.')) {
            unit += '.';
        }
        unit += line;
        unit += kCrLf;
    });
    return unit;
}

std::string attachmentHeaderUnit(std::string_view path) {
    std::string unit = "\r\n" + boundaryLine();
    unit += "Content-Type: application/octet-stream\r\n";
    unit += "Content-Transfer-Encoding: base64\r\n";
    unit += "Content-Disposition: attachment; filename=\"" + singleLine(attachmentName(path)) +
            "\"\r\n";
    unit += "\r\n";
    return unit;
}

std::string_view closingUnit() {
    static const std::string unit = "\r\n--" + std::string(kMimeBoundary) + "--";
    return unit;
}

std::string_view attachmentName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string envelopeAddress(std::string_view address) {
    const auto open = address.find('<');
    const auto close = open == std::string_view::npos ? open : address.find('>', open);
    if (close != std::string_view::npos) {
        return singleLine(address.substr(open, close - open + 1));
    }
    return "<" + singleLine(address) + ">";
}

std::string singleLine(std::string_view text) {
    std::string line = AnsiToUtf8(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

} // namespace crash_mail
