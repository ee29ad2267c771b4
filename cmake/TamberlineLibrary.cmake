# tamberline_library(NAME DIR DEPS...): a static library of every .cpp in DIR; backend files
# of the other OS (win32_*.cpp on POSIX, posix_*.cpp on Windows) are left out, and main.cpp
# belongs to the executable.
function(tamberline_library name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "/posix_[^/]*\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "/win32_[^/]*\\.cpp$")
  endif()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS} Threads::Threads)
endfunction()
