#include "entry_guard.h"

namespace unzip {
namespace {

// Calls `visit` for every component of a path split at '/' or '\'; stops early
// when it returns false.
template <typename Visit>
void forEachComponent(std::string_view path, Visit visit) {
    while (true) {
        const size_t slash = path.find_first_of("/\\");
        if (!visit(path.substr(0, slash)) || slash == std::string_view::npos) {
            return;
        }
        path.remove_prefix(slash + 1);
    }
}

// Depth of a relative path below its starting folder, or -1 as soon as it climbs out.
int depthAfter(std::string_view path, int depth) {
    forEachComponent(path, [&depth](std::string_view component) {
        if (component == "..") {
            --depth;
        } else if (!component.empty() && component != ".") {
            ++depth;
        }
        return depth >= 0;
    });
    return depth;
}

bool isAbsolute(std::string_view path) {
    return !path.empty() &&
           (path.front() == '/' || path.front() == '\\' || (path.size() > 1 && path[1] == ':'));
}

} // namespace

bool isContainedPath(std::string_view path) {
    if (path.empty() || isAbsolute(path)) {
        return false;
    }
    // Any ".." is refused, even one that would climb back in: no honest archive
    // needs one, and the rule stays easy to trust.
    bool contained = true;
    forEachComponent(path, [&contained](std::string_view component) {
        contained = component != "..";
        return contained;
    });
    return contained;
}

bool isContainedLinkTarget(std::string_view linkPath, std::string_view target) {
    if (target.empty() || isAbsolute(target)) {
        return false;
    }
    // A link resolves relative to the folder that holds it.
    const size_t slash = linkPath.find_last_of("/\\");
    const int folderDepth =
        slash == std::string_view::npos ? 0 : depthAfter(linkPath.substr(0, slash), 0);
    return folderDepth >= 0 && depthAfter(target, folderDepth) >= 0;
}

} // namespace unzip
