#include "socket_library.h"

namespace update {
namespace {

class PosixSocketLibrary : public SocketLibrary {
public:
    bool startup(SocketLibraryVersion requested, SocketLibraryVersion& obtained) override {
        obtained = requested;
        return true;
    }
    void cleanup() override {}
};

} // namespace

SocketLibrary& systemSocketLibrary() {
    static PosixSocketLibrary library;
    return library;
}

} // namespace update
