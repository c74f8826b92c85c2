# Installation: the header, the libraries, qvhost, and a CMake package so
# that find_package(qvsetup) gives the target qvsetup::qvsetup (and, on
# Linux, qvsetup::qvsetup_static).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(FILES include/qvsetup.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS qvhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  install(TARGETS qvsetup_dll RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit callers refer to stdcall functions by decorated names
    # (_CompareVersions@4), while the DLL exports plain names: build the
    # import library from the .def with each name decorated, and let the
    # import name drop the decoration (--kill-at).
    file(READ module/qvsetup.def QV_DEF)
    string(REGEX REPLACE "\n    ([A-Za-z]+) @" "\n    \\1@4 @" QV_DEF_DECORATED "${QV_DEF}")
    file(WRITE ${CMAKE_BINARY_DIR}/qvsetup-decorated.def "${QV_DEF_DECORATED}")
    set(QV_IMPLIB ${CMAKE_BINARY_DIR}/libqvsetup.dll.a)
    string(REPLACE "objdump" "dlltool" QV_DLLTOOL "${CMAKE_OBJDUMP}")
    # dlltool names the library's symbols after the output path: a bare name
    # keeps the build folder out of them, so the library is reproducible.
    add_custom_command(OUTPUT ${QV_IMPLIB}
      COMMAND ${QV_DLLTOOL} --input-def qvsetup-decorated.def
              --dllname QVSETUP.dll --output-lib libqvsetup.dll.a --kill-at
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      DEPENDS module/qvsetup.def)
    add_custom_target(qvsetup_implib ALL DEPENDS ${QV_IMPLIB})
  else()
    set(QV_IMPLIB $<TARGET_LINKER_FILE:qvsetup_dll>)
  endif()
  install(FILES ${QV_IMPLIB} DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME libqvsetup.dll.a)
  set(QV_PACKAGE_RUNTIME ${CMAKE_INSTALL_BINDIR}/QVSETUP.dll)
else()
  install(TARGETS qvsetup_shared qvsetup_core
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(QV_PACKAGE_RUNTIME ${CMAKE_INSTALL_LIBDIR}/libqvsetup.so)
endif()

set(QV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qvsetup)
configure_file(cmake/qvsetupConfig.cmake.in ${CMAKE_BINARY_DIR}/qvsetupConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/qvsetupConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/qvsetupConfig.cmake
  ${CMAKE_BINARY_DIR}/qvsetupConfigVersion.cmake DESTINATION ${QV_PACKAGE_DIR})

# The package inside the release archive (./qv dist): one configuration for
# both DLLs, so its version file does not check the pointer size.
if(WIN32)
  configure_file(cmake/release/qvsetupConfig.cmake ${CMAKE_BINARY_DIR}/release/qvsetupConfig.cmake
    COPYONLY)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/release/qvsetupConfigVersion.cmake
    COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
endif()
