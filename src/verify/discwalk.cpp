#include "verify/discwalk.h"

#include <memory>
#include <vector>

#include "platform/paths.h"

namespace mellowby::verify {

namespace {

struct Folder {
    std::string below;
    std::string path;
    std::unique_ptr<platform::IDirectory> handle;
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
};

} // namespace

bool walkDisc(platform::IDirectoryLister& lister, const std::string& root, const DiscVisitor& visit)
{
    auto opened = lister.open(root);
    if (!opened)
        return false;
    std::vector<Folder> stack;
    stack.push_back({ "", root, std::move(*opened), {}, 0 });
    if (!stack.back().handle->list(stack.back().entries) && stack.back().entries.empty())
        return false;
    while (!stack.empty()) {
        Folder& folder = stack.back();
        if (folder.next == folder.entries.size()) {
            stack.pop_back();
            continue;
        }
        const platform::DirEntry& entry = folder.entries[folder.next++];
        std::string below = folder.below + "/" + entry.name;
        std::string path = platform::joinPath(folder.path, entry.name);
        if (!entry.isDirectory) {
            if (!visit(below, path, entry))
                return true;
            continue;
        }
        auto child = folder.handle->openChild(entry.name);
        if (!child)
            continue;
        Folder inner { std::move(below), std::move(path), std::move(*child), {}, 0 };
        // A listing that breaks off keeps what was read: the rest count as gone.
        (void)inner.handle->list(inner.entries);
        stack.push_back(std::move(inner));
    }
    return true;
}

} // namespace mellowby::verify
