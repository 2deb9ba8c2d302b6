#pragma once
// Run-time loading of the two device libraries from the tool's own folder. A library is opened on
// first use and stays loaded for the life of the process: one with a thread of its own must never
// be unloaded under it.

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dynlib.h"

namespace kbcfg::remote {

// libVyxNetSDK.so and libVorp.so on Linux, VyxNetSDK.dll and Vorp.dll on Windows.
inline const std::string kNetSdkFile = platform::libraryFileName("VyxNetSDK");
inline const std::string kVorpFile = platform::libraryFileName("Vorp");

// KBCFG_LIBDIR when set (a relative one taken from the folder the program started in), else the
// installed library folder relative to the running executable when there is one, else the
// executable's own folder. A library that a user other than this one (or root) could change is
// not loaded: problem() says which part of its path others control.
std::filesystem::path libraryFolder();

// Told once, the first time a call finds its library or one of its functions missing: a sentence
// for people naming the file and the folder.
using Notice = std::function<void(const std::string&)>;

class SharedLibrary {
  public:
    SharedLibrary(std::string fileName, std::vector<const char*> symbols, Notice notice,
                  std::filesystem::path folder);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of symbol i of the list given, or null (after the notice) when the library
    // or that function is missing. Opens the library on first use.
    void* symbol(std::size_t i);
    // What is wrong, empty when the library and all its functions were found. Opens the library.
    const std::string& problem();
    const std::string& fileName() const { return fileName_; }

  private:
    void open();

    std::string fileName_;
    std::vector<const char*> names_;
    Notice notice_;
    std::filesystem::path folder_;
    std::once_flag opened_;
    std::vector<void*> addresses_;
    std::string problem_;
    std::once_flag told_;
};

}  // namespace kbcfg::remote
