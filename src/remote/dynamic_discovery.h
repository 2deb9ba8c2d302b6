#pragma once
// Discovery over libVorp.so, loaded at run time. The library takes one discovery at a time; so
// does this class, process-wide.

#include <mutex>

#include "remote/discovery.h"
#include "remote/library.h"

namespace kbcfg::remote {

class DynamicDiscovery : public Discovery {
  public:
    explicit DynamicDiscovery(Notice notice = {}, std::filesystem::path folder = libraryFolder());
    ~DynamicDiscovery() override;

    const std::string& problem() { return library_.problem(); }

    bool start(Callback onReport) override;
    void stop() override;

  private:
    static int onFound(const std::uint8_t* record, void* userData);

    SharedLibrary library_;
    Callback callback_;
    bool running_ = false;
};

}  // namespace kbcfg::remote
