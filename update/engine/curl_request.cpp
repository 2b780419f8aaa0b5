#include "curl_request.h"

#include <mutex>

#include "download_timeouts.h"
#include "request_url.h"

namespace update {
namespace {

// Bytes curl reads from the socket at a time, and hands to the body callback
// (which writes them with one write call): its maximum. With 16 KB, curl's
// default, a download over loopback took about 1.5 times the CPU time
// (bench/download.sh).
constexpr long kReceiveBufferSize = 512 * 1024;
constexpr long kMaxRedirects = 10;
// How long a transfer waits for the network before it asks whether to stop.
constexpr int kStopPollMilliseconds = 100;

CURL* newEasyHandle() {
    static std::once_flag initialised;
    // Not thread-safe in every libcurl build, so once and before the first handle.
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return curl_easy_init();
}

} // namespace

CurlRequest::CurlRequest(const std::string& url, const std::string& userAgent)
    : m_easy(newEasyHandle()) {
    if (!m_easy) {
        m_status = CURLE_FAILED_INIT;
        return;
    }
    const DownloadTimeouts timeouts = downloadTimeouts();
    set(CURLOPT_ERRORBUFFER, m_errorBuffer);
    set(CURLOPT_URL, requestUrl(url).c_str());
    set(CURLOPT_USERAGENT, userAgent.c_str());
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.stall.count()));
}

CurlRequest::~CurlRequest() {
    if (m_easy) {
        curl_easy_cleanup(m_easy);
    }
    curl_slist_free_all(m_headers);
}

void CurlRequest::setHeaders(std::initializer_list<const char*> headers) {
    for (const char* header : headers) {
        curl_slist* extended = curl_slist_append(m_headers, header);
        if (!extended) {
            m_status = CURLE_OUT_OF_MEMORY;
            return;
        }
        m_headers = extended;
    }
    set(CURLOPT_HTTPHEADER, m_headers);
}

CURLcode CurlRequest::perform(const std::function<bool()>& stopRequested) {
    if (m_status != CURLE_OK) {
        return m_status;
    }
    CURLM* multi = curl_multi_init();
    if (!multi) {
        return CURLE_OUT_OF_MEMORY;
    }
    m_errorBuffer[0] = '\0';
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    if (curl_multi_add_handle(multi, m_easy) != CURLM_OK) {
        result = CURLE_FAILED_INIT;
    } else {
        int running = 1;
        // The multi interface instead of curl_easy_perform: the latter waits up to
        // a second at a time for a silent server before a callback may stop it.
        while (!stopRequested()) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (running == 0) {
                int left = 0;
                const CURLMsg* message = curl_multi_info_read(multi, &left);
                result = message && message->msg == CURLMSG_DONE ? message->data.result
                                                                 : CURLE_FAILED_INIT;
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kStopPollMilliseconds, nullptr);
        }
        curl_multi_remove_handle(multi, m_easy);
    }
    curl_multi_cleanup(multi);
    return result;
}

} // namespace update
