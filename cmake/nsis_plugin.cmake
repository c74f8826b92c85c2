# qvnsis.dll, the NSIS plug-in: the exports' rules for NSIS scripts, one DLL
# per NSIS flavour of this build's architecture (x86-ansi and x86-unicode on
# 32 bits, amd64-unicode on 64), in bin/nsis/FLAVOUR/, the layout of NSIS's
# own Plugins folder. Linked as QVSETUP.dll is (its own entry and stack
# guard, no C runtime start-up, the same hardening), against the plug-in
# library of Debian's nsis-pluginapi. QV_NSIS_FLAVOURS lists what was built.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(flavours x86-ansi x86-unicode)
else()
  set(flavours amd64-unicode)
endif()

# The rules without the exports, whose names the plug-in's functions share.
set(rules_sources ${QV_CORE_SOURCES})
list(FILTER rules_sources EXCLUDE REGEX "^src/(exports|host)/")
add_library(qvnsis_rules OBJECT ${rules_sources})
target_include_directories(qvnsis_rules PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_compile_options(qvnsis_rules PRIVATE ${QV_LIBRARY_OPTIONS})
set_target_properties(qvnsis_rules PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)

set(QV_NSIS_FLAVOURS)
foreach(flavour IN LISTS flavours)
  find_library(QV_NSIS_API_${flavour} NAMES libpluginapi-${flavour}.a PATH_SUFFIXES nsis
    DOC "The NSIS plug-in library (Debian's nsis-pluginapi) for ${flavour}")
  if(NOT QV_NSIS_API_${flavour})
    message(WARNING "libpluginapi-${flavour}.a not found (install nsis-pluginapi): "
      "no ${flavour} NSIS plug-in")
    continue()
  endif()
  set(target qvnsis_${flavour})
  add_library(${target} SHARED src/nsis/plugin.cpp src/nsis/utf8.cpp module/entry.cpp
    module/qvnsis.def $<TARGET_OBJECTS:qvnsis_rules>)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/module)
  target_compile_options(${target} PRIVATE ${QV_LIBRARY_OPTIONS})
  if(flavour MATCHES "unicode")
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  endif()
  target_link_libraries(${target} PRIVATE ${QV_NSIS_API_${flavour}} user32)
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C OUTPUT_NAME qvnsis PREFIX ""
    SUFFIX ".dll" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/nsis/${flavour}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/nsis/${flavour})
  target_link_options(${target} PRIVATE
    -nostartfiles -Wl,-e,${QV_ENTRY} -static -static-libgcc -s
    -Wl,--gc-sections -Wl,--enable-stdcall-fixup
    -Wl,--nxcompat -Wl,--dynamicbase ${QV_IMAGE_FLAGS} -Wl,--no-insert-timestamp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_target_properties(${target} PROPERTIES C_LINKER_LAUNCHER
      "bash;${PROJECT_SOURCE_DIR}/cmake/link-live-unwind.sh;${CMAKE_OBJCOPY}")
  endif()
  list(APPEND QV_NSIS_FLAVOURS ${flavour})
endforeach()
