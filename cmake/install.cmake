# Every install rule of the project: the two shared libraries with their
# SONAME links, the public headers, the programs, CMake package configs
# and pkg-config files, and the Python package. Included from the
# top-level CMakeLists.txt once all targets exist.
#
# Layout (GNUInstallDirs):
#   <libdir>/libdravex.so*, libtormak.so*
#   <includedir>/dravex/*.h                 #include <dravex/positioner.h>
#   <bindir>/positioner, positioner-sim
#   <libdir>/cmake/dravex/, <libdir>/cmake/tormak/   find_package(dravex)
#   <libdir>/pkgconfig/dravex.pc, tormak.pc
#   <UC_PYTHON_INSTALL_DIR>/dravex/         import dravex

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(UC_PYTHON_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/python3/dist-packages" CACHE PATH
    "Where the dravex Python package is installed (relative to the prefix)")

# The headers of both libraries share one directory: tormak.h, trace.h and
# ithreads.h include uc_telegram.h and uc_export.h beside them.
set(UC_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/include/positioner.h
  ${PROJECT_SOURCE_DIR}/include/tormak.h
  ${PROJECT_SOURCE_DIR}/include/uc_telegram.h
  ${PROJECT_SOURCE_DIR}/include/uc_export.h
  ${PROJECT_SOURCE_DIR}/include/trace.h
  ${PROJECT_SOURCE_DIR}/include/ithreads.h)
install(FILES ${UC_PUBLIC_HEADERS}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/dravex COMPONENT development)

# Installed programs find the installed libraries beside them.
file(RELATIVE_PATH uc_bin_to_lib
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
foreach(program positioner positioner-sim)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${uc_bin_to_lib}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  endif()
endforeach()

# pkg-config files locate the prefix relative to their own directory, so
# an installed tree can be moved (or installed with --prefix elsewhere).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(UC_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH uc_pc_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" uc_pc_up "${uc_pc_up}")
  set(UC_PC_PREFIX "\${pcfiledir}/${uc_pc_up}")
endif()
set(UC_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(UC_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(UC_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(UC_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
endif()

# uc_install_library(<target> <description>): the library with its SONAME
# links, an exported target <target>::<target>, a package config with a
# version file, and a pkg-config file.
function(uc_install_library name description)
  set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${name})
  install(TARGETS ${name} EXPORT ${name}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(EXPORT ${name}Targets NAMESPACE ${name}:: DESTINATION ${config_dir} COMPONENT development)

  set(UC_PACKAGE ${name})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/packageConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}Config.cmake
    INSTALL_DESTINATION ${config_dir})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}ConfigVersion.cmake
    DESTINATION ${config_dir} COMPONENT development)

  set(UC_PC_NAME ${name})
  set(UC_PC_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/library.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endfunction()

uc_install_library(dravex "Positioner API for the six-axis piezo positioner controller")
uc_install_library(tormak "Raw telegram channel to the six-axis piezo positioner controller")

install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/dravex
  DESTINATION ${UC_PYTHON_INSTALL_DIR} COMPONENT python
  FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
