#include "http_download.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

#include <unistd.h>

#include "curl_request.h"
#include "download_messages.h"
#include "download_target.h"
#include "message_presenter.h"
#include "platform/debug_trace.h"
#include "process_state.h"
#include "request_url.h"
#include "response_headers.h"
#include "task_record.h"
#include "transfer_meter.h"

namespace update {
namespace {

enum class Reporting { Row, None };

// Writes every byte, resuming after interruptions and short writes.
bool writeAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// One transfer of a response body into a local file, driven by curl's callbacks
// on the calling thread.
class BodyTransfer {
public:
    BodyTransfer(sUpdateStruct& record, std::string localPath, Reporting reporting)
        : m_record(record)
        , m_localPath(std::move(localPath))
        , m_reporting(reporting) {}

    ~BodyTransfer() { closeFile(); }
    BodyTransfer(const BodyTransfer&) = delete;
    BodyTransfer& operator=(const BodyTransfer&) = delete;

    // Fetches the body of `request`; returns the result of the download operation.
    int run(CurlRequest& request, const std::string& szurl);

private:
    enum class Stop { None, Cancelled, LocalFileFailed, WriteFailed };

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

    // The final response has begun: opens the local file and starts the meter.
    // False when the transfer must end (m_stop tells why).
    bool beginBody();
    bool writeBody(const char* data, std::size_t length);
    bool stopRequested() const { return m_record.bCancel.load() || g_bStop.load(); }
    void traceStep(std::string_view step) const;
    void closeFile();

    sUpdateStruct& m_record;
    const std::string m_localPath;
    const Reporting m_reporting; // InternetGetFileOnly (None) traces its steps instead
    ResponseHeaders m_headers;
    bool m_begun = false;
    int m_fd = -1;
    std::optional<TransferMeter> m_meter;
    Stop m_stop = Stop::None;
    int m_errno = 0; // of a failed open or write
};

void BodyTransfer::traceStep(std::string_view step) const {
    if (m_reporting == Reporting::None) {
        platform::debugTrace("qel: int InternetGetFileOnly(...)---" + std::string(step));
    }
}

void BodyTransfer::closeFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::size_t BodyTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<BodyTransfer*>(self);
    const std::size_t length = size * count;
    if (!transfer.m_begun && transfer.m_headers.addLine(std::string_view(data, length)) &&
        !transfer.beginBody()) {
        return 0; // curl ends the transfer with CURLE_WRITE_ERROR
    }
    return length;
}

std::size_t BodyTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<BodyTransfer*>(self);
    const std::size_t length = size * count;
    return transfer.writeBody(data, length) ? length : 0;
}

bool BodyTransfer::beginBody() {
    m_begun = true;
    traceStep("InternetOpenUrl(..)");
    m_fd = openLocalFile(m_localPath);
    if (m_fd < 0) {
        m_errno = errno;
        m_stop = Stop::LocalFileFailed;
        return false;
    }
    traceStep("file.Open(..)");
    if (m_reporting == Reporting::Row) {
        m_meter.emplace(m_record, m_headers.contentLength(), monotonicMilliseconds());
        m_meter->reportSize();
    }
    if (g_bStop.load()) {
        m_stop = Stop::Cancelled;
        return false;
    }
    return true;
}

bool BodyTransfer::writeBody(const char* data, std::size_t length) {
    if (stopRequested()) {
        m_stop = Stop::Cancelled;
        return false;
    }
    if (!m_begun && !beginBody()) {
        return false;
    }
    if (m_meter) {
        m_meter->addBytes(length, monotonicMilliseconds());
    }
    if (!writeAll(m_fd, data, length)) {
        m_errno = errno;
        m_stop = Stop::WriteFailed;
        return false;
    }
    if (m_meter) {
        m_meter->reportProgress();
    }
    return true;
}

