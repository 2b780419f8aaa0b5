#include "unzip_exports.h"

#include "archive_unpacker.h"
#include "unpack_progress.h"

extern "C" {

int OnUpdateFile(const char* archivePath) {
    if (!archivePath) {
        return -1;
    }
    const std::string path(archivePath);
    unzip::setProgress(path, 0.0f);
    const bool complete =
        unzip::unpackArchive(path, [&path](float fraction) { unzip::setProgress(path, fraction); });
    unzip::setProgress(path, 1.0f);
    return complete ? 0 : -1;
}

float UnzipComplete(const char* archivePath) {
    return archivePath ? unzip::progress(archivePath) : 0.0f;
}
}
