#include "sim_records.h"

#include <algorithm>
#include <cstring>

#include "update/engine/task_record.h"

namespace lobby_sim {
namespace {

constexpr std::uint8_t kReservedPattern[3] = {0xA5, 0x5A, 0xC3};

// Replaces a field's NUL and what follows with padding (see --no-nul).
template <std::size_t N>
void fillField(char (&field)[N], bool queryMark) {
    std::size_t end = static_cast<std::size_t>(std::find(field, field + N, '\0') - field);
    if (queryMark && end < N && std::find(field, field + end, '?') == field + end) {
        field[end++] = '?';
    }
    std::fill(field + end, field + N, '_');
}

} // namespace

std::string buildRecord(const SimTask& task, std::uint8_t flag, bool noNul) {
    update::TaskWireImage image{};
    image.bFlag = flag;
    std::copy(std::begin(kReservedPattern), std::end(kReservedPattern), image.reserved);
    image.nRoomID = task.room;
    update::setWireText(image.g_GameName, task.name);
    update::setWireText(image.g_url, task.indexUrl);
    update::setWireText(image.g_ver, task.version);
    if (noNul) {
        fillField(image.g_GameName, false);
        fillField(image.g_url, true);
        fillField(image.g_ver, false);
    }
    return std::string(reinterpret_cast<const char*>(&image), update::kWireRecordSize);
}

std::string garbageBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    return bytes;
}

std::int32_t recordRoom(const std::string& record) {
    update::TaskWireImage image;
    std::memcpy(&image, record.data(), update::kWireRecordSize);
    return image.nRoomID;
}

std::string recordName(const std::string& record) {
    update::sUpdateStruct task;
    std::memcpy(static_cast<update::TaskWireImage*>(&task), record.data(), update::kWireRecordSize);
    return task.gameName();
}

} // namespace lobby_sim