int BodyTransfer::run(CurlRequest& request, const std::string& szurl) {
    curl_easy_setopt(request.handle(), CURLOPT_HEADERFUNCTION, &BodyTransfer::onHeader);
    curl_easy_setopt(request.handle(), CURLOPT_HEADERDATA, this);
    curl_easy_setopt(request.handle(), CURLOPT_WRITEFUNCTION, &BodyTransfer::onBody);
    curl_easy_setopt(request.handle(), CURLOPT_WRITEDATA, this);
    const CURLcode result = request.perform([this] { return stopRequested(); });
    if (result == CURLE_OK && !m_begun) {
        beginBody(); // a failure sets m_stop, handled below
    }
    closeFile();
    if (m_stop == Stop::Cancelled || result == CURLE_ABORTED_BY_CALLBACK) {
        return -1; // the partial file stays: the worker removes an entry's file
    }
    if (m_stop == Stop::LocalFileFailed) {
        reportLocalFileError(m_localPath, std::strerror(m_errno));
        return -1;
    }
    if (m_stop == Stop::WriteFailed) {
        ::unlink(m_localPath.c_str());
        reportWriteFileError(m_localPath, std::strerror(m_errno));
        return -1;
    }
    if (result == CURLE_OK) {
        if (m_meter) {
            m_meter->finish();
        }
        return 0;
    }
    if (!m_begun) {
        ReportOpenUrlError(result, szurl, request.errorText());
        return -1;
    }
    ::unlink(m_localPath.c_str());
    ReportReadFileError(result, request.errorText());
    return -1;
}

int download(const std::string& szurl, const char* localName, std::string& localPath,
             sUpdateStruct* pupdateStruct, Reporting reporting) {
    const bool traceSteps = reporting == Reporting::None;
    platform::debugTrace(traceSteps ? "qel: int InternetGetFileOnly(...)"
                                    : "qel: int InternetGetFileShowOnList(...)");
    if (!pupdateStruct) {
        showError("sUpdateStruct *pupdateStruct  为 NULL.");
        return -1;
    }
    std::string path;
    switch (resolveLocalPath(localName, path)) {
    case TargetError::None:
        break;
    case TargetError::TempDirectory:
        showError("获取临时文件路径出错.");
        return -1;
    case TargetError::TempName:
        showError("获取临时文件名出错.");
        return -1;
    case TargetError::OutsideAppPath:
        reportLocalNameError(localName);
        return -1;
    }
    localPath = path;

    BodyTransfer transfer(*pupdateStruct, std::move(path), reporting);
    const bool proxied = proxyConfiguredFor(szurl);
    if (traceSteps) {
        platform::debugTrace("qel: int InternetGetFileOnly(...)---InternetGetConnectedState(..)");
        platform::debugTrace(proxied
                                 ? "qel: int InternetGetFileOnly(...)---INTERNET_CONNECTION_PROXY"
                                 : "qel: int InternetGetFileOnly(...)---!(dwFlags & "
                                   "INTERNET_CONNECTION_PROXY)");
    }
    // A new agent name for every download: the milliseconds of a monotonic clock.
    CurlRequest request(szurl,
                        "Agent" + std::to_string(static_cast<long>(monotonicMilliseconds())));
    request.setHeaders({"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"});
    if (request.status() != CURLE_OK) {
        showError("InternetOpen错误. " + std::to_string(request.status()) + ".");
        return -1;
    }
    if (traceSteps) {
        platform::debugTrace("qel: int InternetGetFileOnly(...)---InternetOpen(..)");
        platform::debugTrace("qel: szurl = " + szurl);
    }
    return transfer.run(request, szurl);
}

} // namespace

int InternetGetFileShowOnList(const std::string& szurl, const char* localName,
                              std::string& localPath, sUpdateStruct* pupdateStruct) {
    return download(szurl, localName, localPath, pupdateStruct, Reporting::Row);
}

int InternetGetFileOnly(const std::string& szurl, const char* localName, std::string& localPath,
                        sUpdateStruct* pupdateStruct) {
    return download(szurl, localName, localPath, pupdateStruct, Reporting::None);
}

} // namespace update
