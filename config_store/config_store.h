#pragma once

#include <cstdint>
#include <string>

// The configuration store: sections of named keys with text values, kept in a
// UTF-8 text file a person can read and edit (format: config_store/README.md).
//
// Texts are UTF-8 C strings. Section and key names compare without regard to ASCII
// letter case; enumeration spells them as first written and keeps the order in which
// they were first written. Values round-trip exactly (NUL aside, which C strings
// cannot hold).
//
// Threads: the table of open stores is shared and guarded, so different handles may
// be used on different threads at once; one handle is used by one thread at a time.
// Two handles on the same file are independent copies: each one that changed
// something writes its whole content when closed, so the last close wins.

// A store handle: 0 on failure, otherwise at least 16 and distinct from every other
// handle this process has opened.
using CfgHandle = std::uint32_t;

// An opaque place in an enumeration of sections or of a section's keys. Null means
// none, or past the last entry. A position stays harmless after changes to the store
// (the call then yields the entry now at that place, or none), but an enumeration
// that erases entries as it goes may skip the entry after each erased one.
struct CfgPositionMark;
using CfgPosition = const CfgPositionMark*;

// Opens the store kept at `path` (relative to the current folder when relative) and
// reads it whole. A missing file opens as an empty store; the file is created when a
// changed store is closed. `options` is reserved: pass "" (it is not read). Returns
// 0 when `path` is null or empty, or names something that cannot be read as a file
// (a folder, a device, no permission, larger than 64 MiB).
CfgHandle cfgOpenFile(const char* path, const char* options);

// Frees the handle. When anything changed since the open, the file is first replaced
// atomically with the new content. True when the handle was open and the content is
// safely in the file (or nothing changed). False for an unknown handle or a failed
// save: the old file then stays as it was (or, after "cannot flush folder", the new
// content is in place but may not survive a power loss); the handle is freed either
// way, and `failure`, when given, receives the reason.
bool cfgClose(CfgHandle handle, std::string* failure = nullptr);

// The key's value read as an integer (leading white space, optional sign, decimal
// digits up to the first other character; no digits give 0; clamped to the 32-bit
// range), or `defaultValue` when the handle, section or key is unknown.
std::int32_t cfgGetValue(CfgHandle handle, const char* section, const char* key,
                         std::int32_t defaultValue);

// The key's value, or `defaultValue` itself when the handle, section or key is
// unknown (so a null default tells a missing key from an empty value). The store owns
// the text; it stays valid until the next call on this handle.
const char* cfgGetValue(CfgHandle handle, const char* section, const char* key,
                        const char* defaultValue);

// Stores a text value, creating the section and the key (at the end) as needed; an
// existing name keeps its first spelling. `reserved` is not read. False for an
// unknown handle or a null argument.
bool cfgSetValue(CfgHandle handle, const char* section, const char* key, const char* value,
                 int reserved = 0);

// Stores an integer as decimal text; the integer cfgGetValue reads it back.
bool cfgSetValue(CfgHandle handle, const char* section, const char* key, std::int32_t value);

// Removes the key. True when the key is not in the store afterwards, whether or not
// it was there; false for an unknown handle or a null argument.
bool cfgEraseKey(CfgHandle handle, const char* section, const char* key);

// Removes the section with all its keys; results as cfgEraseKey.
bool cfgEraseSection(CfgHandle handle, const char* section);

// Position of the first section; null when there is none.
CfgPosition cfgFindFirstSectionPosition(CfgHandle handle);

// The name of the section at `position`, which moves on (null after the last).
// Null, with `position` set to null, when there is no section there. The name stays
// valid until the next call on this handle.
const char* cfgFindNextSection(CfgHandle handle, CfgPosition& position);

// Position of the section's first key; null when the section is missing or empty.
CfgPosition cfgFindFistKeyPosition(CfgHandle handle, const char* section);

// Copies the name and value of the key at `position` of `section` into `key` and
// `value`, `number` receives the value read as cfgGetValue reads integers, and
// `position` moves on (null after the last). False, with `position` set to null and
// the outputs untouched, when there is no key there.
bool cfgFindNextKey(CfgHandle handle, const char* section, CfgPosition& position, std::string& key,
                    std::string& value, int& number);
