#include <cerrno>
#include <string_view>

#include "curl_request.h"
#include "http_download.h"
#include "response_headers.h"

namespace update {
namespace {

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* headers) {
    const std::size_t length = size * count;
    // The status is all that is asked: end the request when the final response's
    // headers are in, before its body.
    const bool final =
        static_cast<ResponseHeaders*>(headers)->addLine(std::string_view(data, length));
    return final ? 0 : length;
}

std::size_t onBody(char*, std::size_t, std::size_t, void*) {
    return 0;
}

} // namespace

bool UrlExists(const std::string& url) {
    // The platform's default agent name: the program's name.
    CurlRequest request(url, program_invocation_short_name);
    ResponseHeaders headers;
    curl_easy_setopt(request.handle(), CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(request.handle(), CURLOPT_HEADERDATA, &headers);
    curl_easy_setopt(request.handle(), CURLOPT_WRITEFUNCTION, &onBody);
    request.perform([] { return false; });
    return headers.isFinal() && headers.status() != 404;
}

} // namespace update
