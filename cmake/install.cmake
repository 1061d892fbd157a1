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
#   <UC_PYTHON_INSTALL_DIR>/dravex/         import dravex (a Python under the
#                                           same prefix finds it, and it finds
#                                           the libraries in <libdir>)

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# lib/pythonX.Y/site-packages is where the interpreters of a prefix (a
# venv, pyenv, conda, a Python built with --prefix) look for packages; X.Y
# is the version of the prefix's own python3 when it has one, else of the
# python3 found here.
set(uc_python_of_prefix "${CMAKE_INSTALL_PREFIX}/bin/python3")
if(NOT EXISTS "${uc_python_of_prefix}")
  find_program(UC_PYTHON3_FOR_INSTALL NAMES python3)
  set(uc_python_of_prefix "${UC_PYTHON3_FOR_INSTALL}")
endif()
set(uc_python_version "3")
if(uc_python_of_prefix)
  execute_process(COMMAND "${uc_python_of_prefix}" -c
      "import sys; print('%d.%d' % sys.version_info[:2])"
    OUTPUT_VARIABLE uc_python_version OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(uc_python_dir_doc "Where the dravex Python package is installed (relative to the prefix)")
set(UC_PYTHON_INSTALL_DIR "lib/python${uc_python_version}/site-packages" CACHE PATH
    "${uc_python_dir_doc}")
# Build trees configured before kept the old default, which no interpreter
# of the prefix searches.
if(UC_PYTHON_INSTALL_DIR STREQUAL "${CMAKE_INSTALL_LIBDIR}/python3/dist-packages")
  set(UC_PYTHON_INSTALL_DIR "lib/python${uc_python_version}/site-packages" CACHE PATH
      "${uc_python_dir_doc}" FORCE)
endif()

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
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)
# The package finds the installed libraries through the file _library_dir:
# the library directory relative to the package's own (absolute when either
# directory is given as an absolute path).
if(IS_ABSOLUTE "${UC_PYTHON_INSTALL_DIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(uc_python_libdir "${CMAKE_INSTALL_FULL_LIBDIR}")
else()
  file(RELATIVE_PATH uc_python_libdir "/prefix/${UC_PYTHON_INSTALL_DIR}/dravex"
    "/prefix/${CMAKE_INSTALL_LIBDIR}")
endif()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/packaging/_library_dir "${uc_python_libdir}\n")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/_library_dir
  DESTINATION ${UC_PYTHON_INSTALL_DIR}/dravex COMPONENT python)
