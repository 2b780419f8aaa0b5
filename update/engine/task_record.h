#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace update {

class MessageTarget;

// The task record as it crosses the lobby link: 1228 bytes, little-endian
// integers, texts NUL-terminated in the legacy code page. The lobby client writes
// it and gets it back, byte 0 cleared, when the task has ended.
struct TaskWireImage {
    std::uint8_t bFlag;       // the lobby client's; cleared in the report
    std::uint8_t reserved[3]; // sent back as received
    std::int32_t nRoomID;     // identity of a task for duplicate refusal
    char g_GameName[200];
    char g_url[1000]; // the game's index file
    char g_ver[20];   // the installed version: a key of the index file
};

constexpr std::size_t kWireRecordSize = 1228;
// The image is copied to and from the wire as it lies in memory.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TaskWireImage) == kWireRecordSize);
static_assert(offsetof(TaskWireImage, nRoomID) == 4);
static_assert(offsetof(TaskWireImage, g_GameName) == 8);
static_assert(offsetof(TaskWireImage, g_url) == 208);
static_assert(offsetof(TaskWireImage, g_ver) == 1208);

// One task: the wire image followed by fields that never leave the process.
// Task threads write the progress fields while the window's timer reads them, so
// they are atomics; a record is shared (std::shared_ptr) by every thread that
// works for it and outlives all of them.
struct sUpdateStruct : TaskWireImage {
    sUpdateStruct();

    std::atomic<std::int32_t> nListIndex{0}; // its row, equal to its place in the task list
    std::atomic<double> dSpeed{0.0};         // current download speed, KB/s (1 KB = 1024 bytes)
    std::atomic<float> fProgress{0.0f};      // current download or unpacking, 0.0 to 1.0
    std::atomic<bool> bInstalling{false};    // an archive of the task is being unpacked
    std::atomic<bool> bCancel{false};        // cancellation request, polled by the task's loops
    std::atomic<std::int32_t> nState{0};     // 0 waiting, 1 running, 2 unpacked
    MessageTarget* pOwner = nullptr;         // the queue that accepted it; outlives its threads

    // The text fields in UTF-8, read up to their NUL or the end of the field,
    // whichever comes first: a record from the wire is never trusted to hold a NUL.
    std::string gameName() const;
    std::string url() const;
    std::string version() const;
};

// Stores `utf8` into a text field in the legacy code page, cut to fit with its NUL.
template <std::size_t N>
void setWireText(char (&field)[N], const std::string& utf8);
void setWireText(char* field, std::size_t fieldSize, const std::string& utf8);

template <std::size_t N>
void setWireText(char (&field)[N], const std::string& utf8) {
    setWireText(field, N, utf8);
}

} // namespace update
