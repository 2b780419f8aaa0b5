#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include <curl/curl.h>

namespace update {

// One HTTP GET through libcurl with what every request of the engine shares:
// redirects followed, HTTP and HTTPS only, certificates checked, proxies taken
// from the environment as curl does, the time-outs of downloadTimeouts(), and
// curl's description of a failure kept. The caller adds its callbacks through
// handle().
class CurlRequest {
public:
    CurlRequest(const std::string& url, const std::string& userAgent);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    // CURLE_OK when the request is ready; otherwise the code of the first step
    // that failed (CURLE_FAILED_INIT when curl gave no handle).
    CURLcode status() const { return m_status; }

    CURL* handle() const { return m_easy; }

    // Replaces curl's request headers with `headers` ("Name: value").
    void setHeaders(std::initializer_list<const char*> headers);

    // Runs the request to its end, asking `stopRequested` at least every 100 ms,
    // also while the server sends nothing. Returns curl's result, or
    // CURLE_ABORTED_BY_CALLBACK when it was stopped.
    CURLcode perform(const std::function<bool()>& stopRequested);

    // curl's description of the last failure; empty when it gave none.
    std::string errorText() const { return m_errorBuffer; }

private:
    void set(CURLoption option, auto value) {
        if (m_status == CURLE_OK) {
            m_status = curl_easy_setopt(m_easy, option, value);
        }
    }

    CURL* m_easy;
    curl_slist* m_headers = nullptr;
    CURLcode m_status = CURLE_OK;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
};

} // namespace update
