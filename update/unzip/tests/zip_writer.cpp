#include "zip_writer.h"

namespace unzip_test {
namespace {

std::uint32_t crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::uint32_t unixMode(ZipMember::Kind kind) {
    switch (kind) {
    case ZipMember::Kind::File:
        return 0100644;
    case ZipMember::Kind::Directory:
        return 0040755;
    case ZipMember::Kind::Symlink:
        return 0120777;
    }
    return 0;
}

} // namespace

std::string buildZip(const std::vector<ZipMember>& members) {
    std::string out;
    std::string central;
    for (const auto& member : members) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(member.content);
        const std::uint32_t size = static_cast<std::uint32_t>(member.content.size());
        const std::uint32_t flags = member.utf8Flag ? 0x0800 : 0;
        const auto nameLength = static_cast<std::uint32_t>(member.rawName.size());

        put32(out, 0x04034b50);
        put16(out, 10); // version needed
        put16(out, flags);
        put16(out, 0); // stored
        put32(out, 0); // time and date
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, nameLength);
        put16(out, 0);
        out += member.rawName;
        out += member.content;

        put32(central, 0x02014b50);
        put16(central, (3u << 8) | 20); // made by Unix, so the mode below counts
        put16(central, 10);
        put16(central, flags);
        put16(central, 0);
        put32(central, 0);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, nameLength);
        put16(central, 0); // extra
        put16(central, 0); // comment
        put16(central, 0); // disk
        put16(central, 0); // internal attributes
        put32(central, unixMode(member.kind) << 16);
        put32(central, offset);
        central += member.rawName;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(members.size()));
    put16(out, static_cast<std::uint32_t>(members.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

} // namespace unzip_test
