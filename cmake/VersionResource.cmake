# Version resource (and, for a program, its application manifest) of a
# deliverable. The numbers come from project(... VERSION ...) alone, the
# names from here, so both binaries and the deployment kit agree.

set(TAVREL_COMPANY_NAME "Velmora Corporation")
set(TAVREL_PRODUCT_NAME "Tavrel")

#   tavrel_version_resource(<target> FILE_NAME <Tavrel.exe> DESCRIPTION <text>
#                           TYPE <VFT_APP|VFT_DLL> [MANIFEST <file>])
# MANIFEST embeds that file as the program's application manifest
# (RT_MANIFEST, id 1, which the loader reads when it creates the process).
function(tavrel_version_resource target)
  cmake_parse_arguments(ARG "" "FILE_NAME;DESCRIPTION;TYPE;MANIFEST" "" ${ARGN})
  set(TAVREL_RC_FILE_NAME ${ARG_FILE_NAME})
  get_filename_component(TAVREL_RC_INTERNAL_NAME ${ARG_FILE_NAME} NAME_WE)
  set(TAVREL_RC_DESCRIPTION ${ARG_DESCRIPTION})
  set(TAVREL_RC_FILE_TYPE ${ARG_TYPE})
  if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "project version '${PROJECT_VERSION}' is not major.minor.patch")
  endif()
  set(TAVREL_RC_MANIFEST "")
  if(ARG_MANIFEST)
    # 1 = CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 = RT_MANIFEST.
    set(TAVREL_RC_MANIFEST "1 24 \"${ARG_MANIFEST}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(ARG_MANIFEST)
    # windres reads the manifest itself: rebuild the resource when it changes.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${ARG_MANIFEST})
  endif()
endfunction()
