# What keeps a build short on a small machine: the compiler cache when there is one, and the
# test programs compiled for building rather than for running fast.

option(KBCFG_CCACHE "Compile through ccache when it is installed" ON)
if(KBCFG_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(KBCFG_CCACHE_PROGRAM ccache)
    if(KBCFG_CCACHE_PROGRAM)
        # The precompiled headers are included with -include, which ccache can cache only with
        # these relaxations (the headers hold no time macros, and nothing is defined before them).
        set(CMAKE_CXX_COMPILER_LAUNCHER
            env CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
                ${KBCFG_CCACHE_PROGRAM})
    endif()
endif()

# Test programs: most of their build time is spent optimising test code, so it is built with
# -Og (still debuggable). What the timing tests measure is the code under test, built as the
# build type says.
set(KBCFG_TEST_OPTIMIZE $<$<NOT:$<CONFIG:Debug>>:-Og>)

# The Qt headers most views include, precompiled for the views and for their tests.
set(KBCFG_QT_WIDGETS_HEADERS
    <QApplication> <QComboBox> <QDialog> <QEvent> <QGridLayout> <QHBoxLayout> <QHeaderView>
    <QKeyEvent> <QLabel> <QLineEdit> <QPainter> <QPushButton> <QString> <QTableView> <QTimer>
    <QVBoxLayout> <QWidget>)

# A GoogleTest program of the suite: the warning set, test optimisation and the shared
# precompiled header of GoogleTest, GoogleMock and nlohmann_json (made by kbcfg_test_pch).
function(kbcfg_test_program target)
    target_link_libraries(${target} PRIVATE kbcfg_warnings)
    target_compile_options(${target} PRIVATE ${KBCFG_TEST_OPTIMIZE})
    if(TARGET kbcfg_test_pch)
        target_precompile_headers(${target} REUSE_FROM kbcfg_test_pch)
    endif()
endfunction()
