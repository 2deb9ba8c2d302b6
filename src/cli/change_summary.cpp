#include "cli/change_summary.h"

#include <memory>

#include "store/files.h"
#include "store/host.h"
#include "store/session.h"

namespace kbcfg::cli {

namespace layout = store::layout;

std::optional<ImageCounts> countFile(const std::filesystem::path& file) {
    // Reading the file back for the counts says nothing: the command has shown its messages.
    store::SilentHost host;
    store::SessionState session;
    store::setConfigPaths(session, file);
    auto image = std::make_unique<store::ConfigImage>();
    if (store::loadImage(host, session, *image) != 0) return std::nullopt;
    return store::countImage(*image);
}

}  // namespace kbcfg::cli
