# Precompiled headers: the Qt, GoogleTest and standard headers that most translation
# units of a group of targets parse. Each group's header is built once, in an object
# library of its own that carries only the flags the group shares, and every target of
# the group reuses it. GCC refuses a precompiled header made with other flags, a
# target's own -D among them (the tests' data folder): the builder has none of those,
# and the build's -Winvalid-pch with -Werror turns a refused header into an error
# rather than a silently slow build. Project headers stay out, so that changing one
# rebuilds only what includes it.

# The window's libraries (src/editors, src/app): Qt Widgets.
set(ORMID_PCH_WIDGETS_LIBS Qt6::Widgets)
set(ORMID_PCH_WIDGETS
  <QApplication> <QCheckBox> <QComboBox> <QFrame> <QGridLayout> <QGroupBox> <QHBoxLayout>
  <QLabel> <QLineEdit> <QMouseEvent> <QPainter> <QPushButton> <QSlider> <QString>
  <QTimer> <QVBoxLayout> <QWidget>
  <algorithm> <array> <functional> <optional> <string> <vector>)

# The test executables without Qt: GoogleTest and the standard library.
set(ORMID_PCH_TESTS_LIBS GTest::gtest)
set(ORMID_PCH_TESTS
  <gtest/gtest.h>
  <algorithm> <array> <chrono> <cstdint> <filesystem> <functional> <map> <memory>
  <optional> <string> <string_view> <vector>)

# The test executables that drive the window: the same, with Qt Widgets and QtTest.
# QtTest's flags name the folder of the target, so its builder is made in the folder
# of the window tests (the first of the group to ask for it).
set(ORMID_PCH_WINDOW_TESTS_LIBS GTest::gtest Qt6::Widgets Qt6::Test)
set(ORMID_PCH_WINDOW_TESTS
  ${ORMID_PCH_TESTS}
  <QApplication> <QCheckBox> <QComboBox> <QCoreApplication> <QLabel> <QLineEdit>
  <QSlider> <QString> <QTest> <QWidget>)

# Gives `target` the precompiled header of `group` (WIDGETS, TESTS or WINDOW_TESTS),
# making the group's builder the first time.
function(ormid_precompile_headers target group)
  set(builder ormid_pch_${group})
  if(NOT TARGET ${builder})
    set(anchor ${CMAKE_CURRENT_BINARY_DIR}/${builder}.cpp)
    file(CONFIGURE OUTPUT ${anchor} CONTENT "// Only builds the precompiled header of ${group}.\n")
    add_library(${builder} OBJECT ${anchor})
    target_link_libraries(${builder} PRIVATE ${ORMID_PCH_${group}_LIBS})
    target_precompile_headers(${builder} PRIVATE ${ORMID_PCH_${group}})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${builder})
endfunction()
