#pragma once
// Setting the environment the tested code and the programs it starts see, one way on every system.

#include <cstdlib>
#include <string>

namespace kbcfg::testing {

inline bool setEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    return _putenv_s(name.c_str(), value.c_str()) == 0;
#else
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
#endif
}

inline void unsetEnv(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), "");  // an empty value removes the variable there
#else
    ::unsetenv(name.c_str());
#endif
}

}  // namespace kbcfg::testing
