# find_package(qvsetup) from the unpacked release archive: the imported target
# qvsetup::qvsetup, the DLL that matches the consumer's pointer size with its
# import library and the header.
if(NOT WIN32)
  set(qvsetup_FOUND FALSE)
  set(qvsetup_NOT_FOUND_MESSAGE "the release holds Windows DLLs only (x86, x64)")
  return()
endif()

get_filename_component(_qvsetup_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_qvsetup_arch x64)
else()
  set(_qvsetup_arch x86)
endif()

if(NOT TARGET qvsetup::qvsetup)
  add_library(qvsetup::qvsetup SHARED IMPORTED)
  set_target_properties(qvsetup::qvsetup PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_qvsetup_root}/include"
    IMPORTED_LOCATION "${_qvsetup_root}/${_qvsetup_arch}/QVSETUP.dll"
    IMPORTED_IMPLIB "${_qvsetup_root}/${_qvsetup_arch}/libqvsetup.dll.a")
endif()
unset(_qvsetup_root)
unset(_qvsetup_arch)
