# Options shared by every target of the project (not by GoogleTest).

# The deliverables target Windows XP and later; test programs may use later
# API (they run only under Wine). ANSI ("A") calls unless a call names W.
function(tavrel_target_defaults target)
  cmake_parse_arguments(ARG "" "WINNT" "" ${ARGN})
  if(NOT ARG_WINNT)
    set(ARG_WINNT 0x0501)
  endif()
  target_compile_definitions(${target} PRIVATE
    _WIN32_WINNT=${ARG_WINNT} WINVER=${ARG_WINNT} STRICT NOMINMAX)
  # The resource compiler takes the definitions but not the warning options.
  target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-Werror>")
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# Static C and C++ runtimes: the binaries need no MinGW DLLs beside them.
function(tavrel_static_runtime target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()
