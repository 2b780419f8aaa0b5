#include "archive_unpacker.h"

#include <memory>
#include <string_view>
#include <sys/stat.h>

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include "entry_guard.h"
#include "platform/debug_trace.h"
#include "platform/paths.h"
#include "platform/text_codec.h"

namespace unzip {
namespace {

constexpr size_t kReadBlockSize = 1 << 20;

// Restores the file's permissions and times, never its owner, and refuses to
// write through links or outside the folder even if our own checks missed one.
constexpr int kExtractFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM |
                              ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                              ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

// libarchive converts member names to the calling thread's locale. The process
// may run in the "C" locale, where Chinese names cannot be represented, and Linux
// file names are UTF-8: so unpack with a UTF-8 locale on this thread only.
class Utf8ThreadLocale {
public:
    Utf8ThreadLocale()
        : m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))) {
        if (m_locale) {
            m_previous = uselocale(m_locale);
        }
    }
    ~Utf8ThreadLocale() {
        if (m_locale) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    Utf8ThreadLocale(const Utf8ThreadLocale&) = delete;
    Utf8ThreadLocale& operator=(const Utf8ThreadLocale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = nullptr;
};

struct ReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReaderDeleter>;
using Writer = std::unique_ptr<archive, WriterDeleter>;

void traceFailure(std::string_view what, std::string_view name, archive* a) {
    std::string line = "unzip: ";
    line += what;
    line += ' ';
    line += name;
    if (a && archive_error_string(a)) {
        line += ": ";
        line += archive_error_string(a);
    }
    platform::debugTrace(line);
}

// A member name as the archive holds it, in UTF-8 with '/' separators. Zip tools
// of the original platform write GBK names without the UTF-8 flag, Linux tools
// write UTF-8 without it: names that are not valid UTF-8 are read as GBK.
std::string memberName(const char* raw) {
    return platform::pathFromPeer(platform::utf8FromUnknown(raw));
}

// Normalises the member's names and tells whether it may be written.
bool admitEntry(archive_entry* entry) {
    const char* rawName = archive_entry_pathname(entry);
    if (!rawName) {
        return false;
    }
    const std::string name = memberName(rawName);
    if (!isContainedPath(name)) {
        return false;
    }
    archive_entry_copy_pathname(entry, name.c_str());
    if (const char* hardlink = archive_entry_hardlink(entry)) {
        const std::string target = memberName(hardlink);
        if (!isContainedPath(target)) {
            return false;
        }
        archive_entry_copy_hardlink(entry, target.c_str());
    }
    if (archive_entry_filetype(entry) == AE_IFLNK) {
        const char* rawTarget = archive_entry_symlink(entry);
        if (!rawTarget) {
            return false;
        }
        const std::string target = memberName(rawTarget);
        if (!isContainedLinkTarget(name, target)) {
            return false;
        }
        archive_entry_copy_symlink(entry, target.c_str());
    }
    return true;
}

bool copyData(archive* reader, archive* writer, double totalBytes,
              const std::function<void(float)>& onProgress) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    while (true) {
        const int r = archive_read_data_block(reader, &block, &size, &offset);
        if (r == ARCHIVE_EOF) {
            return true;
        }
        if (r < ARCHIVE_WARN) {
            return false;
        }
        if (archive_write_data_block(writer, block, size, offset) < ARCHIVE_WARN) {
            return false;
        }
        if (totalBytes > 0) {
            onProgress(static_cast<float>(archive_filter_bytes(reader, -1) / totalBytes));
        }
    }
}

} // namespace

bool unpackArchive(const std::string& archivePath, const std::function<void(float)>& onProgress) {
    const Utf8ThreadLocale utf8Names;
    struct stat status {};
    const double totalBytes =
        ::stat(archivePath.c_str(), &status) == 0 ? static_cast<double>(status.st_size) : 0.0;

    Reader reader(archive_read_new());
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_filename(reader.get(), archivePath.c_str(), kReadBlockSize) !=
        ARCHIVE_OK) {
        traceFailure("cannot open", archivePath, reader.get());
        return false;
    }
    Writer writer(archive_write_disk_new());
    archive_write_disk_set_options(writer.get(), kExtractFlags);

    bool complete = true;
    archive_entry* entry = nullptr;
    while (true) {
        const int r = archive_read_next_header(reader.get(), &entry);
        if (r == ARCHIVE_EOF) {
            break;
        }
        if (r < ARCHIVE_WARN) {
            traceFailure("cannot read", archivePath, reader.get());
            return false;
        }
        if (!admitEntry(entry)) {
            const char* name = archive_entry_pathname(entry);
            traceFailure("refused member", name ? name : "(unnamed)", nullptr);
            complete = false;
            continue;
        }
        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN ||
            !copyData(reader.get(), writer.get(), totalBytes, onProgress) ||
            archive_write_finish_entry(writer.get()) < ARCHIVE_WARN) {
            traceFailure("cannot write", archive_entry_pathname(entry), writer.get());
            complete = false;
        }
    }
    if (archive_write_close(writer.get()) < ARCHIVE_WARN) {
        complete = false;
    }
    return complete;
}

} // namespace unzip
