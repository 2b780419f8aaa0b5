#include "text_codec.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include <iconv.h>

namespace platform {
namespace {

// glibc's "CP936" is Windows' variant of GBK (it maps 0x80 to the euro sign).
constexpr const char* kLegacyCodePage = "CP936";
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

// One conversion descriptor per thread and direction: iconv_open costs far more
// than converting a short record, and a descriptor must not be shared by threads.
class Converter {
public:
    Converter(const char* to, const char* from)
        : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; on every invalid or unconvertible sequence appends
    // `replacement` and skips `skipLength(remaining input)` bytes (at least one).
    template <typename SkipLength>
    std::string convert(std::string_view in, std::string_view replacement, SkipLength skipLength) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.resize(in.size() * 2 + 16);
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        size_t used = 0;
        while (inLeft > 0) {
            char* outPtr = out.data() + used;
            size_t outLeft = out.size() - used;
            const size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            used = out.size() - outLeft;
            if (rc != static_cast<size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL (a sequence cut off by the end of the input).
            const size_t skip = std::min(inLeft, std::max<size_t>(1, skipLength(inPtr, inLeft)));
            inPtr += skip;
            inLeft -= skip;
            out.resize(std::max(out.size(), used + replacement.size() + 16));
            std::copy(replacement.begin(), replacement.end(), out.begin() + used);
            used += replacement.size();
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t m_cd;
};

// How many bytes to drop where UTF-8 cannot be converted: an unmappable character
// as a whole, else a lead byte with the continuation bytes that really follow it,
// up to as many as it announces, so a broken sequence gives one '?' and does not
// swallow the next valid character. Not a validity test: see utf8SequenceLengthAt.
size_t unconvertibleUtf8Length(const char* p, size_t left) {
    const auto lead = static_cast<unsigned char>(*p);
    size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    size_t n = 1;
    while (n < length && n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

} // namespace

std::string utf8FromLegacy(std::string_view legacy) {
    thread_local Converter converter("UTF-8", kLegacyCodePage);
    return converter.convert(legacy, kUtf8Replacement, [](const char*, size_t) { return 1; });
}

std::size_t utf8SequenceLengthAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    // Bounds of the second byte, which rule out overlong forms, surrogates and
    // values past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLengthAt(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string utf8FromUnknown(std::string_view text) {
    return isValidUtf8(text) ? std::string(text) : utf8FromLegacy(text);
}

std::string legacyFromUtf8(std::string_view utf8) {
    thread_local Converter converter(kLegacyCodePage, "UTF-8");
    return converter.convert(utf8, "?", unconvertibleUtf8Length);
}

} // namespace platform
