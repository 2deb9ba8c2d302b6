# The project's warning set, on one interface target that every target of the project links
# (kbcfg_check_warnings below fails the configuration when one does not). Headers of Qt,
# GoogleTest and the other libraries come in as system headers, so only our own code is judged.
option(KBCFG_WERROR "Treat compiler warnings as errors (CI builds)" OFF)

add_library(kbcfg_warnings INTERFACE)
target_compile_options(kbcfg_warnings INTERFACE
    -Wall -Wextra -Wpedantic
    # A derived class deleted through its base, or a virtual hidden by an overload.
    -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-qual -Wimplicit-fallthrough -Wmissing-declarations -Wextra-semi -Wvla
    $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wlogical-op>)
if(KBCFG_WERROR)
    target_compile_options(kbcfg_warnings INTERFACE -Werror)
endif()

# Every compiled target of the project must carry the warning set.
function(kbcfg_check_warnings dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type MATCHES "EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY")
            get_target_property(links ${target} LINK_LIBRARIES)
            # Qt's generated targets (moc, compiled-in resources) are not ours to judge.
            if(NOT "kbcfg_warnings" IN_LIST links AND NOT target MATCHES "_autogen|_resources_[0-9]+$")
                message(FATAL_ERROR "${target} (${dir}) does not link kbcfg_warnings")
            endif()
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        # Sources built from outside the tree (GoogleTest in the Windows build) are not ours.
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${sub} NORMALIZE ours)
        if(NOT ours)
            continue()
        endif()
        kbcfg_check_warnings(${sub})
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kbcfg_check_warnings
               ${PROJECT_SOURCE_DIR})
