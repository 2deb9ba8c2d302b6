# What the Windows cross build takes from Debian. nlohmann_json and CLI11 are header-only, but
# their Debian package configurations add -isystem /usr/include, which would put the host's C
# library headers before MinGW's: their headers are copied into the build folder and given
# targets of their own. GoogleTest is built from Debian's sources with the cross compiler.
# Each package is then announced by a configuration file in the build folder, so the
# find_package calls of the tree stay as they are.
set(KBCFG_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/windows-deps)

# The version file is the host package's own, so version requirements are judged as on Linux.
function(kbcfg_windows_package name version_file)
    set(dir ${KBCFG_WINDOWS_DEPS}/cmake/${name})
    file(WRITE ${dir}/${name}Config.cmake "# Targets defined by cmake/windows-deps.cmake.\n")
    configure_file(${version_file} ${dir}/${name}ConfigVersion.cmake COPYONLY)
    set(${name}_DIR ${dir} CACHE PATH "Set by cmake/windows-deps.cmake" FORCE)
endfunction()

function(kbcfg_windows_header_library target package headers)
    if(NOT EXISTS /usr/include/${headers})
        message(FATAL_ERROR "/usr/include/${headers} is missing (make deps installs it)")
    endif()
    file(COPY /usr/include/${headers} DESTINATION ${KBCFG_WINDOWS_DEPS}/include)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                               ${KBCFG_WINDOWS_DEPS}/include)
    kbcfg_windows_package(${package} /usr/share/cmake/${package}/${package}ConfigVersion.cmake)
endfunction()

kbcfg_windows_header_library(nlohmann_json::nlohmann_json nlohmann_json nlohmann)
kbcfg_windows_header_library(CLI11::CLI11 CLI11 CLI)

if(KBCFG_TESTS)
    set(KBCFG_GOOGLETEST_SOURCE /usr/src/googletest)
    if(NOT EXISTS ${KBCFG_GOOGLETEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "${KBCFG_GOOGLETEST_SOURCE} is missing: install the package "
                            "googletest (KBCFG_WINDOWS_DEPS=1 bash scripts/install-deps)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${KBCFG_GOOGLETEST_SOURCE} ${KBCFG_WINDOWS_DEPS}/googletest EXCLUDE_FROM_ALL
                     SYSTEM)
    # GoogleTest defines GTest::gtest, GTest::gmock, GTest::gtest_main and GTest::gmock_main.
    file(STRINGS ${KBCFG_GOOGLETEST_SOURCE}/CMakeLists.txt version REGEX "GOOGLETEST_VERSION [0-9.]+")
    string(REGEX MATCH "[0-9.]+" version "${version}")
    file(WRITE ${KBCFG_WINDOWS_DEPS}/GTestConfigVersion.cmake
         "set(PACKAGE_VERSION ${version})\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
    kbcfg_windows_package(GTest ${KBCFG_WINDOWS_DEPS}/GTestConfigVersion.cmake)
endif()
