#pragma once

namespace update {

struct SocketLibraryVersion {
    int major = 0;
    int minor = 0;
    friend bool operator==(const SocketLibraryVersion&, const SocketLibraryVersion&) = default;
};

// Starting the platform's socket library before the first socket is made. The
// lobby link asks for a version and refuses to work with any other; a test puts a
// failing library in its place.
class SocketLibrary {
public:
    virtual ~SocketLibrary() = default;
    // False when the library cannot be started. Otherwise true, with the version
    // the library offers in `obtained`.
    virtual bool startup(SocketLibraryVersion requested, SocketLibraryVersion& obtained) = 0;
    // Undoes one successful startup.
    virtual void cleanup() = 0;
};

// The sockets of this system: they need no start, so the version asked for is the
// version obtained.
SocketLibrary& systemSocketLibrary();

} // namespace update
