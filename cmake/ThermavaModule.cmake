# thermava_module(<name> [SUBDIRS]) builds every .cpp/.h of the current folder (and, with
# RECURSE, its sub-folders) into the static library thermava_<name>. Globbing keeps new
# files from needing a CMake edit.
function(thermava_module name)
  cmake_parse_arguments(TM "RECURSE" "" "LINKS" ${ARGN})
  if(TM_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  list(FILTER srcs EXCLUDE REGEX ".*/main\\.cpp$")
  # A folder that holds only headers so far still makes a (empty) library.
  set(stub ${CMAKE_CURRENT_BINARY_DIR}/thermava_${name}_stub.cpp)
  if(NOT EXISTS ${stub})
    file(WRITE ${stub} "// generated\n")
  endif()
  list(APPEND srcs ${stub})
  add_library(thermava_${name} STATIC ${srcs})
  target_include_directories(thermava_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(thermava_${name} PUBLIC
    Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Concurrent Threads::Threads ${TM_LINKS})
  if(Qt5DBus_FOUND)
    target_link_libraries(thermava_${name} PUBLIC Qt5::DBus)
    target_compile_definitions(thermava_${name} PUBLIC THERMAVA_HAVE_DBUS=1)
  endif()
endfunction()
